// Locale names as the environment writes them ("ru_RU.UTF-8", "sr_RS@latin")
// reduced to the bare language_COUNTRY form, and the numeric locale
// identifiers the engine's collation and its files know them by.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace norvane {

// Drops the ".codeset" and "@modifier" parts and writes "ru-RU" as "ru_RU".
// Empty, "C" and "POSIX" become "ru_RU": the catalogue's users write Russian,
// and an unconfigured machine should not sort their text as English.
std::string NormalizeLocaleName(std::string_view raw);

// The identifier of a normalized name: the exact name when known, else its
// language's usual country ("ru_UA" is Russian, 1049), else English (1033).
uint32_t LocaleIdOf(std::string_view name);

}  // namespace norvane
