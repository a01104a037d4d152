// norvane-db put FILE NAME [SRC]: stores SRC (or standard input) as the file
// NAME, replacing it and making missing folders. The bytes go to a temporary
// file first, so a failing put leaves the container as it was.
#include <future>
#include <vector>

#include "engine/container/container_path.h"
#include "engine/platform/system_file.h"
#include "tools/norvane-db/command.h"
#include "tools/norvane-db/open_container.h"

namespace norvane::tool {

namespace {

constexpr int64_t kChunk = 1 << 20;

// Reads the next chunk from SRC or standard input; 0 at the end.
int64_t ReadSource(TSystemFile* source, TToolOutput& output, std::vector<char>& chunk) {
  if (source != nullptr) return source->Read(chunk.data(), kChunk);
  output.In.read(chunk.data(), kChunk);
  return output.In.gcount();
}

// The folders of `folder` that do not exist yet, top first.
std::vector<std::string> MissingFolders(TESingleFileSystem& container, const std::string& folder) {
  std::vector<std::string> missing;
  for (std::string at = folder; !at.empty() && !IsRootPath(at);) {
    if (container.DirectoryExists(at)) break;
    if (container.FileExists(at)) FailCommand("\"" + ShownPath(at) + "\" is a file.");
    missing.insert(missing.begin(), at);
    std::string up, name;
    SplitLastName(at, up, name);
    at = up;
  }
  return missing;
}

std::string TemporaryName(TESingleFileSystem& container, const std::string& folder) {
  for (int n = 0;; ++n) {
    const std::string name = JoinPath(folder, ".norvane-put-" + std::to_string(n));
    if (!container.FileExists(name)) return name;
  }
}

int RunPut(const TCommandLine& line, TToolOutput& output) {
  const std::string& name = line.Positional[1];
  TSystemFile source;
  const bool fromFile = line.Positional.size() > 2;
  if (fromFile && !source.Open(line.Positional[2], TFileAccess::Read, TFileShare::DenyNone, false))
    FailCommand(source.ErrorText());
  const auto container = OpenContainer(line.Positional[0], TOpenFor::Writing, line);
  std::string folder, base;
  SplitLastName(name, folder, base);
  if (!IsValidItemName(base)) FailCommand("Invalid file name \"" + ShownPath(name) + "\".");
  if (container->DirectoryExists(name)) FailCommand("\"" + ShownPath(name) + "\" is a folder.");
  // In a folder whose names clash under this locale (made under another),
  // a file may be replaced under its very name but no clashing name given:
  // found out before the old file goes.
  const int32_t existing = container->Directory().FindPath(name);
  if (existing >= 0 && !container->Directory().MayReplace(name, existing))
    FailCommand("Cannot create \"" + ShownPath(name) + "\".");
  const std::vector<std::string> missing = MissingFolders(*container, folder);
  std::string temporary;
  int32_t handle = -1;
  try {
    for (const std::string& at : missing)
      if (!container->CreateDir(at)) FailCommand("Cannot create folder \"" + ShownPath(at) + "\".");
    temporary = TemporaryName(*container, folder);
    handle = container->OpenFile(temporary, kModeCreate);
    if (handle < 0) FailCommand("Cannot create \"" + ShownPath(name) + "\".");
    // The next chunk of SRC is read while the container stores this one:
    // both take the processor, and there are cores enough for two. Only
    // this thread touches the container. Declared last, so leaving early
    // waits for the read in flight before its buffer goes.
    std::vector<char> buffers[2] = {std::vector<char>(kChunk), std::vector<char>(kChunk)};
    TSystemFile* const from = fromFile ? &source : nullptr;
    auto readInto = [from, &output](std::vector<char>& chunk) {
      return std::async(std::launch::async,
                        [from, &output, &chunk] { return ReadSource(from, output, chunk); });
    };
    std::future<int64_t> reading = readInto(buffers[0]);
    for (int64_t got, n = 0; (got = reading.get()) > 0; ++n) {
      reading = readInto(buffers[(n + 1) % 2]);
      if (container->FileWrite(handle, buffers[n % 2].data(), got) != got)
        FailCommand("Cannot write \"" + ShownPath(name) + "\": error " +
                    std::to_string(container->LastError()) + ".");
    }
    container->CloseFile(handle);
    handle = -1;
    if (container->FileExists(name) && !container->DeleteFile(name))
      FailCommand("Cannot replace \"" + ShownPath(name) + "\".");
    if (!container->RenameFile(temporary, name))
      FailCommand("Cannot create \"" + ShownPath(name) + "\".");
    container->Flush();
  } catch (...) {
    if (handle >= 0) container->CloseFile(handle);
    if (!temporary.empty() && container->FileExists(temporary)) container->DeleteFile(temporary);
    for (auto it = missing.rbegin(); it != missing.rend(); ++it) container->RemoveDir(*it);
    throw;
  }
  return 0;
}

}  // namespace

const TCommand kPutCommand{"put", "FILE NAME [SRC]",
                           "store SRC (or standard input) as NAME, replacing it", 2, 3, RunPut};

}  // namespace norvane::tool
