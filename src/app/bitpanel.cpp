// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/bitpanel.h"

#include "analysis/bitspancount.h"
#include "analysis/framestatistics.h"
#include "app/dbcloader.h"
#include "app/logpager.h"
#include "app/workbench/backgroundjob.h"
#include "link/timedpacket.h"
#include "log/candatamodel.h"
#include "log/rowstore.h"
#include "signals/signallayout.h"
#include "ui_bitpanel.h"

#include <QItemSelectionModel>
#include <QScrollBar>
#include <QTableView>
#include <QTimer>
#include <QtEndian>

namespace {

// A live capture's last seconds are counted again at most this often: a long span on a busy bus
// must not keep a core busy.
constexpr int RecountMs = 500;
// A selection dragged across rows changes many times; it is counted once it rests this long.
constexpr int SelectionRestMs = 150;

// Told apart on the heat colours: dark and saturated.
const QColor OutlineColours[] = {QColor(0, 90, 200),  QColor(0, 140, 60), QColor(140, 0, 160),
                                 QColor(0, 150, 160), QColor(120, 80, 0), QColor(200, 0, 100),
                                 QColor(60, 60, 60),  QColor(90, 110, 0)};

// The marks of counters and checksums, apart from the signals' colours.
const QColor CounterColour(220, 0, 220);
const QColor ChecksumColour(210, 0, 0);

// The data bytes of the newest frame, from the blocks of eight it reached.
int newestLength(const std::vector<BitActivity> &blocks)
{
    int length = 0;
    for (size_t block = 0; block < blocks.size(); ++block) {
        if (blocks[block].length > 0)
            length = int(block) * BitFlipCounter::BlockBytes + blocks[block].length;
    }
    return length;
}

} // namespace

BitPanel::BitPanel(QWidget *parent)
    : QWidget(parent), ui(new Ui::BitPanel), job(new BackgroundJob(this)),
      recountTimer(new QTimer(this)), selectionTimer(new QTimer(this))
{
    ui->setupUi(this);
    // A classic grid shows whole; the taller grid of long FD frames scrolls.
    ui->bitScroll->setMinimumSize(ui->bitGrid->minimumSize() +
                                  QSize(ui->bitScroll->verticalScrollBar()->sizeHint().width(), 0));
    recountTimer->setSingleShot(true);
    connect(recountTimer, &QTimer::timeout, this, [this] {
        if (span() == Span::LastSeconds && !job->busy())
            startCount();
    });
    selectionTimer->setSingleShot(true);
    selectionTimer->setInterval(SelectionRestMs);
    connect(selectionTimer, &QTimer::timeout, this, &BitPanel::recount);
    connect(job, &BackgroundJob::progress, this, [this](int permille) {
        ui->pbBitSpan->setVisible(job->busy()); // a quick count shows no bar at all
        ui->pbBitSpan->setValue(permille);
    });
    sinceCount.start();
    connect(ui->bitGrid, &BitGrid::selectionChanged, this, [this] {
        ui->btCreateSignal->setEnabled(key != BitFlipCounter::AnyKey &&
                                       ui->bitGrid->selectionFrom() >= 0);
    });
    connect(ui->bitGrid, &BitGrid::cellActivated, this, &BitPanel::onCellActivated);
}

BitPanel::~BitPanel()
{
    delete ui;
}

void BitPanel::clear()
{
    spanFlips.clear();
    spanReady = false;
    spanRows = 0;
    countedRows = -1;
    if (job->busy()) {
        ++generation;
        job->cancel();
    }
    updateSpanText();
    refresh();
}

void BitPanel::showId(quint32 id, bool extended)
{
    select(id, extended);
    refresh();
}

void BitPanel::select(quint32 id, bool extended)
{
    key = BitFlipCounter::key(id, extended);
    ui->btFindSignal->setEnabled(true);
    shownId = id;
    shownExtended = extended;
    candidateBits.clear();
    ui->bitGrid->clearSelection();
    ui->lbBitId->setText(
        QStringLiteral("ID 0x%1%2")
            .arg(QString::number(id, 16).toUpper(), extended ? tr(" (29 бит)") : QString()));
}

