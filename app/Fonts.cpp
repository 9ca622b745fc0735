#include "app/Fonts.h"

#include <QStringList>

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

}  // namespace

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
