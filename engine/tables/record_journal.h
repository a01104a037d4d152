// The journal of a flush: the images of the records a flush is about to write
// over in T.dat, kept in T.jnl until the flush has ended. A process killed
// inside a write that spans pages of the system's file cache leaves a record
// half old and half new; the next open takes the images again from here. A
// journal cut short fails its check and is dropped: T.dat was not touched
// before the journal was whole.
//
// Layout, little-endian: "NVJ1"; the record size; the table's change
// counter on disk before the flush and the one the flush writes; the image
// count; per image the physical record number and the image as T.dat holds
// it; the CRC-32 of every byte before it.
#pragma once

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "engine/container/abstract_file.h"

namespace norvane {

// The journals' files beside the table's own: the table name and these. The
// flush's records go to the first; the second holds the whole new T.bif (one
// image at position 0) while T.bif is written over, which a kill inside the
// write would otherwise leave undecodable.
inline constexpr const char* kJournalExtension = ".jnl";
inline constexpr const char* kDirectoryJournalExtension = ".bjn";

struct TRecordJournal {
  int32_t RecordSize = 0;
  // A journal describes T.dat only while the header holds one of these: a
  // later flush moved the counter on and wrote its records whole.
  int32_t CounterBefore = 0;
  int32_t CounterAfter = 0;
  // Physical number and image, in rising record order.
  std::vector<std::pair<int32_t, std::vector<uint8_t>>> Images;
};

// The length of a journal of `count` images.
int64_t RecordJournalLength(int32_t recordSize, size_t count);
// Writes the journal of these images (`recordSize` bytes each) over `file`,
// in pieces of about a megabyte, and flushes it.
void WriteRecordJournal(TAbstractFile& file, int32_t recordSize, int32_t counterBefore, int32_t counterAfter,
                        const std::vector<std::pair<int32_t, const uint8_t*>>& images);
// The journal the bytes hold, or nothing when they are not one whole journal
// (cut short, damaged, or of another record size; recordSize 0 takes the
// size the journal gives).
std::optional<TRecordJournal> DecodeRecordJournal(const std::vector<uint8_t>& bytes, int32_t recordSize);

}  // namespace norvane
