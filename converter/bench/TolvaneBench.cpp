// tolvane-bench: how fast the whole converter turns a drawing into a PDB.
//
//   1. The raw pipe rate (RawPipeRate.h, the figure db-bench sets its own against),
//      best of three, measured right before each conversion.
//   2. Drawings of 10,000, 100,000 and 1,000,000 mixed elements (lines, arcs, polylines
//      of four points, short texts and placements of a two-member definition, one fifth
//      each), made with the PDB form library from a template that `quillon make` builds,
//      each converted by the installed C:\KEL\PDM\Tolvane.EXE through the real server
//      (started fresh for each drawing, so its peak is that drawing's) and the real
//      analyser. For each: the converter's wall time and peak resident size (with the
//      analyser it waits for), the server's CPU time and peak resident size, drawing
//      elements per second, and the pipe round trips per second that this means, for
//      the whole job and for the job less the analyser (timed alone on the drawing).
//   3. Whether CPU time and peak memory grow at most linearly with the element count:
//      the growth exponents between consecutive sizes, judged on the two largest.
//   4. The 100,000-element drawing with every third line dashed (line type 5), the
//      dashed lines kept as a pattern attribute and then cut into dashes (/D1).
//
// Round trips per drawing element, as the converter's client library sends them
// (converter/support/db/ElementRecords.cpp): a line or an arc is its record (27), the
// line follow-up (33) and the end of the element (14): 3. A polyline adds the face
// follow-up (35) and its 64 bytes of points in one data piece (18): 5. A text is its
// record, the symbol follow-up (37), the length and the bytes of its text (two 18s) and
// the end: 5. A placement sends nothing of its own; its two members (a circle and a
// line) are 3 each: 6. The open, head and layers add a few dozen, left out.
//
// Works in a fresh temporary prefix made by the morvan-prefix beside this program and
// removes it at the end. Not a test: run it by hand and read what it prints. The exit
// status is 0 unless the set-up or a conversion failed.
//
//   build-dir/bin/tolvane-bench [--no-million]
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "RawPipeRate.h"
#include "pdbform/FormIo.h"
#include "pdbform/PdbFile.h"
#include "platform/NamedPipe.h"
#include "platform/Prefix.h"

namespace fs = std::filesystem;

namespace {

constexpr int kRawRuns = 3;
constexpr long kRawRounds = 60000;

// The template: tables, a definition of two members, and one element of each kind
// that the bench drawing repeats (positions 4 to 8, in this order).
constexpr const char* kTemplate = R"({
  "layers": [{"number": 1, "name": "L1", "colourCode": 1, "widthCode": 1},
             {"number": 2, "name": "L2", "colourCode": 2, "widthCode": 1}],
  "pens": [{"pen": 1, "widthCode": 1, "colourCode": 1}, {"pen": 2, "widthCode": 1, "colourCode": 2}],
  "colours": [{"code": 1, "rgb": [0, 0, 0]}, {"code": 2, "rgb": [200, 0, 0]}],
  "widths": [{"code": 1, "width": 0.25}],
  "fonts": [{"font": 100, "face": "MS Gothic"}],
  "elements": [
    {"position": 1, "kind": 13, "shortName": "PART"},
    {"position": 2, "kind": 54, "pen": 1, "lineType": 1, "points": [[0, 0]], "radius": 2},
    {"position": 3, "kind": 52, "pen": 2, "lineType": 1, "points": [[-2, 0], [2, 0]]},
    {"position": 4, "kind": 2, "pen": 1, "lineType": 1, "points": [[0, 0], [10, 5]]},
    {"position": 5, "kind": 3, "pen": 2, "lineType": 1, "points": [[10, 0], [5, 5], [0, 0]]},
    {"position": 6, "kind": 6, "pen": 1, "lineType": 1, "paintNumber": 0, "ppat": 0,
     "points": [[0, 0], [1, 0], [1, 1], [0, 1]]},
    {"position": 7, "kind": 7, "layer": 2, "pen": 1, "font": 100, "height": 2.5, "ratio": 1,
     "points": [[0, 0], [20, 0]], "angle": 0, "text": "TEXT 123"},
    {"position": 8, "kind": 25},
    {"position": 9, "kind": 2, "pen": 1, "lineType": 5, "segments": 4,
     "values": [2, 1, 2, 1, 2, 1, 2, 1], "points": [[0, 0], [10, 5]]}
  ],
  "placements": [{"position": 8, "definition": 1, "translate": [50, 50], "rotation": 0.5,
                  "scale": [2, 2]}],
  "definitions": [{"position": 1, "members": [2, 3]}]
})";
constexpr std::uint32_t kFirstRepeated = 4;
// The dashed line (type 5) that takes the place of every third line in the dashed runs.
constexpr std::uint32_t kDashedLine = 9;
constexpr long kDashedEvery = 3;
constexpr int kRepeatedKinds = 5;
// Round trips and PDB records per repeated element, in template order (see the top).
constexpr std::array<int, kRepeatedKinds> kTripsPerElement = {3, 3, 5, 5, 6};
constexpr std::array<int, kRepeatedKinds> kRecordsPerElement = {1, 1, 1, 1, 2};

