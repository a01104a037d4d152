// Index keys: the key fields of a record written as one byte string whose
// memcmp order is the index order. Each key field is a null flag byte (0 null,
// 1 value) followed by the value in an order-preserving, prefix-free form; a
// descending field has every byte of its part inverted.
//
// Values, big-endian:
//   smallint, integer, largeint   2, 4, 8 bytes, sign bit flipped
//   row identifier, date, time    4 bytes, sign bit flipped (for dates and
//                                 times the first 4 of the 8 stored bytes)
//   word                          2 bytes
//   boolean                       1 byte, 0 or 1
//   float, currency, BCD          8 bytes: -0 made +0, every NaN the positive
//                                 quiet NaN; negative numbers all bits
//                                 inverted, the others the sign bit flipped
//   date-time                     as float after rounding to whole
//                                 milliseconds, halves away from zero
//   8-bit text, with ranks        per character v = rank + 1 (or upper-case
//                                 rank + 1): one byte for v up to 254, 0xFF
//                                 and v - 254 for 255 and 256; then 0x00
//   8-bit text, without ranks     the locale's sort key (ends with its only 0)
//   16-bit text                   the locale's sort key; with no locale the
//                                 units in 2 bytes each, then 0x0000
// Partial text keys hold only the first TextLimits[i] characters (units).
#include "engine/tables/index_key.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string_view>

#include "engine/common/byte_codec.h"
#include "engine/common/engine_error.h"
#include "engine/platform/cp1251.h"
#include "engine/platform/locale_service.h"
#include "engine/protection/collation.h"
#include "engine/tables/field_types.h"

