#include "batch/SavePhoto.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/PhotoBitmap.h"
#include "support/Sandbox.h"
#include "support/Unprivileged.h"

namespace quorvale {
namespace {

using testing::Sandbox;

Bitmap PhotoBitmap(int width, int height) {
  return testing::PhotoBitmap(width, height, 7, 5);
}

std::string Bytes(const std::vector<std::uint8_t>& bytes) {
  return std::string(bytes.begin(), bytes.end());
}

std::set<std::string> Listing(const std::string& folder) {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    names.insert(entry.path().filename().string());
  }
  return names;
}

class JpegFileSave : public ::testing::Test {
 protected:
  Sandbox sandbox;
  Bitmap photo = PhotoBitmap(45, 31);
};

TEST_F(JpegFileSave, RefusesPathsOfAtMostTwoBytes) {
  for (const std::string path : {"", "a", "ab"}) {
    const SaveResult result = SaveJpegFile(photo, path, 90);
    EXPECT_EQ(result.status, SaveStatus::NoPath) << path;
    EXPECT_EQ(result.error, 0) << path;
  }
  EXPECT_TRUE(Listing(sandbox.Root()).empty());
}

TEST_F(JpegFileSave, CreatesMissingFolders) {
  const std::string folder = sandbox.Path("new1/new2");
  const SaveResult result = SaveJpegFile(photo, folder + "/a.jpg", 90);
  ASSERT_EQ(result.status, SaveStatus::Saved);
  EXPECT_EQ(result.error, 0);
  EXPECT_EQ(result.folder, folder);
  EXPECT_EQ(Listing(folder), std::set<std::string>{"a.jpg"});
  EXPECT_EQ(sandbox.Read("new1/new2/a.jpg"), Bytes(*EncodeJpeg(photo, 90)));
}

TEST_F(JpegFileSave, ReportsTheFolderThatCannotBeCreatedWithTheReason) {
  sandbox.Write("blocker", "a file where a folder should be");
  sandbox.Fill({"ro/"});
  ASSERT_EQ(chmod(sandbox.Path("ro").c_str(), 0555), 0);
  struct Row {
    std::string folder;
    int error;
    bool needsPermissions;  // root creates folders anywhere
  } rows[] = {
      {sandbox.Path("blocker/sub"), ENOTDIR, false},
      {sandbox.Path("blocker"), ENOTDIR, false},
      {sandbox.Path(std::string(300, 'n') + "/sub"), ENAMETOOLONG, false},
      {sandbox.Path("ro/new/sub"), EACCES, true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.folder.substr(sandbox.Root().size()));
    if (row.needsPermissions && geteuid() == 0) continue;
    const SaveResult result = SaveJpegFile(photo, row.folder + "/a.jpg", 90);
    EXPECT_EQ(result.status, SaveStatus::FolderNotCreated);
    EXPECT_EQ(result.error, row.error) << std::strerror(result.error);
    EXPECT_EQ(result.folder, row.folder);
  }
  EXPECT_EQ(sandbox.Read("blocker"), "a file where a folder should be");
  EXPECT_EQ(Listing(sandbox.Root()), (std::set<std::string>{"blocker", "ro"}));
  EXPECT_TRUE(Listing(sandbox.Path("ro")).empty());
}

// The folders are made, and a file replaced, only for a photo that is there
// to be written.
TEST_F(JpegFileSave, EncoderErrorCreatesNoFolderAndKeepsTheOldFile) {
  photo.SetSize(0, 31);
  const SaveResult result = SaveJpegFile(photo, sandbox.Path("new1/new2/a.jpg"), 90);
  EXPECT_EQ(result.status, SaveStatus::WriteFailed);
  EXPECT_EQ(result.error, 0);
  EXPECT_EQ(result.folder, sandbox.Path("new1/new2"));
  EXPECT_TRUE(Listing(sandbox.Root()).empty());
  sandbox.Write("old.jpg", "old contents");
  EXPECT_EQ(SaveJpegFile(photo, sandbox.Path("old.jpg"), 90).status, SaveStatus::WriteFailed);
  EXPECT_EQ(sandbox.Read("old.jpg"), "old contents");
}

TEST_F(JpegFileSave, EncodesAtTheQualityOfEachCall) {
  for (int quality : {0, 100, 37}) {
    ASSERT_EQ(SaveJpegFile(photo, sandbox.Path("q.jpg"), quality).status, SaveStatus::Saved);
    EXPECT_EQ(sandbox.Read("q.jpg"), Bytes(*EncodeJpeg(photo, quality))) << quality;
  }
}

TEST_F(JpegFileSave, RefusesATargetThatIsAFolder) {
  sandbox.Fill({"out.jpg/inner.txt"});
  for (const std::string& path :
       {sandbox.Path("out.jpg"), sandbox.Path("out.jpg/"), sandbox.Path("missing/")}) {
    const SaveResult result = SaveJpegFile(photo, path, 90);
    EXPECT_EQ(result.status, SaveStatus::WriteFailed) << path;
    EXPECT_EQ(result.error, EISDIR) << path;
  }
  EXPECT_EQ(Listing(sandbox.Path("out.jpg")), std::set<std::string>{"inner.txt"});
  EXPECT_EQ(Listing(sandbox.Root()), std::set<std::string>{"out.jpg"});
}

TEST_F(JpegFileSave, ReadOnlyFolderIsAWriteFailureAndGetsNoFile) {
  sandbox.Fill({"locked/"});
  ASSERT_EQ(chmod(sandbox.Path("locked").c_str(), 0555), 0);
  testing::RunUnprivileged(sandbox, [&] {
    const SaveResult result = SaveJpegFile(photo, sandbox.Path("locked/a.jpg"), 90);
    EXPECT_EQ(result.status, SaveStatus::WriteFailed);
    EXPECT_EQ(result.error, EACCES);
  });
  EXPECT_TRUE(Listing(sandbox.Path("locked")).empty());
}

// What a run that skips existing outputs takes as done: a complete JPEG,
// not one cut short, nor the empty file that reserves a name on a file
// system without link().
TEST(EndsWithEndOfImage, OnlyACompleteFileCountsAsDone) {
  Sandbox sandbox;
  const std::string whole = Bytes(*EncodeJpeg(PhotoBitmap(16, 16), 90));
  sandbox.Write("whole.jpg", whole);
  sandbox.Write("cut.jpg", whole.substr(0, whole.size() - 1));
  sandbox.Write("empty.jpg", "");
  sandbox.Fill({"folder.jpg/"});
  for (const auto& [name, done] : {std::pair{"whole.jpg", true},
                                   {"cut.jpg", false},
                                   {"empty.jpg", false},
                                   {"folder.jpg", false},
                                   {"missing.jpg", false}}) {
    EXPECT_EQ(EndsWithEndOfImage(sandbox.Path(name)), done) << name;
  }
}

}  // namespace
}  // namespace quorvale
