// The table of locale names and their numeric identifiers. Only the languages
// a catalogue in code page 1251 is likely to meet are listed; anything else is
// given the English identifier while ICU still sorts it by its own name.
#include "engine/platform/locale_names.h"

namespace norvane {
namespace {

struct TLocaleEntry {
  std::string_view Name;
  uint32_t Id;
};

// The first entry of each language is the one its bare language (or an
// unlisted country) falls back to, so keep the main country first.
constexpr TLocaleEntry kLocales[] = {
    {"ru_RU", 1049}, {"ru_MD", 2073},
    {"en_US", 1033}, {"en_GB", 2057}, {"en_AU", 3081}, {"en_CA", 4105}, {"en_IE", 6153},
    {"uk_UA", 1058},
    {"be_BY", 1059},
    {"bg_BG", 1026},
    {"sr_RS", 10266},  // Cyrillic, as glibc's sr_RS is and code page 1251 holds
    {"mk_MK", 1071},
    {"kk_KZ", 1087},
    {"ky_KG", 1088},
    {"tt_RU", 1092},
    {"ba_RU", 1133},
    {"mn_MN", 1104},
    {"tg_TJ", 1064},
    {"uz_UZ", 1091},
    {"tr_TR", 1055},
    {"de_DE", 1031}, {"de_AT", 3079}, {"de_CH", 2055},
    {"fr_FR", 1036}, {"fr_BE", 2060}, {"fr_CA", 3084}, {"fr_CH", 4108},
    {"es_ES", 3082}, {"es_MX", 2058},
    {"it_IT", 1040},
    {"pt_PT", 2070}, {"pt_BR", 1046},
    {"nl_NL", 1043},
    {"pl_PL", 1045},
    {"cs_CZ", 1029},
    {"sk_SK", 1051},
    {"sl_SI", 1060},
    {"hr_HR", 1050},
    {"hu_HU", 1038},
    {"ro_RO", 1048},
    {"el_GR", 1032},
    {"lt_LT", 1063},
    {"lv_LV", 1062},
    {"et_EE", 1061},
    {"fi_FI", 1035},
    {"sv_SE", 1053},
    {"da_DK", 1030},
    {"nb_NO", 1044},
    {"hy_AM", 1067},
    {"ka_GE", 1079},
    {"he_IL", 1037},
    {"ja_JP", 1041},
    {"zh_CN", 2052}, {"zh_TW", 1028},
    {"ko_KR", 1042},
};

constexpr uint32_t kEnglish = 1033;

}  // namespace

std::string NormalizeLocaleName(std::string_view raw) {
  const size_t end = raw.find_first_of(".@");
  std::string name(raw.substr(0, end));
  for (char& c : name) {
    if (c == '-') c = '_';
  }
  if (name.empty() || name == "C" || name == "POSIX") return "ru_RU";
  return name;
}

uint32_t LocaleIdOf(std::string_view name) {
  for (const TLocaleEntry& e : kLocales) {
    if (e.Name == name) return e.Id;
  }
  const std::string_view language = name.substr(0, name.find('_'));
  for (const TLocaleEntry& e : kLocales) {
    if (e.Name.substr(0, e.Name.find('_')) == language) return e.Id;
  }
  return kEnglish;
}

}  // namespace norvane
