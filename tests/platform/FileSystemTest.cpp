#include <sys/stat.h>

#include <filesystem>

#include <gtest/gtest.h>

#include "platform/FileSystem.h"
#include "support/Sandbox.h"

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
  if (geteuid() == 0) GTEST_SKIP() << "root ignores permissions";
  Sandbox box;
  box.Fill({"ro/"});
  chmod(box.Path("ro").c_str(), 0555);
  EXPECT_FALSE(CreateFolders(box.Path("ro/new")));
}

TEST(FileExists, TrueForFilesOnly) {
  Sandbox box;
  box.Fill({"f", "d/"});
  EXPECT_TRUE(FileExists(box.Path("f")));
  EXPECT_FALSE(FileExists(box.Path("d")));
  EXPECT_FALSE(FileExists(box.Path("none")));
}

}  // namespace
}  // namespace quorvale
