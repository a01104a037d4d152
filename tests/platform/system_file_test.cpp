// Tests of TSystemFile: positioned reads and writes beyond 4 GB, sizing, and
// the sharing modes, checked both against a second open in this process and
// against a forked child, since the locks must hold toward both.
#include "engine/platform/system_file.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>

#include "tests/support/temp_folder.h"

namespace norvane {
namespace {

namespace fs = std::filesystem;
using A = TFileAccess;
using S = TFileShare;

const char* AccessName(A a) { return a == A::Read ? "Read" : "ReadWrite"; }
const char* ShareName(S s) {
  return s == S::Exclusive ? "Exclusive" : s == S::DenyWrite ? "DenyWrite" : "DenyNone";
}

void WriteText(const std::string& sysPath, const std::string& text) {
  std::ofstream(sysPath, std::ios::binary) << text;
}

// Runs `body` in a forked child and returns its exit code, or -1 when the
// child did not exit normally.
int InChild(const std::function<int()>& body) {
  const pid_t pid = fork();
  if (pid == 0) _exit(body());
  int status = 0;
  if (pid < 0 || waitpid(pid, &status, 0) != pid) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// 1 when a child process can open `name` with the given modes, else 0.
int ChildCanOpen(const std::string& name, A access, S share, bool create = false) {
  return InChild([&] {
    TSystemFile f;
    return f.Open(name, access, share, create) ? 1 : 0;
  });
}

std::string ReadAll(TSystemFile& f) {
  std::string data(static_cast<size_t>(f.Size()), '\0');
  f.Seek(0, 0);
  data.resize(static_cast<size_t>(f.Read(data.data(), static_cast<int64_t>(data.size()))));
  return data;
}

class SystemFileTest : public ::testing::Test {
 protected:
  testing::TTempFolder dir_;
};

TEST_F(SystemFileTest, WriteReadAndSeek) {
  TSystemFile f;
  ASSERT_TRUE(f.Open(dir_ / "a.adb", A::ReadWrite, S::Exclusive, true)) << f.ErrorText();
  EXPECT_EQ(f.Write("hello world", 11), 11);
  EXPECT_EQ(f.Position(), 11);
  EXPECT_EQ(f.Size(), 11);

  char buf[16] = {};
  EXPECT_EQ(f.Seek(0, 0), 0);
  EXPECT_EQ(f.Read(buf, 5), 5);
  EXPECT_EQ(std::string(buf, 5), "hello");
  EXPECT_EQ(f.Seek(1, 1), 6);
  EXPECT_EQ(f.Read(buf, 5), 5);
  EXPECT_EQ(std::string(buf, 5), "world");
  EXPECT_EQ(f.Read(buf, 5), 0) << "nothing is left to read";
  EXPECT_EQ(f.Seek(-3, 2), 8);
  EXPECT_EQ(f.Read(buf, 10), 3) << "a read stops at the end of the file";
  EXPECT_EQ(std::string(buf, 3), "rld");
  EXPECT_EQ(f.Position(), 11);
  EXPECT_EQ(f.Seek(-20, 1), -1);
  EXPECT_EQ(f.Seek(5, 7), -1);
  EXPECT_EQ(f.Position(), 11) << "a refused seek leaves the position alone";
  EXPECT_TRUE(f.Flush());
  f.Close();
  EXPECT_FALSE(f.IsOpen());
  EXPECT_FALSE(f.Flush());
}

// A short read says whether it met the end of the file or an error: a
// caller copying a file must not take a failing disk for a shorter file.
TEST_F(SystemFileTest, ReadTellsEndOfFileFromAnError) {
  WriteText(dir_ / "ten.bin", "0123456789");
  struct Case {
    std::string name;
    int64_t want, got;
    bool failed;
  };
  const Case kCases[] = {
      {dir_ / "ten.bin", 4, 4, false},   // inside the file
      {dir_ / "ten.bin", 20, 10, false},  // up to its end
      {"/proc/self/mem", 16, 0, true},    // address 0 is never mapped: EIO
  };
  for (const Case& c : kCases) {
    TSystemFile f;
    ASSERT_TRUE(f.Open(c.name, A::Read, S::DenyNone, false)) << f.ErrorText();
    char buf[32];
    EXPECT_EQ(f.Read(buf, c.want), c.got) << c.name;
    EXPECT_EQ(f.ReadFailed(), c.failed) << c.name;
    if (c.failed) {
      EXPECT_NE(f.ErrorText().find("Input/output error"), std::string::npos);
    }
  }
  TSystemFile f;
  ASSERT_TRUE(f.Open(dir_ / "ten.bin", A::Read, S::DenyNone, false));
  char buf[16];
  EXPECT_EQ(f.Read(buf, 16), 10);
  EXPECT_EQ(f.Read(buf, 16), 0);
  EXPECT_FALSE(f.ReadFailed()) << "reading at the end is no error";
  f.Close();
  EXPECT_EQ(f.Read(buf, 16), 0);
  EXPECT_TRUE(f.ReadFailed()) << "a closed file has nothing to read, and that is an error";
}

TEST_F(SystemFileTest, WritesBeyondFourGigabytes) {
  const int64_t kFour = int64_t{4} << 30;
  TSystemFile f;
  ASSERT_TRUE(f.Open(dir_ / "big.adb", A::ReadWrite, S::Exclusive, true)) << f.ErrorText();
  f.SetDeleteOnClose(true);
  // Straddles the 32-bit boundary, then lands well past it; the gaps stay holes.
  ASSERT_EQ(f.Seek(kFour - 4, 0), kFour - 4);
  if (f.Write("ABCDEFGH", 8) != 8) GTEST_SKIP() << "file system refuses: " << f.ErrorText();
  ASSERT_EQ(f.Seek(kFour + kFour / 4, 0), kFour + kFour / 4);
  ASSERT_EQ(f.Write("tail", 4), 4);
  EXPECT_EQ(f.Size(), kFour + kFour / 4 + 4);

  char buf[8] = {};
  ASSERT_EQ(f.Seek(kFour - 4, 0), kFour - 4);
  EXPECT_EQ(f.Read(buf, 8), 8);
  EXPECT_EQ(std::string(buf, 8), "ABCDEFGH");
  EXPECT_EQ(f.Seek(-4, 2), kFour + kFour / 4);
  EXPECT_EQ(f.Read(buf, 8), 4);
  EXPECT_EQ(std::string(buf, 4), "tail");
  f.Close();
  EXPECT_FALSE(fs::exists(dir_ / "big.adb"));
}

TEST_F(SystemFileTest, EmptyWriteNeverTruncates) {
  TSystemFile f;
  ASSERT_TRUE(f.Open(dir_ / "a.adb", A::ReadWrite, S::DenyNone, true)) << f.ErrorText();
  const std::string data(100, 'q');
  ASSERT_EQ(f.Write(data.data(), 100), 100);
  ASSERT_EQ(f.Seek(10, 0), 10);
  EXPECT_EQ(f.Write(data.data(), 0), 0);
  EXPECT_EQ(f.Write(data.data(), -5), 0);
  EXPECT_EQ(f.Size(), 100);
  EXPECT_EQ(f.Position(), 10);
}

// Write-behind changes when bytes reach the disk, never which: pieces of
// any size, across several runs, and a write back over earlier bytes read
// back as written.
TEST_F(SystemFileTest, WriteBehindKeepsEveryByte) {
  TSystemFile f;
  ASSERT_TRUE(f.Open(dir_ / "d.bin", A::ReadWrite, S::Exclusive, true)) << f.ErrorText();
  f.SetWriteBehind(true);
  std::string expected;
  for (const int64_t n : {int64_t{1}, int64_t{4096}, TSystemFile::kWriteBehindRun, int64_t{100},
                         int64_t{3} << 20, TSystemFile::kWriteBehindRun + 1, int64_t{4095}}) {
    std::string piece(static_cast<size_t>(n), '\0');
    for (size_t i = 0; i < piece.size(); ++i) piece[i] = static_cast<char>(i * 7 + expected.size());
    ASSERT_EQ(f.Write(piece.data(), n), n) << f.ErrorText();
    expected += piece;
  }
  ASSERT_EQ(f.Seek(5000, 0), 5000);
  ASSERT_EQ(f.Write("again", 5), 5);
  expected.replace(5000, 5, "again");
  ASSERT_TRUE(f.Flush()) << f.ErrorText();
  EXPECT_EQ(ReadAll(f), expected);
}

// The tool writes whole aligned chunks directly and whatever a direct write
// does not take the ordinary way: the bytes must come out the same.
TEST_F(SystemFileTest, DirectWritesThenTheOrdinaryWayKeepEveryByte) {
  TSystemFile f;
  ASSERT_TRUE(f.Open(dir_ / "d.bin", A::ReadWrite, S::Exclusive, true)) << f.ErrorText();
  if (!f.SetDirectWrites(true)) GTEST_SKIP() << "no direct writes here: " << f.ErrorText();
  const size_t n = 2 * TSystemFile::kDirectAlignment;
  const std::unique_ptr<char[]> raw(new char[n + TSystemFile::kDirectAlignment]);
  void* at = raw.get();
  size_t room = n + TSystemFile::kDirectAlignment;
  char* buf = static_cast<char*>(std::align(TSystemFile::kDirectAlignment, n, at, room));
  for (size_t i = 0; i < n; ++i) buf[i] = static_cast<char>(i * 7 + i / 4096);
  ASSERT_EQ(f.Write(buf, static_cast<int64_t>(n)), static_cast<int64_t>(n)) << f.ErrorText();
  // An unaligned length is taken whole or refused before any byte.
  const int64_t took = f.Write(buf, 100);
  EXPECT_TRUE(took == 0 || took == 100) << took;
  ASSERT_TRUE(f.SetDirectWrites(false)) << f.ErrorText();
  EXPECT_EQ(f.Write(buf + took, 100 - took), 100 - took);
  EXPECT_EQ(ReadAll(f), std::string(buf, n) + std::string(buf, 100));
}

// On a pipe the direct flag would turn writes into packets and cut what a
// reader with a small buffer gets: only regular files take it.
TEST_F(SystemFileTest, DirectWritesOnlyForRegularFiles) {
  const std::string name = dir_ / "pipe";
  ASSERT_EQ(mkfifo(name.c_str(), 0600), 0);
  TSystemFile f;
  if (!f.Open(name, A::ReadWrite, S::DenyNone, false)) GTEST_SKIP() << f.ErrorText();
  EXPECT_FALSE(f.SetDirectWrites(true));
  EXPECT_NE(f.ErrorText().find("not a regular file"), std::string::npos) << f.ErrorText();
}

TEST_F(SystemFileTest, SetSizeGrowsWithZerosAndShrinks) {
  TSystemFile f;
  ASSERT_TRUE(f.Open(dir_ / "a.adb", A::ReadWrite, S::Exclusive, true)) << f.ErrorText();
  ASSERT_EQ(f.Write("abcdef", 6), 6);
  ASSERT_TRUE(f.SetSize(2)) << f.ErrorText();
  EXPECT_EQ(f.Size(), 2);
  // Growing again must not bring back the bytes cut off before.
  ASSERT_TRUE(f.SetSize(65536)) << f.ErrorText();
  EXPECT_EQ(f.Size(), 65536);
  EXPECT_EQ(f.Position(), 6) << "sizing leaves the position alone";
  EXPECT_EQ(ReadAll(f), "ab" + std::string(65534, '\0'));

  // The growth was reserved on disk, not left as a hole.
  struct stat st {};
  ASSERT_EQ(stat((dir_ / "a.adb").c_str(), &st), 0);
  EXPECT_GE(static_cast<int64_t>(st.st_blocks) * 512, 65536);

  EXPECT_FALSE(f.SetSize(-1));
  EXPECT_EQ(f.Size(), 65536);
}

TEST_F(SystemFileTest, ReadAccessRefusesChanges) {
  WriteText(dir_ / "a.adb", "keep");
  TSystemFile f;
  ASSERT_TRUE(f.Open(dir_ / "a.adb", A::Read, S::Exclusive, false)) << f.ErrorText();
  EXPECT_EQ(f.Write("XX", 2), 0);
  EXPECT_FALSE(f.SetSize(0));
  EXPECT_EQ(ReadAll(f), "keep");
}

TEST_F(SystemFileTest, MissingFileOpensOnlyWithCreate) {
  TSystemFile f;
  EXPECT_FALSE(f.Open(dir_ / "missing.adb", A::ReadWrite, S::DenyNone, false));
  EXPECT_FALSE(f.IsOpen());
  EXPECT_NE(f.ErrorText().find("No such file"), std::string::npos) << f.ErrorText();
  EXPECT_FALSE(fs::exists(dir_ / "missing.adb"));

  ASSERT_TRUE(f.Open(dir_ / "missing.adb", A::ReadWrite, S::DenyNone, true)) << f.ErrorText();
  EXPECT_EQ(f.Size(), 0);
  EXPECT_TRUE(fs::exists(dir_ / "missing.adb"));
  EXPECT_FALSE(f.Open(dir_.Path(), A::Read, S::DenyNone, false)) << "a folder is not a file";
}

TEST_F(SystemFileTest, NamesAreConvertedToUtf8) {
  TSystemFile f;
  // "Отчёт.adb" in code page 1251.
  ASSERT_TRUE(f.Open(dir_ / "\xCE\xF2\xF7\xB8\xF2.adb", A::ReadWrite, S::DenyNone, true));
  EXPECT_TRUE(fs::exists(dir_ / "\xD0\x9E\xD1\x82\xD1\x87\xD1\x91\xD1\x82.adb"));
}

TEST_F(SystemFileTest, CreateEmptiesAFileNobodyHolds) {
  WriteText(dir_ / "a.adb", "0123456789");
  TSystemFile f;
  ASSERT_TRUE(f.Open(dir_ / "a.adb", A::ReadWrite, S::DenyNone, true)) << f.ErrorText();
  EXPECT_EQ(f.Size(), 0);
}

TEST_F(SystemFileTest, CreateDoesNotCutAFileHeldExclusively) {
  WriteText(dir_ / "a.adb", "0123456789");
  TSystemFile holder;
  ASSERT_TRUE(holder.Open(dir_ / "a.adb", A::ReadWrite, S::Exclusive, false));
  TSystemFile other;
  EXPECT_FALSE(other.Open(dir_ / "a.adb", A::ReadWrite, S::DenyNone, true));
  EXPECT_EQ(ChildCanOpen(dir_ / "a.adb", A::ReadWrite, S::DenyNone, true), 0);
  EXPECT_EQ(ReadAll(holder), "0123456789");
}

struct ShareCase {
  A firstAccess;
  S firstShare;
  A secondAccess;
  S secondShare;
  bool allowed;
};
const ShareCase kShareCases[] = {
    {A::ReadWrite, S::Exclusive, A::Read, S::DenyNone, false},
    {A::Read, S::Exclusive, A::Read, S::DenyNone, false},
    {A::Read, S::DenyNone, A::Read, S::Exclusive, false},
    {A::Read, S::DenyNone, A::Read, S::DenyNone, true},       // two readers
    {A::Read, S::DenyWrite, A::Read, S::DenyWrite, true},
    {A::ReadWrite, S::DenyNone, A::ReadWrite, S::DenyNone, false},  // one writer at a time
    {A::ReadWrite, S::DenyNone, A::Read, S::DenyNone, true},  // a reader beside the writer
    {A::ReadWrite, S::DenyNone, A::Read, S::DenyWrite, false},
    {A::Read, S::DenyWrite, A::ReadWrite, S::DenyNone, false},
    {A::ReadWrite, S::DenyWrite, A::Read, S::DenyNone, true},
    {A::ReadWrite, S::DenyWrite, A::Read, S::DenyWrite, false},
};

TEST_F(SystemFileTest, SharingModes) {
  const std::string name = dir_ / "shared.adb";
  WriteText(name, "data");
  for (const ShareCase& c : kShareCases) {
    SCOPED_TRACE(std::string(AccessName(c.firstAccess)) + "/" + ShareName(c.firstShare) +
                 " then " + AccessName(c.secondAccess) + "/" + ShareName(c.secondShare));
    {
      TSystemFile first;
      ASSERT_TRUE(first.Open(name, c.firstAccess, c.firstShare, false)) << first.ErrorText();
      TSystemFile second;
      EXPECT_EQ(second.Open(name, c.secondAccess, c.secondShare, false), c.allowed);
      if (!c.allowed) {
        EXPECT_NE(second.ErrorText().find("in use by another process"), std::string::npos)
            << second.ErrorText();
      }
      second.Close();
      // After the second open has come and gone, another process must see
      // the first opener's locks unchanged.
      EXPECT_EQ(ChildCanOpen(name, c.secondAccess, c.secondShare), c.allowed ? 1 : 0);
    }
    // Both closed: nothing is left locked.
    EXPECT_EQ(ChildCanOpen(name, A::ReadWrite, S::Exclusive), 1);
  }
}

TEST_F(SystemFileTest, ClosingAnotherOpenKeepsTheWritersLock) {
  const std::string name = dir_ / "a.adb";
  WriteText(name, "data");
  TSystemFile writer;
  ASSERT_TRUE(writer.Open(name, A::ReadWrite, S::DenyNone, false));
  {
    TSystemFile reader;
    ASSERT_TRUE(reader.Open(name, A::Read, S::DenyNone, false)) << reader.ErrorText();
  }
  TSystemFile second;
  EXPECT_FALSE(second.Open(name, A::ReadWrite, S::DenyNone, false));
  EXPECT_EQ(ChildCanOpen(name, A::ReadWrite, S::DenyNone), 0);
  writer.Close();
  EXPECT_TRUE(second.Open(name, A::ReadWrite, S::DenyNone, false)) << second.ErrorText();
}

TEST_F(SystemFileTest, TemporaryFileIsExclusiveAndVanishesOnClose) {
  TSystemFile f;
  std::string name;
  ASSERT_TRUE(f.OpenTemporary(dir_.Path(), name)) << f.ErrorText();
  EXPECT_EQ(name.rfind(dir_.Path(), 0), 0u) << name;
  EXPECT_EQ(f.Name(), name);
  EXPECT_TRUE(fs::exists(name));
  EXPECT_EQ(f.Write("abc", 3), 3);
  EXPECT_EQ(ChildCanOpen(name, A::Read, S::DenyNone), 0);

  TSystemFile g;
  std::string other;
  ASSERT_TRUE(g.OpenTemporary(dir_.Path(), other));
  EXPECT_NE(other, name);
  f.Close();
  EXPECT_FALSE(fs::exists(name));
  EXPECT_TRUE(fs::exists(other));
}

// OpenNew never opens (let alone cuts) a file that exists: it passes over
// every taken name, whoever made it, and its file keeps the ordinary
// permissions of a new file.
TEST_F(SystemFileTest, OpenNewPassesOverEveryExistingName) {
  WriteText(dir_ / "x.part-0", "someone's");
  WriteText(dir_ / "x.part-2", "another");
  const std::string folder = dir_.Path() + "/";
  TSystemFile first, second;
  std::string a, b;
  ASSERT_TRUE(first.OpenNew(folder, "x.part-", a)) << first.ErrorText();
  ASSERT_TRUE(second.OpenNew(folder, "x.part-", b)) << second.ErrorText();
  EXPECT_EQ(a, folder + "x.part-1");
  EXPECT_EQ(b, folder + "x.part-3");
  EXPECT_EQ(first.Size(), 0);
  EXPECT_EQ(first.Write("new", 3), 3);
  EXPECT_EQ(ChildCanOpen(a, A::Read, S::DenyNone), 0) << "held exclusively";
  const mode_t mask = umask(0);
  umask(mask);
  struct stat st {};
  ASSERT_EQ(stat(a.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0666 & ~mask);
  first.Close();
  EXPECT_TRUE(fs::exists(a)) << "kept when closed";
  std::ifstream in(dir_ / "x.part-0");
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "someone's");
  TSystemFile missing;
  std::string c;
  EXPECT_FALSE(missing.OpenNew(folder + "no-such-folder/", "x-", c));
  EXPECT_NE(missing.ErrorText().find("No such file or directory"), std::string::npos);
}

TEST_F(SystemFileTest, TemporaryFolderDefaultsToTmpdir) {
  const char* saved = getenv("TMPDIR");
  const std::string savedValue = saved != nullptr ? saved : "";
  std::string folder = dir_.Path();
  folder.pop_back();  // without the trailing "/", which must then be added
  setenv("TMPDIR", folder.c_str(), 1);
  TSystemFile f;
  std::string name;
  const bool opened = f.OpenTemporary("", name);
  if (saved != nullptr) {
    setenv("TMPDIR", savedValue.c_str(), 1);
  } else {
    unsetenv("TMPDIR");
  }
  ASSERT_TRUE(opened) << f.ErrorText();
  EXPECT_EQ(name.rfind(dir_.Path(), 0), 0u) << name;
  EXPECT_TRUE(fs::exists(name));
}

TEST_F(SystemFileTest, DeleteOnCloseFindsTheFileAfterTheFolderChanges) {
  char saved[PATH_MAX];
  ASSERT_NE(getcwd(saved, sizeof saved), nullptr);
  ASSERT_EQ(chdir(dir_.Path().c_str()), 0);
  TSystemFile f;
  const bool opened = f.Open("relative.adb", A::ReadWrite, S::Exclusive, true);
  ASSERT_EQ(chdir(saved), 0);
  ASSERT_TRUE(opened) << f.ErrorText();
  f.SetDeleteOnClose(true);
  f.Close();
  EXPECT_FALSE(fs::exists(dir_ / "relative.adb"));
}

TEST_F(SystemFileTest, ExclusiveReaderOfAReadOnlyFile) {
  if (geteuid() == 0) GTEST_SKIP() << "permissions do not bind the superuser";
  const std::string name = dir_ / "ro.adb";
  WriteText(name, "data");
  ASSERT_EQ(chmod(name.c_str(), 0444), 0);
  TSystemFile f;
  ASSERT_TRUE(f.Open(name, A::Read, S::Exclusive, false)) << f.ErrorText();
  EXPECT_EQ(ReadAll(f), "data");
  // Without write access only read locks can be taken, so a reader may join.
  EXPECT_EQ(ChildCanOpen(name, A::Read, S::DenyNone), 1);
}

}  // namespace
}  // namespace norvane
