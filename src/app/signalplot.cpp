// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/signalplot.h"

#include "app/signaltrace.h"
#include "log/candatamodel.h"
#include "log/logrecord.h"
#include "signals/dbcmessage.h"
#include "signals/decodedsignal.h"

#include <QPointer>

namespace {
const QString CursorLayer = QStringLiteral("cursor");
constexpr int Palette[] = {0x1565C0, 0xC62828, 0x2E7D32, 0xEF6C00, 0x6A1B9A,
                           0x00838F, 0x4E342E, 0xAD1457, 0x558B2F, 0x283593};
constexpr int PaletteSize = int(sizeof Palette / sizeof Palette[0]);

QColor colourOf(int trace)
{
    return QColor(QRgb(Palette[trace % PaletteSize]));
}
} // namespace

SignalPlot::SignalPlot(QWidget *parent) : QCustomPlot(parent), origin(TimedPacket::NoTime)
{
    setObjectName(QStringLiteral("signalPlot"));
    setInteractions(QCP::iRangeDrag | QCP::iRangeZoom);
    setNoAntialiasingOnDrag(true);
    addLayer(CursorLayer, layer(QStringLiteral("main")), limAbove);
    layer(CursorLayer)->setMode(QCPLayer::lmBuffered); // the cursor moves without a full redraw
    rebuild();
}

SignalPlot::~SignalPlot() = default;

void SignalPlot::setLog(CanDataModel *model)
{
    log = model;
    connect(log, &QAbstractItemModel::modelReset, this, &SignalPlot::onLogReset);
}

bool SignalPlot::addSignal(const DbcMessage *message, int signalIndex)
{
    if (hasSignal(message, signalIndex))
        return false;
    traces.push_back(std::make_unique<SignalTrace>(message, signalIndex));
    rebuild();
    refresh();
    return true;
}

void SignalPlot::removeSignal(const DbcMessage *message, int signalIndex)
{
    for (auto it = traces.begin(); it != traces.end(); ++it) {
        if ((*it)->message() == message && (*it)->signalIndex() == signalIndex) {
            traces.erase(it);
            rebuild();
            return;
        }
    }
}

bool SignalPlot::hasSignal(const DbcMessage *message, int signalIndex) const
{
    for (const auto &trace : traces) {
        if (trace->message() == message && trace->signalIndex() == signalIndex)
            return true;
    }
    return false;
}

void SignalPlot::clearSignals()
{
    traces.clear();
    rebuild();
}

int SignalPlot::pointCount(int trace) const
{
    return trace >= 0 && trace < traceCount() ? traces[size_t(trace)]->points()->size() : 0;
}

bool SignalPlot::isCollecting() const
{
    for (const auto &trace : traces) {
        if (trace->isCollecting())
            return true;
    }
    return false;
}

std::vector<DecodedCsvWriter::Column> SignalPlot::columns() const
{
    std::vector<DecodedCsvWriter::Column> list;
    for (const auto &trace : traces)
        list.push_back(DecodedCsvWriter::Column{trace->message(), trace->signalIndex()});
    return list;
}

void SignalPlot::setStacked(bool stacked)
{
    if (stacked == stackedPlots)
        return;
    stackedPlots = stacked;
    rebuild();
}

void SignalPlot::setFollowing(bool following)
{
    if (following == follow)
        return;
    follow = following;
    emit followingChanged(follow);
    if (follow)
        scrollToNewest();
    else
        showAll();
    replot();
}

void SignalPlot::onLogReset()
{
    for (auto &trace : traces)
        trace->reset();
    origin = TimedPacket::NoTime;
    rebuild();
}

void SignalPlot::refresh()
{
    if (!log || traces.empty())
        return;
    const qint64 rows = log->rowCount();
    if (rows > 0 && origin == TimedPacket::NoTime) {
        const qint64 first = log->frameAt(0).time;
        origin = first == TimedPacket::NoTime ? 0 : first;
    }
    if (takeRows(rows) && isVisible()) {
        if (follow)
            scrollToNewest();
        replot(rpQueuedReplot);
    }
}

