// Test drawings for Quillon, written with the PDB form library's writer into a prefix
// shared by the whole test program (the library keeps its own copy of the platform
// layer, which reads MORVAN_PREFIX once per process), and opened through the
// library's exports by their Windows paths.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstring>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <vector>

#include "ByteOrder.h"
#include "pdbform/FormIo.h"
#include "pdbform/PdbFile.h"
#include "platform/Cp932.h"
#include "platform/Prefix.h"
#include "quillon/Quillon.h"

namespace quillon_test {

using namespace quillon;
namespace fs = std::filesystem;

inline std::string Sj(std::string_view utf8) {
    std::string out;
    EXPECT_TRUE(platform::Utf8ToCp932(utf8, out)) << utf8;
    return out;
}

// The prefix of the test program: C: is drive_c of a temporary folder.
class PrefixEnvironment : public ::testing::Environment {
  public:
    void SetUp() override {
        std::string templ = (fs::temp_directory_path() / "morvan-quillon-XXXXXX").string();
        ASSERT_NE(mkdtemp(templ.data()), nullptr);
        Root() = templ;
        fs::create_directories(Root() / "dosdevices");
        fs::create_directories(Root() / "drive_c" / "QL");
        fs::create_directory_symlink("../drive_c", Root() / "dosdevices" / "c:");
        setenv("MORVAN_PREFIX", Root().c_str(), 1);
        platform::ResetPrefixForTesting();
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(Root(), ec);
    }
    static fs::path& Root() {
        static fs::path root;
        return root;
    }
};

// Host path of C:\QL\<name>.
inline fs::path HostPath(const std::string& name) {
    return PrefixEnvironment::Root() / "drive_c" / "QL" / name;
}
inline std::string WindowsPath(const std::string& name) { return "C:\\QL\\" + name; }

// Writes `file` as C:\QL\<name> and returns its Windows path.
inline std::string SaveDrawing(pdbform::PdbFile& file, const std::string& name) {
    std::string why;
    EXPECT_EQ(pdbform::Save(file, HostPath(name).string(), &why), pdbform::Status::kOk) << why;
    return WindowsPath(name);
}

inline std::array<std::uint8_t, pdbform::kBlockSize> Head() {
    std::array<std::uint8_t, pdbform::kBlockSize> head{};
    head[0] = 0x00;  // version 256
    head[1] = 0x01;
    head[512] = 7;     // current layer word
    head[514] = 0xFE;  // value field 1: -2
    head[515] = 0xFF;
    head[2047] = 0x5A;
    return head;
}

// An element of `kind` with its header words, its fixed-part fields as doubles from
// byte 6 on (or raw bytes), and its rest.
inline pdbform::Element Make(std::int16_t kind, std::int16_t layer, std::int16_t aid,
                             std::initializer_list<double> values = {}) {
    pdbform::Element e = pdbform::MakeElement(kind, layer, 0, aid);
    std::size_t at = 6;
    for (double v : values) {
        EXPECT_TRUE(StoreF64(e.fixed, at, v));
        at += 8;
    }
    return e;
}
inline void PutI16(std::vector<std::uint8_t>& b, std::size_t at, std::int16_t v) {
    EXPECT_TRUE(StoreI16(b, at, v));
}
inline std::vector<std::uint8_t> Doubles(std::initializer_list<double> values) {
    std::vector<std::uint8_t> out(values.size() * 8);
    std::size_t at = 0;
    for (double v : values) {
        EXPECT_TRUE(StoreF64(out, at, v));
        at += 8;
    }
    return out;
}

// One open drawing, closed at the end of the scope.
struct Opened {
    explicit Opened(const std::string& windowsPath) {
        std::memset(&h, 0, sizeof h);
        rc = db_open_ex(&h, windowsPath.c_str(), 2, 1);
    }
    ~Opened() {
        if (rc == 0) (void)db_close(&h);
    }
    Opened(const Opened&) = delete;
    Opened& operator=(const Opened&) = delete;
    DrawingHandle h{};
    std::int16_t rc = -1;
};

// Reads the rest of the current element's stream in pieces of `item` bytes until
// db_get reports that nothing is left; the bytes of the whole items.
inline std::vector<std::uint8_t> ReadItems(DrawingHandle* h, std::size_t item) {
    std::vector<std::uint8_t> all;
    std::vector<std::uint8_t> piece(item);
    for (int guard = 0; guard < 1'000'000; ++guard) {
        if (db_get(h, piece.data(), static_cast<std::int32_t>(item)) != 0) break;
        all.insert(all.end(), piece.begin(), piece.end());
    }
    return all;
}

}  // namespace quillon_test
