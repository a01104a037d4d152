// The stream a dataset hands out for a large-value field (blob, memo,
// graphic, formatted memo) of its active record. The base and the fields
// only know this interface; each cursor supplies its own stream.
#pragma once

#include <cstdint>

namespace norvane {

class TDataSetBlobStream {
 public:
  // Closing a stream that was written to marks the field changed and tells
  // the dataset's links; the value is kept until the record is posted.
  virtual ~TDataSetBlobStream() = default;
  // Both return the bytes actually moved: 0 at the end of the value, or when
  // the stream has no record behind it.
  virtual int64_t Read(void* out, int64_t n) = 0;
  virtual int64_t Write(const void* in, int64_t n) = 0;
  // origin 0 from the start, 1 from the position, 2 from the end; returns the
  // new position.
  virtual int64_t Seek(int64_t offset, int origin) = 0;
  virtual int64_t Size() const = 0;
  // Cuts the value at the position.
  virtual void Truncate() = 0;
};

}  // namespace norvane
