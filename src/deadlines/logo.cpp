#include "deadlines/logo.h"

#include "deadlines/agenda.h"

#include <QDesktopServices>
#include <QMouseEvent>
#include <QPainter>
#include <QUrl>

namespace gp::deadlines {

namespace {
QPixmap calendarPage(int size)
{
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF page(size * 0.08, size * 0.12, size * 0.84, size * 0.8);
    p.setPen(QPen(QColor(60, 60, 60), size / 32.0));
    p.setBrush(Qt::white);
    p.drawRoundedRect(page, size * 0.06, size * 0.06);
    p.setBrush(QColor(180, 30, 30));
    p.drawRect(QRectF(page.left(), page.top(), page.width(), page.height() * 0.26));
    QFont f = p.font();
    f.setBold(true);
    f.setPixelSize(int(size * 0.38));
    p.setFont(f);
    p.setPen(QColor(40, 40, 40));
    p.drawText(QRectF(page.left(), page.top() + page.height() * 0.26, page.width(), page.height() * 0.74),
               Qt::AlignCenter, QStringLiteral("31"));
    return pm;
}
} // namespace

Logo::Logo(QWidget* parent, int size) : QLabel(parent)
{
    setObjectName(QStringLiteral("Image1"));
    setPixmap(calendarPage(size));
    setCursor(Qt::PointingHandCursor);
    setToolTip(kMakerPage);
}

void Logo::mousePressEvent(QMouseEvent* e)
{
    setFrameStyle(QFrame::Box | QFrame::Plain);
    setLineWidth(1);
    QDesktopServices::openUrl(QUrl(kMakerPage));
    emit pressed();
    e->accept();
}

} // namespace gp::deadlines
