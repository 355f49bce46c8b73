// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/diagnosticspage.h"

#include "app/diagnosticsfilter.h"
#include "app/diagnosticsmodel.h"
#include "app/diagpairsdialog.h"
#include "diagnostics/diagnosticslog.h"
#include "diagnostics/diagpairtext.h"
#include "ui_diagnosticspage.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QSettings>
#include <algorithm>

namespace {

const QString PairsKey = QStringLiteral("DIAG");
const char *const Protocols[] = {"UDS", "OBD-II", "J1939", "J1939-TP"};

} // namespace

DiagnosticsPage::DiagnosticsPage(QWidget *parent)
    : QWidget(parent), ui(new Ui::DiagnosticsPage), messages(new DiagnosticsModel(this)),
      filter(new DiagnosticsFilter(this))
{
    ui->setupUi(this);
    filter->setSourceModel(messages);
    ui->tvDiagnostics->setModel(filter);
    setColumnWidths();
    ui->cbProtocol->addItem(tr("Все"), QString());
    for (const char *protocol : Protocols)
        ui->cbProtocol->addItem(QLatin1String(protocol), QLatin1String(protocol));
    connect(ui->cbProtocol, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            [this] { filter->setProtocol(ui->cbProtocol->currentData().toString()); });
    connect(ui->leEcu, &QLineEdit::textChanged, filter, &DiagnosticsFilter::setEcu);
    connect(ui->leService, &QLineEdit::textChanged, filter, &DiagnosticsFilter::setService);
    auto *copy = new QAction(tr("Копировать данные (hex)"), ui->tvDiagnostics);
    copy->setShortcut(QKeySequence::Copy);
    copy->setShortcutContext(Qt::WidgetShortcut);
    connect(copy, &QAction::triggered, this, &DiagnosticsPage::on_btCopy_clicked);
    ui->tvDiagnostics->addAction(copy);
    ui->tvDiagnostics->setContextMenuPolicy(Qt::ActionsContextMenu);
}

// Room for the usual texts; the meaning takes what is left.
void DiagnosticsPage::setColumnWidths()
{
    static const QPair<int, const char *> Widest[] = {
        {DiagnosticsModel::Time, "00:00:00.000"},
        {DiagnosticsModel::Direction, "Направление"},
        {DiagnosticsModel::Ids, "0x18DAF110"},
        {DiagnosticsModel::Protocol, "OBD-II"},
        {DiagnosticsModel::Address, "F1 → 10"},
        {DiagnosticsModel::Service, "ReadDataByIdentifier"},
        {DiagnosticsModel::ResponseTime, "Ответ, мс"},
        {DiagnosticsModel::Length, "Длина"}};
    QHeaderView *header = ui->tvDiagnostics->horizontalHeader();
    for (const auto &column : Widest) {
        const QString title = messages->headerData(column.first, Qt::Horizontal).toString();
        const int text = fontMetrics().horizontalAdvance(QString::fromUtf8(column.second));
        header->resizeSection(column.first,
                              qMax(text, header->fontMetrics().horizontalAdvance(title)) + 20);
    }
    header->setSectionResizeMode(DiagnosticsModel::Meaning, QHeaderView::Stretch);
    ui->tvDiagnostics->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
}

DiagnosticsPage::~DiagnosticsPage()
{
    delete ui;
}

void DiagnosticsPage::attach(DiagnosticsLog *log, QSettings *store)
{
    diagnostics = log;
    settings = store;
    if (settings)
        diagnostics->setPairs(loadPairs(*settings));
}

void DiagnosticsPage::refresh()
{
    if (diagnostics)
        messages->append(diagnostics->newMessages());
}

void DiagnosticsPage::clear()
{
    messages->clear();
}

QVector<DiagPair> DiagnosticsPage::pairs() const
{
    return diagnostics ? diagnostics->pairs() : QVector<DiagPair>();
}

void DiagnosticsPage::setPairs(const QVector<DiagPair> &pairs)
{
    if (diagnostics)
        diagnostics->setPairs(pairs);
    if (settings)
        savePairs(*settings, pairs);
}

QVector<DiagPair> DiagnosticsPage::loadPairs(const QSettings &store)
{
    QVector<DiagPair> pairs;
    for (const QString &text : store.value(PairsKey).toStringList()) {
        if (const auto pair = DiagPairText::fromText(text))
            pairs.append(*pair);
    }
    return pairs;
}

void DiagnosticsPage::savePairs(QSettings &store, const QVector<DiagPair> &pairs)
{
    QStringList texts;
    for (const DiagPair &pair : pairs)
        texts.append(DiagPairText::toText(pair));
    store.setValue(PairsKey, texts);
}

QString DiagnosticsPage::selectedPayloads() const
{
    QModelIndexList rows = ui->tvDiagnostics->selectionModel()->selectedRows();
    std::sort(rows.begin(), rows.end());
    QStringList lines;
    for (const QModelIndex &index : rows)
        lines.append(index.data(DiagnosticsModel::PayloadRole).toString());
    return lines.join('\n');
}

void DiagnosticsPage::on_btCopy_clicked()
{
    const QString text = selectedPayloads();
    if (!text.isEmpty())
        QApplication::clipboard()->setText(text);
}

void DiagnosticsPage::on_btPairs_clicked()
{
    auto *dialog = new DiagPairsDialog(this);
    dialog->setPairs(pairs());
    if (dialog->exec() == QDialog::Accepted)
        setPairs(dialog->pairs());
    dialog->deleteLater();
}

void DiagnosticsPage::on_tvDiagnostics_doubleClicked(const QModelIndex &index)
{
    if (!diagnostics)
        return;
    const qint64 first =
        diagnostics->logRowOf(index.data(DiagnosticsModel::FirstFrameRole).toULongLong());
    const qint64 last =
        diagnostics->logRowOf(index.data(DiagnosticsModel::LastFrameRole).toULongLong());
    if (first >= 0 || last >= 0)
        emit sendShowFrames(first >= 0 ? first : last, last >= 0 ? last : first);
}
