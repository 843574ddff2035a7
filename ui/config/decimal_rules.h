// Reading a number typed into an edit the way "%d" reads it.
#pragma once

#include <cstdint>
#include <string_view>

namespace pontiq {

// Leading blanks and one sign are allowed, reading stops at the first non-digit, no digits give
// 0. Values beyond the int range saturate instead of wrapping, so a long run of digits can never
// turn into a small number that passes a range check.
int32_t ReadDecimal(std::string_view text);

}  // namespace pontiq
