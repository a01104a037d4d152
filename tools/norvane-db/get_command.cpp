// norvane-db get FILE NAME [DEST]: the bytes of the file NAME, to DEST or to
// standard output. DEST is written under a temporary name and renamed into
// place only when every byte has been read.
#include <vector>

#include "engine/platform/file_system.h"
#include "engine/platform/system_file.h"
#include "tools/norvane-db/command.h"
#include "tools/norvane-db/open_container.h"

namespace norvane::tool {

namespace {

constexpr int64_t kChunk = 1 << 20;

int RunGet(const TCommandLine& line, TToolOutput& output) {
  const std::string& name = line.Positional[1];
  const auto container = OpenContainer(line.Positional[0], TOpenFor::Reading, line);
  if (!container->FileExists(name)) FailCommand("\"" + ShownPath(name) + "\" not found.");
  if (container->DirectoryExists(name)) FailCommand("\"" + ShownPath(name) + "\" is a folder.");
  const int64_t size = container->FileSize(name);
  const int32_t handle = container->OpenFile(name, 0);
  if (handle < 0) FailCommand("Cannot open \"" + ShownPath(name) + "\".");

  TSystemFile dest;
  std::string partial;
  if (line.Positional.size() > 2) {
    partial = line.Positional[2] + ".part";
    if (!dest.Open(partial, TFileAccess::ReadWrite, TFileShare::Exclusive, true))
      FailCommand(dest.ErrorText());
    dest.SetDeleteOnClose(true);
  }
  std::vector<char> chunk(kChunk);
  for (int64_t done = 0; done < size;) {
    const int64_t got = container->FileRead(handle, chunk.data(), std::min(kChunk, size - done));
    if (got <= 0)
      FailCommand("Cannot read \"" + ShownPath(name) + "\": error " +
                  std::to_string(container->LastError()) + ".");
    if (dest.IsOpen()) {
      if (dest.Write(chunk.data(), got) != got) FailCommand(dest.ErrorText());
    } else {
      output.Out.write(chunk.data(), got);
    }
    done += got;
  }
  if (dest.IsOpen()) {
    if (!dest.Flush() || !RenameFileByName(partial, line.Positional[2], true))
      FailCommand("Cannot write \"" + line.Positional[2] + "\".");
    dest.SetDeleteOnClose(false);
  }
  return 0;
}

}  // namespace

const TCommand kGetCommand{"get", "FILE NAME [DEST]",
                           "write the bytes of NAME to DEST or standard output", 2, 3, RunGet};

}  // namespace norvane::tool
