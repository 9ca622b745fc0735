#include "platform/OutputFile.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <ctime>
#include <filesystem>
#include <optional>
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

class OutputFile : public ::testing::TestWithParam<TemporaryFileKind> {
 protected:
  // Where the sandbox's file system has no unnamed files, the Unnamed case
  // would only test the named fall-back a second time.
  void SetUp() override {
    if (GetParam() != TemporaryFileKind::Unnamed) return;
    const FileDescriptor probe(open(box.Root().c_str(), O_TMPFILE | O_WRONLY, 0600));
    if (!probe) GTEST_SKIP() << "no unnamed files on the file system of " << box.Root();
  }

  int Write(const std::string& name, const std::string& text) {
    const FileDescriptor folder(open(box.Root().c_str(), O_RDONLY | O_DIRECTORY));
    return WriteFileReplacing(folder.Get(), name, Bytes(text), GetParam());
  }

  Sandbox box;
};

INSTANTIATE_TEST_SUITE_P(BothKinds, OutputFile,
                         ::testing::Values(TemporaryFileKind::Unnamed, TemporaryFileKind::Named),
                         [](const auto& info) {
                           return info.param == TemporaryFileKind::Unnamed ? "Unnamed" : "Named";
                         });

TEST_P(OutputFile, NewFileTakesTheUmaskAndNothingElseIsLeft) {
  const mode_t old = umask(027);
  EXPECT_EQ(Write("a.jpg", "new"), 0);
  umask(old);
  EXPECT_EQ(box.Read("a.jpg"), "new");
  EXPECT_EQ(ModeOf(box.Path("a.jpg")), 0640u);
  EXPECT_EQ(Listing(box.Root()), std::set<std::string>{"a.jpg"});
}

TEST_P(OutputFile, ReplacedFileKeepsItsPermissionBits) {
  box.Write("a.jpg", "old");
  ASSERT_EQ(chmod(box.Path("a.jpg").c_str(), 0604), 0);
  EXPECT_EQ(Write("a.jpg", "replacement"), 0);
  EXPECT_EQ(box.Read("a.jpg"), "replacement");
  EXPECT_EQ(ModeOf(box.Path("a.jpg")), 0604u);
  EXPECT_EQ(Listing(box.Root()), std::set<std::string>{"a.jpg"});
}

TEST_P(OutputFile, RefusedTargetsStayAsTheyWere) {
  box.Fill({"folder.jpg/inside", "readonly.jpg"});
  ASSERT_EQ(chmod(box.Path("readonly.jpg").c_str(), 0444), 0);
  ASSERT_EQ(mkfifo(box.Path("fifo.jpg").c_str(), 0666), 0);
  EXPECT_EQ(Write("folder.jpg", "x"), EISDIR);
  EXPECT_EQ(Write("readonly.jpg", "x"), EACCES);
  EXPECT_EQ(Write("fifo.jpg", "x"), EINVAL);
  EXPECT_EQ(box.Read("readonly.jpg"), "not a photo: readonly.jpg\n");
  EXPECT_EQ(Listing(box.Root()), (std::set<std::string>{"fifo.jpg", "folder.jpg", "readonly.jpg"}));
}

// A full disk in the middle of the data (here a file size limit, with
// SIGXFSZ ignored so that write fails with EFBIG): the old file keeps its
// bytes and no temporary file is left.
TEST_P(OutputFile, WriteFailureKeepsTheOldFileAndLeavesNothing) {
  box.Write("a.jpg", "old");
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    const rlimit limit{1024, 1024};
    signal(SIGXFSZ, SIG_IGN);
    if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(2);
    _exit(Write("a.jpg", std::string(4096, 'n')) == EFBIG ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_EQ(box.Read("a.jpg"), "old");
  EXPECT_EQ(Listing(box.Root()), std::set<std::string>{"a.jpg"});
}

// A name that is taken, also at the moment of the link (a dangling link,
// which no existence check sees), is left as it is unless replacing.
TEST_P(OutputFile, WithoutReplaceATakenNameIsLeftAlone) {
  box.Write("a.jpg", "theirs");
  ASSERT_EQ(symlink("nowhere", box.Path("link.jpg").c_str()), 0);
  const FileDescriptor folder(open(box.Root().c_str(), O_RDONLY | O_DIRECTORY));
  for (const char* name : {"a.jpg", "link.jpg"}) {
    EXPECT_EQ(WriteFileReplacing(folder.Get(), name, Bytes("mine"), GetParam(), false), EEXIST)
        << name;
  }
  EXPECT_EQ(box.Read("a.jpg"), "theirs");
  char target[16] = {};
  EXPECT_EQ(readlink(box.Path("link.jpg").c_str(), target, sizeof target), 7);
  EXPECT_EQ(WriteFileReplacing(folder.Get(), "new.jpg", Bytes("mine"), GetParam(), false), 0);
  EXPECT_EQ(Listing(box.Root()), (std::set<std::string>{"a.jpg", "link.jpg", "new.jpg"}));
}

// Where the file system has no unnamed files (Named), the first write into
// a folder removes the hidden files a killed run left: of the exact
// pattern, of a process that is gone, older than this process. Look-alikes,
// recent files and those of a live process stay, and where unnamed files
// are made (Unnamed) nothing is swept at all.
TEST_P(OutputFile, SweepRemovesOnlyOldHiddenFilesOfDeadProcesses) {
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

  EXPECT_EQ(Write("a.jpg", "new"), 0);
  std::set<std::string> kept = {"a.jpg", recent, live, oldStyle, "sub"};
  if (GetParam() == TemporaryFileKind::Unnamed) kept.insert(dead);
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
