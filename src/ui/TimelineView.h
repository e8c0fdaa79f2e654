// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "decode/CommandStatistics.h"

#include <QChartView>
#include <QList>
#include <QPoint>
#include <QSize>
#include <optional>
#include <vector>

namespace kestrun {

// The timeline of a log: one point per command with a duration, placed at its request's time
// with the duration upwards; failed commands red, the slowest labelled. The wheel and the + and
// - keys zoom, dragging and the arrow keys pan, Home shows everything again, and a click on a
// point names its row.
class TTimelineView : public QChartView
{
    Q_OBJECT
public:
    TTimelineView(const std::vector<TTimelinePoint>& points, const QList<TSlowCommand>& slowest,
                  QWidget* parent = nullptr);

    // The row of the point drawn nearest to `at` (view coordinates), within a few pixels; -1 when none.
    qsizetype IndexAt(const QPoint& at) const;
    // Where the point of `index` is drawn, in view coordinates; nullopt when it has none.
    std::optional<QPoint> PositionOf(qsizetype index) const;

signals:
    void PointClicked(qsizetype index);

protected:
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void ZoomAround(const QPointF& at, qreal factor);

    std::vector<QPointF> FValues;      // the points as the axes count them
    std::vector<qsizetype> FIndexes;   // their rows
    QPoint FLastAt;
    bool FPressed = false;
    bool FDragged = false;
};

// The timeline as the window shows it, drawn as a PNG picture of `size` pixels. Needs a
// QApplication; the offscreen platform will do.
QByteArray TimelinePicture(const std::vector<TTimelinePoint>& points, const QList<TSlowCommand>& slowest, QSize size);

} // namespace kestrun
