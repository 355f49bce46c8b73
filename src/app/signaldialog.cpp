// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/signaldialog.h"

#include "link/canpacket.h"
#include "signals/dbcwriter.h"
#include "signals/signallayout.h"
#include "ui_signaldialog.h"

#include <QPushButton>
#include <QRegularExpression>
#include <cmath>
#include <limits>

namespace {

// A number as typed, with a decimal point or comma; NaN when it is none.
double parseNumber(const QString &text)
{
    QString plain = text.trimmed();
    plain.replace(QLatin1Char(','), QLatin1Char('.'));
    bool ok = false;
    const double value = plain.toDouble(&ok);
    return ok ? value : std::numeric_limits<double>::quiet_NaN();
}

QString valuesText(const DbcValueTable &table)
{
    QStringList lines;
    for (const auto &entry : table.entries())
        lines << QString::number(entry.first) + QLatin1Char(' ') + entry.second;
    return lines.join(QLatin1Char('\n'));
}

// Lines "number text"; lines that do not start with a whole number are left out.
DbcValueTable parseValues(const QString &text)
{
    static const QRegularExpression line(QStringLiteral("^\\s*(-?\\d+)\\s+(.*\\S)\\s*$"));
    std::vector<DbcValueTable::Entry> entries;
    for (const QString &row : text.split(QLatin1Char('\n'))) {
        const QRegularExpressionMatch m = line.match(row);
        if (m.hasMatch())
            entries.emplace_back(m.captured(1).toLongLong(), m.captured(2));
    }
    DbcValueTable table;
    table.assign(std::move(entries));
    return table;
}

} // namespace

SignalDialog::SignalDialog(QWidget *parent) : QDialog(parent), ui(new Ui::SignalDialog)
{
    ui->setupUi(this);
    ui->cbByteOrder->addItems({QStringLiteral("Intel"), QStringLiteral("Motorola")});
    ui->cbMux->addItems({tr("Нет"), tr("Мультиплексор"), tr("По значению мультиплексора")});
    ui->sbStartBit->setRange(0, SignalLayout::MaxBytes * 8 - 1);
    ui->sbLength->setRange(0, 128); // out-of-range lengths are said, not silently clamped
    ui->sbMessageLength->setRange(0, SignalLayout::MaxBytes);
    connect(ui->sbMessageLength, QOverload<int>::of(&QSpinBox::valueChanged), this,
            [this](int bytes) {
                if (bytes > CanPacket::MaxClassicBytes)
                    ui->chkMessageFd->setChecked(true);
            });
    ui->sbMuxValue->setRange(0, std::numeric_limits<int>::max());
    ui->btDelete->hide();
}

SignalDialog::~SignalDialog()
{
    delete ui;
}

void SignalDialog::setMessage(const DbcMessage &message, bool isNew)
{
    base = message;
    ui->leMessageName->setText(message.name);
    ui->sbMessageLength->setValue(message.size);
    ui->chkMessageFd->setChecked(message.fd);
    ui->leTransmitter->setText(message.transmitter);
    ui->gbMessage->setEnabled(isNew);
}

void SignalDialog::setSignal(const DbcSignal &s, bool existing)
{
    original = s;
    ui->leName->setText(s.name);
    ui->cbByteOrder->setCurrentIndex(s.byteOrder == DbcSignal::ByteOrder::Intel ? 0 : 1);
    ui->sbStartBit->setValue(s.startBit);
    ui->sbLength->setValue(s.length);
    ui->chkSigned->setChecked(s.isSigned);
    ui->leFactor->setText(DbcWriter::number(s.factor));
    ui->leOffset->setText(DbcWriter::number(s.offset));
    ui->leMinimum->setText(DbcWriter::number(s.minimum));
    ui->leMaximum->setText(DbcWriter::number(s.maximum));
    ui->leUnit->setText(s.unit);
    ui->leReceivers->setText(s.receivers.join(QStringLiteral(", ")));
    ui->cbMux->setCurrentIndex(s.muxValue >= 0 ? ByValue : s.isMultiplexor ? Multiplexor : NoMux);
    ui->sbMuxValue->setValue(int(std::max<qint64>(s.muxValue, 0)));
    ui->pteValues->setPlainText(valuesText(s.valueTable));
    ui->pteComment->setPlainText(s.comment);
    ui->btDelete->setVisible(existing);
}

