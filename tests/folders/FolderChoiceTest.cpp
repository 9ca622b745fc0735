#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "folders/FolderChoice.h"
#include "platform/FileSystem.h"
#include "support/Sandbox.h"

namespace quorvale {
namespace {

namespace fs = std::filesystem;
using testing::Sandbox;

const std::string kInvalidFolder = "入力フォルダの指定が無効か使用不能です。";
const std::string kEmptyName = "文字列が入力されていません。";
const std::string kForbidden = "不正な記号が含まれています。";
const std::string kTooLong = "フォルダ名が2040文字を超えています。";
const std::string kExists = "出力先フォルダが既に存在しています。\n";
const std::string kNotCreated = "出力先フォルダが作成出来ませんでした。\n";

bool IsFolder(const std::string& path) {
  return IdentifyFolder(path).has_value();
}

void ExpectChosen(const FolderChoice& choice, const std::string& folder) {
  EXPECT_EQ(choice.folder, folder);
  EXPECT_EQ(choice.message, "");
}

void ExpectRefused(const FolderChoice& choice, const std::string& message) {
  EXPECT_EQ(choice.folder, std::nullopt);
  EXPECT_EQ(choice.message, message);
}

// ---- browsing ----

TEST(AcceptBrowsedFolder, CancelledDialogGivesNothingAndNoMessage) {
  for (const std::string& path : {std::string(), std::string("x")}) {
    ExpectRefused(AcceptBrowsedFolder(path), "");
  }
}

TEST(AcceptBrowsedFolder, UnusableFolderIsReported) {
  Sandbox box;
  box.Fill({"file.jpg", "closed/"});
  ASSERT_EQ(chmod(box.Path("closed").c_str(), 0600), 0);
  std::vector<std::string> paths = {box.Path("gone"), box.Path("file.jpg"), box.Path("file.jpg/")};
  // Root enters a folder whatever its permission bits say.
  if (geteuid() != 0) paths.push_back(box.Path("closed"));
  for (const std::string& path : paths) {
    SCOPED_TRACE(path);
    ExpectRefused(AcceptBrowsedFolder(path), kInvalidFolder);
  }
}

TEST(AcceptBrowsedFolder, FolderGetsOneSeparator) {
  Sandbox box;
  box.Fill({"写真 2008/a.jpg"});
  const std::string folder = box.Path("写真 2008");
  for (const std::string& path : {folder, folder + "/"}) {
    ExpectChosen(AcceptBrowsedFolder(path), folder + "/");
  }
  ExpectChosen(AcceptBrowsedFolder("/"), "/");
}

// ---- dropping ----

TEST(FirstDroppedFolder, TakesTheFirstItemWithAPathAndEndsItInASeparator) {
  Sandbox box;
  box.Fill({"one/a.jpg", "two/", "photo.jpg"});
  const struct {
    const char* why;
    std::vector<std::string> items;
    std::optional<std::string> folder;
  } rows[] = {
      {"nothing dropped", {}, std::nullopt},
      {"no item with a path", {"", ""}, std::nullopt},
      {"the first of several",
       {box.Path("one"), box.Path("two"), box.Path("photo.jpg")},
       box.Path("one/")},
      {"already ending in a separator", {box.Path("two/"), box.Path("one")}, box.Path("two/")},
      {"items without a path passed over", {"", box.Path("two")}, box.Path("two/")},
      // Taken as it is: the scan that follows finds nothing in a file.
      {"a file", {box.Path("photo.jpg")}, box.Path("photo.jpg/")},
      {"the root", {"/"}, "/"},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(FirstDroppedFolder(row.items), row.folder) << row.why;
  }
}

// ---- subfolder creation ----

class CreateOutputSubfolderTest : public ::testing::Test {
 protected:
  Sandbox box;
  std::string out;

  void SetUp() override {
    box.Fill({"out/"});
    out = box.Path("out");
  }

  std::vector<std::string> OutContent() const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(out)) names.push_back(e.path().filename());
    std::sort(names.begin(), names.end());
    return names;
  }
};

TEST_F(CreateOutputSubfolderTest, CreatesTheFolderWithOrWithoutSeparatorOnTheOutputText) {
  const fs::path before = fs::current_path();
  ExpectChosen(CreateOutputSubfolder(out + "/", "2008"), out + "/2008/");
  EXPECT_TRUE(IsFolder(out + "/2008"));
  ExpectChosen(CreateOutputSubfolder(out, "2009"), out + "/2009/");
  EXPECT_TRUE(IsFolder(out + "/2009"));
  EXPECT_EQ(fs::current_path(), before);
}

TEST_F(CreateOutputSubfolderTest, NamesThatPassEveryTest) {
  const std::vector<std::string> names = {"   ", " x ", "a]b", "a|b", "写真２００８", "a\\b"};
  for (const std::string& name : names) {
    ExpectChosen(CreateOutputSubfolder(out + "/", name), out + "/" + name + "/");
    EXPECT_TRUE(IsFolder(out + "/" + name)) << name;
  }
}

