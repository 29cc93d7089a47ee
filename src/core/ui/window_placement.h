// Where a window of the program opens: entirely inside the available area of
// its screen, centred on the window that opened it, and never over the control
// the user pressed to open it (the button, box or menu bar).
//
// The navigator places every form it shows from hidden (Navigator::show); a
// form shown some other way can call placeWindow itself.
#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

class QWidget;

namespace gp::ui {

// The top-left corner of a window frame of `frameSize`: centred on
// `openerFrame` (on `area` when the opener rectangle is empty), moved the least
// needed to leave `control` uncovered when it can without leaving `area`, and
// always kept inside `area` (a frame larger than the area starts at its top left).
QPoint placedFramePosition(const QSize& frameSize, const QRect& openerFrame, const QRect& control, const QRect& area);

// Places the top-level `window` before it is shown: its size is made to fit
// the available area of the screen (never below the window's minimum size) and
// its frame moved to placedFramePosition. `opener` may be nullptr (the window
// is centred on the screen); `control` may be nullptr.
void placeWindow(QWidget* window, QWidget* opener, QWidget* control);

// The control of `window` that the user last pressed (a button, a check box, a
// list, the menu bar), or its focus widget when nothing was pressed there;
// nullptr when `window` is nullptr. Pressing is followed program-wide once
// trackPressedControls() has run.
QWidget* pressedControl(QWidget* window);
void trackPressedControls();

} // namespace gp::ui
