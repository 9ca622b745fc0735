#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "folders/FolderChoice.h"
#include "platform/FileSystem.h"
#include "support/FakeWindow.h"
#include "support/Sandbox.h"

namespace quorvale {
namespace {

namespace fs = std::filesystem;
using testing::FakeWindow;
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

// ---- browsing ----

TEST(AcceptBrowsedFolder, CancelledDialogChangesNothingSilently) {
  Sandbox box;
  FakeWindow window;
  const std::string before = CurrentDirectory();
  for (const std::string& path : {std::string(), std::string("x")}) {
    EXPECT_EQ(AcceptBrowsedFolder(window, path), std::nullopt) << path;
  }
  EXPECT_TRUE(window.events.empty());
  EXPECT_EQ(CurrentDirectory(), before);
}

TEST(AcceptBrowsedFolder, UnusableFolderIsReported) {
  Sandbox box;
  box.Fill({"file.jpg"});
  for (const std::string& path : {box.Path("gone"), box.Path("file.jpg")}) {
    FakeWindow window;
    const std::string before = CurrentDirectory();
    EXPECT_EQ(AcceptBrowsedFolder(window, path), std::nullopt) << path;
    EXPECT_EQ(window.messages, std::vector<std::string>{kInvalidFolder});
    EXPECT_EQ(CurrentDirectory(), before);
  }
}

TEST(AcceptBrowsedFolder, FolderBecomesCurrentAndGetsOneSeparator) {
  Sandbox box;
  box.Fill({"写真 2008/a.jpg"});
  const std::string folder = box.Path("写真 2008");
  for (const std::string& path : {folder, folder + "/"}) {
    FakeWindow window;
    EXPECT_EQ(AcceptBrowsedFolder(window, path), folder + "/");
    EXPECT_EQ(CurrentDirectory(), fs::canonical(folder).string());
    EXPECT_TRUE(window.events.empty());
  }
}

TEST(AcceptBrowsedFolder, RootIsAFolderLikeAnyOther) {
  Sandbox box;
  FakeWindow window;
  EXPECT_EQ(AcceptBrowsedFolder(window, "/"), "/");
  EXPECT_EQ(CurrentDirectory(), "/");
  EXPECT_TRUE(window.events.empty());
}

// ---- dropping ----

TEST(ProcessDroppedFolder, EmptyDropTouchesNothing) {
  FakeWindow window;
  window.log = {"kept"};
  RunState state;
  state.JpegCount = 4;
  EXPECT_EQ(ProcessDroppedFolder(state, window, {}), std::nullopt);
  EXPECT_EQ(window.log, std::vector<std::string>{"kept"});
  EXPECT_EQ(state.JpegCount, 4);
  EXPECT_TRUE(window.events.empty());
}

TEST(ProcessDroppedFolder, OnlyTheFirstItemIsScannedAndReturnedUnchanged) {
  Sandbox box;
  box.Fill({"one/a.jpg", "one/s/b.jpg", "two/c.jpg", "three/d.jpg"});
  FakeWindow window;
  RunState state;
  const std::string before = CurrentDirectory();
  const auto chosen =
      ProcessDroppedFolder(state, window, {box.Path("one"), box.Path("two"), box.Path("three")});
  EXPECT_EQ(chosen, box.Path("one"));
  EXPECT_EQ(window.log, (std::vector<std::string>{box.Path("one/a.jpg"), box.Path("one/s/b.jpg")}));
  EXPECT_EQ(state.SubfolderCount, 1);
  EXPECT_EQ(state.FileCount, 2);
  EXPECT_EQ(state.JpegCount, 2);
  EXPECT_EQ(CurrentDirectory(), before);
  EXPECT_TRUE(window.statusTexts.empty());
}

TEST(ProcessDroppedFolder, DroppedFileIsTakenAndFindsNothing) {
  Sandbox box;
  box.Fill({"photo.jpg"});
  FakeWindow window;
  window.log = {"old"};
  RunState state;
  state.FileCount = 9;
  EXPECT_EQ(ProcessDroppedFolder(state, window, {box.Path("photo.jpg")}), box.Path("photo.jpg"));
  EXPECT_TRUE(window.log.empty());
  EXPECT_EQ(state.FileCount, 0);
}

TEST(ProcessDroppedFolder, ItemsWithoutAPathArePassedOver) {
  Sandbox box;
  box.Fill({"in/a.jpg"});
  FakeWindow window;
  RunState state;
  EXPECT_EQ(ProcessDroppedFolder(state, window, {"", box.Path("in")}), box.Path("in"));
  EXPECT_EQ(window.log, std::vector<std::string>{box.Path("in/a.jpg")});
  FakeWindow untouched;
  EXPECT_EQ(ProcessDroppedFolder(state, untouched, {""}), std::nullopt);
  EXPECT_TRUE(untouched.events.empty());
}

// ---- subfolder creation ----

class CreateOutputSubfolderTest : public ::testing::Test {
 protected:
  Sandbox box;
  FakeWindow window;
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
  EXPECT_EQ(CreateOutputSubfolder(window, out + "/", "2008"), out + "/2008/");
  EXPECT_TRUE(IsFolder(out + "/2008"));
  EXPECT_EQ(CreateOutputSubfolder(window, out, "2009"), out + "/2009/");
  EXPECT_TRUE(IsFolder(out + "/2009"));
  EXPECT_TRUE(window.events.empty());
}

TEST_F(CreateOutputSubfolderTest, NamesThatPassEveryTest) {
  const std::vector<std::string> names = {"   ", " x ", "a]b", "a|b", "写真２００８", "a\\b"};
  for (const std::string& name : names) {
    EXPECT_EQ(CreateOutputSubfolder(window, out + "/", name), out + "/" + name + "/") << name;
    EXPECT_TRUE(IsFolder(out + "/" + name)) << name;
  }
  EXPECT_TRUE(window.messages.empty());
}

TEST_F(CreateOutputSubfolderTest, SeparatorInTheNameMakesNestedFolders) {
  EXPECT_EQ(CreateOutputSubfolder(window, out, "a/b/c"), out + "/a/b/c/");
  EXPECT_TRUE(IsFolder(out + "/a/b/c"));
  // One separator is appended whatever the name ends with.
  EXPECT_EQ(CreateOutputSubfolder(window, out, "d/"), out + "/d//");
  EXPECT_TRUE(IsFolder(out + "/d"));
}

TEST_F(CreateOutputSubfolderTest, EmptyNameIsRefused) {
  EXPECT_EQ(CreateOutputSubfolder(window, out + "/", ""), std::nullopt);
  EXPECT_EQ(window.messages, std::vector<std::string>{kEmptyName});
  EXPECT_TRUE(OutContent().empty());
}

TEST_F(CreateOutputSubfolderTest, ForbiddenCharactersAreRefused) {
  std::vector<std::string> names = {"a:b", "a?b", "x<y", "写真:1"};
  for (const char c : std::string("<>'=?*;:\"")) names.push_back(std::string("n") + c);
  for (const std::string& name : names) {
    FakeWindow w;
    EXPECT_EQ(CreateOutputSubfolder(w, out + "/", name), std::nullopt) << name;
    EXPECT_EQ(w.messages, std::vector<std::string>{kForbidden}) << name;
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
    FakeWindow w;
    EXPECT_EQ(CreateOutputSubfolder(w, text, std::string(41, 'n')), std::nullopt);
    EXPECT_EQ(w.messages, std::vector<std::string>{kTooLong});
    EXPECT_FALSE(IsFolder(parent + "/" + std::string(41, 'n')));
  }
  const std::string name(40, 'n');
  EXPECT_EQ(CreateOutputSubfolder(window, parent, name), parent + "/" + name + "/");
  EXPECT_EQ((parent + "/" + name).size(), 2040u);
  EXPECT_TRUE(IsFolder(parent + "/" + name));
}

TEST_F(CreateOutputSubfolderTest, LengthIsCheckedBeforeTheDisk) {
  const std::string missing = box.Path("missing/" + std::string(60, 'm'));
  EXPECT_EQ(CreateOutputSubfolder(window, missing, std::string(1990, 'n')), std::nullopt);
  EXPECT_EQ(window.messages, std::vector<std::string>{kTooLong});
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
  EXPECT_EQ(CreateOutputSubfolder(window, out, kept + ": x"), out + "/" + kept + "/");
  EXPECT_TRUE(IsFolder(out + "/" + kept));
  EXPECT_TRUE(window.messages.empty());
}

TEST_F(CreateOutputSubfolderTest, ExistingFolderIsReportedWithItsPath) {
  box.Fill({"out/2008/"});
  for (const std::string& name : {std::string("2008"), std::string("."), std::string("..")}) {
    FakeWindow w;
    EXPECT_EQ(CreateOutputSubfolder(w, out + "/", name), std::nullopt) << name;
    EXPECT_EQ(w.messages, std::vector<std::string>{kExists + out + "/" + name}) << name;
  }
  EXPECT_EQ(CurrentDirectory(), fs::canonical(box.Root()).string());  // the one ".." named
}

TEST_F(CreateOutputSubfolderTest, CreationFailureIsReportedWithItsPath) {
  box.Fill({"out/file"});
  for (const std::string& name : {std::string("file"), std::string("file/sub")}) {
    FakeWindow w;
    EXPECT_EQ(CreateOutputSubfolder(w, out + "/", name), std::nullopt) << name;
    EXPECT_EQ(w.messages, std::vector<std::string>{kNotCreated + out + "/" + name}) << name;
  }
  EXPECT_EQ(OutContent(), std::vector<std::string>{"file"});
  EXPECT_FALSE(IsFolder(out + "/file"));
}

}  // namespace
}  // namespace quorvale
