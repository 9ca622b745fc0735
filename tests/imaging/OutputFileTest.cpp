#include "imaging/OutputFile.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
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

// Hidden files of a process that is gone are removed by the first write into
// their folder; those of a live process, and look-alikes, are not.
TEST_P(OutputFile, FirstWriteRemovesStaleFilesOfDeadProcessesOnly) {
  const pid_t gone = fork();
  ASSERT_GE(gone, 0);
  if (gone == 0) _exit(0);
  ASSERT_EQ(waitpid(gone, nullptr, 0), gone);
  const std::string dead = ".quorvale-" + std::to_string(gone) + "-1-0-abc.tmp";
  const std::string live = ".quorvale-" + std::to_string(getppid()) + "-1-0-abc.tmp";
  box.Fill({dead, live, ".quorvale-notes.tmp", ".quorvale-" + std::to_string(gone) + "-1.txt"});
  box.Fill({"sub/" + dead});

  EXPECT_EQ(Write("a.jpg", "new"), 0);
  EXPECT_EQ(Listing(box.Root()),
            (std::set<std::string>{"a.jpg", live, ".quorvale-notes.tmp",
                                   ".quorvale-" + std::to_string(gone) + "-1.txt", "sub"}));
  EXPECT_EQ(Listing(box.Path("sub")), std::set<std::string>{dead});
}

TEST(TemporaryFileName, RecognisesOnlyItsOwnPattern) {
  struct Case {
    const char* name;
    bool matches;
    long pid;
  };
  const Case cases[] = {
      {".quorvale-123-4-0-1a2b.tmp", true, 123}, {".quorvale-9-x.tmp", true, 9},
      {".quorvale-123.tmp", false, 0},           {".quorvale--1-0.tmp", false, 0},
      {".quorvale-0-1.tmp", false, 0},           {".quorvale-12a-1.tmp", false, 0},
      {".quorvale-123-4-0-1a2b.tmpx", false, 0}, {"quorvale-123-4.tmp", false, 0},
      {".quorvale-12345678901-1.tmp", false, 0},
  };
  for (const Case& c : cases) {
    long pid = 0;
    EXPECT_EQ(IsTemporaryFileName(c.name, &pid), c.matches) << c.name;
    if (c.matches) {
      EXPECT_EQ(pid, c.pid) << c.name;
    }
  }
}

}  // namespace
}  // namespace quorvale
