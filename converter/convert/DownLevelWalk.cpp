// The down-level walk: the normal walk's loop and per-kind conversions with the context
// at the down level, so that no kind has a second copy of its conversion.
#include "convert/DownLevelWalk.h"

#include "convert/ConvertStatus.h"
#include "convert/ElementWalk.h"
#include "convert/WalkContext.h"
#include "support/db/ElementRecords.h"

namespace {

// The down level's layer override, in force while the walk runs.
class DownLevelOverride {
  public:
    DownLevelOverride() {
        Walk_UseDownLevelOverride(true);
        Walk_SetLayerOverride(0);
    }
    ~DownLevelOverride() { Walk_UseDownLevelOverride(false); }
    DownLevelOverride(const DownLevelOverride&) = delete;
    DownLevelOverride& operator=(const DownLevelOverride&) = delete;
};

}  // namespace

int Walk_DownLevelElements(DrawingHandle& handle) {
    ElementWalkContext context;
    if (const int begun = Walk_Begin(context, WalkLevel::kDownLevel); begun != kConvertOk) {
        return begun;
    }
    int status = kConvertOk;
    {
        const DownLevelOverride override;
        status = Walk_EachElement(handle, context);
    }
    PdmDb_SetElemAttr(context.imageCount);
    return status;
}