fs::path BinDir() {
    if (const char* dir = std::getenv("MORVAN_BIN_DIR"); dir && *dir) return dir;
    return fs::read_symlink("/proc/self/exe").parent_path();
}

std::string Host(const std::string& windowsPath) {
    std::string host;
    return platform::ToHostPath(windowsPath, host) == 0 ? host : std::string();
}

// A finished child: its exit code (-1 when it did not end normally), wall seconds, CPU
// seconds and peak resident size (KiB; for a waited-for program that waits for others,
// the largest of them).
struct Ended {
    int code = -1;
    double seconds = 0, cpu = 0;
    long peakKiB = 0;
};

pid_t Spawn(const std::vector<std::string>& args, bool ownSession) {
    std::fflush(stdout);
    const pid_t pid = fork();
    if (pid == 0) {
        if (ownSession) setsid();
        const int null = open("/dev/null", O_RDWR);
        if (null < 0) _exit(126);
        dup2(null, STDIN_FILENO);
        dup2(null, STDOUT_FILENO);
        close(null);
        std::vector<char*> argv;
        for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    return pid;
}

Ended Reap(pid_t pid, double started) {
    Ended ended;
    int status = 0;
    rusage usage{};
    if (pid <= 0 || wait4(pid, &status, 0, &usage) != pid) return ended;
    ended.seconds = bench::Now() - started;
    auto seconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) * 1e-6;
    };
    ended.cpu = seconds(usage.ru_utime) + seconds(usage.ru_stime);
    ended.peakKiB = usage.ru_maxrss;
    ended.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return ended;
}

Ended Run(const std::vector<std::string>& args) {
    const double start = bench::Now();
    return Reap(Spawn(args, false), start);
}

// Whether the i-th repeated element is a dashed line (every third line when `dashed`).
bool IsDashedSlot(long i, bool dashed) {
    return dashed && i % kRepeatedKinds == 0 &&
           (i / kRepeatedKinds) % kDashedEvery == kDashedEvery - 1;
}

