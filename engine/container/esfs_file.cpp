// Container store files: the stream operations mapped onto container handles.
#include "engine/container/esfs_file.h"

#include "engine/common/engine_error.h"
#include "engine/container/single_file_system.h"

namespace norvane {

namespace {
// Open mode words of the container: access in the low bits, sharing above.
}

TESFSFile::~TESFSFile() {
  try {
    Close();
  } catch (const EEngineError&) {
    // A destructor cannot report; whoever needs the flush calls Close.
  }
}

void TESFSFile::Open(bool create) {
  OpenOrFallBack(create, [&](bool readOnly) {
    const uint16_t access = readOnly ? kModeAccessRead : kModeAccessReadWrite;
    const uint16_t sharing = Exclusive() ? kModeShareExclusive : kModeShareDenyNone;
    const uint16_t mode = create ? kModeCreate : static_cast<uint16_t>(access | sharing);
    handle_ = container_.OpenFile("\\" + Name(), mode);
    return handle_ >= 0;
  });
}

// The handle is given back whether or not the flush works: a file left
// counted as open in the container could never be deleted or renamed, and
// this object could no longer name it.
void TESFSFile::Close() {
  if (handle_ < 0) return;
  const int32_t handle = handle_;
  handle_ = -1;
  SetOpen(false);
  try {
    container_.FileFlush(handle);
  } catch (...) {
    container_.CloseFile(handle);
    throw;
  }
  container_.CloseFile(handle);
}

void TESFSFile::Flush() { container_.FileFlush(handle_); }

int32_t TESFSFile::Read(void* buffer, int32_t n) {
  return static_cast<int32_t>(container_.FileRead(handle_, buffer, n));
}

int32_t TESFSFile::Write(const void* buffer, int32_t n) {
  if (n <= 0) return 0;
  CheckGrowth(container_.FileSeek(handle_, 1, 0), n);
  return static_cast<int32_t>(container_.FileWrite(handle_, buffer, n));
}

int32_t TESFSFile::Seek(int32_t offset, int origin) {
  const int64_t base = origin == 1 ? container_.FileSeek(handle_, 1, 0)
                       : origin == 2 ? container_.FileSeek(handle_, 2, 0)
                                     : 0;
  if (base + offset > kMaxSize)
    throw EEngineError("TESFSFile.Seek - Position beyond " + std::to_string(kMaxSize) + ".");
  if (base + offset >= 0) container_.FileSeek(handle_, 0, base + offset);
  return static_cast<int32_t>(container_.FileSeek(handle_, 1, 0));
}

void TESFSFile::SetSize(int32_t size) {
  const int64_t result = container_.FileSetSize(handle_, size);
  if (result != size)
    throw EEngineError("TESFSFile.SetSize - Cannot set the size of file \"" + Name() +
                       "\", error " + std::to_string(result) + ".");
}

}  // namespace norvane
