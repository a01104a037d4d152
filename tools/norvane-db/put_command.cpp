// norvane-db put FILE NAME [SRC]: stores SRC (or standard input, also as
// "-") as the file NAME, replacing it and making missing folders. The bytes
// go to a temporary file first, so a failing put leaves the container as it
// was; a source that cannot be read to its end fails the put.
#include <exception>
#include <future>
#include <vector>

#include "engine/container/container_path.h"
#include "engine/platform/system_file.h"
#include "tools/norvane-db/command.h"
#include "tools/norvane-db/error_codes.h"
#include "tools/norvane-db/new_path.h"
#include "tools/norvane-db/open_container.h"
#include "tools/norvane-db/temporary_files.h"

namespace norvane::tool {

namespace {

constexpr int64_t kChunk = 1 << 20;

// The next chunk of standard input; 0 at the end. A stream that fails sets
// badbit; with badbit in its exception mask the stream buffer's own
// exception, which carries the reason, comes through as well.
int64_t ReadStandardInput(std::istream& in, char* data) {
  const std::ios::iostate mask = in.exceptions();
  std::string reason;
  try {
    in.exceptions(std::ios::badbit);
    in.read(data, kChunk);
  } catch (const std::exception& e) {
    reason = e.what();
  } catch (...) {
  }
  if (in.bad())
    FailCommand("Cannot read standard input" + (reason.empty() ? "" : ": " + reason) + ".");
  in.exceptions(mask);
  return in.gcount();
}

// Reads the next chunk from SRC or standard input; 0 at the end. A read
// error fails the command, with the system's reason.
int64_t ReadSource(TSystemFile* source, std::istream& in, std::vector<char>& chunk) {
  if (source == nullptr) return ReadStandardInput(in, chunk.data());
  const int64_t got = source->Read(chunk.data(), kChunk);
  if (source->ReadFailed()) FailCommand(source->ErrorText());
  return got;
}

// The folders of `folder` that do not exist yet, top first.
std::vector<std::string> MissingFolders(TESingleFileSystem& container, const std::string& folder) {
  std::vector<std::string> missing;
  for (std::string at = folder; !at.empty() && !IsRootPath(at);) {
    if (container.DirectoryExists(at)) break;
    if (container.FileExists(at)) FailCommand(QuotedPath(at) + " is a file.");
    missing.insert(missing.begin(), at);
    std::string up, name;
    SplitLastName(at, up, name);
    at = up;
  }
  return missing;
}

std::string TemporaryName(TESingleFileSystem& container, const std::string& folder) {
  for (int n = 0;; ++n) {
    const std::string name = JoinPath(folder, kPutTemporaryPrefix + std::to_string(n));
    if (!container.FileExists(name)) return name;
  }
}

int RunPut(const TCommandLine& line, TToolOutput& output) {
  const std::string& name = line.Positional[1];
  RequireNewPath(name);
  TSystemFile source;
  const bool fromFile = line.Positional.size() > 2 && line.Positional[2] != "-";
  if (fromFile && !source.Open(line.Positional[2], TFileAccess::Read, TFileShare::DenyNone, false))
    FailCommand(source.ErrorText());
  const auto container = OpenContainer(line.Positional[0], TOpenFor::Writing, line);
  std::string folder, base;
  SplitLastName(name, folder, base);
  if (container->DirectoryExists(name)) FailCommand(QuotedPath(name) + " is a folder.");
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
                        [from, &output, &chunk] { return ReadSource(from, output.In, chunk); });
    };
    std::future<int64_t> reading = readInto(buffers[0]);
    for (int64_t got, n = 0; (got = reading.get()) > 0; ++n) {
      reading = readInto(buffers[(n + 1) % 2]);
      if (container->FileWrite(handle, buffers[n % 2].data(), got) != got)
        FailCommand(
            CodeMessage("Cannot write \"" + ShownPath(name) + "\"", container->LastError()));
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
    // The catalogue gives back the space it grew into (a full disk stays
    // full otherwise). Best effort: the failure that brought us here is
    // what the user hears about.
    try {
      container->FreeSpace().ReleaseFreeTail();
    } catch (...) {
    }
    throw;
  }
  return 0;
}

}  // namespace

const TCommand kPutCommand{"put", "FILE NAME [SRC]",
                           "store SRC (standard input: none or -) as NAME, replacing it", 2, 3,
                           RunPut};

}  // namespace norvane::tool
