// The font of the main window and of every control in it: "MS Sans Serif"
// 11 pixels high (8 points on a screen of 96 pixels per inch), or, where the
// machine lacks it, the nearest sans-serif face that gives a line of 13
// pixels at that size, as "MS Sans Serif" does.
#pragma once

#include <QFont>

namespace vers::app {

QFont window_font();

}  // namespace vers::app