void BitPanel::showCandidate(quint32 id, bool extended, int startBit, int length, bool motorola)
{
    select(id, extended);
    candidateBits = SignalLayout::bits(
        startBit, length, motorola ? DbcSignal::ByteOrder::Motorola : DbcSignal::ByteOrder::Intel);
    refresh();
}

void BitPanel::refresh()
{
    if (!isVisible())
        return;
    if (span() == Span::LastSeconds && log && log->store().size() != countedRows)
        scheduleRecount();
    std::vector<BitActivity> blocks = shownBlocks();
    std::vector<quint64> masks;
    for (size_t block = 0; block < blocks.size(); ++block)
        masks.push_back(bg.mask(key, int(block)));
    updateOutlines(blocks);
    ui->bitGrid->setActivity(std::move(blocks), std::move(masks), bg.isSet(),
                             key == BitFlipCounter::AnyKey ? 8 : shownCounter().bytes(key));
}

std::vector<BitActivity> BitPanel::shownBlocks() const
{
    const BitFlipCounter &counter = shownCounter();
    std::vector<BitActivity> blocks;
    for (int block = 0; key != BitFlipCounter::AnyKey && block < counter.blocks(key); ++block)
        blocks.push_back(*counter.activity(key, block));
    return blocks;
}

void BitPanel::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    refresh();
}

// A click on the row already current shows its identifier again: the log or the signals may
// have shown another one since.
void BitPanel::follow(QTableView *statisticsView, const FrameStatistics *statistics)
{
    const auto show = [this, statistics](const QModelIndex &index) {
        if (const auto *entry = statistics->entryAt(index.row()))
            showId(entry->id, entry->extended);
    };
    connect(statisticsView->selectionModel(), &QItemSelectionModel::currentRowChanged, this, show);
    connect(statisticsView, &QAbstractItemView::clicked, this, show);
}

void BitPanel::showSignals(const DbcLoader *loader)
{
    dbc = loader;
    connect(loader, &DbcLoader::changed, this, &BitPanel::refresh);
    refresh();
}

// The signals of the message, those of a multiplexed message as the newest frame selects them.
void BitPanel::updateOutlines(const std::vector<BitActivity> &blocks)
{
    QVector<BitGrid::Outline> outlines;
    const DbcMessage *message = dbc && key != BitFlipCounter::AnyKey
                                    ? dbc->signalSet().message(shownId, shownExtended)
                                    : nullptr;
    uchar data[BitFlipCounter::MaxBlocks * BitFlipCounter::BlockBytes] = {};
    for (size_t block = 0; block < blocks.size(); ++block)
        qToLittleEndian<quint64>(blocks[block].word, data + block * BitFlipCounter::BlockBytes);
    const int length = blocks.empty() ? 8 : newestLength(blocks);
    ui->btEditMessage->setEnabled(message != nullptr);
    for (size_t i = 0; message && i < message->signalList.size(); ++i) {
        const DbcSignal &s = message->signalList[i];
        if (s.switchIndex != DbcSignal::NoSwitch && !message->isActive(int(i), data, length))
            continue;
        outlines << BitGrid::Outline{s.name, SignalLayout::bits(s.startBit, s.length, s.byteOrder),
                                     OutlineColours[i % std::size(OutlineColours)]};
    }
    for (const FieldMark &m : marked) {
        if (m.id == shownId && m.extended == shownExtended && key != BitFlipCounter::AnyKey)
            outlines << BitGrid::Outline{
                m.kindText(), SignalLayout::bits(m.startBit, m.length, DbcSignal::ByteOrder::Intel),
                m.kind == FieldMark::Counter ? CounterColour : ChecksumColour};
    }
    if (!candidateBits.isEmpty())
        outlines << BitGrid::Outline{tr("Кандидат"), candidateBits, QColor(230, 120, 0)};
    ui->bitGrid->setOutlines(outlines);
}

void BitPanel::showMarks(const std::vector<FieldMark> &marks)
{
    marked.clear();
    for (const FieldMark &m : marks) {
        if (m.kind == FieldMark::Counter || m.kind == FieldMark::Checksum)
            marked.push_back(m);
    }
    refresh();
}

void BitPanel::on_btRememberBackground_clicked()
{
    bg.remember(shownCounter());
    ui->btForgetBackground->setEnabled(true);
    refresh();
    emit backgroundChanged();
}

