#include "app/artwork.h"

#include <QPainter>
#include <QPainterPath>

namespace gp::app {

QPixmap practiceArtwork(int size)
{
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 64.0, size / 64.0);

    // Back of the folder with its tab.
    QPainterPath back;
    back.moveTo(4, 14);
    back.lineTo(24, 14);
    back.lineTo(28, 19);
    back.lineTo(60, 19);
    back.lineTo(60, 56);
    back.lineTo(4, 56);
    back.closeSubpath();
    p.setPen(QPen(QColor(0x8a, 0x5a, 0x12), 1.5));
    p.setBrush(QColor(0xe0, 0xa1, 0x3a));
    p.drawPath(back);

    // Two sheets of paper.
    p.setPen(QPen(QColor(0x77, 0x77, 0x77), 1));
    p.setBrush(QColor(0xf4, 0xf4, 0xf0));
    p.drawRect(QRectF(12, 8, 36, 40));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(16, 12, 36, 40));
    p.setPen(QPen(QColor(0x3b, 0x5b, 0x9a), 1.6));
    for (int i = 0; i < 5; ++i)
        p.drawLine(QPointF(21, 19 + i * 5), QPointF(i == 4 ? 36 : 47, 19 + i * 5));

    // Front of the folder.
    QPainterPath front;
    front.moveTo(2, 30);
    front.lineTo(62, 30);
    front.lineTo(58, 58);
    front.lineTo(6, 58);
    front.closeSubpath();
    p.setPen(QPen(QColor(0x8a, 0x5a, 0x12), 1.5));
    p.setBrush(QColor(0xf2, 0xbb, 0x55));
    p.drawPath(front);
    return pm;
}

QIcon practiceIcon()
{
    QIcon icon;
    for (int s : {16, 24, 32, 48, 64, 128})
        icon.addPixmap(practiceArtwork(s));
    return icon;
}

} // namespace gp::app
