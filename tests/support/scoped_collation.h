// The engine's text collation switched to a named locale's for one scope, as
// though the process had started under that user's locale, and switched back
// when the scope ends. Open containers must not live across the switch.
#pragma once

#include <memory>
#include <string>

#include "engine/platform/locale_service.h"
#include "engine/protection/collation.h"

namespace norvane::testing {

class TScopedCollation {
 public:
  // `locale` as the environment spells it ("tr_TR.UTF-8", "C"...).
  explicit TScopedCollation(const std::string& locale)
      : locale_(MakeLocale(locale)), tables_(BuildCollationTables(*locale_)), override_(tables_) {}

  const TCollationTables& Tables() const { return tables_; }

 private:
  std::unique_ptr<TLocaleService> locale_;
  TCollationTables tables_;
  TCollationOverride override_;
};

}  // namespace norvane::testing
