#include "pdbform/Placements.h"

namespace pdbform {

int HolePieceValueCount(std::uint16_t code) {
    switch (code) {
        case 1:
            return 4;
        case 2:
            return 6;
        case 3:
            return 3;
        case 4:
        case 5:
            return 0;
        case 6:
            return 7;
        default:
            return -1;
    }
}

}  // namespace pdbform