bool BitPanel::hasNewFlips(quint32 id, bool extended) const
{
    return bg.hasNewBits(BitFlipCounter::key(id, extended), *flips);
}

void BitPanel::on_btCreateSignal_clicked()
{
    const std::vector<BitActivity> blocks = shownBlocks();
    emit signalRequested(shownId, shownExtended, ui->bitGrid->selectionFrom(),
                         ui->bitGrid->selectionTo(), blocks.empty() ? 8 : newestLength(blocks));
}

void BitPanel::on_btEditMessage_clicked()
{
    emit messageEditRequested(shownId, shownExtended);
}

void BitPanel::on_btFindSignal_clicked()
{
    emit findSignalRequested(shownId, shownExtended);
}

void BitPanel::onCellActivated(int bit)
{
    const QString name = ui->bitGrid->signalAt(bit);
    if (!name.isEmpty())
        emit signalEditRequested(shownId, shownExtended, name);
}

void BitPanel::on_btForgetBackground_clicked()
{
    bg.forget();
    ui->btForgetBackground->setEnabled(false);
    refresh();
    emit backgroundChanged();
}

// Span

void BitPanel::attachLog(const CanDataModel *model, const LogPager *logPager)
{
    log = model;
    pager = logPager;
    ui->cbBitSpan->setEnabled(true);
    connect(pager, &LogPager::selectedRowsChanged, this, [this] {
        if (span() == Span::SelectedRows)
            selectionTimer->start();
    });
}

BitPanel::Span BitPanel::span() const
{
    return Span(ui->cbBitSpan->currentIndex());
}

const BitFlipCounter &BitPanel::shownCounter() const
{
    return span() != Span::WholeLog && spanReady ? spanFlips : *flips;
}

void BitPanel::on_cbBitSpan_currentIndexChanged(int)
{
    ui->sbBitSeconds->setEnabled(span() == Span::LastSeconds);
    if (span() == Span::WholeLog)
        spanReady = false; // going to another span later starts from the whole log's grid
    recount();
}

void BitPanel::on_sbBitSeconds_valueChanged(int)
{
    if (span() == Span::LastSeconds)
        recount();
}

// The user chose another span: a count of the one before is dropped, its grid kept meanwhile.
void BitPanel::recount()
{
    ++generation;
    if (job->busy()) {
        job->cancel();
        restart = span() != Span::WholeLog;
    } else if (span() != Span::WholeLog && log) {
        startCount();
    }
    updateSpanText();
    refresh();
}

void BitPanel::startCount()
{
    const RowSnapshot rows = log->snapshot();
    countedRows = rows.size();
    auto count = std::make_shared<BitSpanCount>(
        span() == Span::LastSeconds ? BitSpanCount::lastSeconds(rows, ui->sbBitSeconds->value())
                                    : BitSpanCount::picked(rows, pager->selection()));
    auto ok = std::make_shared<bool>(false);
    BackgroundJob *counting = job;
    job->start(
        [count, ok, counting] {
            *ok = count->run(counting->cancelFlag(), [counting](qint64 done, qint64 total) {
                counting->setProgress(total > 0 ? int(done * 1000 / total) : 0, 1000);
            });
        },
        [this, count, ok, forGeneration = generation] { onCounted(count, *ok, forGeneration); });
}

void BitPanel::onCounted(const std::shared_ptr<BitSpanCount> &count, bool ok, int forGeneration)
{
    ui->pbBitSpan->hide();
    sinceCount.restart();
    if (ok && forGeneration == generation && span() != Span::WholeLog) {
        spanFlips = std::move(count->counter());
        spanRows = count->rowCount();
        spanReady = true;
    }
    if (restart) {
        restart = false;
        if (span() != Span::WholeLog)
            startCount();
    }
    updateSpanText();
    refresh();
}

void BitPanel::scheduleRecount()
{
    if (!recountTimer->isActive() && !job->busy())
        recountTimer->start(int(qBound<qint64>(0, RecountMs - sinceCount.elapsed(), RecountMs)));
}

void BitPanel::updateSpanText()
{
    QString text;
    if (span() == Span::SelectedRows && pager && pager->selection().isEmpty())
        text = tr("Выделите строки в журнале");
    else if (span() != Span::WholeLog && spanReady)
        text = tr("Строк: %1").arg(spanRows);
    ui->lbBitSpan->setText(text);
}
