// SPDX-License-Identifier: GPL-3.0-or-later
#include "TimelineView.h"


#include <QBuffer>
#include <QChart>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QKeyEvent>
#include <QLegendMarker>
#include <QLineSeries>
#include <QMouseEvent>
#include <QValueAxis>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <unordered_map>

namespace kestrun {

using namespace Qt::StringLiterals;

namespace {

// At most this many of the slowest commands carry a label; more would cover each other.
constexpr qsizetype LabelledCount = 5;
// The share of the time axis a label keeps to itself.
constexpr qreal LabelRoom = 0.25;
// Below this span the time axis shows milliseconds.
constexpr qint64 ShortSpanMs = 60 * 1000;
// How near a click must come to a point to pick it, in pixels.
constexpr qreal PickRadius = 6;
// A press that moves less than this is a click, not a drag.
constexpr int DragThreshold = 4;
constexpr qreal ZoomStep = 0.8;
constexpr int KeyScroll = 40;
constexpr size_t SmoothPointLimit = 20000;

const QColor Normal(32, 96, 192);
const QColor Failed(220, 0, 0);
const QColor Labelled(230, 140, 0);

// The date-time axis counts local time; the log's stamps carry none, so their wall-clock reading is kept.
qreal AxisTime(qint64 stampMs)
{
    const QDateTime stamp = QDateTime::fromMSecsSinceEpoch(stampMs, Qt::UTC);
    return qreal(QDateTime(stamp.date(), stamp.time()).toMSecsSinceEpoch());
}

// Points without lines between them. A line series draws its points in one go, where a scatter
// series makes an item per point and takes minutes over the commands of a big log.
QLineSeries* NewSeries(const QString& name, const QColor& colour, qreal size)
{
    auto* series = new QLineSeries;
    series->setName(name);
    QPen pen(colour);
    pen.setStyle(Qt::NoPen);
    series->setPen(pen);
    series->setPointsVisible(true);
    series->setMarkerSize(size);
    return series;
}

void Attach(QChart* chart, QAbstractSeries* series, QAbstractAxis* x, QAbstractAxis* y)
{
    chart->addSeries(series);
    series->attachAxis(x);
    series->attachAxis(y);
}

QChart* NewChart(const std::vector<QPointF>& values, const std::vector<TTimelinePoint>& points,
                 const QList<TSlowCommand>& slowest)
{
    auto* chart = new QChart;
    chart->setTitle(u"Длительность команд"_s);
    auto* x = new QDateTimeAxis;
    x->setTitleText(u"Время запроса"_s);
    auto* y = new QValueAxis;
    y->setTitleText(u"Длительность, мс"_s);
    y->setLabelFormat(u"%d"_s);
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);

    QList<QPointF> normal;
    QList<QPointF> failed;
    for (size_t i = 0; i < points.size(); ++i)
        (points[i].Failed ? failed : normal).append(values[i]);
    QLineSeries* normalSeries = NewSeries(u"Команды"_s, Normal, 4);
    normalSeries->replace(normal);
    QLineSeries* failedSeries = NewSeries(u"Ошибки"_s, Failed, 5);
    failedSeries->replace(failed);
    Attach(chart, normalSeries, x, y);
    Attach(chart, failedSeries, x, y);

    qreal minX = 0;
    qreal maxX = 0;
    qreal maxY = 0;
    if (!values.empty()) {
        const auto [least, most] = std::minmax_element(values.begin(), values.end(),
                                                       [](const QPointF& a, const QPointF& b) { return a.x() < b.x(); });
        minX = least->x();
        maxX = most->x();
        for (const QPointF& v : values)
            maxY = std::max(maxY, v.y());
    }

    std::unordered_map<qsizetype, size_t> pointOf;
    for (size_t i = 0; i < points.size(); ++i)
        pointOf.emplace(points[i].Index, i);
    // A label needs room: a slow command close in time to one labelled already goes without.
    const qreal labelRoom = (maxX - minX) * LabelRoom;
    std::vector<qreal> labelledAt;
    for (const TSlowCommand& slow : slowest) {
        const auto found = pointOf.find(slow.Index);
        if (found == pointOf.end())
            continue;
        const qreal at = values[found->second].x();
        if (qsizetype(labelledAt.size()) == LabelledCount
            || std::any_of(labelledAt.begin(), labelledAt.end(), [&](qreal x) { return std::abs(x - at) < labelRoom; }))
            continue;
        labelledAt.push_back(at);
        QLineSeries* label = NewSeries(QString(), Labelled, 6);
        label->append(values[found->second]);
        label->setPointLabelsFormat(u"#%1 %2: %3 мс"_s.arg(slow.Index).arg(slow.Name).arg(slow.DurationMs));
        label->setPointLabelsVisible(true);
        label->setPointLabelsClipping(false);
        Attach(chart, label, x, y);
        for (QLegendMarker* marker : chart->legend()->markers(label))
            marker->setVisible(false);
    }

    // Some room around the points, so none sits on the frame.
    const qreal margin = std::max<qreal>((maxX - minX) * 0.03, 50);
    const QDateTime first = QDateTime::fromMSecsSinceEpoch(qint64(minX - margin));
    const QDateTime last = QDateTime::fromMSecsSinceEpoch(qint64(maxX + margin));
    x->setRange(first, last);
    x->setFormat(first.msecsTo(last) < ShortSpanMs ? u"HH:mm:ss.zzz"_s
                 : first.date() == last.date()      ? u"HH:mm:ss"_s
                                                    : u"dd.MM HH:mm"_s);
    // Room above the highest point for its label.
    y->setRange(0, std::max<qreal>(maxY * 1.2, 10));
    y->applyNiceNumbers();
    chart->legend()->setAlignment(Qt::AlignTop);
    chart->legend()->setMarkerShape(QLegend::MarkerShapeCircle);
    return chart;
}

} // namespace

