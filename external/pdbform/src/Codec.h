// Sequential little-endian reading and writing of section contents, over the
// checked loads and stores of ByteOrder.h. A cursor that runs past its data turns
// "bad" and keeps returning false, so a parser checks once per record.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "ByteOrder.h"

namespace pdbform::codec {

class Cursor {
  public:
    explicit Cursor(std::span<const std::uint8_t> data) : data_(data) {}

    bool U8(std::uint8_t& v) {
        if (!Need(1)) return false;
        v = data_[pos_++];
        return true;
    }
    bool U16(std::uint16_t& v) { return Step(LoadU16(data_, pos_, v), 2); }
    bool I16(std::int16_t& v) { return Step(LoadI16(data_, pos_, v), 2); }
    bool U32(std::uint32_t& v) { return Step(LoadU32(data_, pos_, v), 4); }
    bool I32(std::int32_t& v) { return Step(LoadI32(data_, pos_, v), 4); }
    bool F32(float& v) { return Step(LoadF32(data_, pos_, v), 4); }
    bool F64(double& v) { return Step(LoadF64(data_, pos_, v), 8); }
    // `n` raw bytes.
    bool Bytes(std::size_t n, std::vector<std::uint8_t>& v) {
        if (!Need(n)) return false;
        v.assign(data_.begin() + static_cast<std::ptrdiff_t>(pos_),
                 data_.begin() + static_cast<std::ptrdiff_t>(pos_ + n));
        pos_ += n;
        return true;
    }
    // A NUL-padded field of `n` bytes; the text ends at the first NUL.
    bool Name(std::size_t n, std::string& v) {
        if (!Need(n)) return false;
        const auto* p = data_.data() + pos_;
        std::size_t len = 0;
        while (len < n && p[len] != 0) ++len;
        v.assign(reinterpret_cast<const char*>(p), len);
        pos_ += n;
        return true;
    }
    // A counted string: one length byte, then that many bytes.
    bool Counted(std::string& v) {
        std::uint8_t n = 0;
        if (!U8(n) || !Need(n)) return false;
        v.assign(reinterpret_cast<const char*>(data_.data() + pos_), n);
        pos_ += n;
        return true;
    }
    bool Skip(std::size_t n) {
        if (!Need(n)) return false;
        pos_ += n;
        return true;
    }
    [[nodiscard]] bool Good() const { return good_; }
    [[nodiscard]] bool AtEnd() const { return good_ && pos_ == data_.size(); }
    [[nodiscard]] std::size_t Remaining() const { return data_.size() - pos_; }
    [[nodiscard]] std::size_t Offset() const { return pos_; }

  private:
    bool Need(std::size_t n) {
        if (!good_ || !FitsIn(data_.size(), pos_, n)) good_ = false;
        return good_;
    }
    bool Step(bool ok, std::size_t n) {
        if (!good_ || !ok) return good_ = false;
        pos_ += n;
        return true;
    }
    std::span<const std::uint8_t> data_;
    std::size_t pos_ = 0;
    bool good_ = true;
};

class Sink {
  public:
    explicit Sink(std::vector<std::uint8_t>& out) : out_(out) {}
    void U8(std::uint8_t v) { out_.push_back(v); }
    void U16(std::uint16_t v) { (void)StoreU16(Grow(2), 0, v); }
    void I16(std::int16_t v) { (void)StoreI16(Grow(2), 0, v); }
    void U32(std::uint32_t v) { (void)StoreU32(Grow(4), 0, v); }
    void I32(std::int32_t v) { (void)StoreI32(Grow(4), 0, v); }
    void F32(float v) { (void)StoreF32(Grow(4), 0, v); }
    void F64(double v) { (void)StoreF64(Grow(8), 0, v); }
    void Bytes(std::span<const std::uint8_t> v) { out_.insert(out_.end(), v.begin(), v.end()); }
    void Zeros(std::size_t n) { out_.insert(out_.end(), n, 0); }
    // A NUL-padded field of `n` bytes holding at most `maxText` bytes of `text`,
    // cut at a code page 932 character boundary.
    void Name(std::string_view text, std::size_t n, std::size_t maxText);
    // A counted string of at most 255 bytes, cut at a character boundary.
    void Counted(std::string_view text);

  private:
    std::span<std::uint8_t> Grow(std::size_t n) {
        out_.resize(out_.size() + n);
        return std::span<std::uint8_t>(out_).subspan(out_.size() - n);
    }
    std::vector<std::uint8_t>& out_;
};

}  // namespace pdbform::codec
