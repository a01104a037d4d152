// Version verdicts and their locale-independent text.
#include "engine/tables/table_version.h"

#include <charconv>
#include <cmath>

namespace norvane {

TVersionVerdict JudgeTableVersion(double version) {
  if (!std::isfinite(version) || version > kCurrentTableVersion || version < kOldestTableVersion)
    return TVersionVerdict::Refuse;
  // Versions are stored as floats: within a thousandth counts as current.
  return version < kCurrentTableVersion - 0.001 ? TVersionVerdict::Upgrade : TVersionVerdict::Current;
}

std::string FormatTableVersion(double version) {
  char text[400];
  const auto result = std::to_chars(text, text + sizeof text, version, std::chars_format::fixed, 2);
  return std::string(text, result.ptr);
}

std::string TableVersionMessage(const std::string& table, double version) {
  return "Error in TDeziDataManager.OpenTable - Invalid db engine version in file " + table +
         ".dat (version = " + FormatTableVersion(version) +
         ", internalCurrentVersion = " + FormatTableVersion(kCurrentTableVersion) + ") !";
}

}  // namespace norvane
