// Pelmar's exports: the arguments are checked and turned into entry contents here,
// the file work is ExtStore's, the PDB is read and written through pdbform.
//
// Every text is cut to its field with the code page 932 helpers, so a name never
// ends in the first byte of a double-byte character. Texts and pieces are read no
// further than their field needs: a name only up to one byte past its field (enough
// to see whether the last character fits), a hole piece only up to the size its type
// gives.
//
// The library is built with hidden visibility; only the contract's functions,
// declared under this pragma, are exported.
#pragma GCC visibility push(default)
#include "pelmar/Pelmar.h"
#pragma GCC visibility pop

#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "ByteOrder.h"
#include "ExtFormat.h"
#include "ExtStore.h"
#include "pdbform/FormIo.h"
#include "pdbform/PdbFile.h"
#include "platform/Cp932.h"
#include "platform/Prefix.h"

namespace {

using pelmar::ContentBuilder;
using pelmar::LastPiece;

std::int32_t HostPathOf(const char* windowsPath, std::string& host) {
    if (windowsPath == nullptr) return PELMAR_E_ARGUMENT;
    if (*windowsPath == '\0') return PELMAR_E_PATH;
    return platform::ToHostPath(windowsPath, host) == platform::kErrorSuccess ? PELMAR_OK
                                                                              : PELMAR_E_PATH;
}

// `text` cut on a character boundary to at most `maxBytes` bytes.
std::string CutText(const char* text, std::size_t maxBytes) {
    return platform::CutToBytes(std::string_view(text, ::strnlen(text, maxBytes + 1)), maxBytes);
}

// Appends one entry to the extension file named by a Windows path.
std::int32_t Append(const char* extPath, std::uint16_t tag, const pelmar::ContentMaker& make) {
    std::string host;
    if (std::int32_t rc = HostPathOf(extPath, host); rc != PELMAR_OK) return rc;
    return pelmar::AppendEntry(host, tag, make);
}

// A pen and a paint pen share their layout.
std::int32_t AppendPen(const char* extPath, std::uint16_t tag, std::int16_t number,
                       std::uint8_t red, std::uint8_t green, std::uint8_t blue, double width,
                       std::int32_t rgbCD, std::int32_t widthCD) {
    return Append(extPath, tag, [&](const LastPiece&, ContentBuilder& c) {
        c.I16(number);
        c.U8(red);
        c.U8(green);
        c.U8(blue);
        c.U8(0);
        c.F64(width);
        c.I32(rgbCD);
        c.I32(widthCD);
        return PELMAR_OK;
    });
}

// The hole piece record behind `piece`: its type first, then exactly its size.
std::int32_t ReadPiece(const void* piece, std::vector<std::uint8_t>& record) {
    if (piece == nullptr) return PELMAR_E_ARGUMENT;
    const auto* bytes = static_cast<const std::uint8_t*>(piece);
    std::int16_t type = 0;
    if (!LoadI16(std::span<const std::uint8_t>(bytes, 2), 0, type)) return PELMAR_E_ARGUMENT;
    const std::size_t size = pelmar::HolePieceSize(type);
    if (size == 0) return PELMAR_E_ARGUMENT;
    record.assign(bytes, bytes + size);
    return PELMAR_OK;
}

bool ValidHole(std::int32_t elemNo, std::int32_t holeNo) {
    return elemNo >= 1 && holeNo >= 1 && holeNo <= 0xFFFF;
}

// Appends a hole piece; `first` starts the hole, else the piece continues it.
std::int32_t AppendPiece(const char* extPath, std::int32_t elemNo, std::int32_t holeNo,
                         const void* piece, bool first) {
    if (!ValidHole(elemNo, holeNo)) return PELMAR_E_ARGUMENT;
    std::vector<std::uint8_t> record;
    if (std::int32_t rc = ReadPiece(piece, record); rc != PELMAR_OK) return rc;
    const auto elem = static_cast<std::uint32_t>(elemNo);
    const auto hole = static_cast<std::uint16_t>(holeNo);
    return Append(extPath, pelmar::kTagHolePiece, [&](const LastPiece& last, ContentBuilder& c) {
        std::uint16_t index = 0;
        if (!first) {
            if (!last.Is(elem, hole)) return PELMAR_E_ORDER;
            // The hole end counts the pieces in 16 bits: at most 65,535 of them.
            if (last.index >= 0xFFFE) return PELMAR_E_TOO_LARGE;
            index = static_cast<std::uint16_t>(last.index + 1);
        }
        c.U32(elem);
        c.U16(hole);
        c.U16(index);
        c.Raw(record);
        return PELMAR_OK;
    });
}

std::int32_t FromLoadStatus(pdbform::Status st, const std::string& host) {
    switch (st) {
        case pdbform::Status::kOk:
            return PELMAR_OK;
        case pdbform::Status::kOpenFailed: {
            struct stat info {};
            return ::stat(host.c_str(), &info) != 0 ? PELMAR_E_NOT_FOUND : PELMAR_E_IO;
        }
        case pdbform::Status::kReadFailed:
            return PELMAR_E_IO;
        default:
            return PELMAR_E_BAD_PDB;
    }
}

std::int32_t FromSaveStatus(pdbform::Status st) {
    switch (st) {
        case pdbform::Status::kOk:
            return PELMAR_OK;
        case pdbform::Status::kWriteFailed:
            return PELMAR_E_IO;
        case pdbform::Status::kBadFileSize:
            return PELMAR_E_TOO_LARGE;
        default:
            return PELMAR_E_BAD_PDB;
    }
}

}  // namespace

