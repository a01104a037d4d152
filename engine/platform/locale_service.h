// The user's locale as the engine's collation asks for it: its numeric
// identifier, the order of single code page 1251 characters, their upper-case
// mapping, and whole-string comparison. The system implementation reads the
// usual environment (LC_ALL, LC_COLLATE, LANG) and asks ICU.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace norvane {

class TLocaleService {
 public:
  virtual ~TLocaleService() = default;
  // The numeric locale identifier: 1049 Russian, 1033 English, 1055 Turkish...
  virtual uint32_t Id() const = 0;
  // Negative, zero or positive as the one-character string a sorts before,
  // with or after b, with no comparison flags.
  virtual int CompareChars(uint8_t a, uint8_t b) const = 0;
  // The locale's upper-case mapping of one character (itself when it has
  // none in code page 1251).
  virtual uint8_t UpperChar(uint8_t c) const = 0;
  // Whole-string comparison of code page 1251 text, with or without case.
  virtual int CompareStrings(std::string_view a, std::string_view b, bool ignoreCase) const = 0;
  // Appends the sort key of a Unicode text to `out`: bytes whose memcmp order
  // is the order of the same comparison as CompareStrings (with or without
  // case), ending with one 0 byte and holding no other, so that no key is a
  // proper prefix of another. Grows `out` in place: a caller that reuses it
  // allocates only while its capacity grows.
  virtual void AppendSortKey(std::u16string_view text, bool ignoreCase, std::string& out) const = 0;
};

// The locale of the environment; Russian when none is set (or only C/POSIX).
std::unique_ptr<TLocaleService> MakeUserLocale();
// A named locale ("ru_RU", "en_US", "tr_TR"...), for tests and tools.
std::unique_ptr<TLocaleService> MakeLocale(const std::string& name);

}  // namespace norvane
