// What salvage finds in a damaged container before it copies anything: every
// directory page and map page, recognised by page type and checksum rather
// than by following chains, and the directory records placed back at their
// record numbers even where the directory chain is broken.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "engine/container/file_rec.h"
#include "engine/container/salvage_pages.h"

namespace norvane {

// A page whose header says directory page (type 1). Sound when its checksum
// holds and it was deciphered; Records then holds its record slots.
struct TSalvageDirPage {
  int32_t Next = -1;
  bool Sound = false;
  std::vector<uint8_t> Records;
};

// A map page (type 5) whose checksum holds: its link and page numbers.
struct TSalvageMapPage {
  int32_t Next = -1;
  std::vector<uint32_t> Entries;
};

// A live record found in a sound directory page. Record is its record
// number, or -1 when its page could not be placed in the directory chain;
// Page and Slot say where it was found.
struct TSalvageRecord {
  TFileRec Rec;
  int32_t Record = -1;
  int32_t Page = 0;
  int32_t Slot = 0;
};

struct TSalvageScan {
  std::map<int32_t, TSalvageDirPage> Directory;  // by page number
  std::map<int32_t, TSalvageMapPage> Maps;       // by page number
  std::vector<TSalvageRecord> Records;           // placed ones by record number, then the rest
};

// Called now and then with the share done (0 to 1); false stops the work.
using TSalvageStep = std::function<bool(double done)>;

// Reads the header of every page and keeps the directory and map pages.
// Records are placed by walking the directory chain from its first page
// (from the header, or the directory page no other one names). Where the
// walk breaks, a single run of directory pages it did not reach is placed
// after it: as many positions on as the header's page count leaves, or,
// without a sound header, one on when the page the walk stopped at lies in
// the file (it is taken to be the damaged page). Records of pages still
// unplaced keep record number -1. Unreadable directory pages are named in
// `log`. False when `step` asked to stop.
bool ScanContainer(TSalvagePages& pages, TSalvageScan& scan, std::vector<std::string>& log,
                   const TSalvageStep& step);

}  // namespace norvane
