// Salvage of a damaged container: everything that can still be read from it
// is written into a new, sound container through the ordinary file
// operations, and a log says, file by file, what came back whole, what came
// back with missing byte ranges and what was lost. The damaged file is only
// ever read.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace norvane {

enum class TSalvageState { Whole, Partial, Lost };

// One file record found in the damaged container.
struct TSalvagedFile {
  int32_t Record = -1;  // its record number; -1 when its directory page could not be placed
  std::string Path;     // where it is in the new container ("\" separators); empty when lost
  int64_t Size = 0;
  TSalvageState State = TSalvageState::Lost;
  // Byte ranges [first, end) that could not be read; they read as zeros.
  std::vector<std::pair<int64_t, int64_t>> Missing;
  std::string Reason;  // why a lost file is lost
};

struct TSalvageReport {
  std::vector<std::string> Log;  // engine text, one line an entry
  std::vector<TSalvagedFile> Files;
  int32_t Whole = 0, Partial = 0, Lost = 0;
  bool Cancelled = false;
  // "N files whole, M with missing ranges, K lost".
  std::string Summary() const;
};

// Called with the percentage done; setting cancel stops the salvage.
using TSalvageProgress = std::function<void(bool& cancel, double percent)>;

// Reads the container `damagedName` (read-only, shared) and creates
// `newName` (replacing any file of that name) holding every folder and file
// that can be reached:
//   - the geometry comes from the header when it is sound, else from the
//     page headers; directory and map pages are found by page type and
//     checksum, so a broken directory chain loses only its unreadable pages;
//   - every byte written was read from a data page whose checksum holds;
//     bytes of pages that cannot be read are written as zeros and reported
//     as missing ranges; a file none of whose bytes can be read is lost;
//   - folders are rebuilt from the records' parent links; an item whose
//     parent folder is not found (or lies on a cycle of folders, or more
//     than 1000 folders deep) goes into the folder "\lost+found" under
//     the name "<record number>-<name>" ("p<page>s<slot>-<name>" when its
//     record number is unknown), its own children staying below it; a name
//     taken already in the new container gets "~<record number>" appended;
//   - a file with its own password is lost (its key needs that password).
// An encrypted container needs its password and a sound header (the key is
// kept there); the new container gets the same password. Throws EEngineError
// when the damaged file cannot be opened or read at all, when both names
// are the same file, when the password does not open it, and when the new
// container cannot be written. A cancel leaves the new container sound,
// holding what was copied so far, with Cancelled set.
TSalvageReport SalvageContainer(const std::string& damagedName, const std::string& newName,
                                const std::string& password, const TSalvageProgress& progress = {});

}  // namespace norvane
