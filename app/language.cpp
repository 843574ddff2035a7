#include "app/language.h"

#include <cstdlib>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <unordered_set>
#include <utility>

#include "app/ini_file.h"

namespace pontiq {

namespace {

constexpr size_t kLanguageNameBuffer = 260;

struct LocaleEntry {
    std::string_view name;  // language_TERRITORY
    uint32_t number;
};

// The first entry of each language is its main locale, used for territories not listed.
constexpr LocaleEntry kLocales[] = {
    {"en_US", 1033},  {"en_GB", 2057},  {"en_AU", 3081},  {"en_CA", 4105},  {"en_NZ", 5129},
    {"en_IE", 6153},  {"en_ZA", 7177},  {"en_JM", 8201},  {"en_BZ", 10249}, {"en_TT", 11273},
    {"en_ZW", 12297}, {"en_PH", 13321}, {"en_IN", 16393}, {"en_MY", 17417}, {"en_SG", 18441},
    {"zh_CN", 2052},  {"zh_TW", 1028},  {"zh_HK", 3076},  {"zh_SG", 4100},  {"zh_MO", 5124},
    {"de_DE", 1031},  {"de_CH", 2055},  {"de_AT", 3079},  {"de_LU", 4103},  {"de_LI", 5127},
    {"fr_FR", 1036},  {"fr_BE", 2060},  {"fr_CA", 3084},  {"fr_CH", 4108},  {"fr_LU", 5132},
    {"fr_MC", 6156},  {"es_ES", 3082},  {"es_MX", 2058},  {"es_GT", 4106},  {"es_CR", 5130},
    {"es_PA", 6154},  {"es_DO", 7178},  {"es_VE", 8202},  {"es_CO", 9226},  {"es_PE", 10250},
    {"es_AR", 11274}, {"es_EC", 12298}, {"es_CL", 13322}, {"es_UY", 14346}, {"es_PY", 15370},
    {"es_BO", 16394}, {"es_SV", 17418}, {"es_HN", 18442}, {"es_NI", 19466}, {"es_PR", 20490},
    {"es_US", 21514}, {"pt_BR", 1046},  {"pt_PT", 2070},  {"it_IT", 1040},  {"it_CH", 2064},
    {"nl_NL", 1043},  {"nl_BE", 2067},  {"sv_SE", 1053},  {"sv_FI", 2077},  {"ar_SA", 1025},
    {"ar_IQ", 2049},  {"ar_EG", 3073},  {"ar_LY", 4097},  {"ar_DZ", 5121},  {"ar_MA", 6145},
    {"ar_TN", 7169},  {"ar_OM", 8193},  {"ar_YE", 9217},  {"ar_SY", 10241}, {"ar_JO", 11265},
    {"ar_LB", 12289}, {"ar_KW", 13313}, {"ar_AE", 14337}, {"ar_BH", 15361}, {"ar_QA", 16385},
    {"ja_JP", 1041},  {"ko_KR", 1042},  {"ru_RU", 1049},  {"pl_PL", 1045},  {"cs_CZ", 1029},
    {"sk_SK", 1051},  {"hu_HU", 1038},  {"ro_RO", 1048},  {"bg_BG", 1026},  {"hr_HR", 1050},
    {"sl_SI", 1060},  {"sr_RS", 10266}, {"uk_UA", 1058},  {"be_BY", 1059},  {"el_GR", 1032},
    {"tr_TR", 1055},  {"he_IL", 1037},  {"fa_IR", 1065},  {"ur_PK", 1056},  {"hi_IN", 1081},
    {"bn_IN", 1093},  {"ta_IN", 1097},  {"te_IN", 1098},  {"mr_IN", 1102},  {"th_TH", 1054},
    {"vi_VN", 1066},  {"id_ID", 1057},  {"ms_MY", 1086},  {"fil_PH", 1124}, {"km_KH", 1107},
    {"lo_LA", 1108},  {"my_MM", 1109},  {"mn_MN", 1104},  {"kk_KZ", 1087},  {"ka_GE", 1079},
    {"hy_AM", 1067},  {"da_DK", 1030},  {"fi_FI", 1035},  {"nb_NO", 1044},  {"no_NO", 1044},
    {"nn_NO", 2068},  {"is_IS", 1039},  {"et_EE", 1061},  {"lv_LV", 1062},  {"lt_LT", 1063},
    {"ca_ES", 1027},  {"eu_ES", 1069},  {"gl_ES", 1110},  {"sq_AL", 1052},  {"mk_MK", 1071},
    {"af_ZA", 1078},  {"sw_KE", 1089},  {"ga_IE", 2108},  {"cy_GB", 1106},  {"mt_MT", 1082},
    {"lb_LU", 4134},
};

char AsciiLower(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}
char AsciiUpper(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

void ReplaceAll(std::string& text, std::string_view from, std::string_view to)
{
    size_t pos = text.find(from);
    if (pos == std::string::npos) return;
    std::string result;
    result.reserve(text.size());
    size_t start = 0;
    for (; pos != std::string::npos; pos = text.find(from, start)) {
        result.append(text, start, pos - start);
        result.append(to);
        start = pos + from.size();
    }
    result.append(text, start, std::string::npos);
    text = std::move(result);
}

struct LoadedLanguage {
    LanguageState state;
    LanguageTable table;
};

// The process-wide language. Function-local so that use from other static objects is safe.
struct LanguageHolder {
    std::shared_mutex mutex;
    std::shared_ptr<const LoadedLanguage> loaded;
};

LanguageHolder& Holder()
{
    static LanguageHolder holder;
    return holder;
}

std::shared_ptr<const LoadedLanguage> Loaded()
{
    LanguageHolder& holder = Holder();
    std::shared_lock lock(holder.mutex);
    return holder.loaded;
}

}  // namespace

uint32_t LocaleNumberFromName(std::string_view posixLocale)
{
    // language[_territory][.codeset][@modifier]; "zh-CN" is taken as well.
    const size_t cut = posixLocale.find_first_of(".@");
    if (cut != std::string_view::npos) posixLocale = posixLocale.substr(0, cut);
    const size_t sep = posixLocale.find_first_of("_-");
    std::string language(posixLocale.substr(0, sep));
    std::string territory(sep == std::string_view::npos ? std::string_view() : posixLocale.substr(sep + 1));
    for (char& c : language) c = AsciiLower(c);
    for (char& c : territory) c = AsciiUpper(c);
    if (language.empty()) return kLocaleEnglishUs;

    const std::string full = language + "_" + territory;
    for (const LocaleEntry& e : kLocales) {
        if (e.name == full) return e.number;
    }
    for (const LocaleEntry& e : kLocales) {
        if (e.name.size() > language.size() && e.name.starts_with(language) &&
            e.name[language.size()] == '_') {
            return e.number;
        }
    }
    return kLocaleEnglishUs;  // also "C" and "POSIX"
}

uint32_t LocaleNumberFromEnvironment(const EnvLookup& getEnv)
{
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = getEnv ? getEnv(name) : nullptr;
        if (value && *value) return LocaleNumberFromName(value);
    }
    return kLocaleEnglishUs;
}

uint32_t SystemLocaleNumber()
{
    return LocaleNumberFromEnvironment([](const char* name) { return std::getenv(name); });
}

LanguageState SelectLanguage(const std::string& programDir, uint32_t systemLocale)
{
    LanguageState state;
    const std::string name = IniFile::Load(programDir + "Languages/Language.ini")
                                 .GetString("LCID", std::to_string(systemLocale), "", kLanguageNameBuffer);
    if (name.empty()) {
        state.localeNumber = kLocaleEnglishUs;
        state.languageName = "English";
    } else {
        state.localeNumber = systemLocale;
        state.languageName = name;
    }
    state.languageFilePath = programDir + "Languages/" + state.languageName + ".lng";
    return state;
}

std::string LanguageKey(std::string_view text)
{
    std::string key(TrimIniBlanks(text));
    for (char& c : key) c = AsciiLower(c);
    return key;
}

std::string ExpandLanguageEscapes(std::string_view text)
{
    std::string result(text);
    ReplaceAll(result, "\\r\\n", "\r\n");
    ReplaceAll(result, "\\n", "\n");
    ReplaceAll(result, "[~NullInfoChrys~]", "");
    ReplaceAll(result, "[~Null~]", " ");
    return result;
}

LanguageTable LanguageTable::FromIni(const IniFile& ini)
{
    LanguageTable table;
    // The first line of a key decides, as in any INI lookup: an empty value there means no
    // translation even when a later duplicate has one.
    std::unordered_set<std::string> seen;
    for (const IniFile::Section& section : ini.Sections()) {
        if (!IniNameEquals(section.name, "ProgramOutStr")) continue;
        for (const IniFile::Entry& entry : section.entries) {
            std::string key = LanguageKey(entry.key);
            if (!seen.insert(key).second) continue;
            const std::string value = IniValueForRead(entry.value, kIniLongBuffer);
            if (!value.empty()) table.translations_.emplace(std::move(key), ExpandLanguageEscapes(value));
        }
    }
    return table;
}

LanguageTable LanguageTable::Parse(std::string_view text)
{
    return FromIni(IniFile::Parse(text));
}

LanguageTable LanguageTable::Load(const std::string& path)
{
    return FromIni(IniFile::Load(path));
}

std::string LanguageTable::Translate(std::string_view text) const
{
    if (text.empty()) return {};
    if (!translations_.empty()) {
        const auto it = translations_.find(LanguageKey(text));
        if (it != translations_.end()) return it->second;
    }
    return ExpandLanguageEscapes(text);
}

LanguageState LoadLanguage(const std::string& programDir, uint32_t systemLocale)
{
    auto loaded = std::make_shared<LoadedLanguage>();
    loaded->state = SelectLanguage(programDir, systemLocale);
    loaded->table = LanguageTable::Load(loaded->state.languageFilePath);
    LanguageState state = loaded->state;
    LanguageHolder& holder = Holder();
    std::unique_lock lock(holder.mutex);
    holder.loaded = std::move(loaded);
    return state;
}

LanguageState LoadLanguage(const std::string& programDir)
{
    return LoadLanguage(programDir, SystemLocaleNumber());
}

LanguageState CurrentLanguage()
{
    const auto loaded = Loaded();
    return loaded ? loaded->state : LanguageState{};
}

uint32_t CurrentLocaleNumber()
{
    return CurrentLanguage().localeNumber;
}

std::string Translate(std::string_view text)
{
    if (text.empty()) return {};
    const auto loaded = Loaded();
    return loaded ? loaded->table.Translate(text) : ExpandLanguageEscapes(text);
}

}  // namespace pontiq
