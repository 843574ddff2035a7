// Text forms of record values, parsing of texts back into bytes, and input checks.
// Stateless free functions shared by the store, the engine and the windows.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace pontiq {

// Display texts marked "translated" go through this hook with the built-in English
// text as key. The application installs the language lookup (returning text in the
// local 8-bit encoding, the encoding the store keeps); without one the key is returned.
using TextTranslator = std::function<std::string(std::string_view key)>;
void SetTextTranslator(TextTranslator translator);
std::string TranslateText(std::string_view key);

// Value texts (translated unless noted).
std::string StatusText(uint32_t status);        // 0..9, anything else empty
std::string WorkModeText(uint32_t workMode);    // 1..7, anything else empty
std::string SecurityText(uint32_t secureMode);  // 0..6, anything else empty
std::string ChannelText(uint32_t channel);      // 0 -> "Auto", else decimal
std::string UptimeText(uint32_t seconds);       // "d h:m:s" or "h:m:s", no leading zeros
std::string TransparentBridgeText(uint32_t apType, uint32_t workMode, uint32_t value);
std::string KelvraText(uint32_t apType, uint32_t value);

// Model names (not translated): codes 1..25, 32, 33, 257..285; any other code gives code 1's name.
std::string ModelName(uint32_t apType);
int32_t ModelCode(std::string_view name);  // exact match, 1 when none
std::vector<uint32_t> ModelCodes();        // every code of the table, ascending

// Code sets of the feature texts and the name rules.
bool IsTransparentBridgeNA(uint32_t apType, uint32_t workMode);
bool IsKelvraAvailable(uint32_t apType);
bool UsesNameRuleA(uint32_t apType);

// Addresses.
std::string IpText(std::span<const uint8_t, 4> ip);
std::string MacText(std::span<const uint8_t, 6> mac);
std::array<uint8_t, 4> IpToBytes(std::string_view text);
uint32_t IpToNumber(std::string_view text);
std::array<uint8_t, 6> MacToBytes(std::string_view text);
std::array<uint8_t, 6> HeaderMacFromText(std::string_view text);  // "aa:bb:..", or 6 raw bytes
std::string NetworkAddress(std::span<const uint8_t, 4> ip, std::span<const uint8_t, 4> mask);
bool InSameSubnet(std::span<const uint8_t, 4> a, std::span<const uint8_t, 4> b,
                  std::span<const uint8_t, 4> mask);

// Input checks. Texts typed by the user are UTF-16 (as window texts are); address texts are 8-bit.
std::vector<std::string> SplitText(std::string_view text, std::string_view separator);
bool IsValidIp(std::string_view text, bool allowEmpty);
bool IsValidMask(std::string_view text);
bool AreDnsDifferent(std::string_view dns1, std::string_view dns2);
bool IsHexText(std::u16string_view text);
bool IsAsciiText(std::u16string_view text);
bool IsWideChinese(char16_t ch);
bool IsNameTextA(std::u16string_view text);
bool IsNameTextB(std::u16string_view text);
size_t Utf8Length(std::u16string_view text);
std::u16string TruncateUtf8(std::u16string_view text, size_t budget);

}  // namespace pontiq
