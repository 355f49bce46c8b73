// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/signalspage.h"
#include "ui_signalspage.h"

#include "app/savefiledialog.h"
#include "app/signalplot.h"
#include "log/candatamodel.h"
#include "log/logrecord.h"
#include "log/rowsnapshot.h"
#include "signals/decodedcsvwriter.h"
#include "signals/decodedsignal.h"
#include "signals/signalset.h"

#include <QCoreApplication>
#include <QPointer>
#include <QSaveFile>

namespace {

enum Column { NameColumn, ValueColumn, RawColumn, LabelColumn, RangeColumn };
constexpr int IndexRole = Qt::UserRole; // the signal's index in its message

// Every row of the snapshot through the writer; the reason of a failure in `error`.
bool writeDecoded(const RowSnapshot &rows, DecodedCsvWriter &writer, const std::atomic<bool> &stop,
                  QString *error)
{
    TimedPacket frame;
    for (qint64 row = 0; row < rows.size() && !stop; ++row) {
        if (!rows.readFrame(row, &frame)) {
            *error = SignalsPage::tr("строка %1 журнала не читается").arg(row + 1);
            return false;
        }
        if (!writer.write(frame))
            break;
    }
    if (stop) {
        *error = QCoreApplication::translate("ExportJob", "Отменено");
        return false;
    }
    if (!writer.finish())
        *error = writer.errorString();
    return error->isEmpty();
}

bool saveDecoded(const RowSnapshot &rows, std::vector<DecodedCsvWriter::Column> columns,
                 const QString &path, const std::atomic<bool> &stop, QString *error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        *error = file.errorString();
        return false;
    }
    DecodedCsvWriter writer(&file, std::move(columns));
    if (writeDecoded(rows, writer, stop, error) && file.commit())
        return true;
    if (error->isEmpty())
        *error = file.errorString();
    file.cancelWriting();
    return false;
}

} // namespace

SignalsPage::SignalsPage(QWidget *parent) : QWidget(parent), ui(new Ui::SignalsPage)
{
    ui->setupUi(this);
    ui->signalsSplitter->setStretchFactor(1, 2);
    connect(ui->twSignals, &QTreeWidget::itemChanged, this, &SignalsPage::onItemChanged);
    connect(ui->twSignals, &QTreeWidget::currentItemChanged, this, &SignalsPage::onItemPicked);
    connect(ui->twSignals, &QTreeWidget::itemClicked, this, &SignalsPage::onItemPicked);
    connect(ui->twSignals, &QTreeWidget::itemDoubleClicked, this, [](QTreeWidgetItem *item) {
        const bool on = item->checkState(NameColumn) == Qt::Checked;
        item->setCheckState(NameColumn, on ? Qt::Unchecked : Qt::Checked);
    });
    connect(ui->chkStacked, &QCheckBox::toggled, ui->signalPlot, &SignalPlot::setStacked);
    connect(ui->chkFollow, &QCheckBox::toggled, ui->signalPlot, &SignalPlot::setFollowing);
    connect(ui->signalPlot, &SignalPlot::followingChanged, ui->chkFollow, &QCheckBox::setChecked);
    connect(ui->btClearPlot, &QPushButton::clicked, this, [this] {
        ui->signalPlot->clearSignals();
        if (shown)
            list(*shown, shownPacket);
    });
    connect(ui->btExportSignals, &QPushButton::clicked, this, &SignalsPage::onExportClicked);
}

SignalsPage::~SignalsPage()
{
    stopExport = true;
    if (exporter.joinable())
        exporter.join();
}

void SignalsPage::attach(const SignalSet *signalSet, CanDataModel *model)
{
    set = signalSet;
    log = model;
    ui->signalPlot->setLog(model);
}

SignalPlot *SignalsPage::plot() const
{
    return ui->signalPlot;
}

// Filling the list moves its current item too: only the user's choice is told.
void SignalsPage::onItemPicked(QTreeWidgetItem *item)
{
    if (item && shown && !listing)
        emit messageSelected(shown->id, shown->extended);
}

void SignalsPage::onSignalSetChanged()
{
    ui->signalPlot->clearSignals();
    ui->twSignals->clear();
    shown = nullptr;
    ui->lbMessage->setText(tr("Выберите кадр в журнале или в статистике"));
}