namespace norvane {
namespace {

constexpr uint64_t kSignBit = uint64_t{1} << 63;
// The one NaN every NaN becomes: positive and quiet, so it sorts after +inf.
constexpr uint64_t kCanonicalNaN = 0x7FF8000000000000;

// Appends the low `bytes` bytes of v, most significant first.
void AppendBigEndian(uint64_t v, int bytes, std::string& out) {
  char buffer[8];
  for (int i = 0; i < bytes; ++i) buffer[i] = static_cast<char>(v >> (8 * (bytes - 1 - i)));
  out.append(buffer, static_cast<size_t>(bytes));
}

// A signed value of `bytes` bytes with its sign bit flipped sorts as unsigned.
uint64_t SignedToOrdered(const uint8_t* p, int bytes) {
  uint64_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | p[i];
  return v ^ (uint64_t{1} << (8 * bytes - 1));
}

// The bits of a double as an unsigned number in numeric order: negative
// numbers have every bit inverted, the others only the sign bit. -0 is made
// +0 first so the two are one key.
uint64_t DoubleToOrdered(double v) {
  uint64_t bits = kCanonicalNaN;
  if (!std::isnan(v)) {
    if (v == 0) v = 0.0;
    std::memcpy(&bits, &v, sizeof bits);
  }
  return (bits & kSignBit) != 0 ? ~bits : bits ^ kSignBit;
}

size_t TextLength(const uint8_t* p, size_t maxLength) {
  const void* end = std::memchr(p, 0, maxLength);
  return end != nullptr ? static_cast<size_t>(static_cast<const uint8_t*>(end) - p) : maxLength;
}

size_t WideLength(const uint8_t* p, size_t maxUnits) {
  size_t n = 0;
  while (n < maxUnits && GetU16LE(p + 2 * n) != 0) ++n;
  return n;
}

// Reused between keys so that a sort key from the locale costs no allocation
// once the buffer has grown; per thread, so encoders stay usable from any.
std::u16string& UnicodeScratch() {
  thread_local std::u16string scratch;
  return scratch;
}

// 8-bit text by the collation tables: with ranks, each character as its rank
// (or upper-case rank) plus one, mostly in one byte, then 0x00, so a string
// that ends sorts before one that goes on even with a rank-0 character, and
// a key's head holds seven characters; otherwise
// the locale's sort key, or byte order when there is no locale.
// A character's value in a ranked text key, from 1 to 256.
unsigned RankValue(const TCollationTables& t, uint8_t c, bool ignoreCase) {
  const uint8_t rank = t.Rank[c];
  return (ignoreCase ? t.UpperRank[rank] : rank) + 1u;
}

void AppendText(const uint8_t* p, size_t length, bool ignoreCase, std::string& out) {
  const TCollationTables& t = Collation();
  if (t.UseRanks) {
    const size_t start = out.size();
    out.resize(start + 2 * length + 1);
    char* key = &out[start];
    size_t at = 0;
    for (size_t i = 0; i < length; ++i) {
      const unsigned value = RankValue(t, p[i], ignoreCase);
      // One byte for values 1 to 254; the two largest take an escape byte
      // that sorts after every single one.
      if (value < 0xFF) {
        key[at++] = static_cast<char>(value);
      } else {
        key[at++] = static_cast<char>(0xFF);
        key[at++] = static_cast<char>(value - 0xFE);
      }
    }
    key[at++] = '\0';
    out.resize(start + at);
  } else if (t.Locale != nullptr) {
    std::u16string& text = UnicodeScratch();
    text.resize(length);
    for (size_t i = 0; i < length; ++i) text[i] = Cp1251Unit(p[i]);
    t.Locale->AppendSortKey(text, ignoreCase, out);
  } else {
    // The characters are nonzero, so the 0 after them ends the key.
    out.append(reinterpret_cast<const char*>(p), length);
    out.push_back('\0');
  }
}

// 16-bit text by the user locale's collator; without a locale in code unit
// order: the units are nonzero and all two bytes long, so 0x0000 after them
// ends the key.
void AppendWideText(const uint8_t* p, size_t units, bool ignoreCase, std::string& out) {
  const TLocaleService* locale = Collation().Locale;
  if (locale != nullptr) {
    std::u16string& text = UnicodeScratch();
    text.resize(units);
    for (size_t i = 0; i < units; ++i) text[i] = static_cast<char16_t>(GetU16LE(p + 2 * i));
    locale->AppendSortKey(text, ignoreCase, out);
  } else {
    for (size_t i = 0; i < units; ++i) AppendBigEndian(GetU16LE(p + 2 * i), 2, out);
    AppendBigEndian(0, 2, out);
  }
}

}  // namespace

TIndexKeyEncoder::TIndexKeyEncoder(const std::vector<TFieldHeader>& fields,
                                   const TRecordGeometry& geometry, const TIndexDescription& index)
    : rowIdOffset_(geometry.RowIdOffset) {
  for (size_t i = 0; i < index.KeyFields.size(); ++i) {
    TKeyPart part;
    const int32_t number = index.KeyFields[i];
    if (number == -1) {
      // The row identifier: signed, never null, always ascending.
      part.Offset = geometry.RowIdOffset;
      part.Size = 4;
      parts_.push_back(part);
      continue;
    }
    const TFieldHeader& field = fields.at(static_cast<size_t>(number));
    if (!IsIndexableType(field.Type))
      throw EEngineError("Error in TDeziDataManager.InternalAddIndex - unsupported field type!");
    part.Offset = geometry.FieldOffsets.at(static_cast<size_t>(number));
    part.Size = field.Size;
    part.NullByte = geometry.NullBitsOffset + number / 8;
    part.NullMask = static_cast<uint8_t>(1u << (number % 8));
    part.Descending = i < index.Ascending.size() && !index.Ascending[i];
    part.IgnoreCase = index.WholeCaseInsensitive ||
                      (i < index.CaseInsensitive.size() && index.CaseInsensitive[i]);
    switch (field.Type) {
      case ftSmallint: part.Size = 2; break;
      case ftInteger: part.Size = 4; break;
      case ftLargeint: part.Size = 8; break;
      // Only the first four of the eight bytes hold the day or the time.
      case ftDate:
      case ftTime: part.Size = 4; break;
      case ftWord: part.Kind = TPartKind::Word; break;
      case ftBoolean: part.Kind = TPartKind::Boolean; break;
      case ftFloat:
      case ftCurrency:
      case ftBCD: part.Kind = TPartKind::Float; break;
      case ftDateTime: part.Kind = TPartKind::DateTime; break;
      case ftString: part.Kind = TPartKind::Text; break;
      case ftWideString: part.Kind = TPartKind::WideText; break;
    }
    parts_.push_back(part);
  }
}

size_t TIndexKeyEncoder::KeyFieldCount() const { return parts_.size(); }

void TIndexKeyEncoder::Encode(const uint8_t* record, std::string& out) const {
  Encode(record, TKeyShape{}, out);
}

void TIndexKeyEncoder::Encode(const uint8_t* record, const TKeyShape& shape,
                              std::string& out) const {
  out.clear();
  const size_t count = std::min(shape.Fields, parts_.size());
  for (size_t i = 0; i < count; ++i) {
    const TKeyPart& part = parts_[i];
    const size_t start = out.size();
    if (part.NullMask != 0 && (record[part.NullByte] & part.NullMask) != 0) {
      out.push_back('\0');
    } else {
      out.push_back('\1');
      const size_t limit = i < shape.TextLimits.size() ? shape.TextLimits[i] : SIZE_MAX;
      AppendValue(part, record, part.IgnoreCase || shape.CaseInsensitive, limit, out);
    }
    if (part.Descending) {
      for (size_t j = start; j < out.size(); ++j) out[j] = static_cast<char>(~out[j]);
    }
  }
}

void TIndexKeyEncoder::EncodePrefix(const uint8_t* record, size_t bytes, std::string& out) const {
  // A ranked character takes at least one byte, so a text needs no more
  // characters than bytes are still missing; a sort key from the locale is
  // not cut, as its first bytes may depend on the whole text.
  const bool cutText = Collation().UseRanks;
  out.clear();
  for (const TKeyPart& part : parts_) {
    if (out.size() >= bytes) return;
    const size_t start = out.size();
    if (part.NullMask != 0 && (record[part.NullByte] & part.NullMask) != 0) {
      out.push_back('\0');
    } else {
      out.push_back('\1');
      const size_t limit = cutText && part.Kind == TPartKind::Text ? bytes - out.size() : SIZE_MAX;
      AppendValue(part, record, part.IgnoreCase, limit, out);
    }
    if (part.Descending) {
      for (size_t j = start; j < out.size(); ++j) out[j] = static_cast<char>(~out[j]);
    }
  }
  if (out.size() < bytes) AppendRowId(record, out);
}

size_t TIndexKeyEncoder::KeyLengthInHead(const uint8_t* head, size_t size) const {
  size_t at = 0;
  for (const TKeyPart& part : parts_) {
    if (at >= size) return SIZE_MAX;
    const bool isNull = (head[at++] ^ (part.Descending ? 0xFF : 0)) == 0;
    if (isNull) continue;
    switch (part.Kind) {
      case TPartKind::Signed: at += static_cast<size_t>(part.Size); break;
      case TPartKind::Word: at += 2; break;
      case TPartKind::Boolean: at += 1; break;
      case TPartKind::Float:
      case TPartKind::DateTime: at += 8; break;
      case TPartKind::Text:
      case TPartKind::WideText: return SIZE_MAX;
    }
  }
  return at <= size ? at : SIZE_MAX;
}

bool TIndexKeyEncoder::ShapeIsKeyPrefix(const TKeyShape& shape) const {
  const size_t count = std::min(shape.Fields, parts_.size());
  for (size_t i = 0; i < count; ++i) {
    const TKeyPart& part = parts_[i];
    const bool text = part.Kind == TPartKind::Text || part.Kind == TPartKind::WideText;
    if (i < shape.TextLimits.size() && shape.TextLimits[i] != SIZE_MAX && text) return false;
    if (shape.CaseInsensitive && text && !part.IgnoreCase) return false;
  }
  return true;
}

void TIndexKeyEncoder::AppendValue(const TKeyPart& part, const uint8_t* record, bool ignoreCase,
                                   size_t limit, std::string& out) const {
  const uint8_t* p = record + part.Offset;
  switch (part.Kind) {
    case TPartKind::Signed: AppendBigEndian(SignedToOrdered(p, part.Size), part.Size, out); break;
    case TPartKind::Word: AppendBigEndian(GetU16LE(p), 2, out); break;
    case TPartKind::Boolean: out.push_back(GetU16LE(p) != 0 ? '\1' : '\0'); break;
    case TPartKind::Float: AppendBigEndian(DoubleToOrdered(GetF64LE(p)), 8, out); break;
    case TPartKind::DateTime:
      // Whole milliseconds, halves away from zero whatever the rounding mode.
      AppendBigEndian(DoubleToOrdered(std::round(GetF64LE(p))), 8, out);
      break;
    case TPartKind::Text:
      AppendText(p, TextLength(p, std::min(static_cast<size_t>(part.Size), limit)), ignoreCase,
                 out);
      break;
    case TPartKind::WideText:
      AppendWideText(p, WideLength(p, std::min(static_cast<size_t>(part.Size / 2), limit)),
                     ignoreCase, out);
      break;
  }
}

int TIndexKeyEncoder::Compare(const uint8_t* record, const TKeyShape& shape, std::string_view target,
                               bool withRowId, std::string& scratch) const {
  size_t at = 0;
  // The next byte of the record's key against the target's: nonzero once
  // they differ, or when the target has ended (the record's key goes on).
  auto next = [&](unsigned byte, uint8_t flip) -> int {
    if (at >= target.size()) return 1;
    const auto mine = static_cast<uint8_t>(byte ^ flip), theirs = static_cast<uint8_t>(target[at++]);
    return mine == theirs ? 0 : mine < theirs ? -1 : 1;
  };
  auto bytes = [&](const std::string& part, uint8_t flip) -> int {
    for (const char b : part)
      if (const int c = next(static_cast<uint8_t>(b), flip)) return c;
    return 0;
  };
  const TCollationTables& t = Collation();
  const size_t count = std::min(shape.Fields, parts_.size());
  for (size_t i = 0; i < count; ++i) {
    const TKeyPart& part = parts_[i];
    const uint8_t flip = part.Descending ? 0xFF : 0;
    const bool isNull = part.NullMask != 0 && (record[part.NullByte] & part.NullMask) != 0;
    if (const int c = next(isNull ? 0 : 1, flip)) return c;
    if (isNull) continue;
    const size_t limit = i < shape.TextLimits.size() ? shape.TextLimits[i] : SIZE_MAX;
    const bool ignoreCase = part.IgnoreCase || shape.CaseInsensitive;
    if (part.Kind == TPartKind::Text && t.UseRanks) {
      // Text is compared as it is encoded, and stops at its first difference.
      const uint8_t* p = record + part.Offset;
      const size_t length = TextLength(p, std::min(static_cast<size_t>(part.Size), limit));
      for (size_t j = 0; j < length; ++j) {
        const unsigned value = RankValue(t, p[j], ignoreCase);
        if (value < 0xFF) {
          if (const int c = next(value, flip)) return c;
        } else {
          if (const int c = next(0xFF, flip)) return c;
          if (const int c = next(value - 0xFE, flip)) return c;
        }
      }
      if (const int c = next(0, flip)) return c;
      continue;
    }
    scratch.clear();
    AppendValue(part, record, ignoreCase, limit, scratch);
    if (const int c = bytes(scratch, flip)) return c;
  }
  if (withRowId) {
    scratch.clear();
    AppendRowId(record, scratch);
    if (const int c = bytes(scratch, 0)) return c;
  }
  return at < target.size() ? -1 : 0;
}

void TIndexKeyEncoder::AppendRowId(const uint8_t* record, std::string& out) const {
  AppendBigEndian(SignedToOrdered(record + rowIdOffset_, 4), 4, out);
}

TKeyShape TIndexKeyEncoder::SearchShape(const uint8_t* key, size_t k, bool caseInsensitive,
                                        bool partial) const {
  TKeyShape shape;
  shape.Fields = k;
  shape.CaseInsensitive = caseInsensitive;
  shape.TextLimits.assign(parts_.size(), SIZE_MAX);
  if (!partial) return shape;
  for (size_t i = 0; i < std::min(k, parts_.size()); ++i) {
    const TKeyPart& part = parts_[i];
    const uint8_t* p = key + part.Offset;
    if (part.Kind == TPartKind::Text)
      shape.TextLimits[i] = TextLength(p, static_cast<size_t>(part.Size));
    else if (part.Kind == TPartKind::WideText)
      shape.TextLimits[i] = WideLength(p, static_cast<size_t>(part.Size / 2));
  }
  return shape;
}

}  // namespace norvane
