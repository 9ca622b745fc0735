#include <QCoreApplication>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>
#include <filesystem>

#include "app/WindowTest.h"

namespace quorvale::testing {
namespace {

namespace fs = std::filesystem;

const char* const Caption = "Quorvale（Tessaly付属ツール）";
const char* const Unusable = "入力フォルダの指定が無効か使用不能です。";

using Browsing = WindowTest;

TEST_F(Browsing, InputFolderIsScannedAndSummarised) {
  box.Fill({"in/a.jpg", "in/sub/b.JPG", "in/notes.txt"});
  BrowseInput(box.Path("in"));
  EXPECT_EQ(window.InputFolderText(), box.Path("in") + "/");
  EXPECT_EQ(EditText("inputFolderEdit"), box.Path("in") + "/");
  EXPECT_EQ(LogLines(), (std::vector<std::string>{box.Path("in/a.jpg"), box.Path("in/sub/b.JPG")}));
  EXPECT_EQ(Status(), "サブフォルダ数 1  全ファイル数 3   JPEGファイル数 2");
  // Choosing a folder never changes the current folder.
  EXPECT_NE(fs::current_path(), fs::path(box.Path("in")));
  EXPECT_TRUE(dialogs.boxes.empty());
}

TEST_F(Browsing, OutputFolderEnablesSubfolderButtonAndTouchesNothingElse) {
  box.Fill({"in/a.jpg", "out/"});
  BrowseInput(box.Path("in"));
  BrowseOutput(box.Path("out"));
  EXPECT_EQ(window.OutputFolderText(), box.Path("out") + "/");
  EXPECT_EQ(EditText("outputFolderEdit"), box.Path("out") + "/");
  EXPECT_TRUE(Enabled("newSubfolderButton"));
  EXPECT_EQ(LogLines(), std::vector<std::string>{box.Path("in/a.jpg")});
  EXPECT_EQ(Status(), "サブフォルダ数 0  全ファイル数 1   JPEGファイル数 1");
  EXPECT_EQ(window.LastScan().JpegCount, 1);

  // A later failed choice leaves the button enabled.
  BrowseOutput(box.Path("missing"));
  EXPECT_TRUE(Enabled("newSubfolderButton"));
}

TEST_F(Browsing, CancelChangesNothingAndShowsNothing) {
  box.Fill({"in/a.jpg", "out/"});
  BrowseInput(box.Path("in"));
  BrowseOutput(box.Path("out"));
  Button("browseInputButton")->click();  // the script has no folder left: cancelled
  Button("browseOutputButton")->click();
  EXPECT_EQ(dialogs.browses, 4);
  EXPECT_EQ(window.InputFolderText(), box.Path("in") + "/");
  EXPECT_EQ(window.OutputFolderText(), box.Path("out") + "/");
  EXPECT_EQ(LogLines(), std::vector<std::string>{box.Path("in/a.jpg")});
  EXPECT_EQ(Status(), "サブフォルダ数 0  全ファイル数 1   JPEGファイル数 1");
  EXPECT_TRUE(dialogs.boxes.empty());
}

TEST_F(Browsing, EachDialogOpensAtItsFieldElseTheOtherElseTheLastSessionsWithItsOwnTitle) {
  box.Fill({"in/a.jpg", "out/", "last/"});
  const std::string in = box.Path("in") + "/", out = box.Path("out") + "/";
  const char* const input = "入力フォルダの選択";
  const char* const output = "出力フォルダの選択";
  BrowseOutput(box.Path("out"));
  Button("browseInputButton")->click();  // cancelled
  BrowseInput(box.Path("in"));
  Button("browseInputButton")->click();
  Button("browseOutputButton")->click();
  using B = ScriptedDialogs::Browse;
  EXPECT_EQ(dialogs.browsed,
            (std::vector<B>{{output, ""}, {input, out}, {input, out}, {input, in}, {output, out}}));

  // Both fields empty: the folder the last session used, though the window
  // does not reopen with it.
  WindowSettings last;
  last.last.outputFolder = box.Path("last") + "/";
  ASSERT_TRUE(SaveWindowSettings(*OpenWindowSettings(), last));
  ScriptedDialogs fresh;
  MainWindow again(fresh);
  again.BrowseInputFolder();
  EXPECT_EQ(fresh.browsed, (std::vector<B>{{input, box.Path("last") + "/"}}));
}

TEST_F(Browsing, AFolderThatCannotBeEnteredIsRefusedWithTheSameMessageForBoth) {
  box.Fill({"in/a.jpg", "plain-file"});
  BrowseInput(box.Path("in"));
  BrowseInput(box.Path("plain-file"));
  BrowseOutput(box.Path("gone"));
  ASSERT_EQ(dialogs.boxes.size(), 2u);
  for (const auto& shown : dialogs.boxes) {
    EXPECT_EQ(shown.kind, "message");
    EXPECT_EQ(shown.caption, Caption);
    EXPECT_EQ(shown.text, Unusable);
  }
  EXPECT_EQ(window.InputFolderText(), box.Path("in") + "/");
  EXPECT_EQ(window.OutputFolderText(), "");
  EXPECT_FALSE(Enabled("newSubfolderButton"));
  EXPECT_EQ(LogLines(), std::vector<std::string>{box.Path("in/a.jpg")});
}

TEST_F(Browsing, APathThatIsNotUtf8KeepsItsBytes) {
  const std::string name = "\xff\xfe-photos";
  box.Fill({name + "/a.jpg"});
  BrowseInput(box.Path(name));
  EXPECT_EQ(window.InputFolderText(), box.Path(name) + "/");
  EXPECT_EQ(window.LastScan().JpegCount, 1);
  EXPECT_EQ(LogLines().size(), 1u);
  EXPECT_NE(EditText("inputFolderEdit").find("-photos/"), std::string::npos);
}

using Dropping = WindowTest;

TEST_F(Dropping, OnlyTheFirstItemIsScannedAndTakenWithItsSeparator) {
  box.Fill({"one/a.jpg", "one/b.jpg", "two/c.jpg", "three/d.jpg"});
  window.DropFolders({box.Path("one"), box.Path("two"), box.Path("three")});
  EXPECT_EQ(window.InputFolderText(), box.Path("one") + "/");
  EXPECT_EQ(EditText("inputFolderEdit"), box.Path("one") + "/");
  EXPECT_EQ(LogLines(), (std::vector<std::string>{box.Path("one/a.jpg"), box.Path("one/b.jpg")}));
  EXPECT_EQ(Status(), "サブフォルダ数 0  全ファイル数 2   JPEGファイル数 2");
  EXPECT_NE(fs::current_path(), fs::path(box.Path("one")));
}

TEST_F(Dropping, AFileIsTakenAsItIsAndFindsNothing) {
  box.Fill({"in/a.jpg", "photo.jpg"});
  BrowseInput(box.Path("in"));
  window.DropFolders({box.Path("photo.jpg")});
  EXPECT_EQ(window.InputFolderText(), box.Path("photo.jpg") + "/");
  EXPECT_TRUE(LogLines().empty());
  EXPECT_EQ(Status(), "サブフォルダ数 0  全ファイル数 0   JPEGファイル数 0");
}

TEST_F(Dropping, FileUrlsDroppedOnTheWindowArriveAsLocalPaths) {
  box.Fill({"in/a.jpg", "other/b.jpg"});
  QMimeData data;
  data.setUrls({QUrl::fromLocalFile(QString::fromStdString(box.Path("in"))),
                QUrl::fromLocalFile(QString::fromStdString(box.Path("other")))});
  QDragEnterEvent enter(QPoint(200, 300), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(&window, &enter);
  EXPECT_TRUE(enter.isAccepted());
  QDropEvent drop(QPointF(200, 300), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(&window, &drop);
  EXPECT_EQ(window.InputFolderText(), box.Path("in") + "/");
  EXPECT_EQ(LogLines(), std::vector<std::string>{box.Path("in/a.jpg")});
}

TEST_F(Dropping, ADroppedPathThatIsNotUtf8KeepsItsBytes) {
  // The shell percent-encodes the name's bytes as they are.
  const std::string name = "\xff\xfe-photos";
  box.Fill({name + "/a.jpg"});
  QMimeData data;
  data.setData(
      "text/uri-list",
      "file://" + QByteArray::fromStdString(box.Path(name)).toPercentEncoding("/") + "\r\n");
  // Dropped on the input folder's edit, which passes it on to the window.
  QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(Control<QWidget>("inputFolderEdit"), &enter);
  EXPECT_TRUE(enter.isAccepted());
  QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(Control<QWidget>("inputFolderEdit"), &drop);
  EXPECT_EQ(window.InputFolderText(), box.Path(name) + "/");
  EXPECT_EQ(window.LastScan().JpegCount, 1);
  EXPECT_EQ(LogLines().size(), 1u);
}

TEST_F(Dropping, NothingDroppedChangesNothing) {
  box.Fill({"in/a.jpg"});
  BrowseInput(box.Path("in"));
  window.DropFolders({});
  EXPECT_EQ(window.InputFolderText(), box.Path("in") + "/");
  EXPECT_EQ(LogLines(), std::vector<std::string>{box.Path("in/a.jpg")});
}

class Subfolder : public WindowTest {
 protected:
  void SetUp() override {
    box.Fill({"out/exists/"});
    BrowseOutput(box.Path("out"));
    out = box.Path("out") + "/";
  }
  // Types `name` into the prompt of the subfolder button.
  void Create(const std::optional<std::string>& name) {
    dialogs.typed.push_back(name);
    Button("newSubfolderButton")->click();
  }
  std::string out;
};

TEST_F(Subfolder, PromptAsksForANameOfAtMost255Characters) {
  Create(std::nullopt);
  ASSERT_EQ(dialogs.prompts.size(), 1u);
  EXPECT_EQ(dialogs.prompts[0].caption, "サブフォルダの作成");
  EXPECT_EQ(dialogs.prompts[0].prompt, "作成するサブフォルダ名");
  EXPECT_EQ(dialogs.prompts[0].maxChars, 255);
}

TEST_F(Subfolder, CreatedFoldersBecomeTheOutputFolder) {
  const struct {
    const char* typed;
    const char* made;   // the folder that exists afterwards
    const char* shown;  // the output folder's edit after out/
  } rows[] = {
      {"2008", "2008", "2008/"}, {"2009/", "2009", "2009/"},  // never a doubled separator
      {"a/b", "a/b", "a/b/"},                                 // every missing level is made
      {"   ", "   ", "   /"},                                 // blanks are a name
      {"写真", "写真", "写真/"},
  };
  for (const auto& row : rows) {
    BrowseOutput(box.Path("out"));
    Create(row.typed);
    EXPECT_TRUE(fs::is_directory(out + row.made)) << row.typed;
    EXPECT_EQ(window.OutputFolderText(), out + row.shown) << row.typed;
    EXPECT_EQ(EditText("outputFolderEdit"), out + row.shown) << row.typed;
    EXPECT_TRUE(Enabled("newSubfolderButton"));
  }
  EXPECT_TRUE(dialogs.boxes.empty());
}

TEST_F(Subfolder, RefusalsLeaveTheOutputFolderAndTheDiskAlone) {
  const struct {
    std::string typed;
    std::string message;
  } rows[] = {
      {"", "文字列が入力されていません。"},
      {"a:b", "不正な記号が含まれています。"},
      {"a?b", "不正な記号が含まれています。"},
      {"x<y", "不正な記号が含まれています。"},
      {"exists", "出力先フォルダが既に存在しています。\n" + out + "exists"},
      {".", "出力先フォルダが既に存在しています。\n" + out + "."},
      {"..", "出力先フォルダが既に存在しています。\n" + out + ".."},
  };
  for (const auto& row : rows) {
    dialogs.boxes.clear();
    Create(row.typed);
    ASSERT_EQ(dialogs.boxes.size(), 1u) << row.typed;
    EXPECT_EQ(dialogs.boxes[0].text, row.message);
    EXPECT_EQ(dialogs.boxes[0].caption, Caption);
    EXPECT_EQ(window.OutputFolderText(), out) << row.typed;
  }
  EXPECT_EQ(std::distance(fs::directory_iterator(out), fs::directory_iterator()), 1);
}

TEST_F(Subfolder, AFolderThatCannotBeMadeIsReported) {
  box.Fill({"out/blocker"});
  Create("blocker/inner");
  ASSERT_EQ(dialogs.boxes.size(), 1u);
  EXPECT_EQ(dialogs.boxes[0].text,
            "出力先フォルダが作成出来ませんでした。\n" + out + "blocker/inner");
  EXPECT_EQ(window.OutputFolderText(), out);
}

TEST_F(Subfolder, CancelChangesNothing) {
  Create(std::nullopt);
  EXPECT_TRUE(dialogs.boxes.empty());
  EXPECT_EQ(window.OutputFolderText(), out);
  EXPECT_EQ(std::distance(fs::directory_iterator(out), fs::directory_iterator()), 1);
}

}  // namespace
}  // namespace quorvale::testing
