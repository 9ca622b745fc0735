#pragma once

#include <QObject>
#include <QPointer>

class QAbstractButton;
class QMenuBar;
class QStyle;
class QWidget;

namespace quorvale {

// The main window's keys beyond Qt's own: Enter (or Return) on a focused
// push button presses it, as Space does; Escape presses `cancel` when it is
// on (during a run), so a run is stopped as by a click on it. Tab (and
// Shift+Tab) enter a group of radio buttons at its checked button and leave
// it with the next key press, as the arrows move within it. A menu of `bar`
// closed by Escape gives the focus back to the control that had it. Every
// button draws a focus ring that can be seen. Lives as long as `window`,
// its parent.
class WindowKeys : public QObject {
 public:
  WindowKeys(QWidget& window, QAbstractButton& cancel, QMenuBar& bar);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // Tab and Shift+Tab: the next control in the tab order that takes the
  // focus, past the rest of the group of `from`; true when it moved.
  bool MoveFocus(QWidget& from, bool forward);
  void MenuClosed();

  QWidget& window_;
  QPointer<QAbstractButton> cancel_;
  QMenuBar& bar_;
  QStyle* ringStyle_ = nullptr;
  QPointer<QWidget> lastFocus_;  // the control that last gave the focus away
};

}  // namespace quorvale
