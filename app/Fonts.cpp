#include "app/Fonts.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QStringList>
#include <QStyle>
#include <QStyleOptionButton>

namespace quorvale {

namespace {

QFont PixelFont(const QStringList& families, QFont::StyleHint hint) {
  QFont font;
  font.setFamilies(families);
  font.setStyleHint(hint);
  font.setPixelSize(12);
  // Set, not inherited: the condensed headings of the size group must not
  // pass their width on to the controls inside it.
  font.setStretch(QFont::Unstretched);
  return font;
}

// How many pixels the caption of `widget` needs beyond the room the style
// leaves it beside the check mark, the glyph or the frame; 0 or less when it
// fits, and for a control without a caption.
int Overflow(const QWidget& widget) {
  const QFontMetrics metrics = widget.fontMetrics();
  if (const auto* button = qobject_cast<const QAbstractButton*>(&widget)) {
    if (button->text().isEmpty()) return 0;
    QStyleOptionButton option;
    option.initFrom(button);
    option.text = button->text();
    option.icon = button->icon();
    option.iconSize = button->iconSize();
    QStyle::SubElement room = QStyle::SE_PushButtonContents;
    int icon = button->icon().isNull() ? 0 : button->iconSize().width() + 4;
    if (qobject_cast<const QCheckBox*>(button) != nullptr) {
      room = QStyle::SE_CheckBoxContents;
      icon = 0;
    } else if (qobject_cast<const QRadioButton*>(button) != nullptr) {
      room = QStyle::SE_RadioButtonContents;
      icon = 0;
    }
    const QRect contents = button->style()->subElementRect(room, &option, button);
    return icon + metrics.horizontalAdvance(button->text()) - contents.width();
  }
  if (const auto* label = qobject_cast<const QLabel*>(&widget)) {
    if (label->text().isEmpty() || label->wordWrap()) return 0;
    return metrics.horizontalAdvance(label->text()) - label->contentsRect().width();
  }
  return 0;
}

}  // namespace

void FitCaptions(QWidget& root) {
  for (QWidget* widget : root.findChildren<QWidget*>()) {
    QFont font = widget->font();
    int stretch = font.stretch() == QFont::AnyStretch ? 100 : font.stretch();
    if (qEnvironmentVariableIsSet("QV_DEBUG") && Overflow(*widget) > 0)
      qDebug() << "overflow" << widget->objectName() << Overflow(*widget) << widget->width();
    while (Overflow(*widget) > 0) {
      if (stretch > 75) {
        stretch -= 5;
        font.setStretch(stretch);
      } else if (font.pixelSize() > 9) {
        font.setPixelSize(font.pixelSize() - 1);
      } else {
        break;
      }
      widget->setFont(font);
    }
  }
}

QFont WindowFont() {
  return PixelFont(
      {"IPAPGothic", "IPA Pゴシック", "VL PGothic", "Noto Sans CJK JP", "Droid Sans Fallback"},
      QFont::SansSerif);
}

QFont ColumnHeadingFont() {
  QFont font = WindowFont();
  font.setStretch(85);
  return font;
}

QFont FixedPitchFont() {
  QFont font =
      PixelFont({"IPAGothic", "IPAゴシック", "VL Gothic", "Noto Sans Mono CJK JP", "Monospace"},
                QFont::TypeWriter);
  font.setFixedPitch(true);
  return font;
}

QFont SplashTextFont() {
  QFont font = PixelFont({"IPAPMincho", "IPA P明朝", "IPAMincho", "Noto Serif CJK JP", "Serif"},
                         QFont::Serif);
  font.setBold(true);
  return font;
}

}  // namespace quorvale