TEST_F(CreateOutputSubfolderTest, SeparatorInTheNameMakesNestedFolders) {
  ExpectChosen(CreateOutputSubfolder(out, "a/b/c"), out + "/a/b/c/");
  EXPECT_TRUE(IsFolder(out + "/a/b/c"));
}

TEST_F(CreateOutputSubfolderTest, ANameEndingInASeparatorGetsNoSecondOne) {
  ExpectChosen(CreateOutputSubfolder(out, "d/"), out + "/d/");
  EXPECT_TRUE(IsFolder(out + "/d"));
}

TEST_F(CreateOutputSubfolderTest, EmptyNameIsRefused) {
  ExpectRefused(CreateOutputSubfolder(out + "/", ""), kEmptyName);
  EXPECT_TRUE(OutContent().empty());
}

TEST_F(CreateOutputSubfolderTest, ForbiddenCharactersAreRefused) {
  std::vector<std::string> names = {"a:b", "a?b", "x<y", "写真:1"};
  for (const char c : std::string("<>'=?*;:\"")) names.push_back(std::string("n") + c);
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    ExpectRefused(CreateOutputSubfolder(out + "/", name), kForbidden);
  }
  EXPECT_TRUE(OutContent().empty());
}

// Creates a folder whose path is exactly `length` bytes, in levels short
// enough for the file system.
std::string FolderOfLength(const Sandbox& box, std::size_t length) {
  std::string path = box.Root();
  while (path.size() < length) {
    const std::size_t left = length - path.size();
    std::size_t part = std::min<std::size_t>(200, left - 1);
    if (left - 1 - part == 1) --part;  // never leave room for a lone separator
    path += "/" + std::string(part, 'd');
  }
  EXPECT_TRUE(CreateFolders(path));
  return path;
}

TEST_F(CreateOutputSubfolderTest, OutputTextAndNameMayReachExactly2040Bytes) {
  const std::string parent = FolderOfLength(box, 1999);  // 2000 with its separator
  for (const std::string& text : {parent, parent + "/"}) {
    ExpectRefused(CreateOutputSubfolder(text, std::string(41, 'n')), kTooLong);
    EXPECT_FALSE(IsFolder(parent + "/" + std::string(41, 'n')));
  }
  const std::string name(40, 'n');
  ExpectChosen(CreateOutputSubfolder(parent, name), parent + "/" + name + "/");
  EXPECT_EQ((parent + "/" + name).size(), 2040u);
  EXPECT_TRUE(IsFolder(parent + "/" + name));
}

TEST_F(CreateOutputSubfolderTest, LengthIsCheckedBeforeTheDisk) {
  const std::string missing = box.Path("missing/" + std::string(60, 'm'));
  ExpectRefused(CreateOutputSubfolder(missing, std::string(1990, 'n')), kTooLong);
  EXPECT_FALSE(IsFolder(box.Path("missing")));
}

TEST_F(CreateOutputSubfolderTest, TypedTextIsCutTo2000BytesNotTrimmed) {
  // Nine levels of 199 bytes and a last one of 200 fill the 2000 bytes; the
  // ':' behind them is cut off before the character test.
  std::string kept;
  for (int i = 0; i < 9; ++i) kept += std::string(199, static_cast<char>('a' + i)) + "/";
  kept += std::string(200, 'z');
  ASSERT_EQ(kept.size(), 2000u);
  ASSERT_LE(out.size() + 1 + kept.size(), 2040u) << "temporary folder path too long";
  ExpectChosen(CreateOutputSubfolder(out, kept + ": x"), out + "/" + kept + "/");
  EXPECT_TRUE(IsFolder(out + "/" + kept));
}

TEST_F(CreateOutputSubfolderTest, ExistingFolderIsReportedWithItsPath) {
  box.Fill({"out/2008/"});
  const fs::path before = fs::current_path();
  for (const std::string& name : {std::string("2008"), std::string("."), std::string("..")}) {
    SCOPED_TRACE(name);
    ExpectRefused(CreateOutputSubfolder(out + "/", name), kExists + out + "/" + name);
  }
  EXPECT_EQ(fs::current_path(), before);
}

TEST_F(CreateOutputSubfolderTest, CreationFailureIsReportedWithItsPath) {
  box.Fill({"out/file"});
  for (const std::string& name : {std::string("file"), std::string("file/sub")}) {
    SCOPED_TRACE(name);
    ExpectRefused(CreateOutputSubfolder(out + "/", name), kNotCreated + out + "/" + name);
  }
  EXPECT_EQ(OutContent(), std::vector<std::string>{"file"});
  EXPECT_FALSE(IsFolder(out + "/file"));
}

}  // namespace
}  // namespace quorvale
