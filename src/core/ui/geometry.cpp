#include "core/ui/geometry.h"

#include <QPalette>
#include <QWidget>

#include <cmath>

namespace gp::ui {

int twips(int t) { return static_cast<int>(std::lround(t / double(kTwipsPerPixel))); }

QRect twipsRect(int left, int top, int width, int height)
{
    return QRect(twips(left), twips(top), twips(width), twips(height));
}

void placeTwips(QWidget* w, int left, int top, int width, int height)
{
    w->setGeometry(twipsRect(left, top, width, height));
}

QColor bgr(unsigned value) { return QColor(int(value & 0xFF), int((value >> 8) & 0xFF), int((value >> 16) & 0xFF)); }

void setBackColor(QWidget* w, const QColor& c)
{
    QPalette p = w->palette();
    p.setColor(QPalette::Base, c);
    p.setColor(QPalette::Window, c);
    p.setColor(QPalette::Button, c);
    w->setPalette(p);
    w->setAutoFillBackground(true);
}

void setForeColor(QWidget* w, const QColor& c)
{
    QPalette p = w->palette();
    p.setColor(QPalette::Text, c);
    p.setColor(QPalette::WindowText, c);
    p.setColor(QPalette::ButtonText, c);
    w->setPalette(p);
}

} // namespace gp::ui
