#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QTest>
#include <limits>

#include "app/ScriptedDialogs.h"
#include "app/SplashScreen.h"

namespace quorvale::testing {
namespace {

class Splash : public ::testing::Test {
 protected:
  ScriptedDialogs dialogs;
  SplashScreen splash{dialogs, nullptr};

  QLabel* Label(const char* name) {
    auto* label = splash.findChild<QLabel*>(name);
    EXPECT_NE(label, nullptr) << name;
    return label;
  }
};

TEST_F(Splash, IsAFramelessBlack800By600PictureWithItsRedLine) {
  EXPECT_EQ(splash.size(), QSize(800, 600));
  EXPECT_TRUE(splash.windowFlags().testFlag(Qt::FramelessWindowHint));
  EXPECT_EQ(splash.palette().color(QPalette::Window), QColor(Qt::black));
  EXPECT_EQ(splash.geometry().center(), QGuiApplication::primaryScreen()->geometry().center());

  QLabel* image = Label("picture");
  EXPECT_EQ(image->geometry(), QRect(0, 0, 800, 600));
  EXPECT_EQ(image->pixmap().size(), QSize(800, 600));

  QLabel* line = Label("clickHint");
  EXPECT_EQ(line->geometry(), QRect(200, 580, 265, 12));
  EXPECT_EQ(line->text().toStdString(), "画面をクリックするとＵＲＬをブラウザで開けます。");
  EXPECT_EQ(line->palette().color(QPalette::WindowText), QColor(Qt::red));
  EXPECT_TRUE(line->font().bold());
  EXPECT_EQ(line->font().pixelSize(), 12);
  EXPECT_FALSE(line->autoFillBackground());
}

TEST_F(Splash, CloseTimerIsStoredAt5000AndStoppedThenShowingStartsTenSeconds) {
  EXPECT_EQ(splash.CloseTimer().interval(), 5000);
  EXPECT_FALSE(splash.CloseTimer().isActive());
  splash.show();
  EXPECT_EQ(splash.CloseTimer().interval(), 10000);
  EXPECT_TRUE(splash.CloseTimer().isActive());
}

TEST_F(Splash, TimerClosesTheSplashAndStaysStopped) {
  splash.show();
  splash.TimeUp();
  EXPECT_FALSE(splash.isVisible());
  EXPECT_FALSE(splash.CloseTimer().isActive());
  EXPECT_EQ(splash.CloseTimer().interval(), std::numeric_limits<int>::max());
  EXPECT_EQ(splash.result(), QDialog::Rejected);
}

TEST_F(Splash, ClicksOpenTheAuthorPageAndCloseNothing) {
  splash.show();
  QTest::mouseClick(Label("picture"), Qt::LeftButton, {}, QPoint(400, 300));
  QTest::mouseClick(Label("clickHint"), Qt::LeftButton, {}, QPoint(10, 6));
  QTest::mouseClick(Label("picture"), Qt::LeftButton, {}, QPoint(20, 20));
  EXPECT_EQ(dialogs.urls, std::vector<std::string>(3, AuthorPageAddress));
  EXPECT_TRUE(splash.isVisible());
  EXPECT_TRUE(splash.CloseTimer().isActive());
  EXPECT_EQ(splash.CloseTimer().interval(), 10000);
}

TEST_F(Splash, NeitherEscapeNorACloseRequestEndsItEarly) {
  splash.show();
  QTest::keyClick(&splash, Qt::Key_Escape);
  EXPECT_FALSE(splash.close());
  EXPECT_TRUE(splash.isVisible());
  EXPECT_TRUE(splash.CloseTimer().isActive());
}

}  // namespace
}  // namespace quorvale::testing
