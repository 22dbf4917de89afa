// RecList: a growable list of variable-length byte records, addressed 1-based.
//
// The records lie one after the other in one data block; two arrays hold each record's
// offset and length. The arrays grow by the slot step (default 1024 records) and the
// block by the data step (default 4096 bytes), so appending many small records costs few
// allocations. A list is a handle: only a list made by RecList_Create and not yet
// destroyed is valid. Every operation first checks that (without touching the memory
// behind a pointer that is not a live list: a stray pointer, a destroyed list or garbage
// is reported by the operation's code) and that the list carries its magic number. (A
// destroyed list's address that a later RecList_Create happens to reuse names that new
// list again.)
//
// Not for use by several threads at once on the same list; different lists are
// independent (the set of live lists is guarded).
#pragma once

#include <cstddef>
#include <cstdint>

struct RecList;

inline constexpr std::uint32_t kRecListMagic = 0x11111112;
inline constexpr int kRecListDefaultSlotStep = 1024;
inline constexpr int kRecListDefaultDataStep = 4096;

inline constexpr int kRecListAppendInvalid = -9582;
inline constexpr int kRecListDataNotGrown = -9583;
inline constexpr int kRecListGetInvalid = -9584;
inline constexpr int kRecListGetOutOfRange = -9585;
inline constexpr int kRecListSlotsNotGrown = -9801;
inline constexpr int kRecListDataInvalid = -9802;
inline constexpr int kRecListResetInvalid = -9808;
inline constexpr int kRecListResetNoMemory = -9809;

// A new empty list. A step of 0 takes the default (1024 slots, 4096 bytes). Null when a
// step is negative or memory is short.
[[nodiscard]] RecList* RecList_Create(int slotStep, int dataStep);

// Appends a record of `length` bytes copied from `data`; a null `data` appends `length`
// zero bytes. When the count reaches the slot capacity, the capacity becomes
// slotStep x (count / slotStep + 1); when fewer than `length` data bytes are free, the
// block grows by dataStep x ((length - free) / dataStep + 1).
// 0; -9582 invalid list; -9801 the slot arrays could not grow (also: the count would
// pass 2^31 - 1); -9583 the data block could not grow (also: the total would pass
// 2^31 - 1 bytes). On an error the list is unchanged.
int RecList_Append(RecList* list, const void* data, std::size_t length);

// The number of records; 0 for an invalid list.
int RecList_Count(const RecList* list);

// The n-th record (1-based): `data` points at its bytes inside the list (valid until the
// next append, reset or destroy; null for a record of length 0 when the list has no data
// block yet), `length` is its byte count.
// 0; -9584 invalid list; -9585 n outside 1 ... count. Outputs untouched on an error.
int RecList_Get(const RecList* list, int n, const std::uint8_t*& data, std::size_t& length);

// The whole data block (all records in order) and its used byte count. 0; -9802 invalid
// list (outputs untouched).
int RecList_Data(const RecList* list, const std::uint8_t*& block, std::size_t& total);

// Empties the list: fresh arrays of slotStep entries and a data block of dataStep bytes,
// the magic and the steps kept. 0; -9808 invalid list; -9809 memory short (the list is
// then unchanged, records and all).
int RecList_Reset(RecList* list);

// Frees the arrays, the data block and the list itself; the pointer is invalid from then
// on. An invalid pointer (null, destroyed, never a list) is left alone.
void RecList_Destroy(RecList* list);
