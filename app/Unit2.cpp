#include "app/Unit2.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScreen>
#include <limits>

#include "app/Fonts.h"
#include "ui_Unit2.h"

namespace quorvale {

TForm2* Form2 = nullptr;

TForm2::TForm2(Dialogs& dialogs, QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::FramelessWindowHint), ui_(new Ui::TForm2), dialogs_(dialogs) {
  ui_->setupUi(this);
  setFont(WindowFont());
  setFixedSize(ui_->Image1->size());

  QPalette black = palette();
  black.setColor(QPalette::Window, Qt::black);
  setPalette(black);
  setAutoFillBackground(true);

  ui_->Label2->setFont(SplashTextFont());
  QPalette red = ui_->Label2->palette();
  red.setColor(QPalette::WindowText, Qt::red);
  ui_->Label2->setPalette(red);
  ui_->Label2->setAutoFillBackground(false);

  ui_->Image1->installEventFilter(this);
  ui_->Label2->installEventFilter(this);

  // A coarse timer may fire up to 5 % early or late; the splash stays its
  // ten seconds.
  timer1_.setTimerType(Qt::PreciseTimer);
  timer1_.setInterval(5000);
  connect(&timer1_, &QTimer::timeout, this, &TForm2::Timer1Timer);

  // Placing it now keeps QDialog from centring it over the main window,
  // which is not on screen yet.
  if (const QScreen* screen = owner ? owner->screen() : QGuiApplication::primaryScreen()) {
    move(screen->geometry().center() - rect().center());
  }
}

TForm2::~TForm2() {
  if (Form2 == this) Form2 = nullptr;
}

void TForm2::FormShow() {
  timer1_.setInterval(SplashMilliseconds);
  timer1_.start();
}

void TForm2::Timer1Timer() {
  timer1_.stop();
  timer1_.setInterval(std::numeric_limits<int>::max());
  timerFired_ = true;
  close();
}

void TForm2::Image1Click() {
  dialogs_.OpenUrl(AuthorPageAddress);
}

void TForm2::Label2Click() {
  dialogs_.OpenUrl(AuthorPageAddress);
}

void TForm2::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!event->spontaneous()) FormShow();
}

void TForm2::closeEvent(QCloseEvent* event) {
  // Only the timer closes the splash; the window manager's close request
  // (there is no frame, but a key shortcut may still send one) is refused.
  if (!timerFired_) {
    event->ignore();
    return;
  }
  QDialog::closeEvent(event);
}

void TForm2::keyPressEvent(QKeyEvent* event) {
  // Escape would reject the dialog; the splash has no way of closing early.
  if (event->key() == Qt::Key_Escape) {
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

bool TForm2::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseButtonRelease &&
      static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
    if (watched == ui_->Image1) {
      Image1Click();
      return true;
    }
    if (watched == ui_->Label2) {
      Label2Click();
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

}  // namespace quorvale
