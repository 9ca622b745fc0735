#include "app/WindowKeys.h"

#include <QAbstractButton>
#include <QKeyEvent>
#include <QPushButton>
#include <QWidget>

namespace quorvale {

WindowKeys::WindowKeys(QWidget& window, QAbstractButton& cancel)
    : QObject(&window), window_(window), cancel_(&cancel) {
  window.installEventFilter(this);
  for (QPushButton* button : window.findChildren<QPushButton*>()) button->installEventFilter(this);
}

bool WindowKeys::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyPress) return false;
  const auto* key = static_cast<QKeyEvent*>(event);
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
