#include "platform/SafeFile.h"

#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/FileDescriptor.h"
#include "support/Sandbox.h"

namespace quorvale {
namespace {

namespace fs = std::filesystem;
using testing::Sandbox;

std::set<std::string> Listing(const std::string& folder) {
  std::set<std::string> names;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
    names.insert(entry.path().filename().string());
  }
  return names;
}

std::vector<std::uint8_t> Bytes(const std::string& text) {
  return std::vector<std::uint8_t>(text.begin(), text.end());
}

mode_t ModeOf(const std::string& path) {
  struct stat st {};
  stat(path.c_str(), &st);
  return st.st_mode & 0777;
}

// The file systems the writer meets, acted out at its system-call seam: one
// with every way, one without unnamed files, and one that can only
// open(O_EXCL) and rename(), as FAT and exFAT through FUSE.
enum class Lacks { Nothing, UnnamedFiles, LinksAndNoReplace };

int OpenWithoutUnnamed(int folder, const char* name, int flags, mode_t mode) {
  if ((flags & O_TMPFILE) == O_TMPFILE) {
    errno = EOPNOTSUPP;
    return -1;
  }
  return openat(folder, name, flags, mode);
}

int NoLink(int, const char*, int, const char*, int) {
  errno = EPERM;
  return -1;
}

int RenameWithoutNoReplace(int from, const char* a, int to, const char* b, unsigned int flags) {
  if (flags & RENAME_NOREPLACE) {
    errno = EINVAL;
    return -1;
  }
  return renameat2(from, a, to, b, flags);
}

const FileCalls WithoutUnnamed{OpenWithoutUnnamed, linkat, renameat2};
const FileCalls RenameOnly{OpenWithoutUnnamed, NoLink, RenameWithoutNoReplace};

class SafeFileTest : public ::testing::TestWithParam<Lacks> {
 protected:
  void SetUp() override {
    if (GetParam() == Lacks::UnnamedFiles) UseFileCalls(&WithoutUnnamed);
    if (GetParam() == Lacks::LinksAndNoReplace) UseFileCalls(&RenameOnly);
    // Where the sandbox's file system has no unnamed files, the first case
    // would only test the second a second time.
    const FileDescriptor probe(open(box.Root().c_str(), O_TMPFILE | O_WRONLY, 0600));
    if (GetParam() == Lacks::Nothing && !probe) {
      GTEST_SKIP() << "no unnamed files on the file system of " << box.Root();
    }
  }
  void TearDown() override { UseFileCalls(nullptr); }

