// The template is data, not code: one row per field, applied by one loop, so the table
// can be read against the protocol's list line by line.
#include "support/db/DbHeadTemplate.h"

#include <cstring>
#include <string_view>

#include "support/ByteOrder.h"

namespace {

struct HeadRow {
    std::uint16_t offset;
    char type;  // 'B', 'W', 'L' or 'C'
    std::uint16_t count;
    double number;          // value of 'B', 'W' and 'L'
    std::string_view text;  // value of 'C'
};

constexpr HeadRow kHeadTemplate[] = {
    {8, 'W', 1, 1, {}},     {256, 'L', 8, 0.0, {}}, {321, 'L', 4, 0.0, {}},
    {512, 'W', 1, 1, {}},   {514, 'W', 1, 1, {}},   {544, 'W', 1, 1, {}},
    {576, 'W', 1, 20, {}},  {578, 'W', 1, 10, {}},  {580, 'W', 1, 70, {}},
    {582, 'W', 1, 15, {}},  {584, 'W', 1, 20, {}},  {586, 'W', 1, 70, {}},
    {588, 'W', 1, 15, {}},  {590, 'W', 1, 20, {}},  {608, 'W', 1, 1, {}},
    {610, 'W', 1, 1, {}},   {612, 'W', 1, 1, {}},   {624, 'W', 1, 3, {}},
    {626, 'W', 1, 15, {}},  {640, 'W', 1, 2, {}},   {648, 'W', 1, 12, {}},
    {652, 'L', 1, 0.0, {}}, {704, 'W', 1, 40, {}},  {706, 'L', 1, 0.0, {}},
    {720, 'W', 1, 1, {}},   {722, 'W', 1, 40, {}},  {724, 'L', 1, 0.0, {}},
    {770, 'W', 1, 3, {}},   {772, 'W', 1, 1, {}},   {774, 'W', 1, 30, {}},
    {776, 'W', 1, 30, {}},  {779, 'B', 1, 1, {}},   {784, 'B', 1, 1, {}},
    {788, 'B', 1, 1, {}},   {791, 'B', 1, 3, {}},   {794, 'B', 1, 1, {}},
    {796, 'L', 1, 0.0, {}}, {805, 'W', 1, 18, {}},  {807, 'B', 1, 1, {}},
    {808, 'L', 1, 0.0, {}}, {818, 'C', 20, 0, " "}, {840, 'C', 20, 0, " "},
    {862, 'W', 1, 9, {}},   {865, 'C', 6, 0, " "},  {872, 'C', 6, 0, " "},
    {878, 'W', 1, 4, {}},   {880, 'W', 1, 10, {}},  {882, 'W', 1, 10, {}},
    {884, 'W', 1, 5, {}},   {886, 'W', 1, 60, {}},  {888, 'W', 1, 80, {}},
    {890, 'W', 1, 1, {}},   {892, 'W', 1, 5, {}},   {896, 'L', 1, 0.261799, {}},
    {928, 'B', 1, 1, {}},   {929, 'B', 1, 2, {}},   {930, 'C', 1, 0, "×"},
    {1024, 'W', 9, -1, {}}, {1088, 'W', 9, -1, {}}, {1153, 'B', 1, 1, {}},
    {1156, 'B', 1, 1, {}},  {1184, 'B', 1, 1, {}},  {1185, 'B', 1, 1, {}},
};

}  // namespace

HeadBlock BuildHeadTemplate() {
    HeadBlock block{};
    for (const HeadRow& row : kHeadTemplate) {
        std::size_t at = row.offset;
        for (std::uint16_t i = 0; i < row.count; ++i) {
            bool stored = true;
            switch (row.type) {
                case 'B':
                    stored = FitsIn(block.size(), at, 1);
                    if (stored) block[at] = static_cast<std::uint8_t>(row.number);
                    at += 1;
                    break;
                case 'W':
                    stored = StoreI16(block, at, static_cast<std::int16_t>(row.number));
                    at += 2;
                    break;
                case 'L':
                    stored = StoreF64(block, at, row.number);
                    at += 8;
                    break;
                default:  // 'C'
                    stored = FitsIn(block.size(), at, row.text.size());
                    if (stored) std::memcpy(block.data() + at, row.text.data(), row.text.size());
                    at += row.text.size();
                    break;
            }
            if (!stored) break;  // the table lies inside the block; never write beyond it
        }
    }
    return block;
}
