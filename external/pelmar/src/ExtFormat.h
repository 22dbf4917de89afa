// The byte layout of the extension file (.Fnn): its header, its tagged entries and
// the check of a whole file.
//
// File: 16-byte header ("MVNPDBX\0", u32 revision 1, u32 entry count), then the
// entries, each u16 tag, u16 0, u32 content length, the content. The header's count
// is the commit mark: only the first `count` entries belong to the file; bytes after
// them are the remains of an append that was interrupted before it was counted and
// are ignored (never validated, never merged).
//
// ScanExtFile checks every counted entry: the reserved word zero, the content inside
// the file, a known tag with exactly its content size, the head entry first and only
// there, layer numbers 1-255, element and hole numbers non-zero, a line pattern of at
// least eight floats, a known hole piece type, piece indices that continue the piece
// right before them, hole ends that match the pieces before them. Counts are checked
// against the file size before anything is read for them, so a hostile count never
// leads to a long loop or a large allocation.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "pdbform/ExtensionEntries.h"
#include "pelmar/Pelmar.h"

namespace pelmar {

inline constexpr std::size_t kHeaderSize = 16;
inline constexpr std::size_t kEntryHeadSize = 8;
inline constexpr std::size_t kCountOffset = 12;
inline constexpr std::uint32_t kRevision = 1;
inline constexpr std::uint64_t kMaxExtFileSize = PELMAR_MAX_EXTFILE_SIZE;
inline constexpr char kMagic[8] = {'M', 'V', 'N', 'P', 'D', 'B', 'X', '\0'};

// Tags and entry sizes are the form's (pdbform/ExtensionEntries.h).
using namespace pdbform::ext;

// Size of a hole piece record of `type` (the i16 type and its doubles); 0 for a type
// that is not a segment, arc or circle.
[[nodiscard]] std::size_t HolePieceSize(std::int16_t type);

// The last counted entry when it is a hole piece: which hole and its piece index.
struct LastPiece {
    bool valid = false;
    std::uint32_t elemNo = 0;
    std::uint16_t holeNo = 0;
    std::uint16_t index = 0;
    [[nodiscard]] bool Is(std::uint32_t elem, std::uint16_t hole) const {
        return valid && elemNo == elem && holeNo == hole;
    }
};

// Where one counted entry's content lies in the file's bytes.
struct EntryRef {
    std::uint16_t tag = 0;
    std::size_t offset = 0;  // of the content
    std::size_t length = 0;
};

// What a scan of a valid file found.
struct ExtScan {
    std::uint32_t count = 0;
    std::size_t committedEnd = 0;  // one past the last counted entry
    LastPiece lastPiece;
    std::vector<EntryRef> entries;  // filled only when asked for
};

// Checks `bytes` as a whole extension file (see above). True and `out` filled for a
// valid file; false with `reason` (optional) for a damaged one. `withEntries` also
// lists where each entry lies.
[[nodiscard]] bool ScanExtFile(std::span<const std::uint8_t> bytes, ExtScan& out, bool withEntries,
                               std::string* reason = nullptr);

// The 16 header bytes for `count` entries.
[[nodiscard]] std::vector<std::uint8_t> EncodeHeader(std::uint32_t count);

// Builds the content of one entry field by field, little-endian.
class ContentBuilder {
  public:
    void U8(std::uint8_t v) { bytes_.push_back(v); }
    void I16(std::int16_t v);
    void U16(std::uint16_t v);
    void I32(std::int32_t v);
    void U32(std::uint32_t v);
    void F32(float v);
    void F64(double v);
    void Raw(std::span<const std::uint8_t> v) { bytes_.insert(bytes_.end(), v.begin(), v.end()); }
    // `text` in a NUL-padded field of `field` bytes; the caller has cut it to fit.
    void Field(std::string_view text, std::size_t field);
    [[nodiscard]] const std::vector<std::uint8_t>& Bytes() const { return bytes_; }

  private:
    std::span<std::uint8_t> Grow(std::size_t n);
    std::vector<std::uint8_t> bytes_;
};

// One whole tagged entry (head and content) as it is appended to the file.
[[nodiscard]] std::vector<std::uint8_t> EncodeEntry(std::uint16_t tag,
                                                    std::span<const std::uint8_t> content);

}  // namespace pelmar
