// A read-only view of a file in PDB form that reads its elements on demand.
//
// Load (FormIo.h) builds the whole model in memory; a view instead keeps the file
// open and holds only what is small: the head block, the attribute and colour
// tables, layers, head texts, sheet information, background image, placements and
// definitions, paint areas and fill holes. Element index slots and element records
// are read from the file when asked for, through one cached index block and one
// read window, so the view's memory does not grow with the number of elements.
//
// Open makes every check Load makes on the frame and the small sections: size,
// head version, directory, section bounds, every section's CRC and padding (read in
// pieces), every index slot and the store's live count and length, the decoding of
// the small sections, and the references between records (positions looked up in
// the index). What is left for later is each element record's own head (its kind
// against its slot, F against the kind, 8 + F + R against the slot's length), which
// Layout checks whenever an element is reached. The extension area is checked by its
// CRC and padding only and not decoded (a view serves drawings); sections of unknown
// ids likewise.
//
// The file is read through its descriptor with pread: a file replaced by a rename
// while the view is open stays the old file for the view. Every read is bounded by
// the section it belongs to, and every slot and record head is checked again when it
// is read, so a file changed in place gives a status, never a read beyond the data.
//
// A view may be used from several threads; its caches are guarded by a mutex.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "pdbform/PdbFile.h"
#include "pdbform/Status.h"

namespace pdbform {

// One slot of the element index as the view reads it.
struct ElementSlot {
    SlotState state = SlotState::kNeverUsed;
    std::int16_t kind = 0;     // the kind as stored (kept by removed slots too)
    std::uint32_t length = 0;  // the record's length (live slots)
};

// Where the parts of one live element record lie: the kind as stored (2 bytes), the
// fixed-part length F (2 bytes), the F bytes of the fixed part, the rest length R
// (4 bytes), the R bytes of the rest. Offsets given to ReadRecord count from the
// record's first byte, so the fixed part starts at 4 and the rest at 8 + F.
struct RecordLayout {
    std::uint32_t position = 0;
    std::int16_t kind = 0;
    std::uint16_t fixedLength = 0;
    std::uint32_t restLength = 0;
    [[nodiscard]] std::uint64_t RecordLength() const {
        return 8 + std::uint64_t{fixedLength} + restLength;
    }
    [[nodiscard]] std::uint64_t FixedOffset() const { return 4; }
    [[nodiscard]] std::uint64_t RestOffset() const { return 8 + std::uint64_t{fixedLength}; }
};

class FileView {
  public:
    // Opens and checks `hostPath` (UTF-8 host path). kOk with `out` set; or
    // kOpenFailed (missing, not a regular file, denied), kReadFailed, or the status
    // of the first check that failed, with `reason` (optional) saying where.
    [[nodiscard]] static Status Open(const std::string& hostPath, std::unique_ptr<FileView>& out,
                                     std::string* reason = nullptr);

    ~FileView();
    FileView(const FileView&) = delete;
    FileView& operator=(const FileView&) = delete;

    // The small sections, decoded as Load decodes them. Holds no elements: use
    // Slot, Layout, ReadRecord and NextLive for those.
    [[nodiscard]] const PdbFile& Records() const { return records_; }

    // One past the highest position ever given (1 for a file without elements).
    [[nodiscard]] std::uint32_t NextPosition() const { return nextPosition_; }

    // The slot of `position`. Position 0, a block header or one at or after the next
    // position is never used. kOk; kBadIndex when the index block no longer checks;
    // kReadFailed.
    [[nodiscard]] Status Slot(std::uint32_t position, ElementSlot& out);

    // The layout of the live element at `position`, its record head checked.
    // kOk; kDeadReference when the position holds no live element; kBadRecord when
    // the record does not match its slot or kind; kBadIndex, kReadFailed.
    [[nodiscard]] Status Layout(std::uint32_t position, RecordLayout& out);

    // Reads `into.size()` bytes of the element's record from `offset` (counted from
    // the record's first byte). kOk; kBadRecord when the range leaves the record
    // (nothing is read); kReadFailed.
    [[nodiscard]] Status ReadRecord(const RecordLayout& layout, std::uint64_t offset,
                                    std::span<std::uint8_t> into);

    // The first live position after `after` (0 to start). kOk with `position` set, or
    // kOk with `position` 0 when there is none; kBadIndex, kReadFailed.
    [[nodiscard]] Status NextLive(std::uint32_t after, std::uint32_t& position);

    // The whole live element at `position` (kind, fixed part, rest). Statuses as
    // Layout and ReadRecord.
    [[nodiscard]] Status ReadElement(std::uint32_t position, Element& out);

  private:
    class Impl;
    explicit FileView(std::unique_ptr<Impl> impl);

    std::unique_ptr<Impl> impl_;
    PdbFile records_;
    std::uint32_t nextPosition_ = 1;
};

}  // namespace pdbform
