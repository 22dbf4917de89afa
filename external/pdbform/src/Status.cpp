#include "pdbform/Status.h"

namespace pdbform {

const char* StatusText(Status status) {
    switch (status) {
        case Status::kOk:
            return "ok";
        case Status::kOpenFailed:
            return "cannot open the file";
        case Status::kReadFailed:
            return "cannot read the file";
        case Status::kWriteFailed:
            return "cannot write the file";
        case Status::kBadFileSize:
            return "file size is not a valid block count";
        case Status::kBadVersion:
            return "form version outside 250-260";
        case Status::kBadMagic:
            return "directory magic is wrong";
        case Status::kBadRevision:
            return "unknown directory revision";
        case Status::kBadBlockCount:
            return "block count does not match the file size";
        case Status::kBadDirectoryCrc:
            return "directory CRC does not match";
        case Status::kBadSectionTable:
            return "section table is malformed";
        case Status::kBadSectionBounds:
            return "section lies outside the file or overlaps another";
        case Status::kBadSectionCrc:
            return "section CRC or padding does not match";
        case Status::kBadIndex:
            return "element index is malformed";
        case Status::kBadRecord:
            return "element record is malformed";
        case Status::kBadTable:
            return "table length does not match its entries";
        case Status::kBadSection:
            return "section contents are malformed";
        case Status::kDeadReference:
            return "reference to a position that is not a live element";
        case Status::kPlacementCycle:
            return "placement contains itself or nests too deep";
        case Status::kFull:
            return "no element position left";
    }
    return "unknown status";
}

}  // namespace pdbform
