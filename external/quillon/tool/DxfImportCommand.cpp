// The command around DxfToSource: read, convert, build, write, report. It stays apart
// from the conversion so that the tests can drive the conversion in-process.
#include "DxfImportCommand.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "Drawing.h"
#include "DxfImport.h"
#include "pdbform/FormIo.h"
#include "platform/AtomicWrite.h"
#include "platform/UniqueFd.h"

namespace quillon_tool {
namespace {

int Fail(const std::string& what, const std::string& why) {
    std::fprintf(stderr, "quillon: %s: %s\n", what.c_str(), why.c_str());
    return 1;
}

// The whole file, at most kMaxDxfSize bytes.
bool ReadDxf(const std::string& path, std::string& out, std::string& why) {
    platform::UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.Valid()) {
        why = std::strerror(errno);
        return false;
    }
    struct stat st {};
    if (::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode)) {
        why = "not a plain file";
        return false;
    }
    char buf[65536];
    for (;;) {
        const ssize_t n = ::read(fd.Get(), buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            why = std::strerror(errno);
            return false;
        }
        if (n == 0) return true;
        if (out.size() + static_cast<std::size_t>(n) > kMaxDxfSize) {
            why = "larger than " + std::to_string(kMaxDxfSize) + " bytes";
            return false;
        }
        out.append(buf, static_cast<std::size_t>(n));
    }
}

}  // namespace

int RunImport(const std::vector<std::string>& args) {
    const std::string& in = args.at(0);
    const std::string& outPath = args.at(1);
    std::string text, why;
    if (!ReadDxf(in, text, why)) return Fail(in, why);
    Json source;
    DxfImportReport report;
    if (!DxfToSource(text, source, report, why)) return Fail(in, why);
    pdbform::PdbFile file;
    if (!MakeDrawing(source, file, why)) return Fail(in, "the drawing is refused: " + why);
    if (outPath == "-") {
        std::vector<std::uint8_t> bytes;
        if (const auto s = pdbform::Serialize(file, bytes, &why); s != pdbform::Status::kOk) {
            return Fail(in, std::string(pdbform::StatusText(s)) + ": " + why);
        }
        if (platform::WriteAll(1, std::string_view(reinterpret_cast<const char*>(bytes.data()),
                                                   bytes.size())) != 0) {
            return Fail("-", "cannot write standard output");
        }
    } else if (const auto s = pdbform::Save(file, outPath, &why); s != pdbform::Status::kOk) {
        return Fail(outPath, std::string(pdbform::StatusText(s)) + ": " + why);
    }
    for (const std::string& line : report.Lines()) Fail(in, line);
    return 0;
}

}  // namespace quillon_tool