extern "C" {

int32_t PDB_Query_PdmDataBase(const char* path) {
    std::string host;
    if (HostPathOf(path, host) != PELMAR_OK) return 0;
    pdbform::PdbFile pdb;
    if (pdbform::Load(host, pdb) != pdbform::Status::kOk) return 0;
    return (pdb.flags & pdbform::kFlagExtensionMerged) != 0 ? 1 : 0;
}

int32_t PDB_Put_HeadInfo(const char* extPath, int32_t sourceKind) {
    std::string host;
    if (std::int32_t rc = HostPathOf(extPath, host); rc != PELMAR_OK) return rc;
    ContentBuilder c;
    c.I32(sourceKind);
    return pelmar::StartExtFile(host, c.Bytes());
}

int32_t PDB_Put_PenInfo_CL(const char* extPath, int16_t penNo, uint8_t red, uint8_t green,
                           uint8_t blue, double width, int32_t rgbCD, int32_t widthCD) {
    return AppendPen(extPath, pelmar::kTagPen, penNo, red, green, blue, width, rgbCD, widthCD);
}

int32_t PDB_Put_TrueTypeFontName(const char* extPath, int16_t fontId, const char* faceName) {
    if (faceName == nullptr) return PELMAR_E_ARGUMENT;
    const std::string name = CutText(faceName, pelmar::kFaceNameField - 1);
    return Append(extPath, pelmar::kTagFont, [&](const LastPiece&, ContentBuilder& c) {
        c.I16(fontId);
        c.Field(name, pelmar::kFaceNameField);
        return PELMAR_OK;
    });
}

int32_t PDB_Put_PaintPenInfo_CL(const char* extPath, int16_t paintNo, uint8_t red, uint8_t green,
                                uint8_t blue, double width, int32_t rgbCD, int32_t widthCD) {
    return AppendPen(extPath, pelmar::kTagPaintPen, paintNo, red, green, blue, width, rgbCD,
                     widthCD);
}

int32_t PDB_DEF_LAYER_Plus(const char* extPath, int16_t layerNo, const char* layerName, uint8_t red,
                           uint8_t green, uint8_t blue, double width) {
    if (layerName == nullptr || layerNo < 1 || layerNo > 255) return PELMAR_E_ARGUMENT;
    const std::string name = CutText(layerName, pelmar::kLayerNameField);
    return Append(extPath, pelmar::kTagLayer, [&](const LastPiece&, ContentBuilder& c) {
        c.I16(layerNo);
        c.Field(name, pelmar::kLayerNameField);
        c.U8(red);
        c.U8(green);
        c.U8(blue);
        c.U8(0);
        c.F64(width);
        return PELMAR_OK;
    });
}

int32_t PDB_ATT_SYMB_Plus(const char* extPath, int32_t elemNo, double ratio, int32_t flag,
                          double d7, double d9) {
    if (elemNo < 1) return PELMAR_E_ARGUMENT;
    return Append(extPath, pelmar::kTagSymbol, [&](const LastPiece&, ContentBuilder& c) {
        c.U32(static_cast<std::uint32_t>(elemNo));
        c.F64(ratio);
        c.I32(flag);
        c.F64(d7);
        c.F64(d9);
        return PELMAR_OK;
    });
}

int32_t PDB_ATT_LINE_Plus(const char* extPath, int32_t elemNo, uint8_t segcnt,
                          const float* floats) {
    if (elemNo < 1 || floats == nullptr) return PELMAR_E_ARGUMENT;
    const std::size_t m = std::max<std::size_t>(pelmar::kMinPatternFloats, segcnt);
    return Append(extPath, pelmar::kTagLinePattern, [&](const LastPiece&, ContentBuilder& c) {
        c.U32(static_cast<std::uint32_t>(elemNo));
        c.U8(segcnt);
        c.U8(static_cast<std::uint8_t>(m));
        for (std::size_t i = 0; i < m; ++i) c.F32(floats[i]);
        return PELMAR_OK;
    });
}

int32_t PDB_Put_hole_prm(const char* extPath, int32_t elemNo, int32_t holeNo, const void* piece) {
    return AppendPiece(extPath, elemNo, holeNo, piece, true);
}

int32_t PDB_Put_hole_prmNext(const char* extPath, int32_t elemNo, int32_t holeNo,
                             const void* piece) {
    return AppendPiece(extPath, elemNo, holeNo, piece, false);
}

int32_t PDB_Put_hole_prmEnd(const char* extPath, int32_t elemNo, int32_t holeNo) {
    if (!ValidHole(elemNo, holeNo)) return PELMAR_E_ARGUMENT;
    const auto elem = static_cast<std::uint32_t>(elemNo);
    const auto hole = static_cast<std::uint16_t>(holeNo);
    return Append(extPath, pelmar::kTagHoleEnd, [&](const LastPiece& last, ContentBuilder& c) {
        c.U32(elem);
        c.U16(hole);
        c.U16(last.Is(elem, hole) ? static_cast<std::uint16_t>(last.index + 1) : 0);
        return PELMAR_OK;
    });
}

int32_t PDB_PdmExData_resize(const char* extPath) {
    std::string host;
    if (std::int32_t rc = HostPathOf(extPath, host); rc != PELMAR_OK) return rc;
    return pelmar::CompactExtFile(host);
}

int32_t PDB_Union_DraftNPdmDataBase(const char* pdbPath, const char* extPath) {
    std::string pdbHost;
    std::string extHost;
    if (std::int32_t rc = HostPathOf(pdbPath, pdbHost); rc != PELMAR_OK) return rc;
    if (std::int32_t rc = HostPathOf(extPath, extHost); rc != PELMAR_OK) return rc;

    // One union at a time in this process: two threads merging into the same PDB
    // would otherwise each save their own load, and one merge would be lost.
    static std::mutex unionLock;
    std::lock_guard<std::mutex> hold(unionLock);

    // The extension file first: a damaged one must not cost a load of the PDB.
    std::vector<std::uint8_t> ext;
    pelmar::ExtScan scan;
    if (std::int32_t rc = pelmar::ReadExtFile(extHost, ext, scan); rc != PELMAR_OK) return rc;

    pdbform::PdbFile pdb;
    if (std::int32_t rc = FromLoadStatus(pdbform::Load(pdbHost, pdb), pdbHost); rc != PELMAR_OK) {
        return rc;
    }
    pdb.extension.reserve(pdb.extension.size() + scan.entries.size());
    for (const pelmar::EntryRef& e : scan.entries) {
        const auto first = ext.begin() + static_cast<std::ptrdiff_t>(e.offset);
        pdb.extension.push_back(pdbform::ExtensionEntry{
            e.tag,
            std::vector<std::uint8_t>(first, first + static_cast<std::ptrdiff_t>(e.length))});
    }
    pdb.flags |= pdbform::kFlagExtensionMerged;
    // Save writes a new file beside the PDB and renames it over: the PDB is the old
    // one or the merged one, whatever happens meanwhile.
    return FromSaveStatus(pdbform::Save(pdb, pdbHost));
}

}  // extern "C"
