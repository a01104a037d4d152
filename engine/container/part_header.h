// The header at the start of every part of a container's part-file stream,
// and the rule that decides which names a part may give for the next part.
#pragma once

#include <cstdint>
#include <string>

namespace norvane {

class TESFSAbstractFile;

// PartHeader, 280 bytes, little-endian:
//    0  8    magic "AAMVHFSS"
//    8  i64  maximum part size in bytes, header included
//   16  261  file name (no folder) of the next part, zero-terminated;
//            all zero in the last part
//  277  3    zero
constexpr char kPartMagic[] = "AAMVHFSS";  // eight bytes, no terminator on disk
constexpr int64_t kPartHeaderSize = 280;
constexpr int64_t kPartNameCapacity = 261;

struct TPartHeader {
  int64_t MaxPartSize = 0;
  std::string NextName;  // empty in the last part
};

// Requires NextName.size() < kPartNameCapacity.
void EncodePartHeader(const TPartHeader& header, uint8_t* out);
// False when the magic is wrong or the name has no terminator.
bool DecodePartHeader(const uint8_t* in, TPartHeader& header);

// Reads the part header at `at` of `part`; false when fewer bytes follow or
// they are not a valid header. Errors of the part itself propagate.
bool ReadPartHeader(TESFSAbstractFile& part, int64_t at, TPartHeader& header);

// A next-part name is taken from the file and used as a path, so it is only
// trusted when it is the first part's own file name followed by digits.
bool IsValidNextPartName(const std::string& nextName, const std::string& firstPartFileName);

// The length of foreign bytes before the first part's header: the first offset
// where a part header is directly followed by the container magic, 0 when
// there is none. Leaves the part positioned there. A part that reads short
// throws, so a failing disk is never taken for a file without a prefix.
int64_t FindContainerPrefix(TESFSAbstractFile& part);

}  // namespace norvane
