// The text layout of the JSON that quillon prints, made for reading and diffing.
//
// An object or list that fits in 100 columns stays on one line (points, attribute
// values, short elements). Otherwise: a list of objects or lists gets one member per
// line, indented two spaces from where its line starts; any other object or list is
// packed, as many members to a line as fit, continued under its first member.
// Numbers are printed in their shortest exact form (see JsonValues.h); the output is
// UTF-8 (an invalid byte, which the schema never produces, is replaced).
#pragma once

#include <string>

#include "JsonValues.h"

namespace quillon_tool {

// Appends `value` laid out from the column at which `out` ends.
void AppendPretty(const Json& value, std::string& out);

// `value` with one member per line at the top, and a final newline.
[[nodiscard]] std::string PrettyJson(const Json& value);

}  // namespace quillon_tool
