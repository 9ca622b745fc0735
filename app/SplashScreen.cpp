#include "app/SplashScreen.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScreen>
#include <limits>

#include "app/Fonts.h"
#include "ui_SplashScreen.h"

namespace quorvale {

SplashScreen::SplashScreen(Dialogs& dialogs, QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::FramelessWindowHint),
      ui_(new Ui::SplashScreen),
      dialogs_(dialogs) {
  ui_->setupUi(this);
  setFont(WindowFont());
  setFixedSize(ui_->picture->size());

  QPalette black = palette();
  black.setColor(QPalette::Window, Qt::black);
  setPalette(black);
  setAutoFillBackground(true);

  ui_->clickHint->setFont(SplashTextFont());
  QPalette red = ui_->clickHint->palette();
  red.setColor(QPalette::WindowText, Qt::red);
  ui_->clickHint->setPalette(red);
  ui_->clickHint->setAutoFillBackground(false);

  ui_->picture->installEventFilter(this);
  ui_->clickHint->installEventFilter(this);

  // A coarse timer may fire up to 5 % early or late; the splash stays its
  // ten seconds.
  closeTimer_.setTimerType(Qt::PreciseTimer);
  closeTimer_.setInterval(5000);
  connect(&closeTimer_, &QTimer::timeout, this, &SplashScreen::TimeUp);

  // Placing it now keeps QDialog from centring it over the main window,
  // which is not on screen yet.
  if (const QScreen* screen = owner ? owner->screen() : QGuiApplication::primaryScreen()) {
    move(screen->geometry().center() - rect().center());
  }
}

SplashScreen::~SplashScreen() = default;

void SplashScreen::TimeUp() {
  closeTimer_.stop();
  closeTimer_.setInterval(std::numeric_limits<int>::max());
  timeUp_ = true;
  close();
}

void SplashScreen::OpenAuthorPage() {
  dialogs_.OpenUrl(AuthorPageAddress);
}

void SplashScreen::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (event->spontaneous()) return;
  closeTimer_.setInterval(SplashMilliseconds);
  closeTimer_.start();
}

void SplashScreen::closeEvent(QCloseEvent* event) {
  // Only the timer closes the splash; the window manager's close request
  // (there is no frame, but a key shortcut may still send one) is refused.
  if (!timeUp_) {
    event->ignore();
    return;
  }
  QDialog::closeEvent(event);
}

void SplashScreen::keyPressEvent(QKeyEvent* event) {
  // Escape would reject the dialog; the splash has no way of closing early.
  if (event->key() == Qt::Key_Escape) {
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

bool SplashScreen::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseButtonRelease &&
      static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton &&
      (watched == ui_->picture || watched == ui_->clickHint)) {
    OpenAuthorPage();
    return true;
  }
  return QDialog::eventFilter(watched, event);
}

}  // namespace quorvale
