#pragma once

#include <QFont>

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

}  // namespace quorvale
