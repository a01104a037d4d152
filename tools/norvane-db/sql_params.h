// The parameters of the sql command: each --param NAME=VALUE gives the
// script's ":NAME", typed by the form of VALUE, so a number on the command
// line is a number in the statement and any other text a string.
#pragma once

#include <string>

#include "engine/query/query_params.h"
#include "tools/norvane-db/command_line.h"

namespace norvane::tool {

// One "NAME=VALUE" (engine text): a whole number is an integer (a large
// integer past 32 bits), a decimal number (with "." and an optional
// exponent) a float, anything else a string, "NAME=" the empty string.
// Throws TUsageError for text without "=", an empty name, a whole number
// past 64 bits and a decimal number past the range of a float.
TQueryParam ParamOf(const std::string& nameValue);

// Every --param of the command line, in the order given. Throws as ParamOf
// does, and for a name given twice (names compare without case, as the
// script's do).
TQueryParams ParamsOf(const TCommandLine& line);

}  // namespace norvane::tool
