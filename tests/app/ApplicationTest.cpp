#include <sys/wait.h>
#include <QApplication>
#include <QCoreApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <new>
#include <stdexcept>

#include "app/Application.h"
#include "app/QtDialogs.h"
#include "app/SplashScreen.h"
#include "app/WindowTest.h"
#include "support/TestJpeg.h"

namespace quorvale::testing {
namespace {

Application& App() {
  return *static_cast<Application*>(QCoreApplication::instance());
}

TEST(ErrorBoxText, AppendsAFullStopAfterCharactersAboveIt) {
  const struct {
    std::string text;
    std::string shown;
  } rows[] = {
      {"Out of memory", "Out of memory."},
      {"", ""},
      {"done.", "done."},
      {"a-", "a-"},    // 0x2D
      {"a/", "a/."},   // 0x2F
      {"50%", "50%"},  // 0x25
      {"code 0", "code 0."},
      {"ファイル", "ファイル."},
      {"終了。", "終了。."},  // a multi-byte character: its code is above 0x2E
  };
  for (const auto& row : rows) EXPECT_EQ(ErrorBoxText(row.text), row.shown) << row.text;
}

TEST(ApplicationTitle, IsTheApplicationNameAndNoDisplayNameIsPinned) {
  // A display name set on the application is appended by the platform to
  // every window title ("Quorvale（Tessaly付属ツール） — Quorvale"); without
  // one the display name follows the application name.
  EXPECT_EQ(QCoreApplication::applicationName().toStdString(), ApplicationTitle);
  const QString title = QCoreApplication::applicationName();
  QCoreApplication::setApplicationName("probe");
  const QString shown = QGuiApplication::applicationDisplayName();
  QCoreApplication::setApplicationName(title);
  EXPECT_EQ(shown.toStdString(), "probe");
}

TEST(EscapedErrorText, NamesOutOfMemoryAndLeavesOtherErrorsBlank) {
  EXPECT_EQ(EscapedErrorText(std::make_exception_ptr(std::bad_alloc())), "Out of memory");
  EXPECT_EQ(EscapedErrorText(std::make_exception_ptr(std::runtime_error("disk gone"))),
            "disk gone");
  EXPECT_EQ(EscapedErrorText(std::make_exception_ptr(42)), "");
}

TEST(ApplicationIcon, HasEveryDrawnSize) {
  const QIcon icon = ApplicationIcon();
  ASSERT_FALSE(icon.isNull());
  for (const int side : {16, 32, 48, 64, 128, 256}) {
    const QPixmap drawn = icon.pixmap(side);
    EXPECT_EQ(drawn.size(), QSize(side, side)) << side;
    // Not blank: the frame's dark outline is there at every size.
    const QImage image = drawn.toImage();
    bool inked = false;
    for (int y = 0; y < image.height() && !inked; ++y) {
      for (int x = 0; x < image.width() && !inked; ++x) inked = qGray(image.pixel(x, y)) < 128;
    }
    EXPECT_TRUE(inked) << side;
  }
}

using WindowIcons = WindowTest;

TEST_F(WindowIcons, EveryWindowShowsTheApplicationIcon) {
  const qint64 application = QApplication::windowIcon().cacheKey();
  ASSERT_FALSE(QApplication::windowIcon().isNull());
  SplashScreen splash{dialogs, &window};
  EXPECT_EQ(window.windowIcon().cacheKey(), application);
  EXPECT_EQ(splash.windowIcon().cacheKey(), application);

  // The boxes and the folder dialog of a real session.
  QtDialogs real;
  real.SetOwner(&window);
  std::vector<qint64> shown;
  const auto recordAndClose = [&shown] {
    QWidget* window = QApplication::activeModalWidget();
    ASSERT_NE(window, nullptr);
    shown.push_back(window->windowIcon().cacheKey());
    window->close();
  };
  QTimer::singleShot(0, recordAndClose);
  real.Message("Quorvale", "中断しました。");
  QTimer::singleShot(0, recordAndClose);
  real.BrowseFolder("入力フォルダの選択", "");
  EXPECT_EQ(shown, (std::vector<qint64>{application, application}));
}

// An object whose event handler throws whatever it was given.
class Thrower : public QObject {
 public:
  std::function<void()> raise;
  bool event(QEvent* event) override {
    if (event->type() == QEvent::User) raise();
    return QObject::event(event);
  }
};

class EscapedErrors : public WindowTest {
 protected:
  void SetUp() override { App().SetDialogs(&dialogs); }
  void TearDown() override { App().SetDialogs(nullptr); }
};

TEST_F(EscapedErrors, AreShownInTheErrorBoxAndTheLoopGoesOn) {
  Thrower thrower;
  QEvent event(QEvent::User);
  thrower.raise = [] { throw std::runtime_error("handler failed"); };
  EXPECT_FALSE(QCoreApplication::sendEvent(&thrower, &event));
  thrower.raise = [] { throw std::bad_alloc(); };
  QCoreApplication::sendEvent(&thrower, &event);
  thrower.raise = [] { throw 7; };
  QCoreApplication::sendEvent(&thrower, &event);

  ASSERT_EQ(dialogs.boxes.size(), 3u);
  for (const auto& shown : dialogs.boxes) {
    EXPECT_EQ(shown.kind, "error");
    EXPECT_EQ(shown.caption, "Quorvale");
  }
  EXPECT_EQ(dialogs.Texts("error"),
            (std::vector<std::string>{"handler failed.", "Out of memory.", ""}));
}

TEST_F(EscapedErrors, DuringARunLeaveTheWindowIdleAndUsable) {
  box.Write("in/a.jpg", MakeJpeg(640, 480, PhotoPixel));
  box.Fill({"out/a.jpg"});
  BrowseInput(box.Path("in"));
  BrowseOutput(box.Path("out"));
  window.show();

  // The same-name question fails in a way the run does not expect.
  dialogs.onBox = [](const ScriptedDialogs::Box& shown) {
    if (shown.kind == "yesno") throw 13;
  };
  PressRunAndWait();
  EXPECT_EQ(dialogs.Texts("error"), std::vector<std::string>{""});
  EXPECT_TRUE(Enabled("runButton"));
  EXPECT_FALSE(Enabled("cancelButton"));
  EXPECT_TRUE(Control<QProgressBar>("progressBar")->isHidden());
  EXPECT_FALSE(window.RunActive());

  dialogs.onBox = nullptr;
  dialogs.answers = {false};
  PressRunAndWait();
  EXPECT_EQ(Status(), SummaryText(false, {1, 0, 0}));
  EXPECT_NE(box.Read("out/a.jpg").substr(0, 2), "no");
}

TEST_F(EscapedErrors, AWindowThatCannotBeHadIsReportedAndTheProgramReturnsZero) {
  const int code =
      RunProgram(App(), []() -> std::unique_ptr<MainWindow> { throw std::bad_alloc(); });
  EXPECT_EQ(code, 0);
  EXPECT_EQ(dialogs.Texts("error"), std::vector<std::string>{"Out of memory."});
}

TEST(ProgramEntry, AnApplicationThatCannotStartStillEndsWithCodeZero) {
  // No such platform: the application object cannot be made.
  const std::string command = "timeout 60 env QT_QPA_PLATFORM=quorvale-no-such-platform '" +
                              std::string(QUORVALE_APP_EXE) + "' 2>&1";
  FILE* program = popen(command.c_str(), "r");
  ASSERT_NE(program, nullptr);
  std::string output;
  char chunk[512];
  while (const std::size_t n = std::fread(chunk, 1, sizeof chunk, program)) output.append(chunk, n);
  const int status = pclose(program);
  ASSERT_TRUE(WIFEXITED(status)) << output;
  EXPECT_EQ(WEXITSTATUS(status), 0) << output;
  EXPECT_NE(output.find("quorvale-no-such-platform"), std::string::npos) << output;
}

}  // namespace
}  // namespace quorvale::testing
