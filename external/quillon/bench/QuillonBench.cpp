// quillon-bench: figures for reading drawings. Not a test: run it by hand
// (build-dir/bin/quillon-bench [N]) and read what it prints.
//
//   1. `quillon dump` of a drawing of N elements (default 100,000: lines, polylines of
//      four points and short texts in turn) to /dev/null: elements per second and the
//      dump's peak resident size.
//   2. A walk of drawings of N and of 10 N polylines through Quillon as the converter
//      walks (quillon-test-walker, a process of its own): elements per second and peak
//      resident size of each. The reader streams, so the peak must not grow with the
//      element count; the ratio of the two peaks is printed.
//
// Works in a temporary prefix of its own (C: only) that it removes at the end. The exit
// status is 0 unless the set-up or one of the programs failed.
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "ByteOrder.h"
#include "pdbform/Element.h"
#include "pdbform/FormIo.h"
#include "pdbform/PdbFile.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

struct Run {
    bool ok = false;
    double seconds = 0;
    long peakKiB = 0;
    std::string output;  // first line of the program's standard output
};

// Runs `args` with standard output to a pipe (its first line kept) or to /dev/null.
Run RunProgram(const std::vector<std::string>& args, bool keepOutput) {
    Run run;
    std::fflush(stdout);
    int out[2];
    if (pipe(out) != 0) return run;
    const auto start = Clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        close(out[0]);
        if (!keepOutput) {
            close(out[1]);
            if (!freopen("/dev/null", "w", stdout)) _exit(126);
        } else {
            dup2(out[1], STDOUT_FILENO);
        }
        std::vector<char*> argv;
        for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(out[1]);
    char buffer[4096];
    ssize_t n = 0;
    while ((n = read(out[0], buffer, sizeof buffer)) > 0) run.output.append(buffer, n);
    close(out[0]);
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid) return run;
    run.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    run.peakKiB = usage.ru_maxrss;
    run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return run;
}

pdbform::Element WithDoubles(int kind, std::initializer_list<double> values) {
    pdbform::Element e = pdbform::MakeElement(static_cast<std::int16_t>(kind), 1, 0, 0);
    std::size_t at = 6;
    for (double v : values) {
        (void)StoreF64(e.fixed, at, v);
        at += 8;
    }
    return e;
}

std::vector<std::uint8_t> Points(std::initializer_list<double> values) {
    std::vector<std::uint8_t> bytes(values.size() * 8);
    std::size_t at = 0;
    for (double v : values) {
        (void)StoreF64(bytes, at, v);
        at += 8;
    }
    return bytes;
}

// Writes a drawing of `count` elements: mixed kinds, or polylines only.
bool WriteDrawing(const fs::path& path, long count, bool mixed) {
    std::array<std::uint8_t, pdbform::kBlockSize> head{};
    (void)StoreU16(head, 0, 256);
    pdbform::PdbFile file = pdbform::NewEmpty(head);
    pdbform::Element line = WithDoubles(2, {0, 0, 10, 5});
    pdbform::Element poly = pdbform::MakeElement(6, 1, 0, 0);
    poly.rest = Points({0, 0, 1, 0, 1, 1, 0, 1});
    pdbform::Element text = WithDoubles(7, {1, 1, 5, 1, 0});
    (void)StoreU16(text.fixed, 46, 4);
    text.rest = {'T', 'E', 'X', 'T'};
    for (long i = 0; i < count; ++i) {
        const pdbform::Element& e = !mixed || i % 3 == 1 ? poly : i % 3 == 0 ? line : text;
        if (file.Append(e) == 0) return false;
    }
    std::string reason;
    if (pdbform::Save(file, path.string(), &reason) != pdbform::Status::kOk) {
        std::fprintf(stderr, "quillon-bench: %s\n", reason.c_str());
        return false;
    }
    return true;
}

// WriteDrawing in a child process: the model of a large drawing takes hundreds of
// megabytes, and a child forked from a process that held them would count them in its
// own peak resident size.
bool WriteDrawingApart(const fs::path& path, long count, bool mixed) {
    std::fflush(stdout);
    const pid_t pid = fork();
    if (pid == 0) _exit(WriteDrawing(path, count, mixed) ? 0 : 1);
    int status = 0;
    return pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
}

fs::path BinDir() {
    if (const char* dir = std::getenv("MORVAN_BIN_DIR"); dir && *dir) return dir;
    return fs::read_symlink("/proc/self/exe").parent_path();
}

}  // namespace

int main(int argc, char** argv) {
    const long count = argc > 1 ? std::atol(argv[1]) : 100'000;
    if (count <= 0) {
        std::fprintf(stderr, "usage: quillon-bench [ELEMENTS]\n");
        return 2;
    }
    std::string templ = (fs::temp_directory_path() / "morvan-qbench-XXXXXX").string();
    if (!mkdtemp(templ.data())) return 1;
    const fs::path root = templ;
    fs::create_directories(root / "dosdevices");
    fs::create_directories(root / "drive_c");
    fs::create_directory_symlink("../drive_c", root / "dosdevices" / "c:");
    setenv("MORVAN_PREFIX", root.c_str(), 1);

    const fs::path mixed = root / "drive_c" / "MIXED.000";
    bool ok = WriteDrawingApart(mixed, count, true) &&
              WriteDrawingApart(root / "drive_c" / "SMALL.000", count, false) &&
              WriteDrawingApart(root / "drive_c" / "LARGE.000", 10 * count, false);
    const std::string quillon = (BinDir() / "quillon").string();
    const std::string walker = (BinDir() / "quillon-test-walker").string();
    std::printf("quillon-bench: %ld elements (walk also %ld), %ld cores\n", count, 10 * count,
                sysconf(_SC_NPROCESSORS_ONLN));
    if (ok) {
        const Run dump = RunProgram({quillon, "dump", mixed.string()}, false);
        ok = dump.ok;
        std::printf("  dump  %8ld elements  %8.3f s  %10.0f elements/s  peak %8.1f MiB\n",
                    count, dump.seconds, count / dump.seconds, dump.peakKiB / 1024.0);
    }
    long peaks[2] = {0, 0};
    for (int i = 0; ok && i < 2; ++i) {
        const long n = i == 0 ? count : 10 * count;
        const Run walk = RunProgram({walker, i == 0 ? "C:\\SMALL.000" : "C:\\LARGE.000"}, true);
        unsigned long long elements = 0;
        ok = walk.ok && std::sscanf(walk.output.c_str(), "%llu", &elements) == 1 &&
             elements == static_cast<unsigned long long>(n);
        peaks[i] = walk.peakKiB;
        std::printf("  walk  %8ld elements  %8.3f s  %10.0f elements/s  peak %8.1f MiB\n", n,
                    walk.seconds, n / walk.seconds, walk.peakKiB / 1024.0);
    }
    if (ok) {
        std::printf("  walk peak, 10x the elements / 1x: %.2f (streaming: about 1)\n",
                    static_cast<double>(peaks[1]) / static_cast<double>(peaks[0]));
    }
    std::error_code ec;
    fs::remove_all(root, ec);
    if (!ok) std::fprintf(stderr, "quillon-bench: a step failed\n");
    return ok ? 0 : 1;
}
