// SPDX-License-Identifier: GPL-3.0-or-later
#include "Icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QtMath>

namespace kestrun {

namespace {

// All pictures are drawn on a 16 x 16 grid.
using TDraw = void (*)(QPainter&);

void DrawOpen(QPainter& p)
{
    p.setPen(QColor(150, 110, 20));
    p.setBrush(QColor(240, 200, 80));
    p.drawPolygon(QPolygonF({{1, 4}, {6, 4}, {7.5, 5.5}, {14, 5.5}, {14, 13}, {1, 13}}));
    p.setBrush(QColor(255, 225, 120));
    p.drawPolygon(QPolygonF({{3, 8}, {15.5, 8}, {14, 13}, {1, 13}}));
}

void DrawSettings(QPainter& p)
{
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(90, 100, 115));
    p.translate(8, 8);
    for (int i = 0; i < 8; ++i) {
        p.drawRect(QRectF(-1.5, -7.5, 3, 4));
        p.rotate(45);
    }
    QPainterPath ring;
    ring.addEllipse(QPointF(0, 0), 5.2, 5.2);
    ring.addEllipse(QPointF(0, 0), 2.2, 2.2);
    p.drawPath(ring);
}

void DrawChevron(QPainter& p)
{
    p.setPen(QPen(QColor(30, 140, 50), 2.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPolyline(QPolygonF({{5.5, 3}, {10.5, 8}, {5.5, 13}}));
}

void DrawCancel(QPainter& p)
{
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(205, 40, 40));
    p.drawEllipse(QRectF(1, 1, 14, 14));
    p.setPen(QPen(Qt::white, 2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(5.5, 5.5), QPointF(10.5, 10.5));
    p.drawLine(QPointF(10.5, 5.5), QPointF(5.5, 10.5));
}

void DrawPlay(QPainter& p)
{
    p.setPen(QColor(20, 110, 40));
    p.setBrush(QColor(60, 180, 80));
    p.drawPolygon(QPolygonF({{4, 2.5}, {13, 8}, {4, 13.5}}));
}

void DrawError(QPainter& p)
{
    p.setPen(QColor(170, 20, 20));
    p.setBrush(QColor(230, 60, 50));
    p.drawPolygon(QPolygonF({{8, 1.5}, {15, 14}, {1, 14}}));
    p.setPen(QPen(Qt::white, 1.8, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(8, 6), QPointF(8, 9.5));
    p.drawPoint(QPointF(8, 12));
}

void DrawClose(QPainter& p)
{
    p.setPen(QColor(110, 10, 10));
    p.setBrush(QColor(170, 20, 20));
    p.drawRect(QRectF(1.5, 1.5, 13, 13));
    p.setPen(QPen(Qt::white, 2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(5, 5), QPointF(11, 11));
    p.drawLine(QPointF(11, 5), QPointF(5, 11));
}

struct TPicture
{
    const char* Name;
    TDraw Draw;
};

constexpr TPicture Pictures[] = {
    {"open", DrawOpen},
    {"settings", DrawSettings},
    {"right-chevron", DrawChevron},
    {"cancel", DrawCancel},
    {"Play", DrawPlay},
    {"Error", DrawError},
    {"close", DrawClose},
};

QPixmap Render(TDraw draw, int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 16.0, size / 16.0);
    draw(painter);
    return pixmap;
}

} // namespace

QIcon WindowIcon(const QString& name)
{
    for (const TPicture& picture : Pictures)
        if (name == QLatin1String(picture.Name)) {
            QIcon icon;
            for (int size : {16, 32})
                icon.addPixmap(Render(picture.Draw, size));
            return icon;
        }
    return {};
}

} // namespace kestrun
