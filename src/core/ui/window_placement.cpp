#include "core/ui/window_placement.h"

#include <QApplication>
#include <QLayout>
#include <QMenu>
#include <QMouseEvent>
#include <QPointer>
#include <QScreen>
#include <QWidget>

#include <array>
#include <cstdlib>
#include <limits>

namespace gp::ui {

namespace {

constexpr int kGap = 8; // between a moved window and the control it leaves uncovered

// Moves `r` the least needed to lie inside `area`; a rectangle larger than the
// area starts at the area's left or top edge.
QRect keptInside(QRect r, const QRect& area)
{
    if (r.right() > area.right())
        r.moveRight(area.right());
    if (r.bottom() > area.bottom())
        r.moveBottom(area.bottom());
    if (r.left() < area.left())
        r.moveLeft(area.left());
    if (r.top() < area.top())
        r.moveTop(area.top());
    return r;
}

QRect globalRect(const QWidget* w) { return QRect(w->mapToGlobal(QPoint(0, 0)), w->size()); }

// The last control pressed with the mouse, program-wide.
QPointer<QWidget>& lastPressed()
{
    static QPointer<QWidget> widget;
    return widget;
}

class PressTracker : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* e) override
    {
        if (e->type() == QEvent::MouseButtonPress && watched->isWidgetType()) {
            auto* w = static_cast<QWidget*>(watched);
            // A press inside a drop-down menu belongs to the menu bar pressed before it.
            if (!qobject_cast<QMenu*>(w->window()))
                lastPressed() = w;
        } else if (e->type() == QEvent::KeyPress) {
            // From the keyboard the control is the one with the focus.
            lastPressed() = nullptr;
        }
        return false;
    }
};

} // namespace

QPoint placedFramePosition(const QSize& frameSize, const QRect& openerFrame, const QRect& control, const QRect& area)
{
    const QRect around = openerFrame.isEmpty() ? area : openerFrame;
    const QRect centred = keptInside(QRect(QPoint(around.x() + (around.width() - frameSize.width()) / 2,
                                                  around.y() + (around.height() - frameSize.height()) / 2),
                                           frameSize),
                                     area);
    if (control.isEmpty() || !centred.intersects(control))
        return centred.topLeft();

    // Beside the control, on the side that moves the window least.
    std::array<QRect, 4> candidates{centred, centred, centred, centred};
    candidates[0].moveLeft(control.right() + 1 + kGap);
    candidates[1].moveRight(control.left() - 1 - kGap);
    candidates[2].moveTop(control.bottom() + 1 + kGap);
    candidates[3].moveBottom(control.top() - 1 - kGap);
    QPoint best = centred.topLeft();
    int bestDistance = std::numeric_limits<int>::max();
    for (QRect c : candidates) {
        c = keptInside(c, area);
        if (c.intersects(control))
            continue;
        const int distance = std::abs(c.x() - centred.x()) + std::abs(c.y() - centred.y());
        if (distance < bestDistance) {
            bestDistance = distance;
            best = c.topLeft();
        }
    }
    return best;
}

void placeWindow(QWidget* window, QWidget* opener, QWidget* control)
{
    if (!window)
        return;
    if (opener == window)
        opener = nullptr;
    QScreen* screen = nullptr;
    if (opener)
        screen = QGuiApplication::screenAt(opener->frameGeometry().center());
    if (!screen)
        screen = opener ? opener->screen() : window->screen();
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();

    // The window manager's frame, as it is around the opener (the same frame
    // goes around the new window once it is shown).
    // An opener that hid itself to make room keeps the frame it had.
    const auto frameOf = [](const QWidget* w) {
        const QRect outer = w->frameGeometry();
        const QRect inner = w->geometry();
        return QMargins(inner.left() - outer.left(), inner.top() - outer.top(), outer.right() - inner.right(),
                        outer.bottom() - inner.bottom());
    };
    QMargins frame;
    QList<const QWidget*> framed{opener, window};
    for (const QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible())
            framed << w;
    for (const QWidget* w : framed) {
        if (w && w->windowHandle() && !frameOf(w).isNull()) {
            frame = frameOf(w);
            break;
        }
    }

    // The size the window will have: its layout's minimum counts.
    window->ensurePolished();
    if (window->layout())
        window->layout()->activate();
    QSize size = window->size().expandedTo(window->minimumSize());
    const QSize room = area.size().shrunkBy(frame);
    if (size.width() > room.width() || size.height() > room.height()) {
        size = size.boundedTo(room).expandedTo(window->minimumSize());
        window->resize(size);
    }

    QRect openerFrame;
    QRect controlRect;
    if (opener) {
        openerFrame = opener->frameGeometry();
        // A control of a window that is no longer on the screen hides nothing.
        if (control && opener->isVisible() && control->window() == opener && control->isVisible())
            controlRect = globalRect(control);
    }
    window->move(placedFramePosition(size.grownBy(frame), openerFrame, controlRect, area));
}

QWidget* pressedControl(QWidget* window)
{
    if (!window)
        return nullptr;
    QWidget* pressed = lastPressed();
    if (pressed && pressed->window() == window && pressed->isVisible())
        return pressed;
    return window->focusWidget();
}

void trackPressedControls()
{
    static QPointer<PressTracker> tracker;
    if (tracker || !qApp)
        return;
    tracker = new PressTracker(qApp);
    qApp->installEventFilter(tracker);
}

} // namespace gp::ui
