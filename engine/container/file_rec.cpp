// Codec of directory records.
#include "engine/container/file_rec.h"

#include <cstring>

#include "engine/common/byte_codec.h"

namespace norvane {

namespace {
constexpr int kNameOffset = 224;
constexpr int kNameCapacity = 260;
}  // namespace

void EncodeFileRec(const TFileRec& rec, uint8_t* out) {
  std::memset(out, 0, TFileRec::kSize);
  PutI32LE(out + 0, rec.FirstMapPageNo);
  PutI64LE(out + 4, rec.Size);
  PutU64LE(out + 12, rec.CreationTime);
  PutU64LE(out + 20, rec.LastWriteTime);
  PutU64LE(out + 28, rec.LastAccessTime);
  PutU32LE(out + 36, rec.Attributes);
  PutI32LE(out + 40, rec.ParentID);
  std::memcpy(out + 48, rec.PasswordBlock.data(), kPasswordBlockSize);
  out[220] = rec.IsFolder ? 1 : 0;
  out[221] = rec.Deleted ? 1 : 0;
  out[222] = rec.HasPassword ? 1 : 0;
  PutZString(out + kNameOffset, kNameCapacity, rec.FileName);
}

bool DecodeFileRec(const uint8_t* in, TFileRec& rec) {
  if (in[220] > 1 || in[221] > 1 || in[222] > 1) return false;
  rec.FirstMapPageNo = GetI32LE(in + 0);
  rec.Size = GetI64LE(in + 4);
  rec.CreationTime = GetU64LE(in + 12);
  rec.LastWriteTime = GetU64LE(in + 20);
  rec.LastAccessTime = GetU64LE(in + 28);
  rec.Attributes = GetU32LE(in + 36);
  rec.ParentID = GetI32LE(in + 40);
  std::memcpy(rec.PasswordBlock.data(), in + 48, kPasswordBlockSize);
  rec.IsFolder = in[220] == 1;
  rec.Deleted = in[221] == 1;
  rec.HasPassword = in[222] == 1;
  return GetZString(in + kNameOffset, kNameCapacity, rec.FileName);
}

bool IsValidItemName(const std::string& name) {
  if (name.empty() || name.size() > TFileRec::kMaxNameLength) return false;
  if (name == "." || name == "..") return false;
  return name.find_first_of(std::string("\\/\0", 3)) == std::string::npos;
}

}  // namespace norvane
