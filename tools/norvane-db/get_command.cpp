// norvane-db get FILE NAME [DEST]: the bytes of the file NAME, to DEST or to
// standard output (none, or "-"). DEST is written under a new temporary name
// in its folder, one no other file has, and renamed into place only when
// every byte has been read.
#include <future>
#include <memory>
#include <new>

#include "engine/platform/file_system.h"
#include "engine/platform/system_file.h"
#include "tools/norvane-db/command.h"
#include "tools/norvane-db/error_codes.h"
#include "tools/norvane-db/open_container.h"

namespace norvane::tool {

namespace {

// A multiple of the direct-write alignment, so every chunk but the last
// goes to DEST directly.
constexpr int64_t kChunk = 4 << 20;
static_assert(kChunk % TSystemFile::kDirectAlignment == 0);

struct TAlignedFree {
  void operator()(char* p) const {
    ::operator delete[](p, std::align_val_t(TSystemFile::kDirectAlignment));
  }
};
using TAlignedBuffer = std::unique_ptr<char[], TAlignedFree>;

// A buffer that direct writes can take.
TAlignedBuffer NewAlignedBuffer(int64_t bytes) {
  return TAlignedBuffer(static_cast<char*>(
      ::operator new[](static_cast<size_t>(bytes), std::align_val_t(TSystemFile::kDirectAlignment))));
}

// Writes `length` bytes to DEST. A copy is written once and read back
// seldom, so whole aligned chunks bypass the file cache: filling cache pages
// for it costs more than the disk write itself. What a direct write does not
// take (a short last chunk, a file system without them) goes the ordinary
// way, and so does every later write.
void WriteChunk(TSystemFile& dest, bool& direct, const char* bytes, int64_t length) {
  int64_t done = 0;
  if (direct) {
    if (length % TSystemFile::kDirectAlignment == 0) done = dest.Write(bytes, length);
    if (done < length) {
      direct = false;
      if (!dest.SetDirectWrites(false)) FailCommand(dest.ErrorText());
    }
  }
  if (done < length && dest.Write(bytes + done, length - done) != length - done)
    FailCommand(dest.ErrorText());
}

int RunGet(const TCommandLine& line, TToolOutput& output) {
  const std::string& name = line.Positional[1];
  const auto container = OpenContainer(line.Positional[0], TOpenFor::Reading, line);
  if (!container->FileExists(name)) FailCommand(QuotedPath(name) + " not found.");
  if (container->DirectoryExists(name)) FailCommand(QuotedPath(name) + " is a folder.");
  const int64_t size = container->FileSize(name);
  const int32_t handle = container->OpenFile(name, 0);
  if (handle < 0) FailCommand("Cannot open \"" + ShownPath(name) + "\".");

  TSystemFile dest;
  std::string partial;
  const bool toFile = line.Positional.size() > 2 && line.Positional[2] != "-";
  const std::string target = toFile ? line.Positional[2] : "";
  if (toFile) {
    if (!dest.OpenNew(ExtractFilePath(target), ".norvane-get-", partial))
      FailCommand(dest.ErrorText());
    dest.SetDeleteOnClose(true);
  }
  bool direct = dest.IsOpen() && dest.SetDirectWrites(true);
  TAlignedBuffer buffers[2] = {NewAlignedBuffer(kChunk), NewAlignedBuffer(kChunk)};
  // One chunk is read (and deciphered) while the one before it is written:
  // the reading takes the processor, a direct write mostly waits for the
  // disk. Writes run one at a time, in order. Declared last, so leaving
  // early waits for the write in flight before its buffer goes.
  std::future<void> writing;
  for (int64_t done = 0, n = 0; done < size; ++n) {
    char* chunk = buffers[n % 2].get();
    const int64_t got = container->FileRead(handle, chunk, std::min(kChunk, size - done));
    if (got <= 0)
      FailCommand(CodeMessage("Cannot read \"" + ShownPath(name) + "\"", container->LastError()));
    if (writing.valid()) writing.get();
    writing = std::async(std::launch::async, [&dest, &direct, &output, chunk, got] {
      if (dest.IsOpen()) {
        WriteChunk(dest, direct, chunk, got);
      } else {
        output.Out.write(chunk, got);
      }
    });
    done += got;
  }
  if (writing.valid()) writing.get();
  if (dest.IsOpen()) {
    if (!dest.Flush() || !RenameFileByName(partial, target, true))
      FailCommand("Cannot write \"" + target + "\".");
    dest.SetDeleteOnClose(false);
  }
  return 0;
}

}  // namespace

const TCommand kGetCommand{"get", "FILE NAME [DEST]",
                           "write the bytes of NAME to DEST (standard output: none or -)", 2, 3,
                           RunGet};

}  // namespace norvane::tool