void SignalsPage::showFrame(const CanPacket &packet)
{
    const DbcMessage *message = set ? set->message(packet.id, packet.isExtended()) : nullptr;
    const QString id = QStringLiteral("0x") + QString::number(packet.id, 16).toUpper();
    if (!message) {
        shown = nullptr;
        ui->twSignals->clear();
        ui->lbMessage->setText(tr("%1: нет в загруженных DBC").arg(id));
        return;
    }
    ui->lbMessage->setText(QStringLiteral("%1 %2").arg(id, message->name));
    ui->lbMessage->setToolTip(message->comment);
    list(*message, packet);
}

// Items are kept while the same signals show, so a live update does not lose the selection.
void SignalsPage::list(const DbcMessage &message, const CanPacket &packet)
{
    const QVector<DecodedSignal> found = DecodedSignal::decode(message, packet);
    listing = true;
    QTreeWidget *tree = ui->twSignals;
    bool same = shown == &message && tree->topLevelItemCount() == found.size();
    for (int i = 0; same && i < found.size(); ++i)
        same = tree->topLevelItem(i)->data(NameColumn, IndexRole).toInt() == found[i].index;
    if (!same)
        tree->clear();
    shown = &message;
    shownPacket = packet;
    for (int i = 0; i < found.size(); ++i) {
        const DecodedSignal &each = found[i];
        QTreeWidgetItem *item = same ? tree->topLevelItem(i) : new QTreeWidgetItem(tree);
        item->setText(NameColumn, each.signal->name);
        item->setText(ValueColumn, each.valueText());
        item->setText(RawColumn, each.rawText());
        item->setText(LabelColumn, each.labelText());
        item->setText(RangeColumn, each.rangeText());
        item->setData(NameColumn, IndexRole, each.index);
        for (int column = NameColumn; column <= RangeColumn; ++column)
            item->setToolTip(column, each.signal->comment);
        const bool plotted = ui->signalPlot->hasSignal(&message, each.index);
        item->setCheckState(NameColumn, plotted ? Qt::Checked : Qt::Unchecked);
    }
    if (!same) {
        for (int column = NameColumn; column <= RangeColumn; ++column)
            tree->resizeColumnToContents(column);
    }
    listing = false;
}

void SignalsPage::onItemChanged(QTreeWidgetItem *item, int column)
{
    if (listing || column != NameColumn || !shown)
        return;
    const int index = item->data(NameColumn, IndexRole).toInt();
    if (item->checkState(NameColumn) == Qt::Checked)
        ui->signalPlot->addSignal(shown, index);
    else
        ui->signalPlot->removeSignal(shown, index);
}

void SignalsPage::refresh()
{
    emit refreshed();
    ui->signalPlot->refresh();
}

void SignalsPage::onExportClicked()
{
    const QString path = SaveFileDialog::ask(this, tr("Экспорт сигналов в CSV"), QString(),
                                             tr("Таблица CSV (*.csv)"), QStringLiteral("csv"));
    if (!path.isEmpty())
        exportTo(path);
}

bool SignalsPage::exportTo(const QString &path)
{
    std::vector<DecodedCsvWriter::Column> columns = ui->signalPlot->columns();
    if (columns.empty() && shown)
        columns = DecodedCsvWriter::columnsOf(*shown);
    if (columns.empty() || !log || isExporting()) {
        emit status(isExporting() ? tr("Сигналы ещё экспортируются")
                                  : tr("Нет сигналов для экспорта"));
        return false;
    }
    log->flushRows();
    stopExport = false;
    QPointer<SignalsPage> page(this);
    exporter = std::thread([this, page, rows = log->snapshot(), columns, path] {
        QString error;
        const bool ok = saveDecoded(rows, columns, path, stopExport, &error);
        QMetaObject::invokeMethod(
            page, [this, ok, path, error] { onExported(ok, path, error); }, Qt::QueuedConnection);
    });
    emit status(tr("Экспорт сигналов в %1...").arg(path));
    return true;
}

void SignalsPage::onExported(bool ok, const QString &path, const QString &error)
{
    if (exporter.joinable())
        exporter.join();
    emit status(ok ? tr("Сигналы сохранены в %1").arg(path)
                   : tr("Сигналы не сохранены: %1").arg(error));
}
