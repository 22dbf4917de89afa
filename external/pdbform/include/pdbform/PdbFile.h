// The in-memory model of one file in PDB form (a drawing or a PDB).
//
// Elements are kept by position. Appending gives the next element position
// (positions skip the index block headers 0, 128, 256, ... and are never reused);
// removing keeps the position as "removed". Records that belong to an element
// (placement, definition, paint area, fill holes) are keyed by its position.
// Read with Load, written with Save (FormIo.h).
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "pdbform/DrawingInfo.h"
#include "pdbform/Element.h"
#include "pdbform/Placements.h"
#include "pdbform/Status.h"
#include "pdbform/Tables.h"

namespace pdbform {

inline constexpr std::size_t kBlockSize = 2048;
inline constexpr std::uint16_t kFormVersion = 256;
inline constexpr std::uint16_t kFlagExtensionMerged = 1;

enum class SlotState : std::uint8_t { kNeverUsed = 0, kLive = 1, kRemoved = 2 };

// One tagged entry of the extension area (tags 1-8 and any other, kept as bytes).
struct ExtensionEntry {
    std::uint16_t tag = 0;
    std::vector<std::uint8_t> bytes;
    bool operator==(const ExtensionEntry&) const = default;
};

// A section whose id this library does not know: kept and written back as it was.
// Entries under ids 1-20 or 32 in PdbFile::unknownSections are ignored by the writer
// (those sections are written from the model).
struct UnknownSection {
    std::uint32_t itemCount = 0;
    std::vector<std::uint8_t> bytes;
    bool operator==(const UnknownSection&) const = default;
};

class PdbFile {
  public:
    // Head block (block 0); bytes 0-1 are the form version.
    std::array<std::uint8_t, kBlockSize> head{};
    std::uint16_t flags = 0;       // kFlagExtensionMerged
    std::uint32_t generation = 0;  // of the file last loaded or saved; 0 for a new model

    Table<LineAttribute> lineAttributes;
    Table<PointAttribute> pointAttributes;
    Table<FaceAttribute> faceAttributes;
    Table<MarkAttribute> markAttributes;
    Table<SymbolAttribute> symbolAttributes;
    Table<ArrowAttribute> arrowAttributes;
    Table<PenEntry> pens;
    Table<ColourEntry> colours;
    Table<WidthEntry> widths;
    Table<PaintColourEntry> paintColours;
    Table<FontEntry> fonts;

    std::vector<Layer> layers;  // in layer-number order
    std::optional<HeadTexts> headTexts;
    SheetInfo sheetInfo;
    std::optional<BackgroundImage> background;
    std::map<std::uint32_t, Placement> placements;    // by the kind-25 element's position
    std::map<std::uint32_t, Definition> definitions;  // by the defining element's position
    std::map<std::uint32_t, PaintArea> paintAreas;    // by the kind-29 element's position
    std::map<std::uint32_t, FillHoles> fillHoles;     // by the fill's position
    std::vector<ExtensionEntry> extension;
    std::map<std::uint16_t, UnknownSection> unknownSections;

    // Form version from the head block's first word.
    [[nodiscard]] std::uint16_t Version() const;

    // Appends `element` at the next element position and returns that position;
    // 0 (kFull) when 32-bit positions are used up.
    [[nodiscard]] std::uint32_t Append(Element element);
    // The live element at `position`, or nullptr (never used, removed, header slot).
    [[nodiscard]] const Element* Find(std::uint32_t position) const;
    [[nodiscard]] Element* FindMutable(std::uint32_t position);
    [[nodiscard]] SlotState StateOf(std::uint32_t position) const;
    // Removes the live element at `position` together with the records keyed by it
    // (placement, definition, paint area, fill holes). Returns the slot's state
    // before the call: only kLive removes anything. References to it from other
    // records stay; Save refuses the model until they are mended.
    SlotState Remove(std::uint32_t position);
    // Takes `position` out of every definition's member list and every paint area's
    // boundary and holes (a removed element leaves the groups that named it).
    void Unlink(std::uint32_t position);
    // True when a placement names `position` as its definition.
    [[nodiscard]] bool IsPlacedDefinition(std::uint32_t position) const;
    // Live elements in position order.
    [[nodiscard]] const std::map<std::uint32_t, Element>& Elements() const { return live_; }
    // Removed positions, in order.
    [[nodiscard]] const std::vector<std::uint32_t>& RemovedPositions() const { return removed_; }
    // One past the highest position ever given (1 for a file without elements).
    [[nodiscard]] std::uint32_t NextPosition() const { return nextPosition_; }
    // The highest layer number defined (0 without layers).
    [[nodiscard]] std::int16_t MaxLayer() const;

    // Checks the references between records: placements keyed by live elements and
    // naming a definition; definitions, members, paint-area and fill positions live;
    // no placement containing itself and nesting at most 64 deep. kOk,
    // kDeadReference or kPlacementCycle; `reason` (optional) says which.
    [[nodiscard]] Status CheckReferences(std::string* reason = nullptr) const;

    bool operator==(const PdbFile&) const = default;

  private:
    friend class FormReader;
    std::map<std::uint32_t, Element> live_;
    std::vector<std::uint32_t> removed_;  // sorted
    std::uint32_t nextPosition_ = 1;
};

// A model of an empty drawing with `head` as its head block; its version word is
// set to 256 when it is outside 250-260.
[[nodiscard]] PdbFile NewEmpty(const std::array<std::uint8_t, kBlockSize>& head);

// The highest nesting depth of placements allowed (a placement inside a
// definition inside a placement ... counts one per level).
inline constexpr int kMaxPlacementDepth = 64;

}  // namespace pdbform
