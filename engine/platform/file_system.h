// Operations on files and folders by name: delete, rename, existence, folder
// enumeration with a mask, full paths and free space. Names are engine text
// (code page 1251) with "/" separators; conversion to UTF-8 happens here.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace norvane {

struct TFolderEntry {
  std::string Name;  // without folder, engine text
  bool IsFolder = false;
  int64_t Size = 0;
};

bool DeleteFileByName(const std::string& name);
// Renames a file. Without `replace` an existing target makes it fail, so
// nothing is ever overwritten by accident. The folder is synced afterwards.
bool RenameFileByName(const std::string& from, const std::string& to, bool replace);
// Makes `to` a second name of the file `from` (a hard link); never replaces
// an existing `to`. The folder is synced afterwards.
bool LinkFileByName(const std::string& from, const std::string& to);
bool FileExists(const std::string& name);      // a file, not a folder
bool DirectoryExists(const std::string& name);
bool CreateFolder(const std::string& name);
bool RemoveFolder(const std::string& name);    // an empty folder
// Writes the folder's entries to disk (after a create or rename in it).
bool SyncFolder(const std::string& folder);

// Entries of `folder` whose names match `mask` ("*" any run, "?" one
// character, letters compared without case; "*.*" matches every name).
// "." and ".." are left out; so are names that code page 1251 cannot hold.
std::vector<TFolderEntry> EnumerateFolder(const std::string& folder, const std::string& mask);
bool MatchesMask(const std::string& name, const std::string& mask);
// Names compared as the engine compares them: letters (Latin and Cyrillic,
// ё/Ё included) without case, everything else byte for byte.
bool SameNameIgnoringCase(const std::string& a, const std::string& b);

// The absolute, normalised form of `name` ("." and ".." resolved), whether or
// not the file exists.
std::string ExpandFileName(const std::string& name);
// The part after the last "/", and the part up to and including it.
std::string ExtractFileName(const std::string& name);
std::string ExtractFilePath(const std::string& name);

// Free bytes available to this user on the volume holding `path`, or -1.
int64_t DiskFreeBytes(const std::string& path);

}  // namespace norvane