// Writes a drawing of `count` repeated elements after the template's definition, in a
// child process: the model of a large drawing takes hundreds of megabytes, which must
// not count in this process's children's figures nor stay in this process. With
// `dashed`, every third line is the template's dashed line.
bool WriteDrawing(const pdbform::PdbFile& model, const std::string& hostPath, long count,
                  bool dashed) {
    std::fflush(stdout);
    const pid_t pid = fork();
    if (pid == 0) {
        pdbform::PdbFile file = pdbform::NewEmpty(model.head);
        file.lineAttributes = model.lineAttributes;
        file.pointAttributes = model.pointAttributes;
        file.faceAttributes = model.faceAttributes;
        file.markAttributes = model.markAttributes;
        file.symbolAttributes = model.symbolAttributes;
        file.arrowAttributes = model.arrowAttributes;
        file.pens = model.pens;
        file.colours = model.colours;
        file.widths = model.widths;
        file.paintColours = model.paintColours;
        file.fonts = model.fonts;
        file.layers = model.layers;
        const std::uint32_t definition = file.Append(*model.Find(1));
        pdbform::Definition members;
        members.members.push_back(file.Append(*model.Find(2)));
        members.members.push_back(file.Append(*model.Find(3)));
        file.definitions[definition] = members;
        pdbform::Placement placement = model.placements.at(8);
        placement.definition = definition;
        for (long i = 0; i < count; ++i) {
            const int k = static_cast<int>(i % kRepeatedKinds);
            const std::uint32_t from = IsDashedSlot(i, dashed)
                                           ? kDashedLine
                                           : kFirstRepeated + static_cast<std::uint32_t>(k);
            const std::uint32_t at = file.Append(*model.Find(from));
            if (at == 0) _exit(1);
            if (kFirstRepeated + static_cast<std::uint32_t>(k) == 8)
                file.placements[at] = placement;
        }
        std::string reason;
        if (pdbform::Save(file, hostPath, &reason) != pdbform::Status::kOk) {
            std::fprintf(stderr, "tolvane-bench: %s\n", reason.c_str());
            _exit(1);
        }
        _exit(0);
    }
    int status = 0;
    return pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
}

// The number of live elements of a PDB, counted in a child process for the same reason;
// -1 when it cannot be read.
long CountElements(const std::string& hostPath) {
    int fds[2];
    if (pipe(fds) != 0) return -1;
    std::fflush(stdout);
    const pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        pdbform::PdbFile file;
        long n = pdbform::Load(hostPath, file) == pdbform::Status::kOk
                     ? static_cast<long>(file.Elements().size())
                     : -1;
        (void)!write(fds[1], &n, sizeof n);
        _exit(0);
    }
    close(fds[1]);
    long n = -1;
    if (read(fds[0], &n, sizeof n) != static_cast<ssize_t>(sizeof n)) n = -1;
    close(fds[0]);
    waitpid(pid, nullptr, 0);
    return n;
}

