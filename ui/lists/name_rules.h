// The device-name rules of the status page's rename, without the window: which rule a type code
// takes and the message for a name the rule refuses. pontiq-cli applies the same.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace pontiq {

// Rule A: letters, digits, Chinese and a few signs; rule B: ASCII and Chinese. Both hold the
// name to 32 bytes of UTF-8.
enum class NameRule { A, B };

inline constexpr size_t kDeviceNameBytes = 32;

NameRule NameRuleFor(uint32_t typeCode);
bool PassesNameRule(NameRule rule, std::u16string_view name);
// The built-in text of the message for a name the rule refuses (translate before showing).
const char* NameRuleMessage(NameRule rule);

}  // namespace pontiq
