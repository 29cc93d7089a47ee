// Positions in twips and colours written blue-green-red, as the forms were designed.
#pragma once

#include <QColor>
#include <QRect>

class QWidget;

namespace gp::ui {

// 15 twips to a logical pixel (96 dpi); Qt scales logical pixels by the
// screen's device pixel ratio itself.
constexpr int kTwipsPerPixel = 15;
int twips(int t); // twips -> logical pixels, rounded
QRect twipsRect(int left, int top, int width, int height);
// Places a control on its parent by twips (Left, Top, Width, Height).
void placeTwips(QWidget* w, int left, int top, int width, int height);

// A colour written &HBBGGRR: bgr(0xFFC0C0) is light blue, bgr(0xC0FFFF) light yellow.
QColor bgr(unsigned value);
constexpr unsigned kLightBlue = 0xFFC0C0;   // &H00FFC0C0
constexpr unsigned kLightYellow = 0xC0FFFF; // &H00C0FFFF
constexpr unsigned kWhite = 0xFFFFFF;

// Paints a control's background (BackColor) and text colour (ForeColor).
void setBackColor(QWidget* w, const QColor& c);
void setForeColor(QWidget* w, const QColor& c);

} // namespace gp::ui
