#include "app/settings.h"

#include <array>
#include <limits>

#include "app/ini_file.h"

namespace pontiq {

namespace {

// One key of the skin table. Exactly one of the member pointers is set.
struct SkinKey {
    const char* section;
    const char* key;
    const char* def;
    Rgb SkinSettings::*colour = nullptr;
    int32_t SkinSettings::*number = nullptr;
    std::string SkinSettings::*text = nullptr;
};

SkinKey Colour(const char* section, const char* key, const char* def, Rgb SkinSettings::*m)
{
    return {section, key, def, m, nullptr, nullptr};
}
SkinKey Number(const char* section, const char* key, const char* def, int32_t SkinSettings::*m)
{
    return {section, key, def, nullptr, m, nullptr};
}
SkinKey Text(const char* section, const char* key, const char* def, std::string SkinSettings::*m)
{
    return {section, key, def, nullptr, nullptr, m};
}

// In the order the keys are read.
const std::array<SkinKey, 25> kSkinKeys = {
    Colour("Color", "ChildBkColor", "255,255,255", &SkinSettings::childBkColor),
    Text("Font", "FontName", "Arial", &SkinSettings::fontName),
    Number("Font", "ButtonMenuFontWeight", "0", &SkinSettings::buttonMenuFontWeight),
    Number("Font", "ButtonMenuFontHeight", "15", &SkinSettings::buttonMenuFontHeight),
    Colour("Color", "ButtonMenuFontColor", "0,0,0", &SkinSettings::buttonMenuFontColor),
    Number("Font", "ButtonFontWeight", "0", &SkinSettings::buttonFontWeight),
    Number("Font", "ButtonFontHeight", "15", &SkinSettings::buttonFontHeight),
    Colour("Color", "ButtonFontColor", "0,0,0", &SkinSettings::buttonFontColor),
    Number("Font", "StaticFontWeight", "0", &SkinSettings::staticFontWeight),
    Number("Font", "StaticFontHeight", "15", &SkinSettings::staticFontHeight),
    Colour("Color", "StaticFontTextColor", "0,0,0", &SkinSettings::staticFontTextColor),
    Colour("Color", "StaticFontBkColor", "255,255,255", &SkinSettings::staticFontBkColor),
    Colour("Color", "TextDownColor", "216,34,40", &SkinSettings::textDownColor),
    Colour("Color", "LineColor", "215,215,215", &SkinSettings::lineColor),
    Colour("Color", "ExpertTextColor", "255,0,0", &SkinSettings::expertTextColor),
    Colour("Color", "StaticTextNumberColor", "142,142,142", &SkinSettings::staticTextNumberColor),
    Number("Font", "GridTitleFontWeight", "700", &SkinSettings::gridTitleFontWeight),
    Number("Font", "GridTitleFontHeight", "15", &SkinSettings::gridTitleFontHeight),
    Number("Font", "GridFontWeight", "0", &SkinSettings::gridFontWeight),
    Number("Font", "GridFontHeight", "15", &SkinSettings::gridFontHeight),
    Colour("Color", "GridTextColor", "0,0,0", &SkinSettings::gridTextColor),
    Colour("Color", "GridTitleTextColor", "237,112,32", &SkinSettings::gridTitleTextColor),
    Colour("Color", "GridTitleBkColor", "221,217,196", &SkinSettings::gridTitleBkColor),
    Colour("Color", "TextUnlineColor", "142,142,142", &SkinSettings::textUnlineColor),
    Colour("Color", "TextOnlineColor", "0,153,0", &SkinSettings::textOnlineColor),
};

bool IsSpace(char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}
bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// A colour part: optional blanks, 1..n decimal digits, optional blanks, value <= 255.
bool ParseColourPart(std::string_view part, uint8_t& out)
{
    part = TrimIniBlanks(part);
    if (part.empty()) return false;
    unsigned value = 0;
    for (char c : part) {
        if (!IsDigit(c)) return false;
        value = value * 10 + static_cast<unsigned>(c - '0');
        if (value > 255) return false;
    }
    out = static_cast<uint8_t>(value);
    return true;
}

}  // namespace

int32_t ParseSettingNumber(std::string_view text)
{
    size_t i = 0;
    while (i < text.size() && IsSpace(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    int64_t value = 0;
    constexpr int64_t kLimit = static_cast<int64_t>(std::numeric_limits<int32_t>::max()) + 1;
    for (; i < text.size() && IsDigit(text[i]); ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > kLimit) value = kLimit;  // saturate; the remaining digits cannot bring it back
    }
    if (negative) return static_cast<int32_t>(-value);
    return value > std::numeric_limits<int32_t>::max() ? std::numeric_limits<int32_t>::max()
                                                       : static_cast<int32_t>(value);
}

Rgb ParseSettingColour(std::string_view text, Rgb previous)
{
    std::array<uint8_t, 3> parts{};
    size_t count = 0;
    size_t start = 0;
    for (;;) {
        const size_t comma = text.find(',', start);
        const std::string_view part =
            text.substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start);
        if (count == parts.size() || !ParseColourPart(part, parts[count])) return previous;
        ++count;
        if (comma == std::string_view::npos) break;
        start = comma + 1;
    }
    if (count != parts.size()) return previous;
    return Rgb{parts[0], parts[1], parts[2]};
}

void ReadSettings(const IniFile& ini, std::string_view programDir, std::string_view version,
                  AppSettings& settings)
{
    SkinSettings& skin = settings.skin;
    for (const SkinKey& k : kSkinKeys) {
        const std::string value = ini.GetString(k.section, k.key, k.def, kIniShortBuffer);
        if (k.colour) {
            skin.*k.colour = ParseSettingColour(value, skin.*k.colour);
        } else if (k.number) {
            skin.*k.number = ParseSettingNumber(value);
        } else {
            skin.*k.text = value;
        }
    }
    settings.retransmissionMax =
        ParseSettingNumber(ini.GetString("Setting", "retransmission_max", "3", kIniShortBuffer));
    settings.retransmissionInterval =
        ParseSettingNumber(ini.GetString("Setting", "retransmission_interval", "2000", kIniShortBuffer));

    skin.gridTitleFont = {skin.gridTitleFontHeight, skin.gridTitleFontWeight, skin.fontName};
    skin.gridFont = {skin.gridFontHeight, skin.gridFontWeight, skin.fontName};
    settings.gridRowHeight = kGridRowHeight;
    settings.versionLabel = "V" + std::string(version);
    settings.programDir = std::string(programDir);
}

AppSettings LoadSettings(const std::string& programDir, std::string_view version)
{
    AppSettings settings;
    ReadSettings(IniFile::Load(programDir + "Setting.ini"), programDir, version, settings);
    return settings;
}

}  // namespace pontiq
