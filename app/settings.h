// Setting.ini: the skin's fonts and colours and the retransmission settings, read once at start-up.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace pontiq {

class IniFile;

struct Rgb {
    uint8_t r = 0;
    uint8_t g = 0;
    uint8_t b = 0;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

// Height in device units as the font system takes it; weight 0..1000 (0 default, 700 bold).
struct FontSpec {
    int32_t height = 0;
    int32_t weight = 0;
    std::string face;
    friend bool operator==(const FontSpec&, const FontSpec&) = default;
};

// Colours start black: a malformed colour keeps the value it had before it was read.
struct SkinSettings {
    Rgb childBkColor;
    std::string fontName;
    int32_t buttonMenuFontWeight = 0;
    int32_t buttonMenuFontHeight = 0;
    Rgb buttonMenuFontColor;
    int32_t buttonFontWeight = 0;
    int32_t buttonFontHeight = 0;
    Rgb buttonFontColor;
    int32_t staticFontWeight = 0;
    int32_t staticFontHeight = 0;
    Rgb staticFontTextColor;
    Rgb staticFontBkColor;
    Rgb textDownColor;
    Rgb lineColor;
    Rgb expertTextColor;  // read and kept; no window uses it
    Rgb staticTextNumberColor;
    int32_t gridTitleFontWeight = 0;
    int32_t gridTitleFontHeight = 0;
    int32_t gridFontWeight = 0;
    int32_t gridFontHeight = 0;
    Rgb gridTextColor;
    Rgb gridTitleTextColor;
    Rgb gridTitleBkColor;
    Rgb textUnlineColor;  // data text of an offline device
    Rgb textOnlineColor;

    // Derived right after reading.
    FontSpec gridTitleFont;
    FontSpec gridFont;
};

inline constexpr int32_t kGridRowHeight = 48;

struct AppSettings {
    std::string programDir;    // with a trailing '/'
    std::string versionLabel;  // "V" + version, "V" alone without a version
    SkinSettings skin;
    int32_t retransmissionMax = 0;
    int32_t retransmissionInterval = 0;  // milliseconds
    int32_t gridRowHeight = 0;
};

// Decimal number as atoi reads it: leading white space, an optional sign, digits up to the
// first other character; no digits give 0, values beyond 32 bits are clamped.
int32_t ParseSettingNumber(std::string_view text);

// "r,g,b", each part (blanks around it allowed) decimal digits worth 0..255. Anything else
// (other part counts, an empty or non-numeric part, a part over 255) gives previous.
Rgb ParseSettingColour(std::string_view text, Rgb previous);

// Reads the skin keys and the retransmission settings from ini in the file's order into
// settings, and fills the derived values. Colours that do not parse keep their current value.
void ReadSettings(const IniFile& ini, std::string_view programDir, std::string_view version,
                  AppSettings& settings);

// Reads programDir + "Setting.ini" (missing file: every default) into a fresh AppSettings.
// version is the program's "a.b.c.d" version text.
AppSettings LoadSettings(const std::string& programDir, std::string_view version);

}  // namespace pontiq
