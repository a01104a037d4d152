// Writing values and rows of the tool's CSV output.
#include "tools/norvane-db/csv_output.h"

namespace norvane::tool {

std::string CsvField(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (const char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

std::string CsvRow(const std::vector<std::string>& values) {
  std::string row;
  for (size_t i = 0; i < values.size(); ++i) row += (i == 0 ? "" : ",") + CsvField(values[i]);
  return row;
}

}  // namespace norvane::tool
