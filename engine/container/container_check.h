// The consistency checker: a read-only walk over a container that lists every
// problem it finds instead of stopping at the first, so it works on files the
// container object refuses to open. It uses only the page layer.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/container/huge_file.h"

namespace norvane {

// One problem. Page is the page it concerns (0: the container header, -1:
// none); Record the directory record it concerns (-1: none). What is engine
// text; item paths in it are written with "\". A leak is a page marked used
// that nothing owns: wasted space, not damage, but still a problem. A
// warning is no problem at all, only worth knowing: names in one folder
// that are equal ignoring case under this user's locale, which another
// locale told apart when it made them (the container opens and reaches each).
struct TCheckProblem {
  int32_t Page = -1;
  int32_t Record = -1;
  std::string What;
  bool Leak = false;
  bool Warning = false;
};

// Walks the container file read-only (opened shared, never written):
//   - the container header (the page layer checks its geometry on open, and
//     a file it refuses is one problem carrying the engine's message; a
//     last page cut short is damage of that page);
//   - the PFS, GAM and SGAM pages: placed where the header's counts put
//     them, readable, of their type, and no map page marked free;
//   - the directory chain: page numbers, checksums, page types, records that
//     decode; live records with a valid name, a live folder as parent, no
//     cycle of folders, folders without pages, sizes the container can hold,
//     names unique within a folder byte for byte (names equal only ignoring
//     case, under the case-insensitive collation, are warnings);
//   - each live file's map chain and data pages: every page number valid,
//     no page owned twice, none marked free, checksums and page types;
//   - pages marked used that nothing owns (leaks), when every owner's pages
//     could be read.
// Returns the problems in the order found, warnings among them; no entry
// but warnings for a sound container.
// After 10000 problems the walk stops with a last line saying so.
// An encrypted container needs its password for the directory and files;
// without one that opens it, that is one problem and only the maps are
// checked. Throws EEngineError only when the file cannot be opened at all
// (missing, unreadable, or held exclusively by another process): that is no
// damage. Bounded by the page count in time and memory on any input.
std::vector<TCheckProblem> CheckContainer(const std::string& fileName,
                                          const TPartOptions& parts = {},
                                          const std::string& password = "");

// How many of the entries are problems rather than warnings.
size_t CountProblems(const std::vector<TCheckProblem>& problems);

// One line for a problem: "page 37: checksum mismatch (data page 2 of
// "\docs\a.txt")", "page 4, record 3: has an invalid name", or the message
// alone when it concerns no page. A warning's line starts with "warning: ".
std::string FormatCheckProblem(const TCheckProblem& problem);

}  // namespace norvane
