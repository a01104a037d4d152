// The directory record of one file or folder inside a container, as it lives
// in memory and, byte for byte, in directory pages.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "engine/container/password_block.h"

namespace norvane {

// FileRec, 512 bytes, little-endian:
//    0  i32  FirstMapPageNo (-1: no pages; always -1 for folders)
//    4  i64  size in bytes (0 for folders)
//   12  u64  creation time (FILETIME, UTC)
//   20  u64  last write time
//   28  u64  last access time
//   36  u32  attributes: 0 file, 16 folder
//   40  i32  ParentID: index of the parent folder's record, -1 the root
//   44  4    reserved, zero
//   48  172  PasswordBlock of a file with its own password, else zero
//  220  u8   is folder
//  221  u8   deleted (free for reuse)
//  222  u8   has password
//  223  u8   reserved, zero
//  224  260  FileName, zero-terminated, at most 259 characters
//  484  28   reserved, zero
struct TFileRec {
  static constexpr int kSize = 512;
  static constexpr size_t kMaxNameLength = 259;
  static constexpr uint32_t kFolderAttribute = 16;

  int32_t FirstMapPageNo = -1;
  int64_t Size = 0;
  uint64_t CreationTime = 0;
  uint64_t LastWriteTime = 0;
  uint64_t LastAccessTime = 0;
  uint32_t Attributes = 0;
  int32_t ParentID = -1;
  std::array<uint8_t, kPasswordBlockSize> PasswordBlock{};
  bool IsFolder = false;
  bool Deleted = false;
  bool HasPassword = false;
  std::string FileName;
};

// Writes the 512 bytes of a record; requires FileName.size() <= kMaxNameLength.
void EncodeFileRec(const TFileRec& rec, uint8_t* out);
// False when the stored bytes cannot be a record (no name terminator, flag
// bytes other than 0 and 1).
bool DecodeFileRec(const uint8_t* in, TFileRec& rec);

// A name a record may carry: not empty, at most 259 characters, no
// separators, not "." or "..".
bool IsValidItemName(const std::string& name);

}  // namespace norvane
