#pragma once

#include <cstdint>
#include <string_view>

namespace tagscope {

// Reads a whole text as a 32-bit integer the way the run-time library's string-to-integer
// conversion does: leading blanks, an optional sign, then decimal digits, or hexadecimal
// digits after "$", "x" or "0x"; nothing may follow. False (value untouched) otherwise.
bool TryStrToInt(std::string_view text, int32_t& value);
int32_t StrToIntDef(std::string_view text, int32_t fallback);

}  // namespace tagscope
