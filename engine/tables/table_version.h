// The format versions a table file may carry and what opening does with each:
// the current version opens as it is, a slightly older one is upgraded in
// place, and anything newer, too old or not a number is refused.
#pragma once

#include <string>

namespace norvane {

constexpr double kCurrentTableVersion = 2.2;
// Older tables keep a different record tail; their upgrade would leave the
// records disagreeing with the header, so they are refused untouched.
constexpr double kOldestTableVersion = 1.24;

// Below this version an upgrade also adds the case-insensitive automatic
// indexes and rebuilds the indexes on dates and times.
constexpr double kIndexUpgradeVersion = 2.099;

enum class TVersionVerdict { Current, Upgrade, Refuse };

TVersionVerdict JudgeTableVersion(double version);
// The version in fixed notation with two decimals and "." whatever the locale
// (2.2 gives "2.20").
std::string FormatTableVersion(double version);
// The refusal text for the table file "<table>.dat" carrying `version`.
std::string TableVersionMessage(const std::string& table, double version);

}  // namespace norvane
