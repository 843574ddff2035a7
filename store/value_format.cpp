#include "store/value_format.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <mutex>
#include <regex>

namespace pontiq {

namespace {

// The translator is installed once at start-up but read from engine threads; a shared_ptr
// copied under a mutex lets a lookup run outside the lock.
struct TranslatorSlot {
    std::mutex mutex;
    std::shared_ptr<const TextTranslator> translator;
};

TranslatorSlot& Slot()
{
    static TranslatorSlot slot;
    return slot;
}

struct ModelEntry {
    uint32_t code;
    const char* name;
};

// Two families: the first-generation 802.11n line (1..33) and the AC line (257..285).
// CPE = integrated-antenna client, AP = sector access point, BR = dish bridge; the number
// after the band is the antenna gain in dBi; a trailing K marks Kelvra-capable models.
constexpr ModelEntry kModels[] = {
    {1, "OV-CPE2-8"},         {2, "OV-CPE2-12"},       {3, "OV-CPE5-12"},       {4, "OV-AP2-10S"},
    {5, "OV-CPE5-16"},        {6, "OV-CPE5-16K"},      {7, "OV-CPE5-19"},       {8, "OV-CPE5-19K"},
    {9, "OV-CPE5-23K"},       {10, "OV-BR5-25K"},      {11, "OV-BR5-28K"},      {12, "OV-CPE2-14"},
    {13, "OV-CPE5-14"},       {14, "OV-CPE5-14K"},     {15, "OV-BR5-30K"},      {16, "OV-AP5-15S"},
    {17, "OV-AP5-17S"},       {18, "OV-AP5-17SK"},     {19, "OV-CPE5-20K"},     {20, "OV-CPE5-25K"},
    {21, "OV-CPE2-16"},       {22, "OV-CPE58-16"},     {23, "OV-CPE58-23K"},    {24, "OV-BR58-28K"},
    {25, "OV-BR58-32K"},      {32, "OV-AP2-12O"},      {33, "OV-AP5-13O"},      {257, "OV-AC-CPE5-12"},
    {258, "OV-AC-CPE5-16"},   {259, "OV-AC-CPE5-19"},  {260, "OV-AC-CPE5-23"},  {261, "OV-AC-AP5-16S"},
    {262, "OV-AC-BR5-25"},    {263, "OV-AC-BR5-28"},   {264, "OV-AC-CPE2-12"},  {265, "OV-AC-CPE5-16K"},
    {266, "OV-AC-CPE5-19K"},  {267, "OV-AC-CPE5-23K"}, {268, "OV-AC-BR5-25K"},  {269, "OV-AC-BR5-28K"},
    {270, "OV-AC-BR5-30K"},   {271, "OV-AC-AP5-18S"},  {272, "OV-AC-AP5-18SK"}, {273, "OV-AC-CPE58-16K"},
    {274, "OV-AC-CPE58-23K"}, {275, "OV-AC-CPE58-19"}, {276, "OV-AC-AP2-14S"},  {277, "OV-AC-BR58-28K"},
    {278, "OV-AC-BR58-32K"},  {279, "OV-AC-CPE5-20K"}, {280, "OV-AC-CPE5-25K"}, {281, "OV-AC-CPE5-14"},
    {282, "OV-AC-CPE5-14K"},  {283, "OV-AC-BR5-34K"},  {284, "OV-AC-BR58-34K"}, {285, "OV-AC-CPE6-23K"},
};
static_assert(std::size(kModels) == 56);

constexpr uint32_t kTransparentBridgeNACodes[] = {4, 32, 33, 261};
constexpr uint32_t kKelvraCodes[] = {6,   8,   9,   10,  11,  14,  15,  18,  19,  20,
                                     23,  24,  25,  265, 266, 267, 268, 269, 270, 272,
                                     273, 274, 277, 278, 279, 280, 282, 283, 284, 285};
static_assert(std::size(kKelvraCodes) == 30);
constexpr uint32_t kNameRuleACodes[] = {4, 17, 261, 276};

template <size_t N>
bool Contains(const uint32_t (&set)[N], uint32_t value)
{
    return std::find(std::begin(set), std::end(set), value) != std::end(set);
}

bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Reads one "%d" conversion at pos as scanf does (blanks, optional sign, digits) and gives
// the low 8 bits of the value. Reducing digit by digit keeps the result exact for any length
// of digits, where a plain int would overflow.
bool ReadDecimalLow8(std::string_view text, size_t& pos, uint8_t& out)
{
    size_t i = pos;
    while (i < text.size() && IsSpace(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    if (i >= text.size() || !IsDigit(text[i])) return false;
    uint8_t value = 0;
    while (i < text.size() && IsDigit(text[i])) {
        value = static_cast<uint8_t>(value * 10u + static_cast<uint8_t>(text[i] - '0'));
        ++i;
    }
    out = negative ? static_cast<uint8_t>(0u - value) : value;
    pos = i;
    return true;
}

bool IsNamePunctuation(char16_t ch)
{
    constexpr std::u16string_view kAllowed = u"!#$%&()*+-./<=>?^_~@";
    return kAllowed.find(ch) != std::u16string_view::npos;
}

bool IsHighSurrogate(char16_t ch)
{
    return ch >= 0xD800 && ch <= 0xDBFF;
}

bool IsLowSurrogate(char16_t ch)
{
    return ch >= 0xDC00 && ch <= 0xDFFF;
}

size_t Utf8UnitLength(char16_t ch)
{
    return ch < 0x80 ? 1 : ch < 0x800 ? 2 : 3;
}

}  // namespace

void SetTextTranslator(TextTranslator translator)
{
    auto next = translator ? std::make_shared<const TextTranslator>(std::move(translator)) : nullptr;
    TranslatorSlot& slot = Slot();
    std::lock_guard lock(slot.mutex);
    slot.translator = std::move(next);
}

std::string TranslateText(std::string_view key)
{
    std::shared_ptr<const TextTranslator> translator;
    {
        TranslatorSlot& slot = Slot();
        std::lock_guard lock(slot.mutex);
        translator = slot.translator;
    }
    return translator ? (*translator)(key) : std::string(key);
}

std::string StatusText(uint32_t status)
{
    static constexpr const char* kTexts[] = {
        "Outline",  "Online",       "Bridge success", "Bridge fail",     "Restarting",
        "Reseting", "Upgrade wait", "Upgrading",      "Upgrade success", "Upgrade fail"};
    return status < std::size(kTexts) ? TranslateText(kTexts[status]) : std::string();
}

std::string WorkModeText(uint32_t workMode)
{
    static constexpr const char* kTexts[] = {"AP",   "Station", "Universal Repeater", "Repeater", "P2MP",
                                             "WISP", "Router"};
    return workMode >= 1 && workMode <= std::size(kTexts) ? TranslateText(kTexts[workMode - 1])
                                                          : std::string();
}

std::string SecurityText(uint32_t secureMode)
{
    static constexpr const char* kTexts[] = {"Disable",     "WEP", "WPA_PSK", "WPA2_PSK",
                                             "WPAWPA2_PSK", "WPA", "WPA2"};
    return secureMode < std::size(kTexts) ? TranslateText(kTexts[secureMode]) : std::string();
}

std::string ChannelText(uint32_t channel)
{
    return channel == 0 ? TranslateText("Auto") : std::to_string(channel);
}

std::string UptimeText(uint32_t seconds)
{
    const uint32_t days = seconds / 86400;
    const uint32_t hours = (seconds / 3600) % 24;
    const uint32_t minutes = (seconds / 60) % 60;
    const uint32_t secs = seconds % 60;
    char text[48];
    if (days > 0) {
        std::snprintf(text, sizeof(text), "%u %u:%u:%u", days, hours, minutes, secs);
    } else {
        std::snprintf(text, sizeof(text), "%u:%u:%u", hours, minutes, secs);
    }
    return text;
}

bool IsTransparentBridgeNA(uint32_t apType, uint32_t workMode)
{
    return Contains(kTransparentBridgeNACodes, apType) || (workMode >= 4 && workMode <= 7);
}

bool IsKelvraAvailable(uint32_t apType)
{
    return Contains(kKelvraCodes, apType);
}

bool UsesNameRuleA(uint32_t apType)
{
    return Contains(kNameRuleACodes, apType);
}

std::string TransparentBridgeText(uint32_t apType, uint32_t workMode, uint32_t value)
{
    if (IsTransparentBridgeNA(apType, workMode)) return "N/A";
    return TranslateText(value != 0 ? "On2" : "Off2");
}

std::string KelvraText(uint32_t apType, uint32_t value)
{
    if (!IsKelvraAvailable(apType)) return "N/A";
    return TranslateText(value != 0 ? "On2" : "Off2");
}

std::string ModelName(uint32_t apType)
{
    for (const ModelEntry& m : kModels) {
        if (m.code == apType) return m.name;
    }
    return kModels[0].name;
}

int32_t ModelCode(std::string_view name)
{
    for (const ModelEntry& m : kModels) {
        if (name == m.name) return static_cast<int32_t>(m.code);
    }
    return 1;
}

std::vector<uint32_t> ModelCodes()
{
    std::vector<uint32_t> codes;
    codes.reserve(std::size(kModels));
    for (const ModelEntry& m : kModels) codes.push_back(m.code);
    std::sort(codes.begin(), codes.end());
    return codes;
}

std::string IpText(std::span<const uint8_t, 4> ip)
{
    char text[16];
    std::snprintf(text, sizeof(text), "%d.%d.%d.%d", ip[0], ip[1], ip[2], ip[3]);
    return text;
}

std::string MacText(std::span<const uint8_t, 6> mac)
{
    char text[18];
    std::snprintf(text, sizeof(text), "%02x:%02x:%02x:%02x:%02x:%02x", mac[0], mac[1], mac[2], mac[3], mac[4],
                  mac[5]);
    return text;
}

std::array<uint8_t, 4> IpToBytes(std::string_view text)
{
    // "%d.%d.%d.%d": the dots must follow the numbers directly; the scan stops at the first
    // part it cannot read and the parts after it stay 0.
    std::array<uint8_t, 4> bytes{};
    size_t pos = 0;
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (i > 0) {
            if (pos >= text.size() || text[pos] != '.') break;
            ++pos;
        }
        if (!ReadDecimalLow8(text, pos, bytes[i])) break;
    }
    return bytes;
}

uint32_t IpToNumber(std::string_view text)
{
    // Each dotted part is read on its own; a part out of 0..255 keeps its low 8 bits, as in
    // IpToBytes, so that it can never carry into the neighbouring octet of the sort key.
    const std::vector<std::string> parts = SplitText(text, ".");
    uint32_t number = 0;
    for (size_t i = 0; i < 4; ++i) {
        uint8_t part = 0;
        if (i < parts.size()) {
            size_t pos = 0;
            ReadDecimalLow8(parts[i], pos, part);
        }
        number = (number << 8) | part;
    }
    return number;
}

std::array<uint8_t, 6> MacToBytes(std::string_view text)
{
    std::array<uint8_t, 6> bytes{};
    if (text.empty()) return bytes;
    // sscanf needs a terminated text; the view may point into a fixed field without one.
    const std::string copy(text.substr(0, text.find('\0')));
    unsigned int v[6] = {};
    std::sscanf(copy.c_str(), "%02x:%02x:%02x:%02x:%02x:%02x", &v[0], &v[1], &v[2], &v[3], &v[4], &v[5]);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(v[i]);
    return bytes;
}

std::array<uint8_t, 6> HeaderMacFromText(std::string_view text)
{
    if (text.find(':') != std::string_view::npos) return MacToBytes(text);
    std::array<uint8_t, 6> bytes{};
    std::copy_n(text.begin(), std::min(text.size(), bytes.size()), bytes.begin());
    return bytes;
}

std::string NetworkAddress(std::span<const uint8_t, 4> ip, std::span<const uint8_t, 4> mask)
{
    const uint8_t net[4] = {static_cast<uint8_t>(ip[0] & mask[0]), static_cast<uint8_t>(ip[1] & mask[1]),
                            static_cast<uint8_t>(ip[2] & mask[2]), static_cast<uint8_t>(ip[3] & mask[3])};
    return IpText(net);
}

bool InSameSubnet(std::span<const uint8_t, 4> a, std::span<const uint8_t, 4> b,
                  std::span<const uint8_t, 4> mask)
{
    for (size_t i = 0; i < 4; ++i) {
        if ((a[i] & mask[i]) != (b[i] & mask[i])) return false;
    }
    return true;
}

std::vector<std::string> SplitText(std::string_view text, std::string_view separator)
{
    if (separator.empty()) return {std::string(text)};
    // A closing separator makes the last part end like every other one. The whole separator
    // is appended (not only its first character) so that a longer one keeps the last part too.
    std::string rest(text);
    rest.append(separator);
    std::vector<std::string> parts;
    size_t start = 0;
    for (size_t at; (at = rest.find(separator, start)) != std::string::npos; start = at + separator.size()) {
        parts.emplace_back(rest, start, at - start);
    }
    return parts;
}

bool IsValidIp(std::string_view text, bool allowEmpty)
{
    if (text.empty() || text == "0.0.0.0") return allowEmpty;
    const std::vector<std::string> parts = SplitText(text, ".");
    if (parts.size() != 4) return false;
    // IpToBytes keeps only the low 8 bits of a part, so "10.1.1.257" would pass as 10.1.1.1
    // and that other address would be sent: every part must be a plain number up to 255.
    for (const std::string& part : parts) {
        if (part.empty() || part.size() > 3 || !std::all_of(part.begin(), part.end(), IsDigit)) return false;
        if (std::stoi(part) > 255) return false;
    }
    const std::array<uint8_t, 4> ip = IpToBytes(text);
    if (ip[0] == 0 || ip[0] == 127 || ip[0] >= 224) return false;
    return ip[3] != 0 && ip[3] != 255;
}

bool IsValidMask(std::string_view text)
{
    if (SplitText(text, ".").size() != 4) return false;
    // The unescaped dots match any character; the four-part check above keeps them honest.
    static const std::regex kMask(
        "^(254|252|248|240|224|192|128).0.0.0$|^(255.(254|252|248|240|224|192|128|0).0.0)$|"
        "^(255.255.(254|252|248|240|224|192|128|0).0)$|^(255.255.255.(254|252|248|240|224|192|128|0))$",
        std::regex::ECMAScript);
    return std::regex_match(text.begin(), text.end(), kMask);
}

bool AreDnsDifferent(std::string_view dns1, std::string_view dns2)
{
    const bool bothSet = !dns1.empty() && !dns2.empty() && dns1 != "0.0.0.0" && dns2 != "0.0.0.0";
    return !(bothSet && dns1 == dns2);
}

bool IsHexText(std::u16string_view text)
{
    return std::all_of(text.begin(), text.end(), [](char16_t c) {
        return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
    });
}

bool IsAsciiText(std::u16string_view text)
{
    return std::all_of(text.begin(), text.end(), [](char16_t c) { return c <= 127; });
}

bool IsWideChinese(char16_t ch)
{
    if (ch >= 0x4E00 && ch <= 0x9FA5) return true;
    if (ch >= 0x3008 && ch <= 0x3011) return true;
    static constexpr char16_t kPunctuation[] = {
        0x00B7, 0x2014, 0x2018, 0x2019, 0x201C, 0x201D, 0x2026, 0x3001, 0x3002, 0x3014, 0x3015, 0xFE43,
        0xFE44, 0xFE4F, 0xFF01, 0xFF08, 0xFF09, 0xFF0C, 0xFF1A, 0xFF1B, 0xFF1F, 0xFF5E, 0xFFE5};
    return std::find(std::begin(kPunctuation), std::end(kPunctuation), ch) != std::end(kPunctuation);
}

bool IsNameTextA(std::u16string_view text)
{
    const bool allowed = std::all_of(text.begin(), text.end(), [](char16_t c) {
        return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') ||
               IsWideChinese(c) || IsNamePunctuation(c);
    });
    return allowed && Utf8Length(text) <= 32;
}

bool IsNameTextB(std::u16string_view text)
{
    const bool allowed = std::all_of(text.begin(), text.end(),
                                     [](char16_t c) { return (c >= 1 && c <= 127) || IsWideChinese(c); });
    return allowed && Utf8Length(text) <= 32;
}

size_t Utf8Length(std::u16string_view text)
{
    size_t length = 0;
    for (char16_t c : text) length += Utf8UnitLength(c);
    return length;
}

std::u16string TruncateUtf8(std::u16string_view text, size_t budget)
{
    size_t used = 0;
    size_t end = 0;
    while (end < text.size()) {
        // A surrogate pair is kept or dropped as one character.
        const size_t units =
            IsHighSurrogate(text[end]) && end + 1 < text.size() && IsLowSurrogate(text[end + 1]) ? 2 : 1;
        size_t cost = 0;
        for (size_t i = 0; i < units; ++i) cost += Utf8UnitLength(text[end + i]);
        if (used + cost > budget) break;
        used += cost;
        end += units;
    }
    return std::u16string(text.substr(0, end));
}

}  // namespace pontiq