// Returns whether any trace gained rows here.
bool SignalPlot::takeRows(qint64 rows)
{
    bool gained = false;
    for (auto &owned : traces) {
        SignalTrace *trace = owned.get();
        const qint64 backlog = rows - trace->rowsDone();
        if (trace->isCollecting() || backlog <= 0)
            continue;
        if (backlog > RowsPerRefresh) {
            QPointer<SignalPlot> plot(this);
            trace->collect(log->snapshot(), rows, origin, [plot, trace] {
                QMetaObject::invokeMethod(
                    plot, [plot, trace] { plot->onCollected(trace); }, Qt::QueuedConnection);
            });
            continue;
        }
        for (qint64 row = trace->rowsDone(); row < rows; ++row)
            trace->add(log->frameAt(int(row)), origin);
        gained = true;
    }
    return gained;
}

// Called on the window's thread; the trace may have been removed since.
void SignalPlot::onCollected(SignalTrace *trace)
{
    for (size_t i = 0; i < traces.size(); ++i) {
        if (traces[i].get() != trace)
            continue;
        trace->adopt();
        graphs[i]->setData(trace->points());
        refresh(); // rows that came while it was read
        if (follow)
            scrollToNewest();
        else
            showAll();
        replot();
        emit collected();
        return;
    }
}

// Graphs live on their axes: every change of layout builds them again over the same points.
void SignalPlot::rebuild()
{
    clearPlottables();
    clearItems();
    graphs.clear();
    cursorLines.clear();
    cursorLabel = nullptr;
    plotLayout()->clear();
    const int rects = stackedPlots ? qMax(1, traceCount()) : 1;
    auto *margins = new QCPMarginGroup(this);
    for (int i = 0; i < rects; ++i) {
        auto *rect = new QCPAxisRect(this);
        plotLayout()->addElement(i, 0, rect);
        rect->setMarginGroup(QCP::msLeft | QCP::msRight, margins);
        rect->axis(QCPAxis::atBottom)
            ->setLabel(i == rects - 1 ? SignalPlot::tr("Время, с") : QString());
        connect(rect->axis(QCPAxis::atBottom),
                QOverload<const QCPRange &>::of(&QCPAxis::rangeChanged), this,
                [this](const QCPRange &range) {
                    for (QCPAxisRect *each : axisRects())
                        each->axis(QCPAxis::atBottom)->setRange(range);
                    userMovedRange();
                });
        auto *line = new QCPItemStraightLine(this);
        line->setLayer(CursorLayer);
        line->setClipAxisRect(rect);
        for (QCPItemPosition *point : {line->point1, line->point2}) {
            point->setAxes(rect->axis(QCPAxis::atBottom), rect->axis(QCPAxis::atLeft));
            point->setAxisRect(rect);
            point->setTypeY(QCPItemPosition::ptAxisRectRatio); // top to bottom at any scale
        }
        line->setPen(QPen(Qt::black, 1.5));
        line->setVisible(false);
        cursorLines.push_back(line);
    }
    for (int i = 0; i < traceCount(); ++i) {
        QCPAxisRect *rect = rectFor(i);
        QCPGraph *graph = addGraph(rect->axis(QCPAxis::atBottom), rect->axis(QCPAxis::atLeft));
        graph->setData(traces[size_t(i)]->points());
        graph->setName(traces[size_t(i)]->title());
        graph->setPen(QPen(colourOf(i)));
        graph->setLineStyle(QCPGraph::lsStepLeft); // a signal holds its value until the next frame
        graphs.push_back(graph);
        if (stackedPlots)
            addTitle(rect, graph->name(), colourOf(i));
    }
    cursorLabel = new QCPItemText(this);
    cursorLabel->setLayer(CursorLayer);
    cursorLabel->setClipToAxisRect(false);
    cursorLabel->position->setType(QCPItemPosition::ptAxisRectRatio);
    cursorLabel->position->setAxisRect(axisRect(0));
    cursorLabel->position->setCoords(0.01, 0.02);
    cursorLabel->setPositionAlignment(Qt::AlignLeft | Qt::AlignTop);
    cursorLabel->setTextAlignment(Qt::AlignLeft);
    cursorLabel->setBrush(QBrush(QColor(255, 255, 255, 220)));
    cursorLabel->setPadding(QMargins(4, 2, 4, 2));
    QStringList titles;
    for (const auto &trace : traces)
        titles << trace->title();
    cursorLabel->setText(traceCount() == 0 ? tr("Двойной щелчок по сигналу "
                                                "добавляет его на график")
                                           : titles.join(QLatin1Char('\n')));
    if (follow)
        scrollToNewest();
    else
        showAll();
    replot();
}

