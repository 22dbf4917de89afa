#include "pdbform/DrawingInfo.h"

#include "ByteOrder.h"

namespace pdbform {

std::optional<std::int32_t> SheetInfo::DeviceId(int index) const {
    if (index < 0 || index > 3 || !entries[static_cast<std::size_t>(index)]) return std::nullopt;
    std::int32_t id = 0;
    if (!LoadI32(*entries[static_cast<std::size_t>(index)], 536, id)) return std::nullopt;
    return id;
}

}  // namespace pdbform
