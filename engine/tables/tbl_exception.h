// The engine's exception with a native error code: its text comes from the
// message table by code, filled with the caller's arguments, put behind the
// name of the component involved and followed by the code, so an
// application can tell errors apart by number and a person by text.
#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "engine/common/engine_error.h"

namespace norvane {

// One argument of a message: text for "%s", a number for "%d".
using TTblArgument = std::variant<std::string, int64_t>;

class ETblException : public EEngineError {
 public:
  // The message of `code` filled with `arguments`, "<component>: " in front
  // when the component has a name, then " - Native error: " and the code in
  // five digits (1003 gives "01003").
  ETblException(int32_t code, const std::vector<TTblArgument>& arguments = {},
                const std::string& component = "");
  int32_t NativeError() const { return code_; }

 private:
  int32_t code_;
};

// The message table's text for `code`; a code the table does not hold gets
// the table's first message.
const char* TblMessageText(int32_t code);
// Fills "%s" and "%d" in order from `arguments` ("%%" is a percent sign); a
// placeholder without an argument stays as it stands.
std::string FormatTblMessage(const std::string& text, const std::vector<TTblArgument>& arguments);

}  // namespace norvane
