#include <fcntl.h>
#include <sys/stat.h>

#include <filesystem>

#include <gtest/gtest.h>

#include "platform/FileSystem.h"
#include "support/Sandbox.h"
#include "support/Unprivileged.h"

namespace quorvale {
namespace {

using testing::Sandbox;

TEST(ListFolder, SortsByNameBytesAndFollowsLinksToFolders) {
  Sandbox box;
  box.Fill({"b.jpg", "A.jpg", ".hidden", "sub/", "sub/x.jpg"});
  std::filesystem::create_directory_symlink(box.Path("sub"), box.Path("link"));
  const auto entries = ListFolder(box.Root());
  ASSERT_TRUE(entries.has_value());
  std::vector<std::string> names;
  for (const FolderEntry& e : *entries) names.push_back(e.name + (e.isFolder ? "/" : ""));
  EXPECT_EQ(names, (std::vector<std::string>{".hidden", "A.jpg", "b.jpg", "link/", "sub/"}));
  EXPECT_EQ((*entries)[3].id, (*entries)[4].id);
}

TEST(ListFolder, MissingFolderCannotBeListed) {
  Sandbox box;
  EXPECT_FALSE(ListFolder(box.Path("nothing")).has_value());
}

TEST(CreateFolders, MakesEveryMissingLevelAndRefusesAFileInTheWay) {
  Sandbox box;
  EXPECT_TRUE(CreateFolders(box.Path("a/b/c")));
  EXPECT_TRUE(IdentifyFolder(box.Path("a/b/c")).has_value());
  EXPECT_TRUE(CreateFolders(box.Path("a/b")));  // already there
  box.Fill({"file"});
  EXPECT_FALSE(CreateFolders(box.Path("file/sub")));
}

TEST(CreateFolders, FailsUnderAReadOnlyFolder) {
  Sandbox box;
  box.Fill({"ro/"});
  chmod(box.Path("ro").c_str(), 0555);
  testing::RunUnprivileged(box, [&] { EXPECT_FALSE(CreateFolders(box.Path("ro/new"))); });
}

TEST(FileExists, TrueForFilesOnly) {
  Sandbox box;
  box.Fill({"f", "d/"});
  EXPECT_TRUE(FileExists(box.Path("f")));
  EXPECT_FALSE(FileExists(box.Path("d")));
  EXPECT_FALSE(FileExists(box.Path("none")));
}

TEST(CopyModificationTime, GivesTheTargetTheSourcesTimeToTheNanosecond) {
  Sandbox box;
  box.Fill({"photo.jpg", "out/photo.jpg"});
  const struct timespec taken[2] = {{1000, 0}, {1262304000, 123456789}};  // 2010-01-01
  ASSERT_EQ(utimensat(AT_FDCWD, box.Path("photo.jpg").c_str(), taken, 0), 0);
  const struct timespec accessed[2] = {{1500000000, 5}, {1700000000, 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, box.Path("out/photo.jpg").c_str(), accessed, 0), 0);

  ASSERT_TRUE(CopyModificationTime(box.Path("photo.jpg"), box.Path("out/photo.jpg")));
  struct stat st {};
  ASSERT_EQ(stat(box.Path("out/photo.jpg").c_str(), &st), 0);
  EXPECT_EQ(st.st_mtim.tv_sec, 1262304000);
  EXPECT_EQ(st.st_mtim.tv_nsec, 123456789);
  EXPECT_EQ(st.st_atim.tv_sec, 1500000000) << "the access time stays";

  EXPECT_FALSE(CopyModificationTime(box.Path("none"), box.Path("out/photo.jpg")));
  EXPECT_FALSE(CopyModificationTime(box.Path("photo.jpg"), box.Path("none")));
}

}  // namespace
}  // namespace quorvale
