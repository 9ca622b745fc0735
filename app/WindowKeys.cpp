#include "app/WindowKeys.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QProxyStyle>
#include <QPushButton>
#include <QRadioButton>
#include <QStyleOption>
#include <QWidget>

namespace quorvale {
namespace {

// The toolkit's focus rectangle is a pale line shown only after a key
// moved the focus; this one is a solid line in the selection colour,
// shown whenever the control has the focus.
class FocusRingStyle : public QProxyStyle {
 public:
  void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override {
    if (element != PE_FrameFocusRect) {
      QProxyStyle::drawPrimitive(element, option, painter, widget);
      return;
    }
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing, false);
    painter->setPen(QPen(option->palette.color(QPalette::Highlight), 2));
    painter->setBrush(Qt::NoBrush);
    painter->drawRect(option->rect.adjusted(1, 1, -1, -1));
    painter->restore();
  }
};

bool InGroup(const QWidget* widget, const QButtonGroup* group) {
  const auto* button = qobject_cast<const QAbstractButton*>(widget);
  return button != nullptr && group != nullptr && button->group() == group;
}

bool TakesTab(const QWidget* widget, const QWidget* window) {
  return widget->window() == window && (widget->focusPolicy() & Qt::TabFocus) &&
         widget->isVisibleTo(window) && widget->isEnabled();
}

}  // namespace

WindowKeys::WindowKeys(QWidget& window, QAbstractButton& cancel, QMenuBar& bar)
    : QObject(&window), window_(window), cancel_(&cancel), bar_(bar) {
  ringStyle_ = new FocusRingStyle;
  ringStyle_->setParent(this);
  window.installEventFilter(this);
  for (QWidget* control : window.findChildren<QWidget*>()) {
    if (control->focusPolicy() & Qt::TabFocus) control->installEventFilter(this);
  }
  for (QAbstractButton* button : window.findChildren<QAbstractButton*>()) {
    button->installEventFilter(this);
    button->setStyle(ringStyle_);
  }
  connect(qApp, &QApplication::focusChanged, this, [this](QWidget* old, QWidget* now) {
    if (old != nullptr && old != &bar_ && old->window() == &window_ && now != old) {
      lastFocus_ = old;
    }
  });
  for (QAction* action : bar.actions()) {
    if (QMenu* menu = action->menu()) {
      connect(menu, &QMenu::aboutToHide, this, [this] {
        // The menu bar takes the keyboard after the menu has gone.
        QMetaObject::invokeMethod(
            this, [this] { MenuClosed(); }, Qt::QueuedConnection);
      });
    }
  }
}

void WindowKeys::MenuClosed() {
  if (QApplication::activePopupWidget() != nullptr) return;
  if (window_.focusWidget() != &bar_ && QApplication::focusWidget() != &bar_) return;
  // Left in its keyboard mode, the bar holds the focus where nothing shows
  // it and Tab does nothing; its own Escape leaves that mode.
  QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
  QApplication::sendEvent(&bar_, &escape);
  if (window_.focusWidget() == nullptr || window_.focusWidget() == &bar_) {
    QWidget* back = lastFocus_ != nullptr ? lastFocus_.data() : window_.nextInFocusChain();
    back->setFocus(Qt::OtherFocusReason);
  }
}

bool WindowKeys::MoveFocus(QWidget& from, bool forward) {
  const auto* current = qobject_cast<QAbstractButton*>(&from);
  const QButtonGroup* group = current != nullptr ? current->group() : nullptr;
  QWidget* next = &from;
  do {
    next = forward ? next->nextInFocusChain() : next->previousInFocusChain();
  } while (next != &from && (InGroup(next, group) || !TakesTab(next, &window_)));
  if (next == &from) return false;
  // A group is entered at its checked button, from either side.
  if (auto* radio = qobject_cast<QRadioButton*>(next); radio != nullptr && radio->group()) {
    QAbstractButton* checked = radio->group()->checkedButton();
    if (checked != nullptr && TakesTab(checked, &window_)) next = checked;
  }
  next->setFocus(forward ? Qt::TabFocusReason : Qt::BacktabFocusReason);
  return true;
}

bool WindowKeys::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyPress) return false;
  const auto* key = static_cast<QKeyEvent*>(event);
  if (key->key() == Qt::Key_Backtab ||
      (key->key() == Qt::Key_Tab && key->modifiers() == Qt::NoModifier)) {
    auto* widget = qobject_cast<QWidget*>(watched);
    return widget != nullptr && widget != &window_ && MoveFocus(*widget, key->key() == Qt::Key_Tab);
  }
  if (key->modifiers() & ~Qt::KeypadModifier) return false;
  if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
    // Outside a dialog Qt leaves Enter to the widget, and a push button
    // ignores it.
    auto* button = qobject_cast<QPushButton*>(watched);
    if (button == nullptr || !button->isEnabled()) return false;
    button->click();
    return true;
  }
  // A key no child took comes to the window last.
  if (key->key() == Qt::Key_Escape && watched == &window_ && cancel_ && cancel_->isEnabled()) {
    cancel_->click();
    return true;
  }
  return false;
}

}  // namespace quorvale
