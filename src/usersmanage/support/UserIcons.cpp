#include "UserIcons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

QIcon userIcon(bool online) {
    const QColor fill = online ? QColor(0x2e, 0xb8, 0x48) : QColor(0xb4, 0xb4, 0xb4);
    const QColor outline = online ? QColor(0x1a, 0x6e, 0x2a) : QColor(0x6e, 0x6e, 0x6e);
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(outline);
    p.setBrush(fill);
    p.drawEllipse(QRectF(5, 1.5, 6, 6));
    QPainterPath body;
    body.moveTo(2, 15);
    body.cubicTo(2, 8, 14, 8, 14, 15);
    body.closeSubpath();
    p.drawPath(body);
    return QIcon(pixmap);
}
