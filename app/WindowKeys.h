#pragma once

#include <QObject>
#include <QPointer>

class QAbstractButton;
class QWidget;

namespace quorvale {

// The main window's keys beyond Qt's own: Enter (or Return) on a focused
// push button presses it, as Space does; Escape presses `cancel` when it is
// on (during a run), so a run is stopped as by a click on it. Lives as long
// as `window`, its parent.
class WindowKeys : public QObject {
 public:
  WindowKeys(QWidget& window, QAbstractButton& cancel);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QWidget& window_;
  QPointer<QAbstractButton> cancel_;
};

}  // namespace quorvale
