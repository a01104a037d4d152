// The locale service backed by ICU: code page 1251 bytes are turned into
// their Unicode characters and compared and upper-cased by ICU's collator and
// case mapping for the locale's name.
#include "engine/platform/locale_service.h"

#include <unicode/ucol.h>
#include <unicode/ustring.h>

#include <array>
#include <cstdlib>
#include <string>

#include "engine/common/engine_error.h"
#include "engine/platform/cp1251.h"
#include "engine/platform/locale_names.h"

namespace norvane {
namespace {

// The Unicode character of every byte, taken from the code page conversion so
// the two can never disagree. Every byte of the code page is one UTF-16 unit.
std::array<UChar, 256> MakeCharTable() {
  std::array<UChar, 256> table{};
  for (int b = 0; b < 256; ++b) {
    const std::string utf8 = Cp1251ToUtf8(std::string(1, static_cast<char>(b)));
    UChar unit[2];
    int32_t length = 0;
    UErrorCode status = U_ZERO_ERROR;
    u_strFromUTF8(unit, 2, &length, utf8.data(), static_cast<int32_t>(utf8.size()), &status);
    if (U_FAILURE(status) || length != 1)
      throw EEngineError("TLocaleService - cannot convert a code page 1251 character.");
    table[b] = unit[0];
  }
  return table;
}

const std::array<UChar, 256>& CharTable() {
  static const std::array<UChar, 256> table = MakeCharTable();
  return table;
}

UCollator* OpenCollator(const std::string& name, UColAttributeValue strength) {
  UErrorCode status = U_ZERO_ERROR;
  // An unknown name gives the root collation with a warning, which is what we
  // want; only a real failure (no data, no memory) stops us.
  UCollator* collator = ucol_open(name.c_str(), &status);
  if (U_FAILURE(status))
    throw EEngineError("TLocaleService - cannot open the collation of locale " + name + ": " +
                       u_errorName(status));
  ucol_setStrength(collator, strength);
  // Scripts keep their common order (Latin before Cyrillic) whatever the
  // locale, as on the desktops where catalogue files are also made, so text
  // ordered there keeps its order here.
  int32_t noReordering = UCOL_REORDER_CODE_NONE;
  ucol_setReorderCodes(collator, &noReordering, 1, &status);
  if (U_FAILURE(status))
    throw EEngineError("TLocaleService - cannot set the script order of locale " + name + ": " +
                       u_errorName(status));
  return collator;
}

int Sign(UCollationResult r) { return r == UCOL_LESS ? -1 : (r == UCOL_GREATER ? 1 : 0); }

class TIcuLocaleService final : public TLocaleService {
 public:
  explicit TIcuLocaleService(const std::string& name)
      : name_(name), id_(LocaleIdOf(name)), chars_(CharTable()) {
    // Default strength is tertiary, which tells case apart: the comparison
    // "with no flags". Secondary strength ignores case but keeps accents, so
    // е and ё still differ when case does not count.
    collator_ = OpenCollator(name_, UCOL_DEFAULT);
    try {
      caselessCollator_ = OpenCollator(name_, UCOL_SECONDARY);
    } catch (...) {
      ucol_close(collator_);
      throw;
    }
  }
  ~TIcuLocaleService() override {
    ucol_close(caselessCollator_);
    ucol_close(collator_);
  }
  TIcuLocaleService(const TIcuLocaleService&) = delete;
  TIcuLocaleService& operator=(const TIcuLocaleService&) = delete;

  uint32_t Id() const override { return id_; }

  int CompareChars(uint8_t a, uint8_t b) const override {
    // Lengths are given, so byte 0 is the character U+0000, not an end.
    const UChar ca = chars_[a], cb = chars_[b];
    return Sign(ucol_strcoll(collator_, &ca, 1, &cb, 1));
  }

  uint8_t UpperChar(uint8_t c) const override {
    const UChar source = chars_[c];
    UChar upper[4];
    UErrorCode status = U_ZERO_ERROR;
    const int32_t length = u_strToUpper(upper, 4, &source, 1, name_.c_str(), &status);
    // Some characters grow on upper-casing (ŉ gives two); those keep their case.
    if (U_FAILURE(status) || length != 1) return c;
    for (int b = 0; b < 256; ++b) {
      if (chars_[b] == upper[0]) return static_cast<uint8_t>(b);
    }
    return c;  // the capital is not in the code page (Turkish İ, Greek Μ of µ)
  }

  int CompareStrings(std::string_view a, std::string_view b, bool ignoreCase) const override {
    const std::u16string ua = ToUtf16(a), ub = ToUtf16(b);
    return Sign(ucol_strcoll(ignoreCase ? caselessCollator_ : collator_, ua.data(),
                             static_cast<int32_t>(ua.size()), ub.data(),
                             static_cast<int32_t>(ub.size())));
  }

  void AppendSortKey(std::u16string_view text, bool ignoreCase, std::string& out) const override {
    const UCollator* collator = ignoreCase ? caselessCollator_ : collator_;
    const size_t start = out.size();
    // A key takes a few bytes per character; a longer one is asked for again
    // with the room ICU says it needs.
    int32_t room = static_cast<int32_t>(text.size()) * 4 + 16;
    for (;;) {
      out.resize(start + static_cast<size_t>(room));
      const int32_t length =
          ucol_getSortKey(collator, text.data(), static_cast<int32_t>(text.size()),
                          reinterpret_cast<uint8_t*>(out.data() + start), room);
      if (length <= 0) throw EEngineError("TLocaleService - cannot make a sort key.");
      if (length <= room) {
        out.resize(start + static_cast<size_t>(length));
        return;
      }
      room = length;
    }
  }

 private:
  std::u16string ToUtf16(std::string_view text) const {
    std::u16string out(text.size(), u'\0');
    for (size_t i = 0; i < text.size(); ++i) out[i] = chars_[static_cast<uint8_t>(text[i])];
    return out;
  }

  std::string name_;
  uint32_t id_;
  const std::array<UChar, 256>& chars_;
  UCollator* collator_ = nullptr;
  UCollator* caselessCollator_ = nullptr;
};

}  // namespace

std::unique_ptr<TLocaleService> MakeUserLocale() {
  // The order POSIX gives the variables for collation.
  std::string_view raw;
  for (const char* variable : {"LC_ALL", "LC_COLLATE", "LANG"}) {
    const char* value = std::getenv(variable);
    if (value != nullptr && *value != '\0') {
      raw = value;
      break;
    }
  }
  return MakeLocale(std::string(raw));
}

std::unique_ptr<TLocaleService> MakeLocale(const std::string& name) {
  return std::make_unique<TIcuLocaleService>(NormalizeLocaleName(name));
}

}  // namespace norvane
