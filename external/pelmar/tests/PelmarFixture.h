// What the Pelmar tests share: one prefix per test process (the library keeps its own
// copy of the platform layer, which reads MORVAN_PREFIX once), a fresh folder on C:
// per test, and an independent little-endian writer for the bytes the tests expect.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "pelmar/Pelmar.h"
#include "platform/Prefix.h"

namespace pelmar_test {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

// The process's prefix, made on first use and removed when the process exits normally
// (forked children leave with _exit and never remove it).
inline const fs::path& ProcessPrefix() {
    // Held by a pointer that is never destroyed, so the exit handler can still use it.
    static const fs::path* const prefix = [] {
        std::string templ = (fs::temp_directory_path() / "morvan-pelmar-XXXXXX").string();
        if (mkdtemp(templ.data()) == nullptr) std::abort();
        auto* p = new fs::path(templ);
        fs::create_directories(*p / "dosdevices");
        fs::create_directories(*p / "drive_c" / "WINDOWS" / "SYSTEM32");
        fs::create_directory_symlink("../drive_c", *p / "dosdevices" / "c:");
        setenv("MORVAN_PREFIX", p->c_str(), 1);
        platform::ResetPrefixForTesting();
        std::atexit([] {
            std::error_code ignored;
            fs::remove_all(ProcessPrefix(), ignored);
        });
        return p;
    }();
    return *prefix;
}

// A test with its own folder C:\<test name>.
class PelmarTest : public ::testing::Test {
  protected:
    void SetUp() override {
        folder_ = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        std::error_code ignored;
        fs::remove_all(Host(""), ignored);
        fs::create_directories(Host(""));
    }
    // Windows path and host path of a file in the test's folder.
    std::string Win(const std::string& name) const { return "C:\\" + folder_ + "\\" + name; }
    fs::path Host(const std::string& name) const {
        return ProcessPrefix() / "drive_c" / folder_ / name;
    }
    Bytes Read(const std::string& name) const {
        std::ifstream in(Host(name), std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    void Write(const std::string& name, const Bytes& bytes) const {
        std::ofstream out(Host(name), std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
    }

    std::string folder_;
};

// Little-endian bytes, written out field by field for the expected files.
class Le {
  public:
    Le& u8(std::uint8_t v) {
        b_.push_back(v);
        return *this;
    }
    Le& u16(std::uint16_t v) { return n(v, 2); }
    Le& u32(std::uint32_t v) { return n(v, 4); }
    Le& f32(float v) {
        std::uint32_t u;
        std::memcpy(&u, &v, 4);
        return n(u, 4);
    }
    Le& f64(double v) {
        std::uint64_t u;
        std::memcpy(&u, &v, 8);
        return n(u, 8);
    }
    Le& text(std::string_view s, std::size_t field) {
        for (std::size_t i = 0; i < field; ++i) b_.push_back(i < s.size() ? s[i] : 0);
        return *this;
    }
    Le& raw(const Bytes& v) {
        b_.insert(b_.end(), v.begin(), v.end());
        return *this;
    }
    // A tagged entry around `content`.
    Le& entry(std::uint16_t tag, const Bytes& content) {
        return u16(tag).u16(0).u32(static_cast<std::uint32_t>(content.size())).raw(content);
    }
    const Bytes& bytes() const { return b_; }
    operator Bytes() const { return b_; }

  private:
    Le& n(std::uint64_t v, int size) {
        for (int i = 0; i < size; ++i) b_.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
        return *this;
    }
    Bytes b_;
};

// The 16-byte header of an extension file counting `count` entries.
inline Bytes Header(std::uint32_t count) { return Le().text("MVNPDBX", 8).u32(1).u32(count); }

// Hole piece records.
inline Bytes Segment(double x1, double y1, double x2, double y2) {
    return Le().u16(2).f64(x1).f64(y1).f64(x2).f64(y2);
}
inline Bytes Circle(double x, double y, double r) { return Le().u16(4).f64(x).f64(y).f64(r); }

}  // namespace pelmar_test