TTimelineView::TTimelineView(const std::vector<TTimelinePoint>& points, const QList<TSlowCommand>& slowest,
                             QWidget* parent)
    : QChartView(parent)
{
    FValues.reserve(points.size());
    FIndexes.reserve(points.size());
    for (const TTimelinePoint& point : points) {
        FValues.emplace_back(AxisTime(point.StartMs), qreal(point.DurationMs));
        FIndexes.push_back(point.Index);
    }
    setChart(NewChart(FValues, points, slowest));
    // Smooth points cost too much drawing time once there are many of them.
    setRenderHint(QPainter::Antialiasing, points.size() <= SmoothPointLimit);
    setFocusPolicy(Qt::StrongFocus);
}

std::optional<QPoint> TTimelineView::PositionOf(qsizetype index) const
{
    const auto found = std::find(FIndexes.begin(), FIndexes.end(), index);
    if (found == FIndexes.end() || chart()->series().isEmpty())
        return std::nullopt;
    const QPointF inChart = chart()->mapToPosition(FValues[size_t(found - FIndexes.begin())], chart()->series().first());
    return mapFromScene(chart()->mapToScene(inChart));
}

qsizetype TTimelineView::IndexAt(const QPoint& at) const
{
    if (chart()->series().isEmpty())
        return -1;
    QAbstractSeries* series = chart()->series().first();
    const QPointF inChart = chart()->mapFromScene(mapToScene(at));
    if (!chart()->plotArea().adjusted(-PickRadius, -PickRadius, PickRadius, PickRadius).contains(inChart))
        return -1;
    // Distances are measured in pixels: values are scaled by the pixels one unit takes.
    const QPointF origin = chart()->mapToValue(chart()->plotArea().topLeft(), series);
    const QPointF corner = chart()->mapToValue(chart()->plotArea().bottomRight(), series);
    const qreal perX = chart()->plotArea().width() / std::max<qreal>(corner.x() - origin.x(), 1e-9);
    const qreal perY = chart()->plotArea().height() / std::max<qreal>(origin.y() - corner.y(), 1e-9);
    const QPointF value = chart()->mapToValue(inChart, series);
    qsizetype best = -1;
    qreal bestDistance = PickRadius * PickRadius;
    for (size_t i = 0; i < FValues.size(); ++i) {
        const qreal dx = (FValues[i].x() - value.x()) * perX;
        const qreal dy = (FValues[i].y() - value.y()) * perY;
        const qreal distance = dx * dx + dy * dy;
        if (distance <= bestDistance) {
            bestDistance = distance;
            best = FIndexes[i];
        }
    }
    return best;
}

void TTimelineView::ZoomAround(const QPointF& at, qreal factor)
{
    const QRectF area = chart()->plotArea();
    const QPointF centre = area.contains(at) ? at : area.center();
    chart()->zoomIn(QRectF(centre.x() - (centre.x() - area.left()) * factor, centre.y() - (centre.y() - area.top()) * factor,
                           area.width() * factor, area.height() * factor));
}

void TTimelineView::wheelEvent(QWheelEvent* event)
{
    const int steps = event->angleDelta().y();
    if (steps == 0)
        return;
    ZoomAround(chart()->mapFromScene(mapToScene(event->position().toPoint())), steps > 0 ? ZoomStep : 1 / ZoomStep);
    event->accept();
}

void TTimelineView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return QChartView::mousePressEvent(event);
    FPressed = true;
    FDragged = false;
    FLastAt = event->position().toPoint();
    event->accept();
}

void TTimelineView::mouseMoveEvent(QMouseEvent* event)
{
    if (!FPressed)
        return QChartView::mouseMoveEvent(event);
    const QPoint at = event->position().toPoint();
    const QPoint step = at - FLastAt;
    if (!FDragged && step.manhattanLength() < DragThreshold)
        return;
    FDragged = true;
    chart()->scroll(-step.x(), step.y());
    FLastAt = at;
}

void TTimelineView::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !FPressed)
        return QChartView::mouseReleaseEvent(event);
    FPressed = false;
    if (FDragged)
        return;
    const qsizetype index = IndexAt(event->position().toPoint());
    if (index >= 0)
        emit PointClicked(index);
}

void TTimelineView::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Plus: ZoomAround(chart()->plotArea().center(), ZoomStep); break;
    case Qt::Key_Minus: ZoomAround(chart()->plotArea().center(), 1 / ZoomStep); break;
    case Qt::Key_Home: chart()->zoomReset(); break;
    case Qt::Key_Left: chart()->scroll(-KeyScroll, 0); break;
    case Qt::Key_Right: chart()->scroll(KeyScroll, 0); break;
    case Qt::Key_Up: chart()->scroll(0, KeyScroll); break;
    case Qt::Key_Down: chart()->scroll(0, -KeyScroll); break;
    default: QChartView::keyPressEvent(event); return;
    }
    event->accept();
}

QByteArray TimelinePicture(const std::vector<TTimelinePoint>& points, const QList<TSlowCommand>& slowest, QSize size)
{
    TTimelineView view(points, slowest);
    view.setAttribute(Qt::WA_DontShowOnScreen);
    view.resize(size);
    view.show();
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    view.grab().save(&buffer, "PNG");
    return png;
}

} // namespace kestrun
