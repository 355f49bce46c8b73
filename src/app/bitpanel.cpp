// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/bitpanel.h"

#include "analysis/framestatistics.h"
#include "app/dbcloader.h"
#include "link/timedpacket.h"
#include "signals/signallayout.h"
#include "ui_bitpanel.h"

#include <QItemSelectionModel>
#include <QTableView>
#include <QtEndian>

namespace {

// Told apart on the heat colours: dark and saturated.
const QColor OutlineColours[] = {QColor(0, 90, 200),  QColor(0, 140, 60), QColor(140, 0, 160),
                                 QColor(0, 150, 160), QColor(120, 80, 0), QColor(200, 0, 100),
                                 QColor(60, 60, 60),  QColor(90, 110, 0)};

} // namespace

BitPanel::BitPanel(QWidget *parent) : QWidget(parent), ui(new Ui::BitPanel)
{
    ui->setupUi(this);
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

void BitPanel::add(const TimedPacket &frame)
{
    if (frame.packet.isRemote())
        return;
    flips.add(BitFlipCounter::key(frame.packet.id, frame.packet.isExtended()), frame.packet.data,
              frame.packet.length(), frame.time);
}

void BitPanel::clear()
{
    flips.clear();
    refresh();
}

void BitPanel::showId(quint32 id, bool extended)
{
    key = BitFlipCounter::key(id, extended);
    shownId = id;
    shownExtended = extended;
    candidateBits.clear();
    ui->bitGrid->clearSelection();
    ui->lbBitId->setText(
        QStringLiteral("ID 0x%1%2")
            .arg(QString::number(id, 16).toUpper(), extended ? tr(" (29 бит)") : QString()));
    refresh();
}

void BitPanel::showCandidate(quint32 id, bool extended, int startBit, int length, bool motorola)
{
    showId(id, extended);
    candidateBits = SignalLayout::bits(
        startBit, length, motorola ? DbcSignal::ByteOrder::Motorola : DbcSignal::ByteOrder::Intel);
    refresh();
}

void BitPanel::refresh()
{
    if (!isVisible())
        return;
    const BitActivity *activity = key == BitFlipCounter::AnyKey ? nullptr : flips.activity(key);
    ui->bitGrid->setActivity(activity, bg.mask(key), bg.isSet());
    updateOutlines(activity);
}

void BitPanel::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    refresh();
}

void BitPanel::follow(QTableView *statisticsView, const FrameStatistics *statistics)
{
    connect(statisticsView->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this, statistics](const QModelIndex &current) {
                if (const auto *entry = statistics->entryAt(current.row()))
                    showId(entry->id, entry->extended);
            });
}

void BitPanel::showSignals(const DbcLoader *loader)
{
    dbc = loader;
    connect(loader, &DbcLoader::changed, this, &BitPanel::refresh);
    refresh();
}

// The signals of the message, those of a multiplexed message as the newest frame selects them.
void BitPanel::updateOutlines(const BitActivity *activity)
{
    QVector<BitGrid::Outline> outlines;
    const DbcMessage *message = dbc && key != BitFlipCounter::AnyKey
                                    ? dbc->signalSet().message(shownId, shownExtended)
                                    : nullptr;
    uchar data[8] = {};
    if (activity)
        qToLittleEndian<quint64>(activity->word, data);
    const int length = activity ? activity->length : 8;
    for (size_t i = 0; message && i < message->signalList.size(); ++i) {
        const DbcSignal &s = message->signalList[i];
        if (s.switchIndex != DbcSignal::NoSwitch && !message->isActive(int(i), data, length))
            continue;
        outlines << BitGrid::Outline{s.name, SignalLayout::bits(s.startBit, s.length, s.byteOrder),
                                     OutlineColours[i % std::size(OutlineColours)]};
    }
    if (!candidateBits.isEmpty())
        outlines << BitGrid::Outline{tr("Кандидат"), candidateBits, QColor(230, 120, 0)};
    ui->bitGrid->setOutlines(outlines);
}

void BitPanel::on_btRememberBackground_clicked()
{
    bg.remember(flips);
    ui->btForgetBackground->setEnabled(true);
    refresh();
    emit backgroundChanged();
}

bool BitPanel::hasNewFlips(quint32 id, bool extended) const
{
    const quint32 k = BitFlipCounter::key(id, extended);
    const BitActivity *activity = flips.activity(k);
    return activity && bg.newBits(k, *activity) != 0;
}

void BitPanel::on_btCreateSignal_clicked()
{
    const BitActivity *activity = flips.activity(key);
    emit signalRequested(shownId, shownExtended, ui->bitGrid->selectionFrom(),
                         ui->bitGrid->selectionTo(), activity ? activity->length : 8);
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