  Sandbox box;
};

std::string WayName(const ::testing::TestParamInfo<Lacks>& info) {
  switch (info.param) {
    case Lacks::Nothing:
      return "AllWays";
    case Lacks::UnnamedFiles:
      return "NoUnnamedFiles";
    case Lacks::LinksAndNoReplace:
      return "RenameOnly";
  }
  return "";
}

INSTANTIATE_TEST_SUITE_P(Ways, SafeFileTest,
                         ::testing::Values(Lacks::Nothing, Lacks::UnnamedFiles,
                                           Lacks::LinksAndNoReplace),
                         WayName);

// What is at the name before a write.
enum class There { Nothing, Theirs, Theirs0604, ReadOnly, DanglingLink, Folder, Fifo };

void Put(There there, const std::string& path) {
  if (there == There::Theirs || there == There::Theirs0604 || there == There::ReadOnly) {
    std::ofstream(path) << "theirs";
    chmod(path.c_str(), there == There::Theirs0604 ? 0604 : there == There::ReadOnly ? 0444 : 0644);
  }
  if (there == There::DanglingLink) symlink("nowhere", path.c_str());
  if (there == There::Folder) fs::create_directory(path);
  if (there == There::Fifo) mkfifo(path.c_str(), 0666);
}

// Each row in a folder of its own, written whole or in three pieces
// (streamed), the name taken meanwhile or not. No row leaves another file.
TEST_P(SafeFileTest, OutcomesOfEachWay) {
  // A new file's mode is that of any file the process creates.
  const FileDescriptor made(open(box.Path("made").c_str(), O_CREAT | O_WRONLY, 0640));
  const mode_t asMade = ModeOf(box.Path("made"));
  const struct {
    There there;
    IfExists ifExists;
    bool streamed, takenMeanwhile;
    int error;
    const char* content;  // of the name after; "": not a regular file
    mode_t mode;          // of the name after; 0: not checked
  } rows[] = {
      {There::Nothing, IfExists::Keep, false, false, 0, "new", asMade},
      {There::Nothing, IfExists::Keep, true, false, 0, "new", asMade},
      {There::Theirs0604, IfExists::Replace, true, false, 0, "new", 0604},
      {There::Theirs, IfExists::Keep, false, false, EEXIST, "theirs", 0},
      {There::Nothing, IfExists::Keep, true, true, EEXIST, "theirs", 0},
      {There::Nothing, IfExists::Replace, true, true, 0, "new", 0},
      {There::DanglingLink, IfExists::Keep, false, false, EEXIST, "", 0},
      {There::Folder, IfExists::Replace, false, false, EISDIR, "", 0},
      {There::Fifo, IfExists::Replace, false, false, EINVAL, "", 0},
      {There::ReadOnly, IfExists::Replace, false, false, EACCES, "theirs", 0},
  };
  int number = 0;
  for (const auto& row : rows) {
    const std::string folder = std::to_string(++number);
    SCOPED_TRACE("row " + folder);
    fs::create_directory(box.Path(folder));
    const std::string path = box.Path(folder + "/a.jpg");
    Put(row.there, path);
    int error;
    if (row.streamed) {
      SafeFile file = SafeFile::Create(path, row.ifExists, 0640);
      for (const char* piece : {"n", "", "ew"}) file.Append(std::string_view(piece));
      if (row.takenMeanwhile) Put(There::Theirs, path);
      error = file.Commit();
    } else {
      error = WriteSafeFile(path, Bytes("new"), row.ifExists, 0640);
    }
    EXPECT_EQ(error, row.error) << strerror(error);
    EXPECT_EQ(Listing(box.Path(folder)), std::set<std::string>{"a.jpg"});
    if (*row.content != '\0') {
      EXPECT_EQ(box.Read(folder + "/a.jpg"), row.content);
    }
    if (row.mode != 0) {
      EXPECT_EQ(ModeOf(path), row.mode);
    }
  }
  EXPECT_EQ(WriteSafeFile(box.Path("none/a.jpg"), Bytes("new"), IfExists::Keep), ENOENT);
  char target[16] = {};
  EXPECT_EQ(readlink(box.Path("7/a.jpg").c_str(), target, sizeof target), 7);
}

// A full disk in the middle of the data (here a file size limit, with
// SIGXFSZ ignored so that write fails with EFBIG), and a file dropped
// before its commit: the old file keeps its bytes and nothing else is left.
TEST_P(SafeFileTest, FailureOrNoCommitKeepsTheOldFileAndLeavesNothing) {
  box.Write("a.jpg", "old");
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    const rlimit limit{1024, 1024};
    signal(SIGXFSZ, SIG_IGN);
    if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(2);
    _exit(WriteSafeFile(box.Path("a.jpg"), Bytes(std::string(4096, 'n')), IfExists::Replace) ==
                  EFBIG
              ? 0
              : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  {
    SafeFile dropped = SafeFile::Create(box.Path("a.jpg"), IfExists::Replace);
    EXPECT_TRUE(dropped.Append(std::string_view("never named")));
  }
  EXPECT_EQ(box.Read("a.jpg"), "old");
  EXPECT_EQ(Listing(box.Root()), std::set<std::string>{"a.jpg"});
}

// A writer killed at each of its calls in turn, on a file system that can
// only rename: a new name is missing, empty or complete; a replaced one old
// or complete; nothing else but the hidden file a later writer sweeps.
TEST(SafeFile, KilledAtAnyCallLeavesNoPartialFile) {
  Sandbox box;
  static int callsLeft = 0;
  static const FileCalls killing{
      [](int folder, const char* name, int flags, mode_t mode) {
        if (--callsLeft == 0) raise(SIGKILL);
        return RenameOnly.openat(folder, name, flags, mode);
      },
      RenameOnly.linkat,
      [](int from, const char* a, int to, const char* b, unsigned int flags) {
        if (--callsLeft == 0) raise(SIGKILL);
        return RenameOnly.renameat2(from, a, to, b, flags);
      }};
  const std::string whole(100000, 'w');
  for (int kill = 1;; ++kill) {
    SCOPED_TRACE(kill);
    fs::remove_all(box.Path("out"));
    box.Write("out/old.jpg", "old");
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      callsLeft = kill;
      UseFileCalls(&killing);
      const bool written =
          WriteSafeFile(box.Path("out/new.jpg"), Bytes(whole), IfExists::Keep) == 0 &&
          WriteSafeFile(box.Path("out/old.jpg"), Bytes(whole), IfExists::Replace) == 0;
      _exit(written ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    for (const std::string& name : Listing(box.Path("out"))) {
      const std::string content = box.Read("out/" + name);
      if (name == "new.jpg") {
        EXPECT_TRUE(content.empty() || content == whole) << content.size();
      } else if (name == "old.jpg") {
        EXPECT_TRUE(content == "old" || content == whole) << content.size();
      } else {
        EXPECT_TRUE(IsTemporaryFileName(name)) << name;
      }
    }
    if (WIFEXITED(status)) {
      EXPECT_EQ(WEXITSTATUS(status), 0);
      EXPECT_EQ(Listing(box.Path("out")), (std::set<std::string>{"new.jpg", "old.jpg"}));
      EXPECT_GT(kill, 4);
      break;
    }
    ASSERT_EQ(WTERMSIG(status), SIGKILL);
  }
}

// Before its first hidden file in a folder, the writer removes those a
// killed run left: of the exact pattern, of a process that is gone, older
// than this process. Look-alikes, recent files and those of a live process
// stay, and a writer that makes no hidden file sweeps nothing.
TEST_P(SafeFileTest, SweepRemovesOnlyOldHiddenFilesOfDeadProcesses) {
  const pid_t gone = fork();
  ASSERT_GE(gone, 0);
  if (gone == 0) _exit(0);
  ASSERT_EQ(waitpid(gone, nullptr, 0), gone);
  const std::string dead = ".quorvale-" + std::to_string(gone) + "-0123456789abcdef.tmp";
  const std::string recent = ".quorvale-" + std::to_string(gone) + "-fedcba9876543210.tmp";
  const std::string live = ".quorvale-" + std::to_string(getppid()) + "-0123456789abcdef.tmp";
  const std::string oldStyle = ".quorvale-" + std::to_string(gone) + "-1-0-abc.tmp";
  box.Fill({dead, recent, live, oldStyle, "sub/" + dead});
  const timespec hourAgo[2] = {{time(nullptr) - 3600, 0}, {time(nullptr) - 3600, 0}};
  for (const std::string& name : {dead, live, oldStyle, "sub/" + dead}) {
    ASSERT_EQ(utimensat(AT_FDCWD, box.Path(name).c_str(), hourAgo, 0), 0);
  }

  EXPECT_EQ(WriteSafeFile(box.Path("a.jpg"), Bytes("new"), IfExists::Keep), 0);
  std::set<std::string> kept = {"a.jpg", recent, live, oldStyle, "sub"};
  if (GetParam() == Lacks::Nothing) kept.insert(dead);
  EXPECT_EQ(Listing(box.Root()), kept);
  EXPECT_EQ(Listing(box.Path("sub")), std::set<std::string>{dead});
}

TEST(TemporaryFileName, RecognisesOnlyItsOwnPattern) {
  const struct {
    const char* name;
    long pid;  // 0: not of the pattern
  } cases[] = {
      {".quorvale-123-0123456789abcdef.tmp", 123},
      {".quorvale-9-ffffffffffffffff.tmp", 9},
      {".quorvale-123-4-0-1a2b.tmp", 0},
      {".quorvale-123-0123456789abcde.tmp", 0},
      {".quorvale-123-0123456789ABCDEF.tmp", 0},
      {".quorvale-0-0123456789abcdef.tmp", 0},
      {".quorvale--0123456789abcdef.tmp", 0},
      {".quorvale-12a-0123456789abcdef.tmp", 0},
      {".quorvale-123-0123456789abcdef.tmpx", 0},
      {"quorvale-123-0123456789abcdef.tmp", 0},
      {".quorvale-12345678901-0123456789abcdef.tmp", 0},
  };
  for (const auto& c : cases) {
    long pid = 0;
    EXPECT_EQ(IsTemporaryFileName(c.name, &pid), c.pid != 0) << c.name;
    EXPECT_EQ(pid, c.pid) << c.name;
  }
}

}  // namespace
}  // namespace quorvale
