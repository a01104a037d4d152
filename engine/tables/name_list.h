// The lists of names components take as one text (key fields, master
// fields): items separated by ";" or ",", each trimmed of blanks and tabs.
#pragma once

#include <string>
#include <vector>

namespace norvane {

// The items of the list; empty items are dropped.
std::vector<std::string> SplitNameList(const std::string& list);
// Whether `name` is one of the items, compared without case.
bool NameListed(const std::vector<std::string>& list, const std::string& name);

}  // namespace norvane
