// The extension file's layout and its check. Every read goes through the checked
// little-endian loads, and every length is compared with what is left of the file
// before it is used, so a damaged or hostile file ends in `false`, never in a read
// beyond the bytes.
#include "ExtFormat.h"

#include <algorithm>
#include <cstring>

#include "ByteOrder.h"

namespace pelmar {
namespace {

bool Fail(std::string* reason, std::string text) {
    if (reason) *reason = std::move(text);
    return false;
}

// The content size a tag requires; 0 for the variable ones (line pattern, hole
// piece) and for unknown tags.
std::size_t FixedSize(std::uint16_t tag) {
    switch (tag) {
        case kTagHead:
            return kHeadSize;
        case kTagLayer:
            return kLayerSize;
        case kTagPen:
        case kTagPaintPen:
            return kPenSize;
        case kTagFont:
            return kFontSize;
        case kTagSymbol:
            return kSymbolSize;
        case kTagHoleEnd:
            return kHoleEndSize;
        default:
            return 0;
    }
}

// Checks one entry's content against its tag and against the entry before it (for
// the order of hole pieces). Updates `last` to describe this entry.
bool CheckContent(std::uint16_t tag, std::span<const std::uint8_t> c, std::uint32_t index,
                  LastPiece& last, std::string* reason) {
    const auto where = [&] {
        return "entry " + std::to_string(index + 1) + " (tag " + std::to_string(tag) + ")";
    };
    if (tag < kTagHead || tag > kTagHoleEnd) return Fail(reason, where() + ": unknown tag");
    if ((tag == kTagHead) != (index == 0)) {
        return Fail(reason, where() + ": the head entry must be the first and only the first");
    }
    if (const std::size_t want = FixedSize(tag); want != 0 && c.size() != want) {
        return Fail(reason, where() + ": wrong length");
    }
    LastPiece now;
    switch (tag) {
        case kTagLayer: {
            std::int16_t layer = 0;
            if (!LoadI16(c, 0, layer) || layer < 1 || layer > 255) {
                return Fail(reason, where() + ": layer number outside 1-255");
            }
            break;
        }
        case kTagFont: {
            // At most 31 bytes of name: the field holds its terminating NUL.
            const auto name = c.subspan(2, kFaceNameField);
            if (std::find(name.begin(), name.end(), std::uint8_t{0}) == name.end()) {
                return Fail(reason, where() + ": face name not terminated");
            }
            break;
        }
        case kTagSymbol:
        case kTagLinePattern:
        case kTagHolePiece:
        case kTagHoleEnd: {
            std::uint32_t elem = 0;
            if (!LoadU32(c, 0, elem) || elem == 0)
                return Fail(reason, where() + ": no element number");
            if (tag == kTagLinePattern) {
                if (c.size() < 6) return Fail(reason, where() + ": truncated");
                const std::size_t segcnt = c[4];
                const std::size_t m = c[5];
                if (m < kMinPatternFloats || m < segcnt || c.size() != 6 + 4 * m) {
                    return Fail(reason, where() + ": float count does not fit");
                }
            } else if (tag == kTagHolePiece || tag == kTagHoleEnd) {
                std::uint16_t hole = 0;
                std::uint16_t n = 0;
                if (!LoadU16(c, 4, hole) || !LoadU16(c, 6, n) || hole == 0) {
                    return Fail(reason, where() + ": no hole number");
                }
                if (tag == kTagHolePiece) {
                    std::int16_t type = 0;
                    if (!LoadI16(c, kHolePieceHeadSize, type) || HolePieceSize(type) == 0 ||
                        c.size() != kHolePieceHeadSize + HolePieceSize(type)) {
                        return Fail(reason, where() + ": unknown piece type or wrong length");
                    }
                    // A further piece continues the piece right before it.
                    if (n != 0 && !(last.Is(elem, hole) && last.index + 1 == n)) {
                        return Fail(reason, where() + ": piece out of order");
                    }
                    now = LastPiece{true, elem, hole, n};
                } else {
                    const bool follows = last.Is(elem, hole);
                    if (n != (follows ? last.index + 1 : 0)) {
                        return Fail(reason, where() + ": hole end does not match its pieces");
                    }
                }
            }
            break;
        }
        default:
            break;
    }
    last = now;
    return true;
}

}  // namespace

std::size_t HolePieceSize(std::int16_t type) {
    switch (type) {
        case PELMAR_HOLE_SEGMENT:
            return PELMAR_HOLE_SEGMENT_SIZE;
        case PELMAR_HOLE_ARC:
            return PELMAR_HOLE_ARC_SIZE;
        case PELMAR_HOLE_CIRCLE:
            return PELMAR_HOLE_CIRCLE_SIZE;
        default:
            return 0;
    }
}
static_assert(PELMAR_HOLE_SEGMENT_SIZE == 2 + 4 * 8 && PELMAR_HOLE_ARC_SIZE == 2 + 6 * 8 &&
              PELMAR_HOLE_CIRCLE_SIZE == 2 + 3 * 8);

bool ScanExtFile(std::span<const std::uint8_t> bytes, ExtScan& out, bool withEntries,
                 std::string* reason) {
    if (bytes.size() > kMaxExtFileSize) return Fail(reason, "file too large");
    if (bytes.size() < kHeaderSize) return Fail(reason, "shorter than its header");
    if (std::memcmp(bytes.data(), kMagic, sizeof kMagic) != 0) return Fail(reason, "wrong magic");
    std::uint32_t revision = 0;
    std::uint32_t count = 0;
    if (!LoadU32(bytes, 8, revision) || !LoadU32(bytes, kCountOffset, count)) {
        return Fail(reason, "shorter than its header");
    }
    if (revision != kRevision) return Fail(reason, "unknown revision");
    if (count == 0) return Fail(reason, "no head entry");
    // Every entry takes at least its 8-byte head: a count beyond that cannot fit.
    if (count > (bytes.size() - kHeaderSize) / kEntryHeadSize) {
        return Fail(reason, "entry count does not fit the file");
    }
    ExtScan scan;
    scan.count = count;
    if (withEntries) scan.entries.reserve(count);
    std::size_t pos = kHeaderSize;
    LastPiece last;
    for (std::uint32_t i = 0; i < count; ++i) {
        std::uint16_t tag = 0;
        std::uint16_t zero = 0;
        std::uint32_t length = 0;
        if (!LoadU16(bytes, pos, tag) || !LoadU16(bytes, pos + 2, zero) ||
            !LoadU32(bytes, pos + 4, length)) {
            return Fail(reason, "entry " + std::to_string(i + 1) + " truncated");
        }
        if (zero != 0) return Fail(reason, "entry " + std::to_string(i + 1) + ": reserved word");
        const std::size_t content = pos + kEntryHeadSize;
        if (!FitsIn(bytes.size(), content, length)) {
            return Fail(reason, "entry " + std::to_string(i + 1) + " runs past the counted end");
        }
        if (!CheckContent(tag, bytes.subspan(content, length), i, last, reason)) return false;
        if (withEntries) scan.entries.push_back(EntryRef{tag, content, length});
        pos = content + length;
    }
    scan.committedEnd = pos;
    scan.lastPiece = last;
    out = std::move(scan);
    return true;
}

std::vector<std::uint8_t> EncodeHeader(std::uint32_t count) {
    std::vector<std::uint8_t> h(kHeaderSize, 0);
    std::memcpy(h.data(), kMagic, sizeof kMagic);
    (void)StoreU32(h, 8, kRevision);
    (void)StoreU32(h, kCountOffset, count);
    return h;
}

std::span<std::uint8_t> ContentBuilder::Grow(std::size_t n) {
    bytes_.resize(bytes_.size() + n);
    return std::span<std::uint8_t>(bytes_).last(n);
}

void ContentBuilder::I16(std::int16_t v) { (void)StoreI16(Grow(2), 0, v); }
void ContentBuilder::U16(std::uint16_t v) { (void)StoreU16(Grow(2), 0, v); }
void ContentBuilder::I32(std::int32_t v) { (void)StoreI32(Grow(4), 0, v); }
void ContentBuilder::U32(std::uint32_t v) { (void)StoreU32(Grow(4), 0, v); }
void ContentBuilder::F32(float v) { (void)StoreF32(Grow(4), 0, v); }
void ContentBuilder::F64(double v) { (void)StoreF64(Grow(8), 0, v); }

void ContentBuilder::Field(std::string_view text, std::size_t field) {
    const std::span<std::uint8_t> out = Grow(field);  // zero-filled: the padding
    std::memcpy(out.data(), text.data(), std::min(text.size(), field));
}

std::vector<std::uint8_t> EncodeEntry(std::uint16_t tag, std::span<const std::uint8_t> content) {
    std::vector<std::uint8_t> e(kEntryHeadSize + content.size(), 0);
    (void)StoreU16(e, 0, tag);
    (void)StoreU32(e, 4, static_cast<std::uint32_t>(content.size()));
    std::copy(content.begin(), content.end(), e.begin() + kEntryHeadSize);
    return e;
}

}  // namespace pelmar
