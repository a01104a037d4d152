// Index keys as byte strings: the key fields of a record encoded so that two
// keys compared byte by byte (memcmp order, a proper prefix first) order the
// records exactly as the index does. Sorting, maintenance and searches all
// compare these keys, so there is one definition of the order.
//
// Order per key field, the first unequal field deciding:
// - null before any value, the whole field reversed when it is descending;
// - ftSmallint, ftInteger, ftLargeint signed; ftWord unsigned; ftBoolean
//   false before true; ftDate the day number; ftTime the milliseconds;
// - ftFloat, ftCurrency, ftBCD as 64-bit floats, -0 equal to 0, NaN after
//   every number; ftDateTime likewise after rounding to whole milliseconds;
// - ftString by the collation of the 8-bit text (CollateCompare or, ignoring
//   case, CollateCompareCI); ftWideString by the user locale's collator;
// - the row identifier signed and always ascending.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/tables/index_header.h"
#include "engine/tables/record_geometry.h"
#include "engine/tables/table_header.h"

namespace norvane {

// How much of a key a comparison uses: the first `Fields` key fields; text
// compared ignoring case when `CaseInsensitive` (on top of the index's own
// case bits); and, for a partial-key search, text cut to at most
// `TextLimits[i]` characters for key field i (SIZE_MAX: whole text).
struct TKeyShape {
  size_t Fields = SIZE_MAX;
  bool CaseInsensitive = false;
  std::vector<size_t> TextLimits;
};

class TIndexKeyEncoder {
 public:
  // For the index `index` of a table with these fields and geometry; key
  // field numbers are -1 or positions in `fields` (std::out_of_range
  // otherwise). Throws "Error in TDeziDataManager.InternalAddIndex -
  // unsupported field type!" when a key field is not of an indexable type.
  // Text is ordered by Collation() as it is when Encode runs.
  TIndexKeyEncoder(const std::vector<TFieldHeader>& fields, const TRecordGeometry& geometry,
                   const TIndexDescription& index);

  size_t KeyFieldCount() const;

  // Replaces `out` with the key of the plain record image `record` (the
  // whole key, or the part `shape` asks for).
  void Encode(const uint8_t* record, std::string& out) const;
  void Encode(const uint8_t* record, const TKeyShape& shape, std::string& out) const;
  // Appends the record's row identifier: the order index arrays keep among
  // records with equal keys, so that each record has exactly one place.
  void AppendRowId(const uint8_t* record, std::string& out) const;
  // Replaces `out` with the whole key and the row identifier: where the
  // record stands in the index array.
  void EncodeRow(const uint8_t* record, std::string& out) const {
    Encode(record, out);
    AppendRowId(record, out);
  }
  // Replaces `out` with at least the first `bytes` bytes of EncodeRow's
  // result (all of it when shorter), encoding no more of a long text than
  // can reach them: what an index entry's head needs, and a little more.
  void EncodePrefix(const uint8_t* record, size_t bytes, std::string& out) const;
  // The length of the whole key (without the row identifier) whose first
  // bytes are `head`, when the head holds all of it and its end can be told
  // from the bytes alone (fields of fixed size); SIZE_MAX otherwise.
  size_t KeyLengthInHead(const uint8_t* head, size_t size) const;

  // The shape of a search with the search key image `key`: its first k key
  // fields, ignoring case when asked, and when `partial` each text field
  // limited to the length of the key's own text in it.
  TKeyShape SearchShape(const uint8_t* key, size_t k, bool caseInsensitive, bool partial) const;
  // The order of the record's key of this shape (with its row identifier
  // when asked) against an encoded key: negative, zero or positive, as
  // comparing Encode's result would give, but reading only as far as the
  // first difference. `scratch` is working space.
  int Compare(const uint8_t* record, const TKeyShape& shape, std::string_view target, bool withRowId,
              std::string& scratch) const;
  // Whether a key of this shape is always the first bytes of the same
  // record's whole key (no text cut short, no case folded that the index
  // keeps), so that the heads of index entries can stand in for it.
  bool ShapeIsKeyPrefix(const TKeyShape& shape) const;

 private:
  // How a key field's value is read and written.
  enum class TPartKind : uint8_t {
    Signed,    // Size bytes, little-endian two's complement (also dates, times, row identifier)
    Word,      // 2 bytes unsigned
    Boolean,   // 2 bytes, nonzero = true
    Float,     // 8 bytes, 64-bit float
    DateTime,  // 8 bytes, 64-bit float of milliseconds
    Text,      // zero-terminated 8-bit text within Size bytes
    WideText,  // zero-terminated 16-bit little-endian units within Size bytes
  };
  // Everything Encode needs about one key field, found once.
  struct TKeyPart {
    TPartKind Kind = TPartKind::Signed;
    int32_t Offset = 0;  // of the value inside a record
    int32_t Size = 0;    // bytes of the value read (the stored size for text)
    int32_t NullByte = 0;
    uint8_t NullMask = 0;  // 0: never null (the row identifier)
    bool Descending = false;
    bool IgnoreCase = false;
  };

  void AppendValue(const TKeyPart& part, const uint8_t* record, bool ignoreCase, size_t limit,
                   std::string& out) const;

  std::vector<TKeyPart> parts_;
  int32_t rowIdOffset_ = 0;
};

}  // namespace norvane
