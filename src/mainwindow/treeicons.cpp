#include "mainwindow/treeicons.h"

#include <QHash>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace quillor {

namespace {

constexpr int kSize = 16;

QPixmap canvas()
{
    QPixmap pm(kSize, kSize);
    pm.fill(Qt::transparent);
    return pm;
}

QPixmap drawLeaf()
{
    QPixmap pm = canvas();
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath leaf;
    leaf.moveTo(3, 13);
    leaf.cubicTo(2, 6, 7, 2, 14, 2);
    leaf.cubicTo(14, 9, 10, 14, 3, 13);
    p.setPen(QPen(QColor(0x2e, 0x7d, 0x32), 1));
    p.setBrush(QColor(0x66, 0xbb, 0x6a));
    p.drawPath(leaf);
    p.drawLine(QPointF(3, 13), QPointF(10, 6));
    return pm;
}

QPixmap drawSubscriber()
{
    QPixmap pm = canvas();
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0x15, 0x65, 0xc0), 1));
    p.setBrush(QColor(0x64, 0xb5, 0xf6));
    p.drawEllipse(QRectF(5, 1.5, 6, 6));
    p.drawRoundedRect(QRectF(2.5, 8.5, 11, 6.5), 3, 3);
    return pm;
}

QPixmap drawHandler()
{
    QPixmap pm = canvas();
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0x4e, 0x34, 0x2e), 1));
    p.setBrush(QColor(0xff, 0xcc, 0x80));
    p.drawRoundedRect(QRectF(2.5, 1.5, 11, 13), 2, 2);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x4e, 0x34, 0x2e));
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            p.drawRect(QRectF(4.5 + c * 2.5, 5 + r * 2.8, 1.6, 1.6));
    p.drawRect(QRectF(4.5, 2.8, 7, 1.2));
    return pm;
}

QPixmap drawInterviewer()
{
    QPixmap pm = canvas();
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0x6a, 0x1b, 0x9a), 1));
    p.setBrush(QColor(0xce, 0x93, 0xd8));
    QPainterPath bubble;
    bubble.addRoundedRect(QRectF(1.5, 1.5, 13, 9.5), 3, 3);
    bubble.moveTo(4, 11);
    bubble.lineTo(3, 14.5);
    bubble.lineTo(7.5, 11);
    p.drawPath(bubble.simplified());
    QFont f = p.font();
    f.setPixelSize(9);
    f.setBold(true);
    p.setFont(f);
    p.setPen(QColor(0x4a, 0x14, 0x8c));
    p.drawText(QRectF(1.5, 1, 13, 10), Qt::AlignCenter, QStringLiteral("?"));
    return pm;
}

QPixmap drawDirectory()
{
    QPixmap pm = canvas();
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0x00, 0x4d, 0x40), 1));
    p.setBrush(QColor(0x80, 0xcb, 0xc4));
    p.drawRect(QRectF(3.5, 1.5, 10, 13));
    p.setBrush(QColor(0x00, 0x69, 0x5c));
    p.drawRect(QRectF(2, 1.5, 2, 13));
    QFont f = p.font();
    f.setPixelSize(9);
    f.setBold(true);
    p.setFont(f);
    p.setPen(QColor(0x00, 0x33, 0x2b));
    p.drawText(QRectF(4, 2, 9.5, 12), Qt::AlignCenter, QStringLiteral("A"));
    return pm;
}

QPixmap drawInvalidLink()
{
    QPixmap pm = canvas();
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0xb7, 0x1c, 0x1c), 1));
    p.setBrush(QColor(0xef, 0x53, 0x50));
    p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
    p.setPen(QPen(Qt::white, 2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(5.5, 5.5), QPointF(10.5, 10.5));
    p.drawLine(QPointF(10.5, 5.5), QPointF(5.5, 10.5));
    return pm;
}

QPixmap drawDuplicate()
{
    QPixmap pm = canvas();
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    // A loop arrow: this object already stands above, on the path from the root.
    p.setPen(QPen(QColor(0xe6, 0x51, 0x00), 2, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(2.5, 2.5, 11, 11), 100 * 16, 290 * 16);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xe6, 0x51, 0x00));
    QPolygonF head;
    head << QPointF(6.5, 0.5) << QPointF(6.5, 6.5) << QPointF(10.5, 3.0);
    p.drawPolygon(head);
    return pm;
}

} // namespace

QIcon treePicture(const QString &key)
{
    static QHash<QString, QIcon> cache;
    if (auto it = cache.constFind(key); it != cache.cend())
        return *it;
    QPixmap pm;
    if (key == QLatin1String("Leaf"))
        pm = drawLeaf();
    else if (key == QLatin1String("Subscriber"))
        pm = drawSubscriber();
    else if (key == QLatin1String("Handler"))
        pm = drawHandler();
    else if (key == QLatin1String("Interviewer"))
        pm = drawInterviewer();
    else if (key == QLatin1String("AlphaDirectory"))
        pm = drawDirectory();
    else if (key == QLatin1String("InvalidLink"))
        pm = drawInvalidLink();
    else if (key == QLatin1String("Duplicate"))
        pm = drawDuplicate();
    const QIcon icon = pm.isNull() ? QIcon() : QIcon(pm);
    cache.insert(key, icon);
    return icon;
}

} // namespace quillor
