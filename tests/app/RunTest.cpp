#include <QCoreApplication>
#include <QMetaObject>
#include <QTest>
#include <filesystem>

#include "app/WindowTest.h"
#include "support/TestJpeg.h"

namespace quorvale::testing {
namespace {

namespace fs = std::filesystem;

const char* const Caption = "Quorvale（Tessaly付属ツール）";

// What the window shows of its run state at one moment.
struct Snapshot {
  bool runEnabled;
  bool cancelEnabled;
  bool progressShown;
  int progress;
  bool runActive;
  friend bool operator==(const Snapshot&, const Snapshot&) = default;
};
const Snapshot Idle{true, false, false, -1, false};

class Run : public WindowTest {
 protected:
  void Photo(const std::string& relative, int width, int height) {
    box.Write(relative, MakeJpeg(width, height, PhotoPixel));
  }
  // The in/ and out/ folders chosen by browsing.
  void ChooseFolders() {
    box.Fill({"in/", "out/"});
    BrowseInput(box.Path("in"));
    BrowseOutput(box.Path("out"));
  }
  Snapshot Take(bool withProgress = false) {
    auto* progress = Control<QProgressBar>("ProgressBar1");
    return {Enabled("BitBtn2"), Enabled("BitBtn3"), !progress->isHidden(),
            withProgress ? progress->value() : -1, form.RunActive()};
  }
  // Runs `action` at the first point where the run processes pending events.
  void AtFirstPump(std::function<void()> action) {
    QMetaObject::invokeMethod(&form, std::move(action), Qt::QueuedConnection);
  }
  void PressRun() { Button("BitBtn2")->click(); }
};

TEST_F(Run, ThreeFilesAreSavedWithLogStatusAndSummary) {
  Photo("in/a.jpg", 640, 480);
  Photo("in/c.jpg", 800, 600);
  Photo("in/sub/b.jpg", 480, 640);
  ChooseFolders();

  Snapshot atPump{};
  std::vector<std::string> logAtPump;
  AtFirstPump([&] {
    atPump = Take(true);
    logAtPump = MemoLines();
  });
  Snapshot atSummary{};
  dialogs.onBox = [&](const ScriptedDialogs::Box&) { atSummary = Take(true); };
  EXPECT_EQ(Take(), Idle);
  PressRun();

  EXPECT_EQ(atPump, (Snapshot{false, true, true, 0, true}));
  EXPECT_EQ(logAtPump, std::vector<std::string>{box.Path("in/a.jpg")});
  EXPECT_EQ(atSummary, (Snapshot{false, true, true, 100, true}));
  EXPECT_EQ(Take(), Idle);

  const std::string summary =
      "作業が終了しました。保存ファイル数    3  エラー    0   スキップ     0";
  ASSERT_EQ(dialogs.boxes.size(), 1u);
  EXPECT_EQ(dialogs.boxes[0].kind, "message");
  EXPECT_EQ(dialogs.boxes[0].caption, Caption);
  EXPECT_EQ(dialogs.boxes[0].text, summary);
  EXPECT_EQ(Status(), summary);
  EXPECT_EQ(MemoLines(), (std::vector<std::string>{box.Path("in/a.jpg"), box.Path("in/c.jpg"),
                                                   box.Path("in/sub/b.jpg")}));
  for (const char* saved : {"out/a.jpg", "out/c.jpg", "out/sub/b.jpg"}) {
    EXPECT_EQ(box.Read(saved).substr(0, 2), "\xFF\xD8") << saved;
  }
}

TEST_F(Run, SkippedAndUnreadableFilesAreLoggedAndCounted) {
  Photo("in/a.jpg", 300, 200);
  box.Fill({"in/b.jpg"});  // text, not a photo
  Photo("in/c.jpg", 640, 480);
  ChooseFolders();
  dialogs.answers = {false};
  PressRun();

  EXPECT_EQ(dialogs.Texts("yesno"),
            std::vector<std::string>{"JPEGファイルを読み込めませんでした。中断しますか？\n\n" +
                                     box.Path("in/b.jpg")});
  EXPECT_EQ(MemoLines(),
            (std::vector<std::string>{box.Path("in/a.jpg"), "320px×240px以下なのでスキップ",
                                      box.Path("in/b.jpg"), "JPEGファイルを読み込めません",
                                      box.Path("in/c.jpg")}));
  EXPECT_EQ(Status(), "作業が終了しました。保存ファイル数    1  エラー    1   スキップ     1");
  EXPECT_EQ(Take(), Idle);
  EXPECT_TRUE(fs::exists(box.Path("out/c.jpg")));
  EXPECT_FALSE(fs::exists(box.Path("out/a.jpg")));
}

TEST_F(Run, CancelClickedDuringTheRunStopsAtTheNextFile) {
  Photo("in/a.jpg", 640, 480);
  Photo("in/b.jpg", 640, 480);
  ChooseFolders();
  AtFirstPump([&] { QTest::mouseClick(Button("BitBtn3"), Qt::LeftButton); });
  PressRun();

  EXPECT_EQ(dialogs.Texts("message"),
            (std::vector<std::string>{
                "中断しました。",
                "作業を中断しました。保存ファイル数    0  エラー    0   スキップ     0"}));
  EXPECT_EQ(MemoLines(), (std::vector<std::string>{box.Path("in/a.jpg"), "中断"}));
  EXPECT_TRUE(form.CancelRequested());
  EXPECT_EQ(Take(), Idle);
  EXPECT_FALSE(fs::exists(box.Path("out/a.jpg")));
}

TEST_F(Run, YesToAQuestionStopsTheRunAndLeavesTheExistingFile) {
  Photo("in/a.jpg", 640, 480);
  box.Write("out/a.jpg", "an earlier result");
  ChooseFolders();
  Snapshot atQuestion{};
  dialogs.onBox = [&](const ScriptedDialogs::Box& shown) {
    if (shown.kind == "yesno") atQuestion = Take();
  };
  dialogs.answers = {true};
  PressRun();

  EXPECT_EQ(atQuestion, (Snapshot{false, true, true, -1, true}));
  EXPECT_EQ(dialogs.Texts("yesno"),
            std::vector<std::string>{"既に同名のJPEGファイルが存在します。中断しますか？\n\n" +
                                     box.Path("out/a.jpg")});
  EXPECT_EQ(MemoLines(), (std::vector<std::string>{box.Path("in/a.jpg"), "中断"}));
  EXPECT_EQ(Status(), "作業を中断しました。保存ファイル数    0  エラー    0   スキップ     0");
  EXPECT_EQ(box.Read("out/a.jpg"), "an earlier result");
  EXPECT_EQ(Take(), Idle);
}

TEST_F(Run, FoldersCannotBeChangedWhileRunning) {
  Photo("in/a.jpg", 640, 480);
  Photo("in/b.jpg", 640, 480);
  Photo("other/c.jpg", 640, 480);
  ChooseFolders();
  Button("BitBtn4")->setEnabled(true);
  std::vector<bool> folderButtons;
  AtFirstPump([&] {
    for (const char* name : {"BitBtn8", "BitBtn1", "BitBtn4"})
      folderButtons.push_back(Enabled(name));
    dialogs.folders = {box.Path("other"), box.Path("other")};
    QTest::mouseClick(Button("BitBtn8"), Qt::LeftButton);
    QTest::mouseClick(Button("BitBtn1"), Qt::LeftButton);
    form.WMDropFiles({box.Path("other")});
  });
  PressRun();

  EXPECT_EQ(folderButtons, (std::vector<bool>{false, false, false}));
  EXPECT_EQ(form.InputFolderText(), box.Path("in") + "/");
  EXPECT_EQ(form.OutputFolderText(), box.Path("out") + "/");
  EXPECT_EQ(MemoLines(), (std::vector<std::string>{box.Path("in/a.jpg"), box.Path("in/b.jpg")}));
  EXPECT_TRUE(fs::exists(box.Path("out/a.jpg")));
  EXPECT_TRUE(fs::exists(box.Path("out/b.jpg")));
  EXPECT_FALSE(fs::exists(box.Path("other/a.jpg")));
  // Idle again: the folder buttons are back as they were.
  for (const char* name : {"BitBtn8", "BitBtn1", "BitBtn4"}) EXPECT_TRUE(Enabled(name)) << name;
}

TEST_F(Run, FailedChecksChangeNothing) {
  box.Fill({"in/notes.txt", "out/"});
  PressRun();
  BrowseInput(box.Path("in"));
  PressRun();
  BrowseOutput(box.Path("out"));
  PressRun();
  EXPECT_EQ(dialogs.Texts("message"),
            (std::vector<std::string>{"入力フォルダが指定されていません。",
                                      "出力フォルダが指定されていません。",
                                      "入力フォルダにJPEGファイルが存在しません。"}));
  EXPECT_EQ(Take(), Idle);
  EXPECT_EQ(Status(), "サブフォルダ数 0  全ファイル数 1   JPEGファイル数 0");
}

TEST_F(Run, ClosingTheWindowDuringARunLetsTheRunFinishFirst) {
  Photo("in/a.jpg", 640, 480);
  ChooseFolders();
  form.show();
  bool closedDuringRun = true;
  dialogs.onBox = [&](const ScriptedDialogs::Box&) { closedDuringRun = form.close(); };
  PressRun();

  EXPECT_FALSE(closedDuringRun);
  EXPECT_EQ(dialogs.Texts("message").size(), 1u);  // the summary was shown
  EXPECT_TRUE(fs::exists(box.Path("out/a.jpg")));
  EXPECT_TRUE(form.isVisible());
  QCoreApplication::processEvents();
  EXPECT_FALSE(form.isVisible());
}

}  // namespace
}  // namespace quorvale::testing
