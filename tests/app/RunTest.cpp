#include <QAbstractButton>
#include <QTest>
#include <filesystem>

#include "app/WindowTest.h"
#include "folders/FolderScan.h"
#include "support/TestJpeg.h"

namespace quorvale::testing {
namespace {

namespace fs = std::filesystem;

using Lines = std::vector<std::string>;

// The text of an OK box the run asks for.
std::string Box(Notice kind) {
  RunNotice notice;
  notice.kind = kind;
  return NoticeText(notice);
}

// What the window shows of its run state at one moment.
struct Snapshot {
  bool runEnabled;
  bool cancelEnabled;
  bool progressShown;
  int progress;
  int choicesEnabled;  // of the folder buttons, the subfolder button and the size buttons
  bool runActive;
  friend bool operator==(const Snapshot&, const Snapshot&) = default;
};
const Snapshot Idle{true, false, false, -1, 21, false};

class Run : public WindowTest {
 protected:
  void Photo(const std::string& relative, int width = 640, int height = 480) {
    box.Write(relative, MakeJpeg(width, height, PhotoPixel));
  }
  // The in/ and out/ folders chosen by browsing.
  void ChooseFolders() {
    box.Fill({"in/", "out/"});
    BrowseInput(box.Path("in"));
    BrowseOutput(box.Path("out"));
  }
  Snapshot Take(bool withProgress = false) {
    auto* progress = Control<QProgressBar>("progressBar");
    int choices = 0;
    for (QWidget* choice : Control<QWidget>("sizeGroup")->findChildren<QAbstractButton*>()) {
      choices += choice->isEnabled();
    }
    for (const char* name : {"browseInputButton", "browseOutputButton", "newSubfolderButton"}) {
      choices += Enabled(name);
    }
    const int shown = withProgress ? progress->value() : -1;
    return {Enabled("runButton"),
            Enabled("cancelButton"),
            progress->isVisibleTo(&window),
            shown,
            choices,
            window.RunActive()};
  }
  // Runs `action` while the first question of the run is up.
  void AtTheQuestion(std::function<void()> action) {
    dialogs.onBox = [action](const ScriptedDialogs::Box& shown) {
      if (shown.kind == "yesno") action();
    };
  }
};

TEST_F(Run, SavesEveryPhotoShowingItsProgressAndSummary) {
  Photo("in/a.jpg");
  Photo("in/c.jpg", 800, 600);
  Photo("in/sub/b.jpg", 480, 640);
  ChooseFolders();
  Snapshot atSummary{};
  std::string statusAtSummary;
  dialogs.onBox = [&](const ScriptedDialogs::Box&) {
    atSummary = Take(true);
    statusAtSummary = Status();
  };
  PressRunAndWait();

  EXPECT_EQ(atSummary, (Snapshot{false, true, true, 100, 0, true}));
  EXPECT_EQ(Take(), Idle);
  const std::string summary = SummaryText(false, {3, 0, 0});
  EXPECT_EQ(statusAtSummary, summary) << "not 処理中… while the box is up";
  EXPECT_EQ(dialogs.Texts("message"), Lines{summary});
  EXPECT_EQ(dialogs.boxes.at(0).caption, "Quorvale（Tessaly付属ツール）");
  EXPECT_EQ(Status(), summary);
  EXPECT_EQ(LogLines(),
            (Lines{box.Path("in/a.jpg"), box.Path("in/c.jpg"), box.Path("in/sub/b.jpg")}));
  for (const char* saved : {"out/a.jpg", "out/c.jpg", "out/sub/b.jpg"}) {
    EXPECT_EQ(box.Read(saved).substr(0, 2), "\xFF\xD8") << saved;
  }
}

TEST_F(Run, TheLogIsUpToDateWhenAQuestionIsAskedAndOptionsAreReadForEachPhoto) {
  Photo("in/a.jpg", 300, 200);
  box.Fill({"in/b.jpg"});  // text, not a photo
  Photo("in/c.jpg", 300, 200);
  Photo("other/d.jpg");
  ChooseFolders();
  Lines logAtQuestion;
  Snapshot atQuestion{};
  AtTheQuestion([&] {
    logAtQuestion = LogLines();
    atQuestion = Take();
    // The folders and the size are fixed; the photo options are not.
    dialogs.folders = {box.Path("other"), box.Path("other")};
    QTest::mouseClick(Button("browseInputButton"), Qt::LeftButton);
    QTest::mouseClick(Button("browseOutputButton"), Qt::LeftButton);
    QTest::mouseClick(Button("sizeVgaButton"), Qt::LeftButton);
    window.DropFolders({box.Path("other")});
    Button("skipSmallCheck")->click();
  });
  PressRunAndWait();

  EXPECT_EQ(atQuestion, (Snapshot{false, true, true, -1, 0, true}));
  Lines log = Logged({{box.Path("in/a.jpg"), PhotoOutcome::SkippedSmall},
                      {box.Path("in/b.jpg"), PhotoOutcome::Unreadable},
                      {box.Path("in/c.jpg"), PhotoOutcome::Saved}});
  EXPECT_EQ(LogLines(), log);
  log.resize(3);
  EXPECT_EQ(logAtQuestion, log);
  EXPECT_EQ(dialogs.Texts("yesno"),
            Lines{QuestionText({Question::Unreadable, box.Path("in/b.jpg")})});
  EXPECT_EQ(Status(), SummaryText(false, {1, 1, 1}));
  EXPECT_EQ(window.InputFolderText(), box.Path("in") + "/");
  EXPECT_EQ(window.OutputFolderText(), box.Path("out") + "/");
  EXPECT_TRUE(Button("sizeLButton")->isChecked());
  EXPECT_TRUE(fs::exists(box.Path("out/c.jpg")));
  EXPECT_FALSE(fs::exists(box.Path("out/a.jpg")));
  EXPECT_EQ(Take(), Idle);
}

TEST_F(Run, CancelAClosedWindowAndYesStopTheRun) {
  box.Fill({"in/a.jpg"});
  Photo("in/b.jpg");
  ChooseFolders();
  window.show();
  const Lines atB = Logged({{box.Path("in/a.jpg"), PhotoOutcome::Unreadable},
                            {box.Path("in/b.jpg"), PhotoOutcome::Stopped}});
  const Lines cancelled{Box(Notice::Cancelled), SummaryText(true, {0, 1, 0})};
  const struct {
    std::string how;  // at the question on a.jpg
    Lines log;
    Lines messages;
  } ways[] = {
      {"cancel", atB, cancelled},
      {"yes", Logged({{box.Path("in/a.jpg"), PhotoOutcome::Stopped}}), {SummaryText(true, {})}},
      {"close", atB, cancelled},  // the window closes after the run
  };
  // Each run starts afresh: the last one's stop is forgotten.
  for (const auto& way : ways) {
    dialogs.boxes.clear();
    dialogs.answers = {way.how == "yes"};
    bool closedAtQuestion = false;
    AtTheQuestion([&] {
      if (way.how == "cancel") Button("cancelButton")->click();
      if (way.how == "close") closedAtQuestion = window.close();
    });
    PressRunAndWait();
    EXPECT_EQ(dialogs.Texts("message"), way.messages) << way.how;
    EXPECT_EQ(LogLines(), way.log) << way.how;
    EXPECT_EQ(window.CancelRequested(), way.how != "yes") << way.how;
    EXPECT_EQ(window.isVisible(), way.how != "close") << way.how;
    EXPECT_FALSE(closedAtQuestion);
    EXPECT_FALSE(fs::exists(box.Path("out/b.jpg"))) << way.how;
  }
  EXPECT_EQ(Take(), Idle);
}

TEST_F(Run, FailedChecksShowTheirBoxAndChangeNothing) {
  box.Fill({"in/notes.txt", "out/"});
  PressRunAndWait();
  BrowseInput(box.Path("in"));
  PressRunAndWait();
  BrowseOutput(box.Path("out"));
  PressRunAndWait();
  EXPECT_EQ(
      dialogs.Texts("message"),
      (Lines{Box(Notice::NoInputFolder), Box(Notice::NoOutputFolder), Box(Notice::NoJpegFiles)}));
  EXPECT_EQ(Take(), Idle);
  EXPECT_TRUE(LogLines().empty());
  EXPECT_EQ(Status(), ScanSummaryText({0, 1, 0}));
}

TEST_F(Run, AWindowDestroyedDuringARunStopsItAndWaitsForIt) {
  box.Fill({"in/a.jpg"});
  Photo("in/b.jpg");
  ChooseFolders();
  {
    // Its boxes are never shown: the GUI thread takes no event before the
    // window is gone, and the run's question is answered Yes unseen.
    MainWindow doomed(dialogs);
    dialogs.folders = {box.Path("in"), box.Path("out")};
    doomed.BrowseInputFolder();
    doomed.BrowseOutputFolder();
    doomed.StartRun();
  }
  EXPECT_TRUE(dialogs.boxes.empty());
  EXPECT_FALSE(fs::exists(box.Path("out/b.jpg")));
}

}  // namespace
}  // namespace quorvale::testing
