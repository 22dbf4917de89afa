// Conversion of a whole text through an open iconv descriptor, shared by the code
// page 932 helpers and the registry's reading of UTF-16 files.
#pragma once

#include <iconv.h>

#include <cstddef>
#include <string>
#include <string_view>

namespace platform::detail {

// Converts `in` with `cd` (whose state is reset first) into `out`. On an invalid or
// incomplete sequence it stops there, stores its byte offset in `badOffset` (when
// given) and returns false, with the text converted so far in `out`.
[[nodiscard]] bool ConvertThroughIconv(iconv_t cd, std::string_view in, std::string& out,
                                       std::size_t* badOffset);

}  // namespace platform::detail
