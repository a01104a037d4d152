// What the tool does with what a user gives it: files it must not replace,
// password options that must not quietly give no encryption, lines that say
// what went wrong before the engine's own text, per-command help, and output
// that could not be written.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <sstream>

#include "tests/support/fast_clock.h"
#include "tests/support/file_bytes.h"
#include "tests/support/temp_folder.h"
#include "tests/tools/tool_runner.h"
#include "tools/norvane-db/descriptor_output.h"
#include "tools/norvane-db/tool.h"

namespace norvane {
namespace {

const std::string kLongPassword(33, 'p');  // one past the longest the engine keeps

// Files every case starts from, in a fresh folder: a plain catalogue and an
// encrypted one (password "secret"), each holding /top.txt; a text file; an
// empty file; a file that starts as a catalogue but whose header is broken;
// password files, one empty; and a folder.
void MakeInputs(const testing::TTempFolder& dir) {
  ASSERT_EQ(RunDb({"create", dir / "plain.adb"}).status, 0);
  ASSERT_EQ(RunDb({"put", dir / "plain.adb", "/top.txt"}, "hello").status, 0);
  ASSERT_EQ(RunDb({"create", dir / "enc.adb", "--password", "secret"}).status, 0);
  ASSERT_EQ(RunDb({"put", dir / "enc.adb", "/top.txt", "--password", "secret"}, "hi").status, 0);
  const std::string text = "my notes\n";
  testing::WriteFileBytes(dir / "notes.txt", {text.begin(), text.end()});
  testing::WriteFileBytes(dir / "empty.bin", {});
  std::vector<uint8_t> damaged = testing::ReadFileBytes(dir / "plain.adb");
  damaged[300] ^= 0xFF;  // inside the container header, after the part header
  testing::WriteFileBytes(dir / "damaged.adb", damaged);
  testing::WriteFileBytes(dir / "good.pw", {'s', 'e', 'c', 'r', 'e', 't', '\n'});
  testing::WriteFileBytes(dir / "empty.pw", {'\n'});
  std::filesystem::create_directory(dir / "folder");
}

// "@" stands for the case's folder, in arguments and in expected text.
std::string Expand(const std::string& text, const testing::TTempFolder& dir) {
  std::string out;
  for (char c : text) out += c == '@' ? dir.Path() : std::string(1, c);
  return out;
}

std::optional<std::vector<uint8_t>> BytesOf(const std::string& path) {
  if (!std::filesystem::is_regular_file(path)) return std::nullopt;
  return testing::ReadFileBytes(path);
}

enum class TEffect { Untouched, Created, Changed };

struct TInputCase {
  std::vector<std::string> args;
  int status;
  const char* firstErr;  // the first line on standard error ("" for none)
  const char* nextErr;   // the line after it; nullptr: not checked
  const char* target;    // the file whose fate is checked
  TEffect effect;
};

const TInputCase kInputCases[] = {
    // An existing file is never replaced unasked; --force replaces only a
    // catalogue or an empty file.
    {{"create", "@plain.adb"}, 1, "@plain.adb already exists; give --force to replace it.", "",
     "plain.adb", TEffect::Untouched},
    {{"create", "@enc.adb", "--password", "other"}, 1,
     "@enc.adb already exists; give --force to replace it.", "", "enc.adb", TEffect::Untouched},
    {{"create", "@notes.txt"}, 1, "@notes.txt already exists; give --force to replace it.", "",
     "notes.txt", TEffect::Untouched},
    {{"create", "@notes.txt", "--force"}, 1,
     "@notes.txt is not a Norvane catalogue; --force replaces only a sound catalogue or an empty "
     "file, so it is left as it is.",
     "", "notes.txt", TEffect::Untouched},
    {{"create", "@damaged.adb", "--force"}, 1,
     "@damaged.adb is a damaged Norvane catalogue; --force replaces only a sound catalogue or an "
     "empty file, so it is left as it is.",
     "", "damaged.adb", TEffect::Untouched},
    {{"create", "@plain.adb", "--force"}, 0, "", nullptr, "plain.adb", TEffect::Changed},
    {{"create", "@enc.adb", "--force"}, 0, "", nullptr, "enc.adb", TEffect::Changed},
    {{"create", "@empty.bin", "--force"}, 0, "", nullptr, "empty.bin", TEffect::Changed},
    {{"create", "@new.adb"}, 0, "", nullptr, "new.adb", TEffect::Created},
    {{"create", "@new.adb", "--password-file", "@good.pw"}, 0, "", nullptr, "new.adb",
     TEffect::Created},
    // Asking for encryption never quietly gives none.
    {{"create", "@new.adb", "--password", ""}, 2, "norvane-db: the password is empty", nullptr,
     "new.adb", TEffect::Untouched},
    {{"create", "@new.adb", "--password="}, 2, "norvane-db: the password is empty", nullptr,
     "new.adb", TEffect::Untouched},
    {{"create", "@new.adb", "--password-file", "@empty.pw"}, 2,
     "norvane-db: the first line of the password file @empty.pw is empty", "", "new.adb",
     TEffect::Untouched},
    {{"create", "@new.adb", "--password-file", "@missing.pw"}, 2,
     "norvane-db: cannot read the password file: Cannot open the file \"@missing.pw\": No such "
     "file or directory.",
     "", "new.adb", TEffect::Untouched},
    {{"create", "@new.adb", "--password-file", "@folder"}, 2,
     "norvane-db: cannot read the password file: Cannot open the file \"@folder\": Is a "
     "directory.",
     "", "new.adb", TEffect::Untouched},
    {{"create", "@new.adb", "--question", "pet?"}, 2,
     "norvane-db: --question and --answer need a password (--password or --password-file)",
     nullptr, "new.adb", TEffect::Untouched},
    {{"create", "@new.adb", "--answer", "cat"}, 2,
     "norvane-db: --question and --answer need a password (--password or --password-file)",
     nullptr, "new.adb", TEffect::Untouched},
    {{"put", "@plain.adb", "/n.txt", "--password", "x", "--password-file", "@good.pw"}, 2,
     "norvane-db: give either --password or --password-file, not both", nullptr, "plain.adb",
     TEffect::Untouched},
    // A password for a catalogue that has none is a warning; the command goes on.
    {{"ls", "@plain.adb", "--password", "x"}, 0,
     "warning: @plain.adb is not encrypted; the password is ignored.", "", "plain.adb",
     TEffect::Untouched},
    {{"put", "@plain.adb", "/n.txt", "--password-file", "@good.pw"}, 0,
     "warning: @plain.adb is not encrypted; the password is ignored.", "", "plain.adb",
     TEffect::Changed},
    {{"ls", "@enc.adb", "--password-file", "@good.pw"}, 0, "", nullptr, "enc.adb",
     TEffect::Untouched},
    // A plain line before the engine's own text, which stays as it is.
    {{"ls", "@enc.adb"}, 1,
     "@enc.adb is encrypted: give its password with --password or --password-file",
     "TESingleFileSystem.Create - invalid password specified, file name = \"@enc.adb\"",
     "enc.adb", TEffect::Untouched},
    {{"rm", "@enc.adb", "/top.txt", "--password", "bad"}, 1, "wrong password for @enc.adb",
     "TESingleFileSystem.Create - invalid password specified, file name = \"@enc.adb\"",
     "enc.adb", TEffect::Untouched},
    {{"recover", "@enc.adb", "@new.adb"}, 1,
     "@enc.adb is encrypted: give its password with --password or --password-file",
     "TESingleFileSystem.Salvage - the password does not open the container enc.adb.", "new.adb",
     TEffect::Untouched},
    {{"check", "@enc.adb", "--password", "bad"}, 1, "wrong password for @enc.adb", "", "enc.adb",
     TEffect::Untouched},
    {{"check", "@enc.adb"}, 1,
     "@enc.adb is encrypted: give its password with --password or --password-file", "",
     "enc.adb", TEffect::Untouched},
    {{"ls", "@enc.adb", "--password", kLongPassword}, 1, "passwords are at most 32 characters",
     "TESingleFileSystem.Create - invalid password specified, file name = \"@enc.adb\"",
     "enc.adb", TEffect::Untouched},
    {{"create", "@new.adb", "--password", kLongPassword}, 1,
     "passwords are at most 32 characters", "Password length should be shorter then 32",
     "new.adb", TEffect::Untouched},
    {{"rm", "@plain.adb", "/"}, 1, "Cannot remove the root folder.", "", "plain.adb",
     TEffect::Untouched},
    {{"rm", "@plain.adb", "\\"}, 1, "Cannot remove the root folder.", "", "plain.adb",
     TEffect::Untouched},
    {{"mkdir", "@plain.adb", "/top.txt/sub/deeper"}, 1, "\"/top.txt\" is a file.", "",
     "plain.adb", TEffect::Untouched},
    {{"ls", "@notes.txt"}, 1, "@notes.txt is not a Norvane catalogue",
     "File notes.txt has corrupted header.", "notes.txt", TEffect::Untouched},
    {{"info", "@notes.txt"}, 1, "@notes.txt is not a Norvane catalogue",
     "File notes.txt has corrupted header.", "notes.txt", TEffect::Untouched},
    {{"ls", "@empty.bin"}, 1, "@empty.bin is empty: it is not a Norvane catalogue",
     "File empty.bin has corrupted header.", "empty.bin", TEffect::Untouched},
    {{"ls", "@damaged.adb"}, 1,
     "@damaged.adb is a Norvane catalogue whose header is damaged; norvane-db recover may save "
     "its files",
     "TESingleFileSystem.LoadHeader - Invalid VEZA file, header is corrupted.", "damaged.adb",
     TEffect::Untouched},
    // Text code page 1251 cannot hold: one line naming the character.
    {{"create", "@\xE4\xB8\xAD.adb"}, 2,
     "norvane-db: The character U+4E2D cannot be written in code page 1251.", "",
     "\xE4\xB8\xAD.adb", TEffect::Untouched},
    {{"put", "@plain.adb", "/\xF0\x9F\x98\x80.txt"}, 2,
     "norvane-db: The character U+1F600 cannot be written in code page 1251.", "", "plain.adb",
     TEffect::Untouched},
    {{"create", "@\xC3.adb"}, 2, "norvane-db: The text is not valid UTF-8.", "", "new.adb",
     TEffect::Untouched},
    {{"create", "@new.adb", "--password", "\xE2\x82\xAC\xE4\xB8\xAD"}, 2,
     "norvane-db: The character U+4E2D cannot be written in code page 1251.", "", "new.adb",
     TEffect::Untouched},
};

TEST(ToolInput, EachCommandLineGivesItsStatusMessageAndEffect) {
  testing::TFastClock clock;
  for (const TInputCase& c : kInputCases) {
    testing::TTempFolder dir;
    MakeInputs(dir);
    std::vector<std::string> args;
    for (const std::string& arg : c.args) args.push_back(Expand(arg, dir));
    const std::string shown = ::testing::PrintToString(args);
    const std::string target = dir / c.target;
    const auto before = BytesOf(target);
    const TRun run = RunDb(args, "new bytes");
    EXPECT_EQ(run.status, c.status) << shown << "\n" << run.err;
    const std::vector<std::string> err = LinesOf(run.err);
    EXPECT_EQ(err.empty() ? "" : err[0], Expand(c.firstErr, dir)) << shown;
    if (c.nextErr != nullptr) {
      EXPECT_EQ(err.size() > 1 ? err[1] : "", Expand(c.nextErr, dir)) << shown;
    }
    const auto after = BytesOf(target);
    switch (c.effect) {
      case TEffect::Untouched:
        EXPECT_EQ(after, before) << shown;
        break;
      case TEffect::Created:
        EXPECT_FALSE(before.has_value()) << shown;
        EXPECT_TRUE(after.has_value()) << shown;
        break;
      case TEffect::Changed:
        EXPECT_TRUE(before.has_value() && after.has_value() && *before != *after) << shown;
        break;
    }
  }
}

TEST(ToolInput, APasswordFileEncryptsWhatCreateMakes) {
  testing::TFastClock clock;
  testing::TTempFolder dir;
  MakeInputs(dir);
  ASSERT_EQ(RunDb({"create", dir / "new.adb", "--password-file", dir / "good.pw"}).status, 0);
  EXPECT_NE(RunDb({"info", dir / "new.adb"}).out.find("encrypted: yes"), std::string::npos);
  EXPECT_EQ(RunDb({"ls", dir / "new.adb", "--password", "secret"}).status, 0);
}

struct THelpCase {
  const char* command;
  std::vector<const char*> shown;     // options its usage lists
  std::vector<const char*> notShown;  // options that do not apply to it
};

TEST(ToolInput, CommandHelpShowsThatCommandAndTheOptionsThatApply) {
  const THelpCase kCases[] = {
      {"create", {"--password P", "--question Q", "--force", "--help"}, {}},
      {"ls", {"--password P", "--password-file F", "--help"}, {"--force", "--question"}},
      {"info", {"--help"}, {"--password", "--force"}},
      {"recover", {"--password P"}, {"--force", "--answer"}},
  };
  for (const THelpCase& c : kCases) {
    const TRun run = RunDb({c.command, "--help"});
    EXPECT_EQ(run.status, 0) << c.command;
    EXPECT_EQ(run.out.rfind(std::string("Usage: norvane-db ") + c.command + " ", 0), 0u) << run.out;
    EXPECT_EQ(run.out.find("Commands:"), std::string::npos) << run.out;
    for (const char* option : c.shown) EXPECT_NE(run.out.find(option), std::string::npos) << run.out;
    for (const char* option : c.notShown)
      EXPECT_EQ(run.out.find(option), std::string::npos) << c.command << " " << option;
  }
  // Alone, --help lists every command.
  const TRun all = RunDb({"--help"});
  EXPECT_EQ(all.status, 0);
  for (const char* head : {"create FILE", "ls FILE", "recover DAMAGED NEW", "--force"})
    EXPECT_NE(all.out.find(head), std::string::npos) << head;
}

// A stream buffer that takes nothing, as a full disk or a closed pipe would.
class TRefusingBuffer : public std::streambuf {
 protected:
  int_type overflow(int_type) override { return traits_type::eof(); }
  std::streamsize xsputn(const char*, std::streamsize) override { return 0; }
};

class ToolOutput : public NorvaneDbFiles {
 protected:
  const std::vector<std::vector<std::string>> kWriting = {
      {"ls", file}, {"info", file}, {"get", file, "/top.txt"}, {"check", file},
      {"--help"},   {"ls", "--help"}};
};

TEST_F(ToolOutput, OutputThatCannotBeWrittenFailsTheCommand) {
  for (const auto& args : kWriting) {
    TRefusingBuffer refusing;
    std::ostream out(&refusing);
    std::istringstream in;
    std::ostringstream err;
    EXPECT_EQ(tool::RunTool(args, in, out, err), 1) << args[0];
    EXPECT_EQ(err.str(), "Cannot write to standard output.\n") << args[0];
  }
}

TEST_F(ToolOutput, TheProgramsOutputNamesTheSystemsReason) {
  const int full = open("/dev/full", O_WRONLY | O_CLOEXEC);
  ASSERT_GE(full, 0);
  for (const auto& args : kWriting) {
    tool::TDescriptorOutput buffer(full);
    std::ostream out(&buffer);
    std::istringstream in;
    std::ostringstream err;
    EXPECT_EQ(tool::RunTool(args, in, out, err), 1) << args[0];
    EXPECT_EQ(err.str(), "Cannot write to standard output: No space left on device.\n") << args[0];
  }
  close(full);
}

// The program with its standard output on /dev/full: exit status and
// standard error (kept in `errFile`).
TRun RunProgramIntoFullDevice(const std::vector<std::string>& args, const std::string& errFile) {
  std::string command = "'" NORVANE_DB_PROGRAM "'";
  for (const std::string& arg : args) command += " '" + arg + "'";
  const int status = std::system((command + " >/dev/full 2>'" + errFile + "'").c_str());
  const std::vector<uint8_t> err = testing::ReadFileBytes(errFile);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, "", std::string(err.begin(), err.end())};
}

TEST_F(ToolOutput, TheProgramFailsWhenItsOutputIsLost) {
  // Large enough that the bytes are written while the command runs, not
  // only when the output is flushed at the end.
  ASSERT_EQ(RunDb({"put", file, "/big.bin"}, std::string(3'000'000, 'b')).status, 0);
  auto cases = kWriting;
  cases.push_back({"get", file, "/big.bin"});
  for (const auto& args : cases) {
    const TRun run = RunProgramIntoFullDevice(args, dir / "err.txt");
    EXPECT_EQ(run.status, 1) << args[0];
    EXPECT_EQ(run.err, "Cannot write to standard output: No space left on device.\n") << args[0];
  }
}

}  // namespace
}  // namespace norvane
