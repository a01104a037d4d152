#include "engine/tables/record_journal.h"

#include <cstring>

#include "engine/common/byte_codec.h"
#include "engine/protection/hash_crc32.h"

namespace norvane {
namespace {

constexpr char kMagic[4] = {'N', 'V', 'J', '1'};
constexpr size_t kHeaderSize = 20;
constexpr size_t kCheckSize = 4;

}  // namespace

int64_t RecordJournalLength(int32_t recordSize, size_t count) {
  return static_cast<int64_t>(kHeaderSize + kCheckSize) + static_cast<int64_t>(count) * (4 + int64_t{recordSize});
}

void WriteRecordJournal(TAbstractFile& file, int32_t recordSize, int32_t counterBefore, int32_t counterAfter,
                        const std::vector<std::pair<int32_t, const uint8_t*>>& images) {
  constexpr size_t kPieceBytes = size_t{1} << 20;
  const size_t size = static_cast<size_t>(recordSize);
  THash_CRC32 check;
  check.Init();
  std::vector<uint8_t> piece(kHeaderSize);
  std::memcpy(piece.data(), kMagic, sizeof kMagic);
  PutI32LE(&piece[4], recordSize);
  PutI32LE(&piece[8], counterBefore);
  PutI32LE(&piece[12], counterAfter);
  PutI32LE(&piece[16], static_cast<int32_t>(images.size()));
  file.SetSize(0);
  file.SeekFromStart(0);
  const auto writeOut = [&] {
    check.Calc(piece.data(), piece.size());
    file.WriteBuffer(piece.data(), static_cast<int32_t>(piece.size()));
    piece.clear();
  };
  for (const auto& [position, image] : images) {
    if (piece.size() + 4 + size > kPieceBytes) writeOut();
    const size_t at = piece.size();
    piece.resize(at + 4 + size);
    PutI32LE(&piece[at], position);
    std::memcpy(&piece[at + 4], image, size);
  }
  writeOut();
  piece.resize(kCheckSize);
  PutU32LE(piece.data(), check.Value());
  file.WriteBuffer(piece.data(), static_cast<int32_t>(piece.size()));
  file.Flush();
}

std::optional<TRecordJournal> DecodeRecordJournal(const std::vector<uint8_t>& bytes, int32_t recordSize) {
  if (recordSize < 0 || bytes.size() < kHeaderSize + kCheckSize) return std::nullopt;
  if (recordSize == 0) recordSize = GetI32LE(&bytes[4]);
  if (recordSize <= 0 || std::memcmp(bytes.data(), kMagic, sizeof kMagic) != 0 || GetI32LE(&bytes[4]) != recordSize)
    return std::nullopt;
  const int32_t count = GetI32LE(&bytes[16]);
  const size_t size = static_cast<size_t>(recordSize);
  if (count < 0 || bytes.size() - kHeaderSize - kCheckSize != static_cast<size_t>(count) * (4 + size))
    return std::nullopt;
  const size_t checked = bytes.size() - kCheckSize;
  if (GetU32LE(&bytes[checked]) != Crc32(bytes.data(), checked)) return std::nullopt;
  TRecordJournal journal{recordSize, GetI32LE(&bytes[8]), GetI32LE(&bytes[12]), {}};
  journal.Images.reserve(static_cast<size_t>(count));
  for (size_t at = kHeaderSize; at < checked; at += 4 + size)
    journal.Images.emplace_back(GetI32LE(&bytes[at]),
                                std::vector<uint8_t>(bytes.begin() + static_cast<std::ptrdiff_t>(at + 4),
                                                     bytes.begin() + static_cast<std::ptrdiff_t>(at + 4 + size)));
  return journal;
}

}  // namespace norvane
