// Files and folders by name. Every name arrives as code page 1251 text and is
// turned into UTF-8 just before the system call; names read back from a folder
// go the other way, and those code page 1251 cannot hold are not reported.
#include "engine/platform/file_system.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>

#include "engine/platform/cp1251.h"

namespace norvane {
namespace {

std::string SysName(const std::string& name) { return Cp1251ToUtf8(name); }

// An empty folder name means the current folder.
std::string SysFolder(const std::string& folder) {
  return folder.empty() ? std::string(".") : SysName(folder);
}

// Case folding for masks: each code page 1251 capital maps to its small
// letter. Only letters fold, so '@' and '`' (or © and ‰) stay different even
// though their codes are 32 apart.
std::array<uint8_t, 256> MakeFoldTable() {
  std::array<uint8_t, 256> fold{};
  for (int b = 0; b < 256; ++b) fold[b] = static_cast<uint8_t>(b);
  for (int b = 'A'; b <= 'Z'; ++b) fold[b] = static_cast<uint8_t>(b + 32);
  for (int b = 0xC0; b <= 0xDF; ++b) fold[b] = static_cast<uint8_t>(b + 32);  // А..Я
  // The Cyrillic capitals outside the alphabet block, with their small forms:
  // Ё, Ђ, Ѓ, Љ, Њ, Ќ, Ћ, Џ, Ў, Ј, Ґ, Є, Ї, І, Ѕ.
  const uint8_t pairs[][2] = {{0xA8, 0xB8}, {0x80, 0x90}, {0x81, 0x83}, {0x8A, 0x9A},
                              {0x8C, 0x9C}, {0x8D, 0x9D}, {0x8E, 0x9E}, {0x8F, 0x9F},
                              {0xA1, 0xA2}, {0xA3, 0xBC}, {0xA5, 0xB4}, {0xAA, 0xBA},
                              {0xAF, 0xBF}, {0xB2, 0xB3}, {0xBD, 0xBE}};
  for (const auto& p : pairs) fold[p[0]] = p[1];
  return fold;
}

const std::array<uint8_t, 256> kFold = MakeFoldTable();

bool SameLetter(char a, char b) {
  return kFold[static_cast<uint8_t>(a)] == kFold[static_cast<uint8_t>(b)];
}

}  // namespace

bool DeleteFileByName(const std::string& name) { return unlink(SysName(name).c_str()) == 0; }

bool RenameFileByName(const std::string& from, const std::string& to, bool replace) {
  const std::string src = SysName(from);
  const std::string dst = SysName(to);
  if (replace) {
    if (rename(src.c_str(), dst.c_str()) != 0) return false;
  } else if (renameat2(AT_FDCWD, src.c_str(), AT_FDCWD, dst.c_str(), RENAME_NOREPLACE) != 0) {
    // Some file systems cannot refuse a target in the rename itself; a hard
    // link can, because link() never replaces. Anything else is a real error.
    if (errno != EINVAL && errno != ENOSYS) return false;
    if (link(src.c_str(), dst.c_str()) != 0) return false;
    if (unlink(src.c_str()) != 0) {
      const int saved = errno;
      unlink(dst.c_str());
      errno = saved;
      return false;
    }
  }
  // The rename is durable only once the folders holding it are on disk; a
  // failure there is reported, since the caller counts on that durability.
  const std::string toFolder = ExtractFilePath(ExpandFileName(to));
  const std::string fromFolder = ExtractFilePath(ExpandFileName(from));
  bool synced = SyncFolder(toFolder);
  if (fromFolder != toFolder) synced = SyncFolder(fromFolder) && synced;
  return synced;
}

bool FileExists(const std::string& name) {
  struct stat st {};
  return stat(SysName(name).c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool DirectoryExists(const std::string& name) {
  struct stat st {};
  return stat(SysName(name).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool CreateFolder(const std::string& name) {
  if (mkdir(SysName(name).c_str(), 0777) != 0) return false;
  std::string path = name;
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return SyncFolder(ExtractFilePath(path));
}

bool RemoveFolder(const std::string& name) { return rmdir(SysName(name).c_str()) == 0; }

bool SyncFolder(const std::string& folder) {
  const int fd = open(SysFolder(folder).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  // EINVAL: the file system has nothing to sync for a folder.
  const bool ok = fsync(fd) == 0 || errno == EINVAL;
  close(fd);
  return ok;
}

std::vector<TFolderEntry> EnumerateFolder(const std::string& folder, const std::string& mask) {
  std::vector<TFolderEntry> entries;
  DIR* dir = opendir(SysFolder(folder).c_str());
  if (dir == nullptr) return entries;
  const int dirFd = dirfd(dir);
  while (const dirent* e = readdir(dir)) {
    const std::string sysName = e->d_name;
    if (sysName == "." || sysName == "..") continue;
    TFolderEntry entry;
    std::string error;
    if (!Utf8ToCp1251(sysName, entry.Name, error)) continue;
    if (!MatchesMask(entry.Name, mask)) continue;
    struct stat st {};
    // A link is described by its target; a dangling one by the link itself.
    if (fstatat(dirFd, sysName.c_str(), &st, 0) != 0 &&
        fstatat(dirFd, sysName.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
      continue;  // gone since it was listed
    }
    entry.IsFolder = S_ISDIR(st.st_mode);
    entry.Size = entry.IsFolder ? 0 : static_cast<int64_t>(st.st_size);
    entries.push_back(std::move(entry));
  }
  closedir(dir);
  // The system lists entries in no useful order; callers get a stable one.
  std::sort(entries.begin(), entries.end(),
            [](const TFolderEntry& a, const TFolderEntry& b) { return a.Name < b.Name; });
  return entries;
}

bool SameNameIgnoringCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (!SameLetter(a[i], b[i])) return false;
  return true;
}

bool LinkFileByName(const std::string& from, const std::string& to) {
  if (link(SysName(from).c_str(), SysName(to).c_str()) != 0) return false;
  return SyncFolder(ExtractFilePath(ExpandFileName(to)));
}

bool MatchesMask(const std::string& name, const std::string& mask) {
  if (mask == "*.*") return true;  // by long custom, names without a dot too
  // Greedy matching with one backtrack point: on a mismatch the last "*"
  // takes one more character. Linear in practice, and never recursive.
  size_t n = 0, m = 0;
  size_t starMask = std::string::npos, starName = 0;
  while (n < name.size()) {
    if (m < mask.size() && mask[m] == '*') {
      starMask = m++;
      starName = n;
    } else if (m < mask.size() && (mask[m] == '?' || SameLetter(mask[m], name[n]))) {
      ++m;
      ++n;
    } else if (starMask != std::string::npos) {
      m = starMask + 1;
      n = ++starName;
    } else {
      return false;
    }
  }
  while (m < mask.size() && mask[m] == '*') ++m;
  return m == mask.size();
}

std::string ExpandFileName(const std::string& name) {
  std::string full;
  if (name.empty() || name[0] != '/') {
    char cwd[PATH_MAX];
    if (getcwd(cwd, sizeof cwd) == nullptr) return name;
    std::string error;
    // A folder named outside code page 1251 cannot be written as engine text;
    // its bytes are kept as they are rather than losing the path.
    if (!Utf8ToCp1251(cwd, full, error)) full = cwd;
    full += '/';
  }
  full += name;

  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= full.size()) {
    size_t slash = full.find('/', start);
    if (slash == std::string::npos) slash = full.size();
    const std::string part = full.substr(start, slash - start);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();  // ".." of the root is the root
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    start = slash + 1;
  }
  std::string result;
  for (const std::string& part : parts) result += "/" + part;
  // A trailing "/" marks a folder, and callers append names to it.
  if (result.empty() || (!name.empty() && name.back() == '/')) result += '/';
  return result;
}

std::string ExtractFileName(const std::string& name) {
  const size_t slash = name.rfind('/');
  return slash == std::string::npos ? name : name.substr(slash + 1);
}

std::string ExtractFilePath(const std::string& name) {
  const size_t slash = name.rfind('/');
  return slash == std::string::npos ? std::string() : name.substr(0, slash + 1);
}

int64_t DiskFreeBytes(const std::string& path) {
  struct statvfs vfs {};
  if (statvfs(SysName(path).c_str(), &vfs) != 0) {
    // A file not yet created lives on its folder's volume.
    if (errno != ENOENT || statvfs(SysFolder(ExtractFilePath(path)).c_str(), &vfs) != 0) {
      return -1;
    }
  }
  return static_cast<int64_t>(vfs.f_bavail) * static_cast<int64_t>(vfs.f_frsize);
}

}  // namespace norvane
