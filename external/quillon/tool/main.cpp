// quillon: makes drawings from JSON sources and shows any file in PDB form as JSON.
//
//   quillon make SOURCE.json OUT.0nn   build a drawing (OUT replaced atomically)
//   quillon dump FILE                  print FILE as JSON on standard output
//
// "-" for a file is standard input or output. Exit 0 on success; 1 for a file that
// cannot be read or written or a source that is refused (the reason, with the JSON
// path of the value at fault, on standard error); 2 for a wrong command line.
// Further commands (DXF import, rendering) join the table below.
#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "Drawing.h"
#include "DxfImportCommand.h"
#include "Render.h"
#include "pdbform/FormIo.h"
#include "platform/AtomicWrite.h"
#include "platform/UniqueFd.h"

namespace {

using quillon_tool::Json;

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

// A JSON source larger than the largest file it could describe is refused unread.
constexpr std::size_t kMaxSource = 1u << 30;

const char kUsage[] =
    "usage: quillon make SOURCE.json OUT.0nn   make a drawing from a JSON source\n"
    "       quillon dump FILE                  print a file in PDB form as JSON\n"
    "       quillon import IN.dxf OUT.0nn      make a drawing from a DXF drawing\n"
    "       quillon render FILE OUT.png|OUT.svg [--width PIXELS]   draw a file in PDB form\n"
    "A file named - is standard input or output.\n";

int Refuse(std::string_view what, const std::string& why) {
    std::fprintf(stderr, "quillon: %.*s: %s\n", static_cast<int>(what.size()), what.data(),
                 why.c_str());
    return kExitFailed;
}

// The whole of `path` ("-": standard input), at most `limit` bytes.
bool ReadInput(const std::string& path, std::size_t limit, std::string& out, std::string& why) {
    platform::UniqueFd owned;
    int fd = 0;
    if (path != "-") {
        owned = platform::UniqueFd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
        if (!owned.Valid()) {
            why = std::strerror(errno);
            return false;
        }
        struct stat st {};
        if (::fstat(owned.Get(), &st) == 0 && S_ISDIR(st.st_mode)) {
            why = "is a folder";
            return false;
        }
        fd = owned.Get();
    }
    out.clear();
    char buf[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            why = std::strerror(errno);
            return false;
        }
        if (n == 0) return true;
        if (out.size() + static_cast<std::size_t>(n) > limit) {
            why = "larger than " + std::to_string(limit) + " bytes";
            return false;
        }
        out.append(buf, static_cast<std::size_t>(n));
    }
}

bool WriteStdout(std::string_view data) { return platform::WriteAll(1, data) == 0; }

int RunMake(const std::vector<std::string>& args) {
    const std::string& sourcePath = args[0];
    const std::string& outPath = args[1];
    std::string text, why;
    if (!ReadInput(sourcePath, kMaxSource, text, why)) return Refuse(sourcePath, why);
    Json source;
    // The parser reports malformed JSON (broken UTF-8 included) by an exception; it is
    // turned into the refusal here and goes no further.
    try {
        source = Json::parse(text);
    } catch (const Json::exception& e) {
        return Refuse(sourcePath, e.what());
    }
    pdbform::PdbFile file;
    if (!quillon_tool::MakeDrawing(source, file, why)) return Refuse(sourcePath, why);
    if (outPath == "-") {
        std::vector<std::uint8_t> bytes;
        if (const auto s = pdbform::Serialize(file, bytes, &why); s != pdbform::Status::kOk) {
            return Refuse(sourcePath, std::string(pdbform::StatusText(s)) + ": " + why);
        }
        if (!WriteStdout(
                std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()))) {
            return Refuse("-", "cannot write standard output");
        }
        return kExitOk;
    }
    if (const auto s = pdbform::Save(file, outPath, &why); s != pdbform::Status::kOk) {
        return Refuse(s == pdbform::Status::kWriteFailed ? outPath : sourcePath,
                      std::string(pdbform::StatusText(s)) + ": " + why);
    }
    return kExitOk;
}

int RunDump(const std::vector<std::string>& args) {
    const std::string& path = args[0];
    pdbform::PdbFile file;
    std::string why;
    pdbform::Status s = pdbform::Status::kOk;
    if (path == "-") {
        std::string bytes;
        if (!ReadInput(path, pdbform::kMaxFileSize, bytes, why)) return Refuse(path, why);
        s = pdbform::Parse(std::vector<std::uint8_t>(bytes.begin(), bytes.end()), file, &why);
    } else {
        s = pdbform::Load(path, file, &why);
    }
    if (s != pdbform::Status::kOk)
        return Refuse(path, std::string(pdbform::StatusText(s)) + ": " + why);
    if (!quillon_tool::WriteDrawingJson(file, WriteStdout)) {
        return Refuse("-", "cannot write standard output");
    }
    return kExitOk;
}

struct Command {
    const char* name;
    std::size_t args;
    int (*run)(const std::vector<std::string>&);
};

constexpr Command kCommands[] = {
    {"make", 2, RunMake},
    {"dump", 1, RunDump},
    {"import", 2, quillon_tool::RunImport},
};

}  // namespace

int main(int argc, char** argv) {
    // render takes an optional --width, so it is dispatched before the fixed-count table
    // (without FILE and OUT it gets the general usage below).
    if (argc >= 4 && std::string_view(argv[1]) == "render")
        return quillon_tool::RunRender(std::vector<std::string>(argv + 2, argv + argc));
    if (argc >= 2) {
        const std::string_view name = argv[1];
        for (const Command& c : kCommands) {
            if (name != c.name) continue;
            const std::vector<std::string> args(argv + 2, argv + argc);
            if (args.size() != c.args) break;
            return c.run(args);
        }
    }
    std::fputs(kUsage, stderr);
    return kExitUsage;
}
