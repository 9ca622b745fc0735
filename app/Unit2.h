#pragma once

#include <QDialog>
#include <QTimer>
#include <memory>

#include "app/Dialogs.h"

namespace Ui {
class TForm2;
}

namespace quorvale {

// The web address of the author's page, opened by a click on the splash.
inline constexpr const char* AuthorPageAddress = "https://tessaly.example/";

// How long the splash stays up once shown, in milliseconds.
inline constexpr int SplashMilliseconds = 10000;

// The splash window: a frameless 800 x 600 picture centred on the screen,
// with a red line of text along its foot. Showing it starts Timer1; when the
// timer fires the splash closes itself, which ends a modal showing. A click
// on the picture or the text opens AuthorPageAddress and changes nothing
// else. The operator cannot close it early.
class TForm2 : public QDialog {
  Q_OBJECT

 public:
  TForm2(Dialogs& dialogs, QWidget* owner);
  ~TForm2() override;

  // Timer1 as stored: 5000 ms, not running.
  QTimer& Timer1() { return timer1_; }

  void FormShow();
  void Timer1Timer();
  void Image1Click();
  void Label2Click();

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  std::unique_ptr<Ui::TForm2> ui_;
  Dialogs& dialogs_;
  QTimer timer1_;
  bool timerFired_ = false;
};

// The splash being shown, as the main window's FormShow stored it.
extern TForm2* Form2;

}  // namespace quorvale
