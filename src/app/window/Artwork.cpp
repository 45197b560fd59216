#include "app/window/Artwork.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

namespace varo {
namespace {

// A gem under a column of golden light on a dark rounded square.
QPixmap IconPixmap(int side) {
    QPixmap pixmap(side, side);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal s = side;

    QLinearGradient background(0, 0, 0, s);
    background.setColorAt(0, QColor(28, 34, 58));
    background.setColorAt(1, QColor(10, 12, 24));
    painter.setPen(Qt::NoPen);
    painter.setBrush(background);
    painter.drawRoundedRect(QRectF(0, 0, s, s), s * 0.18, s * 0.18);

    QLinearGradient pillar(0, 0, 0, s);
    pillar.setColorAt(0, QColor(255, 236, 140, 0));
    pillar.setColorAt(0.55, QColor(255, 214, 90, 200));
    pillar.setColorAt(1, QColor(255, 190, 60, 255));
    painter.setBrush(pillar);
    painter.drawRect(QRectF(s * 0.36, s * 0.06, s * 0.28, s * 0.66));

    QRadialGradient glow(QPointF(s * 0.5, s * 0.72), s * 0.36);
    glow.setColorAt(0, QColor(255, 230, 150, 220));
    glow.setColorAt(1, QColor(255, 230, 150, 0));
    painter.setBrush(glow);
    painter.drawEllipse(QPointF(s * 0.5, s * 0.72), s * 0.36, s * 0.16);

    QPainterPath gem;
    gem.moveTo(s * 0.5, s * 0.56);
    gem.lineTo(s * 0.66, s * 0.70);
    gem.lineTo(s * 0.5, s * 0.90);
    gem.lineTo(s * 0.34, s * 0.70);
    gem.closeSubpath();
    painter.setBrush(QColor(90, 220, 160));
    painter.setPen(QPen(QColor(220, 255, 235), s / 48.0));
    painter.drawPath(gem);
    return pixmap;
}

}  // namespace

QImage ApplicationIconImage(int side) {
    return IconPixmap(side).toImage().convertToFormat(QImage::Format_ARGB32);
}

QIcon ApplicationIcon() {
    QIcon icon;
    for (const int side : {16, 24, 32, 48, 64, 128, 256}) {
        icon.addPixmap(IconPixmap(side));
    }
    return icon;
}

QPixmap DonationPicture(const QSize& size) {
    QPixmap pixmap(size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    // The card stops a few pixels short of the label's foot, which lies on
    // the tab frame's lower edge: scaled (144 DPI) the frame would cut it.
    const QRectF area(0.5, 0.5, size.width() - 1.0, size.height() - 5.0);

    QLinearGradient background(area.topLeft(), area.bottomLeft());
    background.setColorAt(0, QColor(255, 248, 232));
    background.setColorAt(1, QColor(255, 228, 196));
    painter.setBrush(background);
    painter.setPen(QPen(QColor(214, 160, 90), 1));
    painter.drawRoundedRect(area, 12, 12);

    // A steaming cup: a small thank-you in place of a payment code.
    const qreal cx = area.center().x();
    const qreal top = area.top() + area.height() * 0.22;
    painter.setPen(QPen(QColor(150, 90, 50), 3, Qt::SolidLine, Qt::RoundCap));
    for (int i = -1; i <= 1; ++i) {
        QPainterPath steam;
        const qreal x = cx + i * 16;
        steam.moveTo(x, top + 34);
        steam.cubicTo(x - 8, top + 22, x + 8, top + 14, x, top);
        painter.drawPath(steam);
    }
    painter.setPen(QPen(QColor(120, 70, 40), 2));
    painter.setBrush(QColor(196, 120, 64));
    painter.drawRoundedRect(QRectF(cx - 40, top + 42, 80, 62), 10, 10);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(QColor(120, 70, 40), 6));
    painter.drawArc(QRectF(cx + 30, top + 54, 26, 30), -90 * 16, 180 * 16);
    painter.setPen(QPen(QColor(120, 70, 40), 2));
    painter.setBrush(QColor(232, 200, 160));
    painter.drawEllipse(QRectF(cx - 56, top + 98, 112, 14));

    QFont font = painter.font();
    font.setPixelSize(18);
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(QColor(120, 60, 30));
    painter.drawText(QRectF(area.left(), area.bottom() - 64, area.width(), 28), Qt::AlignCenter,
                     QStringLiteral("请作者喝杯咖啡"));
    font.setPixelSize(12);
    font.setBold(false);
    painter.setFont(font);
    painter.drawText(QRectF(area.left(), area.bottom() - 36, area.width(), 24), Qt::AlignCenter,
                     QStringLiteral("感谢每一位支持者"));
    return pixmap;
}

}  // namespace varo