void SignalDialog::setSelection(int from, int to)
{
    fromBit = from;
    toBit = to;
    int start = 0;
    int length = 0;
    DbcSignal::ByteOrder order = DbcSignal::ByteOrder::Intel;
    SignalLayout::fromDrag(from, to, &start, &length, &order);
    const QSignalBlocker quiet(ui->cbByteOrder);
    ui->cbByteOrder->setCurrentIndex(order == DbcSignal::ByteOrder::Intel ? 0 : 1);
    ui->sbStartBit->setValue(start);
    ui->sbLength->setValue(length);
}

// The other order for bits dragged across: the same length over the same bytes, never fewer.
void SignalDialog::on_cbByteOrder_currentIndexChanged(int index)
{
    if (fromBit < 0)
        return;
    const auto before = index == 0 ? DbcSignal::ByteOrder::Motorola : DbcSignal::ByteOrder::Intel;
    ui->sbStartBit->setValue(
        SignalLayout::otherOrderStart(ui->sbStartBit->value(), ui->sbLength->value(), before));
}

DbcMessage SignalDialog::message() const
{
    DbcMessage m = base;
    m.name = ui->leMessageName->text().trimmed();
    m.size = ui->sbMessageLength->value();
    m.fd = ui->chkMessageFd->isChecked();
    m.transmitter = ui->leTransmitter->text().trimmed();
    return m;
}

DbcSignal SignalDialog::signal() const
{
    DbcSignal s = original;
    s.name = ui->leName->text().trimmed();
    s.byteOrder = ui->cbByteOrder->currentIndex() == 0 ? DbcSignal::ByteOrder::Intel
                                                       : DbcSignal::ByteOrder::Motorola;
    s.startBit = ui->sbStartBit->value();
    s.length = ui->sbLength->value();
    s.isSigned = ui->chkSigned->isChecked();
    s.factor = parseNumber(ui->leFactor->text());
    s.offset = parseNumber(ui->leOffset->text());
    s.minimum = parseNumber(ui->leMinimum->text());
    s.maximum = parseNumber(ui->leMaximum->text());
    s.unit = ui->leUnit->text();
    s.receivers.clear();
    for (const QString &r : ui->leReceivers->text().split(QLatin1Char(','), Qt::SkipEmptyParts))
        if (!r.trimmed().isEmpty())
            s.receivers << r.trimmed();
    const int mux = ui->cbMux->currentIndex();
    s.isMultiplexor = mux == Multiplexor;
    s.muxValue = mux == ByValue ? ui->sbMuxValue->value() : -1;
    if (mux != ByValue || original.muxValue != s.muxValue)
        s.extendedMux = false; // a value chosen here is plain multiplexing
    s.valueTable = parseValues(ui->pteValues->toPlainText());
    s.comment = ui->pteComment->toPlainText();
    return s;
}

QString SignalDialog::numbersProblem() const
{
    const std::pair<QLineEdit *, const char *> fields[] = {{ui->leFactor, QT_TR_NOOP("Множитель")},
                                                           {ui->leOffset, QT_TR_NOOP("Смещение")},
                                                           {ui->leMinimum, QT_TR_NOOP("Минимум")},
                                                           {ui->leMaximum, QT_TR_NOOP("Максимум")}};
    for (const auto &field : fields) {
        if (!std::isfinite(parseNumber(field.first->text())))
            return tr("%1: не число").arg(tr(field.second));
    }
    return QString();
}

void SignalDialog::accept()
{
    QString problem = numbersProblem();
    if (problem.isEmpty() && checker)
        problem = checker(message(), signal());
    ui->lbProblem->setText(problem);
    if (problem.isEmpty())
        QDialog::accept();
}

void SignalDialog::on_btDelete_clicked()
{
    deleting = true;
    QDialog::accept();
}