void SignalPlot::addTitle(QCPAxisRect *rect, const QString &title, const QColor &colour)
{
    auto *text = new QCPItemText(this);
    text->setLayer(CursorLayer); // above the curves
    text->setClipAxisRect(rect);
    text->position->setType(QCPItemPosition::ptAxisRectRatio);
    text->position->setAxisRect(rect);
    text->position->setCoords(0.99, 0.02);
    text->setPositionAlignment(Qt::AlignRight | Qt::AlignTop);
    text->setColor(colour);
    text->setBrush(QBrush(QColor(255, 255, 255, 220)));
    text->setText(title);
}

QCPAxisRect *SignalPlot::rectFor(int trace)
{
    return axisRect(stackedPlots ? trace : 0);
}

double SignalPlot::newestKey() const
{
    double newest = 0;
    for (const auto &trace : traces) {
        if (!trace->points()->isEmpty())
            newest = qMax(newest, (trace->points()->constEnd() - 1)->key);
    }
    return newest;
}

void SignalPlot::scrollToNewest()
{
    const double newest = qMax(LiveSeconds, newestKey());
    moving = true;
    timeAxis()->setRange(newest - LiveSeconds, newest);
    moving = false;
    for (size_t i = 0; i < graphs.size(); ++i)
        graphs[i]->rescaleValueAxis(!stackedPlots && i > 0, true);
}

void SignalPlot::showAll()
{
    moving = true;
    rescaleAxes();
    moving = false;
}

// A drag or a zoom with the mouse: the user wants to look at this part, so stop scrolling.
void SignalPlot::userMovedRange()
{
    if (moving || !follow)
        return;
    follow = false;
    emit followingChanged(false);
}

void SignalPlot::mouseMoveEvent(QMouseEvent *event)
{
    QCustomPlot::mouseMoveEvent(event);
    if (traces.empty() || event->buttons() != Qt::NoButton)
        return;
    showCursorAt(timeAxis()->pixelToCoord(event->pos().x()));
    layer(CursorLayer)->replot();
}

QString SignalPlot::showCursorAt(double seconds)
{
    for (QCPItemStraightLine *line : cursorLines) {
        line->point1->setCoords(seconds, 0);
        line->point2->setCoords(seconds, 1);
        line->setVisible(true);
    }
    const QString text = cursorText(seconds);
    cursorLabel->setText(text);
    return text;
}

// The value each signal held at that moment: that of its last frame at or before it.
QString SignalPlot::cursorText(double seconds) const
{
    QString text = tr("t = %1 с").arg(seconds, 0, 'f', 3);
    for (const auto &trace : traces) {
        const auto points = trace->points();
        auto at = points->findEnd(seconds, false);
        const bool none = at == points->constBegin();
        const QString value = none ? QStringLiteral("—") : DecodedSignal::number((at - 1)->value);
        text += QStringLiteral("\n%1 = %2").arg(trace->title(), value);
    }
    return text;
}
