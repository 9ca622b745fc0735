#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
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

// Thirty-six folders of 250-byte names: a path of more than 9000 bytes,
// which takes OpenLongPath more than one step.
std::vector<std::string> DeepFolders() {
  std::vector<std::string> folders;
  for (int i = 0; i < 36; ++i) folders.push_back(std::string(250, static_cast<char>('a' + i % 26)));
  return folders;
}

std::string ReadAll(int fd) {
  std::string bytes;
  char buffer[256];
  ssize_t n;
  while ((n = read(fd, buffer, sizeof buffer)) > 0) bytes.append(buffer, n);
  close(fd);
  return bytes;
}

TEST(LongPaths, EveryWrapperWorksBeyondThePathLimit) {
  Sandbox box;
  const std::string file = box.WriteDeep(DeepFolders(), "deep.jpg", "deep bytes");
  ASSERT_GT(file.size(), 2u * PATH_MAX);
  const std::string folder = file.substr(0, file.rfind('/'));

  EXPECT_EQ(ReadAll(OpenLongPath(file, O_RDONLY)), "deep bytes");
  EXPECT_TRUE(FileExists(file));
  EXPECT_FALSE(FileExists(folder));
  EXPECT_TRUE(IdentifyFolder(folder).has_value());
  const auto entries = ListFolder(folder);
  ASSERT_TRUE(entries.has_value());
  ASSERT_EQ(entries->size(), 1u);
  EXPECT_EQ((*entries)[0].name, "deep.jpg");
  box.Fill({"short"});
  const struct timespec past[2] = {{0, UTIME_OMIT}, {1000000000, 123456789}};
  ASSERT_EQ(utimensat(AT_FDCWD, box.Path("short").c_str(), past, 0), 0);
  struct stat deep {};
  struct stat copied {};
  ASSERT_TRUE(StatPath(file, deep));
  ASSERT_TRUE(SetModificationTime(box.Path("short"), StampOf(deep)));
  ASSERT_EQ(stat(box.Path("short").c_str(), &copied), 0);
  EXPECT_EQ(copied.st_mtim.tv_sec, deep.st_mtim.tv_sec);
  EXPECT_EQ(copied.st_mtim.tv_nsec, deep.st_mtim.tv_nsec);

  // Relative to the current folder, and with doubled separators inside.
  ASSERT_EQ(chdir(box.Root().c_str()), 0);
  EXPECT_EQ(ReadAll(OpenLongPath(file.substr(box.Root().size() + 1), O_RDONLY)), "deep bytes");
  std::string doubled = file;
  for (std::size_t at = doubled.find('/', 3000); at != std::string::npos && at < 4500;
       at = doubled.find('/', at + 2)) {
    doubled.insert(at, "/");
  }
  EXPECT_EQ(ReadAll(OpenLongPath(doubled, O_RDONLY)), "deep bytes");
}

TEST(LongPaths, FailuresKeepTheirErrno) {
  Sandbox box;
  const std::string file = box.WriteDeep(DeepFolders(), "deep.jpg", "x");
  struct Case {
    std::string path;
    int error;
  };
  const std::string missingStep = std::string(file).replace(file.size() - 300, 1, "Z");
  const Case cases[] = {
      {file + ".missing", ENOENT},
      {missingStep, ENOENT},
      {file + "/below", ENOTDIR},
      {box.Root() + "/" + std::string(5000, 'n'), ENAMETOOLONG},
  };
  for (const Case& c : cases) {
    errno = 0;
    EXPECT_EQ(OpenLongPath(c.path, O_RDONLY), -1) << c.path.size();
    EXPECT_EQ(errno, c.error) << c.path.size();
    EXPECT_FALSE(FileExists(c.path));
  }
}

TEST(FileExists, TrueForFilesOnly) {
  Sandbox box;
  box.Fill({"f", "d/"});
  EXPECT_TRUE(FileExists(box.Path("f")));
  EXPECT_FALSE(FileExists(box.Path("d")));
  EXPECT_FALSE(FileExists(box.Path("none")));
}

TEST(SetModificationTime, GivesTheTargetTheSourcesTimeToTheNanosecond) {
  Sandbox box;
  box.Fill({"photo.jpg", "out/photo.jpg"});
  const struct timespec taken[2] = {{1000, 0}, {1262304000, 123456789}};  // 2010-01-01
  ASSERT_EQ(utimensat(AT_FDCWD, box.Path("photo.jpg").c_str(), taken, 0), 0);
  const struct timespec accessed[2] = {{1500000000, 5}, {1700000000, 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, box.Path("out/photo.jpg").c_str(), accessed, 0), 0);

  struct stat st {};
  ASSERT_EQ(stat(box.Path("photo.jpg").c_str(), &st), 0);
  ASSERT_TRUE(SetModificationTime(box.Path("out/photo.jpg"), StampOf(st)));
  ASSERT_EQ(stat(box.Path("out/photo.jpg").c_str(), &st), 0);
  EXPECT_EQ(st.st_mtim.tv_sec, 1262304000);
  EXPECT_EQ(st.st_mtim.tv_nsec, 123456789);
  EXPECT_EQ(st.st_atim.tv_sec, 1500000000) << "the access time stays";

  EXPECT_FALSE(SetModificationTime(box.Path("none"), StampOf(st)));
}

}  // namespace
}  // namespace quorvale
