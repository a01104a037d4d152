// The CSV the tool prints, dump's and sql's alike: a row is its values
// joined by commas, a value quoted as RFC 4180 says only where it holds a
// comma, a quote or a line break. One writer, so the two cannot drift.
#pragma once

#include <string>
#include <vector>

namespace norvane::tool {

// `text` as one CSV value: unchanged, or in double quotes with each double
// quote doubled.
std::string CsvField(const std::string& text);

// The values as one CSV row, without its line end.
std::string CsvRow(const std::vector<std::string>& values);

}  // namespace norvane::tool
