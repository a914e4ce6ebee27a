#include "programicon.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace qmv {

QPixmap ProgramPicture(int size) {
    // Drawn rather than loaded, so that it is sharp at every size and needs no image plug-in:
    // a level chart of bars, the tallest above a red standard line.
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 64.0, size / 64.0);

    QLinearGradient background(0, 0, 0, 64);
    background.setColorAt(0, QColor(0x2b, 0x5f, 0x9e));
    background.setColorAt(1, QColor(0x17, 0x36, 0x5d));
    p.setPen(Qt::NoPen);
    p.setBrush(background);
    p.drawRoundedRect(QRectF(2, 2, 60, 60), 10, 10);

    const double heights[] = {18, 30, 24, 40, 28};
    for (int i = 0; i < 5; ++i) {
        const double h = heights[i];
        p.setBrush(h > 32 ? QColor(0xff, 0x9a, 0x8a) : QColor(0xf2, 0xf6, 0xfb));
        p.drawRoundedRect(QRectF(10 + i * 9.5, 52 - h, 7, h), 1.5, 1.5);
    }
    p.setPen(QPen(QColor(0xe5, 0x39, 0x35), 2.5, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(8, 20), QPointF(56, 20));
    p.setPen(QPen(QColor(0xf2, 0xf6, 0xfb), 2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(8, 54), QPointF(56, 54));
    return pixmap;
}

QIcon ProgramIcon() {
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256})
        icon.addPixmap(ProgramPicture(size));
    return icon;
}

} // namespace qmv
