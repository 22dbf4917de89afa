// The record list.
//
// A list pointer comes back from callers that may hold a stale or wrong one (a list
// destroyed on one path and used again on another). Reading a magic number through such
// a pointer would itself read memory the list no longer owns, so validity is decided
// first by the address alone, against the set of lists that are alive; the magic is
// checked only behind a live address.
//
// The arrays and the block are grown with realloc so that a failed growth leaves the old
// memory in place: the list stays usable and unchanged, and the caller gets the code.
#include "support/util/RecList.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <unordered_set>

struct RecList {
    std::uint32_t magic = 0;
    int slotStep = 0;
    int dataStep = 0;
    int slotCapacity = 0;
    int count = 0;
    std::size_t* offsets = nullptr;
    std::size_t* lengths = nullptr;
    std::size_t dataCapacity = 0;
    std::size_t freeBytes = 0;
    std::size_t totalUsed = 0;
    std::uint8_t* data = nullptr;
};

namespace {

// Counts and offsets stay within what a signed 32-bit field of the list can hold.
constexpr std::size_t kMaxDataBytes = INT_MAX;

std::mutex& RegistryMutex() {
    static std::mutex mutex;
    return mutex;
}

std::unordered_set<const RecList*>& Registry() {
    static std::unordered_set<const RecList*> live;
    return live;
}

bool IsValid(const RecList* list) {
    if (list == nullptr) return false;
    {
        std::lock_guard<std::mutex> lock(RegistryMutex());
        if (Registry().count(list) == 0) return false;
    }
    return list->magic == kRecListMagic;
}

bool Register(const RecList* list) {
    std::lock_guard<std::mutex> lock(RegistryMutex());
    try {
        Registry().insert(list);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

// Removes `list` from the live set; false when it was not there.
bool Unregister(const RecList* list) {
    std::lock_guard<std::mutex> lock(RegistryMutex());
    return Registry().erase(list) == 1;
}

// realloc of `count` elements of T; the old array is kept when it fails.
template <class T>
bool GrowArray(T*& array, std::size_t count) {
    if (count > SIZE_MAX / sizeof(T)) return false;
    void* grown = std::realloc(array, count * sizeof(T));
    if (grown == nullptr) return false;
    array = static_cast<T*>(grown);
    return true;
}

void FreeContents(RecList* list) {
    std::free(list->offsets);
    std::free(list->lengths);
    std::free(list->data);
}

// Makes room for one more record.
bool GrowSlots(RecList* list) {
    if (list->count == INT_MAX) return false;
    const long long wanted =
        static_cast<long long>(list->slotStep) * (list->count / list->slotStep + 1);
    const int capacity = wanted > INT_MAX ? INT_MAX : static_cast<int>(wanted);
    const auto entries = static_cast<std::size_t>(capacity);
    // Grown one after the other: when the second fails the first is merely larger than
    // needed, and the capacity still names what both hold.
    if (!GrowArray(list->offsets, entries) || !GrowArray(list->lengths, entries)) return false;
    list->slotCapacity = capacity;
    return true;
}

// Makes at least `length` data bytes free.
bool GrowData(RecList* list, std::size_t length) {
    const std::size_t missing = length - list->freeBytes;
    const auto step = static_cast<std::size_t>(list->dataStep);
    if (list->dataCapacity > kMaxDataBytes || missing > kMaxDataBytes - list->dataCapacity)
        return false;
    std::size_t growth = step * (missing / step + 1);  // both factors below 2^32: no overflow
    if (growth > kMaxDataBytes - list->dataCapacity) growth = kMaxDataBytes - list->dataCapacity;
    if (!GrowArray(list->data, list->dataCapacity + growth)) return false;
    list->dataCapacity += growth;
    list->freeBytes += growth;
    return true;
}

}  // namespace

RecList* RecList_Create(int slotStep, int dataStep) {
    if (slotStep < 0 || dataStep < 0) return nullptr;
    auto* list = new (std::nothrow) RecList();
    if (list == nullptr) return nullptr;
    list->magic = kRecListMagic;
    list->slotStep = slotStep == 0 ? kRecListDefaultSlotStep : slotStep;
    list->dataStep = dataStep == 0 ? kRecListDefaultDataStep : dataStep;
    if (!Register(list)) {
        delete list;
        return nullptr;
    }
    return list;
}

int RecList_Append(RecList* list, const void* data, std::size_t length) {
    if (!IsValid(list)) return kRecListAppendInvalid;
    if (list->count >= list->slotCapacity && !GrowSlots(list)) return kRecListSlotsNotGrown;
    if (list->freeBytes < length && !GrowData(list, length)) return kRecListDataNotGrown;
    const std::size_t offset = list->totalUsed;
    if (length > 0) {
        if (data != nullptr) {
            std::memcpy(list->data + offset, data, length);
        } else {
            std::memset(list->data + offset, 0, length);
        }
    }
    list->offsets[list->count] = offset;
    list->lengths[list->count] = length;
    ++list->count;
    list->totalUsed += length;
    list->freeBytes -= length;
    return 0;
}

int RecList_Count(const RecList* list) { return IsValid(list) ? list->count : 0; }

int RecList_Get(const RecList* list, int n, const std::uint8_t*& data, std::size_t& length) {
    if (!IsValid(list)) return kRecListGetInvalid;
    if (n < 1 || n > list->count) return kRecListGetOutOfRange;
    const auto index = static_cast<std::size_t>(n - 1);
    data = list->data ? list->data + list->offsets[index] : nullptr;
    length = list->lengths[index];
    return 0;
}

int RecList_Data(const RecList* list, const std::uint8_t*& block, std::size_t& total) {
    if (!IsValid(list)) return kRecListDataInvalid;
    block = list->data;
    total = list->totalUsed;
    return 0;
}

int RecList_Reset(RecList* list) {
    if (!IsValid(list)) return kRecListResetInvalid;
    const auto slots = static_cast<std::size_t>(list->slotStep);
    const auto bytes = static_cast<std::size_t>(list->dataStep);
    auto* offsets = static_cast<std::size_t*>(std::calloc(slots, sizeof(std::size_t)));
    auto* lengths = static_cast<std::size_t*>(std::calloc(slots, sizeof(std::size_t)));
    auto* data = static_cast<std::uint8_t*>(std::calloc(bytes, 1));
    if (offsets == nullptr || lengths == nullptr || data == nullptr) {
        std::free(offsets);
        std::free(lengths);
        std::free(data);
        return kRecListResetNoMemory;
    }
    FreeContents(list);
    list->offsets = offsets;
    list->lengths = lengths;
    list->data = data;
    list->slotCapacity = list->slotStep;
    list->count = 0;
    list->dataCapacity = bytes;
    list->freeBytes = bytes;
    list->totalUsed = 0;
    return 0;
}

void RecList_Destroy(RecList* list) {
    if (list == nullptr || !Unregister(list)) return;
    FreeContents(list);
    list->magic = 0;
    delete list;
}
