#pragma once

#include <QDialog>
#include <QTimer>
#include <memory>

#include "app/Dialogs.h"

namespace Ui {
class SplashScreen;
}

namespace quorvale {

// The web address of the author's page, opened by a click on the splash.
inline constexpr const char* AuthorPageAddress = "https://tessaly.example/";

// How long the splash stays up once shown, in milliseconds.
inline constexpr int SplashMilliseconds = 10000;

// The splash window: a frameless 800 x 600 picture centred on the screen,
// with a red line of text along its foot. Showing it starts the close timer;
// when the timer fires the splash closes itself, which ends a modal showing.
// A click on the picture or the text opens AuthorPageAddress and changes
// nothing else. The operator cannot close it early.
class SplashScreen : public QDialog {
  Q_OBJECT

 public:
  SplashScreen(Dialogs& dialogs, QWidget* owner);
  ~SplashScreen() override;

  // As stored: 5000 ms, not running, until the splash is shown.
  QTimer& CloseTimer() { return closeTimer_; }

  // The close timer has fired: the splash closes and the timer stays stopped.
  void TimeUp();
  void OpenAuthorPage();

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  std::unique_ptr<Ui::SplashScreen> ui_;
  Dialogs& dialogs_;
  QTimer closeTimer_;
  bool timeUp_ = false;
};

}  // namespace quorvale
