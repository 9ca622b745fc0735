#pragma once

#include <QFont>

class QWidget;

namespace quorvale {

// The fonts of the two windows, 12 pixels high whatever the screen density,
// so that the fixed layout keeps its proportions. Each names a Japanese face
// first and fallbacks after it.

// Proportional gothic: the windows' text.
QFont WindowFont();
// The window font condensed to 85 %: the size group's caption spaces its
// three column headings with full-width spaces and only so narrowed do they
// stand over their columns; the heading above the fixed pixel sizes fits its
// label only so too.
QFont ColumnHeadingFont();
// Fixed-pitch gothic: the size buttons, whose captions line up in columns.
QFont FixedPitchFont();
// Bold proportional mincho: the line of text on the splash.
QFont SplashTextFont();

// Narrows the font of each check box, radio button, push button and label
// under `root` whose caption, as its font measures it, is wider than the
// control: condensed in steps of 5 % down to 75 %, then a pixel smaller at a
// time down to 9, until it fits. The controls keep their places and sizes.
void FitCaptions(QWidget& root);

}  // namespace quorvale