// The server, started by the bench in a session of its own, and found listening.
pid_t StartServer(const std::string& server) {
    const pid_t pid = Spawn({server}, true);
    for (int i = 0; i < 1000; ++i) {
        if (platform::WaitNamedPipeA("\\\\.\\PIPE\\DBMAN", 10) == 0) return pid;
        usleep(10000);
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    return -1;
}

// How a run treats its dashed lines: none in the drawing, kept as a pattern (the
// default), or cut into dashes (/D1).
enum class Dashes { kNone, kPattern, kCut };

struct Size {
    long elements = 0;
    Dashes dashes = Dashes::kNone;
    Ended tolvane, server, analyser;
    long records = 0;
    double trips = 0;
};

bool Convert(const pdbform::PdbFile& model, const std::string& server, Size& size) {
    const std::string name = "C:\\BENCH\\E" + std::to_string(size.elements);
    const bool dashed = size.dashes != Dashes::kNone;
    if (!WriteDrawing(model, Host(name + ".000"), size.elements, dashed)) return false;
    // The analyser alone on the same drawing, so that the converter's own share of the
    // job's time can be told (the job runs it on its working copy before the walk).
    size.analyser = Run({Host("C:\\KEL\\PROGS\\Stovik.EXE"), name + ".000"});
    const pid_t serverPid = StartServer(server);
    if (serverPid < 0) return false;
    const double serverStart = bench::Now();
    std::vector<std::string> job = {Host("C:\\KEL\\PDM\\Tolvane.EXE"), name + ".000", name + ".PDB",
                                    "1"};
    if (size.dashes == Dashes::kCut) job.push_back("/D1");
    size.tolvane = Run(job);
    (void)Run({server, "--stop"});
    size.server = Reap(serverPid, serverStart);
    size.records = CountElements(Host(name + ".PDB"));
    // A dashed line kept as a pattern is one line record (3 round trips); cut into
    // dashes it is one polyline record of 5 round trips per dash, counted from the PDB.
    long expected = 0, dashedLines = 0;
    size.trips = 0;
    for (long i = 0; i < size.elements; ++i) {
        if (IsDashedSlot(i, dashed)) {
            ++dashedLines;
            continue;
        }
        expected += kRecordsPerElement[static_cast<std::size_t>(i % kRepeatedKinds)];
        size.trips += kTripsPerElement[static_cast<std::size_t>(i % kRepeatedKinds)];
    }
    if (size.dashes == Dashes::kCut) {
        const long pieces = size.records - expected;
        size.trips += 5.0 * static_cast<double>(pieces);
        expected = pieces >= 2 * dashedLines ? size.records : -1;
    } else {
        size.trips += 3.0 * static_cast<double>(dashedLines);
        expected += dashedLines;
    }
    std::error_code ignored;
    fs::remove(Host(name + ".000"), ignored);
    fs::remove(Host(name + ".PDB"), ignored);
    if (size.tolvane.code != 0 || size.records != expected) {
        std::fprintf(stderr,
                     "tolvane-bench: %ld elements: Tolvane ended with %d, the PDB holds %ld of %ld "
                     "records\n",
                     size.elements, size.tolvane.code, size.records, expected);
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    const bool million = !(argc > 1 && std::strcmp(argv[1], "--no-million") == 0);
    std::string templ = (fs::temp_directory_path() / "morvan-tolvanebench-XXXXXX").string();
    if (!mkdtemp(templ.data())) return 1;
    setenv("MORVAN_PREFIX", templ.c_str(), 1);
    platform::ResetPrefixForTesting();
    auto cleanUp = [&] {
        std::error_code ignored;
        fs::remove_all(templ, ignored);
    };
    std::string server;
    const fs::path source = fs::path(templ) / "template.json";
    std::ofstream(source) << kTemplate;
    pdbform::PdbFile model;
    if (Run({(BinDir() / "morvan-prefix").string(), "init", "--product", templ}).code != 0 ||
        (server = Host("C:\\KEL\\PDM\\Ambrel.EXE")).empty() ||
        !fs::exists(Host("C:\\KEL\\PDM\\Tolvane.EXE")) ||
        !fs::create_directories(fs::path(Host("C:\\")) / "BENCH") ||
        Run({(BinDir() / "quillon").string(), "make", source.string(), Host("C:\\BENCH\\T.000")})
                .code != 0 ||
        pdbform::Load(Host("C:\\BENCH\\T.000"), model) != pdbform::Status::kOk) {
        std::fprintf(stderr, "tolvane-bench: the prefix or the template could not be made\n");
        cleanUp();
        return 1;
    }

    std::printf("tolvane-bench: %ld cores\n", sysconf(_SC_NPROCESSORS_ONLN));
    // The raw rate is measured again right before each conversion, best of three short
    // runs: on a shared machine the load changes within minutes, and a share is only
    // fair against the pipe's rate of the same moment.
    const pid_t echo = bench::StartEcho();
    auto rawNow = [echo] {
        bench::Figures raw;
        for (int run = 0; run < kRawRuns && echo > 0; ++run)
            raw.KeepBest(bench::RawRate(kRawRounds));
        return raw;
    };

    std::vector<Size> sizes;
    for (long n : {10000L, 100000L, 1000000L}) {
        if (n == 1000000L && !million) break;
        Size size;
        size.elements = n;
        const bench::Figures raw = rawNow();
        if (raw.perSecond == 0 || !Convert(model, server, size)) {
            if (raw.perSecond == 0)
                std::fprintf(stderr, "tolvane-bench: the raw pipe rate could not be measured\n");
            bench::StopEcho(echo);
            cleanUp();
            return 1;
        }
        const double rate = static_cast<double>(n) / size.tolvane.seconds;
        const double trips = size.trips / size.tolvane.seconds;
        const double own = std::max(size.tolvane.seconds - size.analyser.seconds, 1e-3);
        std::printf(
            "  %7ld elements (%7ld records): Tolvane %7.2f s (CPU %6.2f s), peak %7.1f MiB; "
            "server CPU %6.2f s, peak %7.1f MiB\n"
            "      (of the job: the analyser alone %6.2f s, peak %7.1f MiB); raw pipe just before: "
            "%.0f round trips/s\n"
            "      whole job:         %8.0f elements/s = %8.0f round trips/s = %5.1f %% of raw "
            "(target >= 50 %%: %s)\n"
            "      less the analyser: %8.0f elements/s = %8.0f round trips/s = %5.1f %% of raw\n",
            n, size.records, size.tolvane.seconds, size.tolvane.cpu, size.tolvane.peakKiB / 1024.0,
            size.server.cpu, size.server.peakKiB / 1024.0, size.analyser.seconds,
            size.analyser.peakKiB / 1024.0, raw.perSecond, rate, trips,
            100.0 * trips / raw.perSecond, trips >= 0.5 * raw.perSecond ? "met" : "NOT met",
            static_cast<double>(n) / own, size.trips / own,
            100.0 * size.trips / own / raw.perSecond);
        std::fflush(stdout);
        sizes.push_back(size);
    }

    // A third of the lines dashed, at 100,000 elements: kept as a pattern attribute and
    // cut into dashes, beside the solid drawing's rate above.
    for (const Dashes dashes : {Dashes::kPattern, Dashes::kCut}) {
        Size size;
        size.elements = 100000;
        size.dashes = dashes;
        const bench::Figures raw = rawNow();
        if (raw.perSecond == 0 || !Convert(model, server, size)) {
            bench::StopEcho(echo);
            cleanUp();
            return 1;
        }
        const double trips = size.trips / size.tolvane.seconds;
        std::printf(
            "  %7ld elements, a third of the lines dashed, %s: %7ld records, Tolvane %7.2f s "
            "(CPU %6.2f s)\n"
            "      %8.0f elements/s = %8.0f round trips/s = %5.1f %% of raw (%.0f round trips/s)\n",
            size.elements,
            dashes == Dashes::kCut ? "cut into dashes (/D1)" : "kept as patterns", size.records,
            size.tolvane.seconds, size.tolvane.cpu,
            static_cast<double>(size.elements) / size.tolvane.seconds, trips,
            100.0 * trips / raw.perSecond, raw.perSecond);
        std::fflush(stdout);
    }

    bench::StopEcho(echo);

    // At most linear: the growth exponent between consecutive sizes, log(ratio) /
    // log(size ratio), of CPU time and of peak resident size (1 = linear). The small
    // sizes carry the fixed costs and fit the caches, so the judgement is that of the
    // step between the two largest sizes; the wall time's exponent is printed too (on a
    // shared machine it jumps).
    bool linear = true;
    auto exponent = [](double to, double from, double grow) {
        return std::log(std::max(to, 1e-3) / std::max(from, 1e-3)) / std::log(grow);
    };
    for (std::size_t i = 1; i < sizes.size(); ++i) {
        const Size& a = sizes[i - 1];
        const Size& b = sizes[i];
        const double grow = static_cast<double>(b.elements) / static_cast<double>(a.elements);
        const double wall = exponent(b.tolvane.seconds, a.tolvane.seconds, grow);
        const double cpu = exponent(b.tolvane.cpu, a.tolvane.cpu, grow);
        const double peak = exponent(static_cast<double>(b.tolvane.peakKiB),
                                     static_cast<double>(a.tolvane.peakKiB), grow);
        const double serverCpu = exponent(b.server.cpu, a.server.cpu, grow);
        const double serverPeak = exponent(static_cast<double>(b.server.peakKiB),
                                           static_cast<double>(a.server.peakKiB), grow);
        std::printf(
            "  %ld -> %ld elements, growth exponents (1 = linear): Tolvane wall %.2f, CPU %.2f, "
            "peak %.2f; server CPU %.2f, peak %.2f\n",
            a.elements, b.elements, wall, cpu, peak, serverCpu, serverPeak);
        if (i + 1 == sizes.size())
            linear = cpu <= 1.1 && peak <= 1.1 && serverCpu <= 1.1 && serverPeak <= 1.1;
    }
    if (sizes.size() > 1)
        std::printf("  CPU time and peak memory grow at most linearly (%ld -> %ld): %s\n",
                    sizes[sizes.size() - 2].elements, sizes.back().elements, linear ? "yes" : "NO");
    cleanUp();
    return 0;
}
