// The structural check a DXF file passes before it is parsed: the parser behind the
// import trusts its input (it sizes arrays by counts read from the file), so every
// file is first checked here and refused with a reason when it is not sound.
//
// A file passes when it is text DXF (binary DXF is refused), made of pairs of a group
// code line and a value line up to a "0 / EOF" pair (a file that ends before it is
// truncated), every code an integer 0-1071, every line at most 4096 bytes, every value
// of a numeric group code a finite number of its type, every section opened with
// "0 / SECTION" closed with "0 / ENDSEC", and no count that sizes an entity's arrays
// (group codes 71-76 and 90-98 in the ENTITIES and BLOCKS sections) larger than the
// number of pairs in the file. False with `why` = "line N: reason" otherwise.
#pragma once

#include <string>
#include <string_view>

namespace quillon_tool {

[[nodiscard]] bool CheckDxf(std::string_view text, std::string& why);

}  // namespace quillon_tool
