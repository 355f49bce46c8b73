// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/transmit/senddialog.h"
#include "ui_senddialog.h"

#include "app/transmit/hexspinbox.h"
#include "transmit/transmitlist.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileDialog>
#include <QHideEvent>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <QSaveFile>
#include <QScreen>
#include <QScrollBar>
#include <QShowEvent>
#include <QTimer>

#include <algorithm>
#include <limits>

namespace {

enum Column {
    ColIndex,
    ColOn,
    ColId,
    ColFormat,
    ColRtr,
    ColLength,
    ColData0,
    ColDelay = ColData0 + 8,
    ColFd, // CAN FD: after the classic columns, which keep their places
    ColBrs,
    ColFdData, // bytes 8 .. 63
    ColumnCount
};

const char *const Headers[ColumnCount] = {
    "N",   "On/Off", "ID (Max=0x1FFFFFFF)",
    "F/F", "RTR",    "LEN",
    "D0",  "D1",     "D2",
    "D3",  "D4",     "D5",
    "D6",  "D7",     "Delay(mSec)",
    "FD",  "BRS",    "D8–D63",
};

const char *const RowProperty = "Row";
const int StandardData = 11; // "SFF": 11-bit identifier
const int ExtendedData = 29; // "EFF": 29-bit identifier
const int MaxLength = 8;     // the "LEN" items of a classic frame: item n is length n
const int FdDataMargin = 10; // the FD bytes field's frame and text margins

QLabel *centredLabel(const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setAlignment(Qt::AlignCenter);
    return label;
}

QCheckBox *narrowCheckBox(QWidget *parent)
{
    auto *box = new QCheckBox(parent);
    box->setMaximumWidth(22);
    return box;
}

QComboBox *formatBox(QWidget *parent)
{
    auto *box = new QComboBox(parent);
    box->addItem(QStringLiteral("SFF"), StandardData);
    box->addItem(QStringLiteral("EFF"), ExtendedData);
    box->setMaximumWidth(55);
    return box;
}

// The lengths a frame can have, as items whose data is the length; the chosen one stays where it
// can (an FD length above 8 becomes 8).
void fillLengths(QComboBox *box, bool fd)
{
    const int chosen = box->currentData().toInt();
    box->clear();
    for (int code = 0; code <= (fd ? 15 : MaxLength); ++code)
        box->addItem(QString::number(CanPacket::fdLength(code)), CanPacket::fdLength(code));
    box->setCurrentIndex(
        qMax(0, box->findData(qMin(chosen, fd ? CanPacket::MaxFdBytes : MaxLength))));
}

QComboBox *lengthBox(QWidget *parent)
{
    auto *box = new QComboBox(parent);
    fillLengths(box, false);
    box->setMaximumWidth(45); // "64"
    return box;
}

// Hex bytes separated by blanks; a longer run is read two digits a byte.
QByteArray hexBytes(const QString &text)
{
    QByteArray bytes;
    const QStringList tokens = text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    for (const QString &token : tokens) {
        for (int i = 0; i < token.size(); i += 2)
            bytes.append(char(token.midRef(i, 2).toUInt(nullptr, 16)));
    }
    return bytes;
}

QLineEdit *fdDataBox(QWidget *parent)
{
    auto *box = new QLineEdit(parent);
    box->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9A-Fa-f ]*")), box));
    box->setPlaceholderText(QStringLiteral("00 00 00"));
    box->setToolTip(SendDialog::tr("Байты данных с D8 по D63 кадра CAN FD, шестнадцатеричные через "
                                   "пробел; недостающие до длины кадра равны 0"));
    // Four bytes in sight: the row still fits a 1280-pixel screen; the field scrolls for more.
    box->setFixedWidth(box->fontMetrics().horizontalAdvance(QStringLiteral("00 00 00 00")) +
                       FdDataMargin);
    return box;
}

// As narrow as the widest value allows in the font in use, and no wider.
HexSpinBox *hexBox(QWidget *parent, int bits)
{
    auto *box = new HexSpinBox(parent, bits);
    box->setFixedWidth(box->sizeHint().width());
    return box;
}

QSpinBox *delayBox(QWidget *parent)
{
    auto *box = new QSpinBox(parent);
    box->setRange(0, 65535);
    box->setMaximumWidth(120);
    return box;
}

} // namespace

SendDialog::SendDialog(QWidget *parent) : QDialog(parent), ui(new Ui::SendDialog)
{
    ui->setupUi(this);
    createRows();
    setWindowTitle(tr("Отправка пакетов (кадров)"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
}

SendDialog::~SendDialog()
{
    // A run paused inside this dialog finds it gone once its wait returns.
    if (pauseLoop)
        pauseLoop->quit();
    delete ui;
}

// Wide enough for a whole row, the last bytes and the delay in sight, as far as the screen allows.
void SendDialog::fitWidthToRows()
{
    const int outside = width() - ui->scrollArea->viewport()->width();
    const int wanted = ui->scrollAreaWidgetContents->sizeHint().width() + outside +
                       ui->scrollArea->verticalScrollBar()->sizeHint().width();
    const QScreen *shown = screen();
    const int room = shown ? shown->availableGeometry().width() : wanted;
    resize(qMax(width(), qMin(wanted, room)), height());
}

// Grid

void SendDialog::createRows()
{
    createHeaders();
    for (int index = 0; index < RowCount; ++index)
        createRow(index);
}

void SendDialog::createHeaders()
{
    for (int column = 0; column < ColumnCount; ++column)
        ui->gridLayout->addWidget(centredLabel(QString::fromUtf8(Headers[column]), this), 0,
                                  column);
}

void SendDialog::createRow(int index)
{
    const int row = index + 1;
    auto *number = centredLabel(QStringLiteral("%1").arg(index, 2, 10, QLatin1Char('0')), this);
    number->setMaximumWidth(30);
    ui->gridLayout->addWidget(number, row, ColIndex);
    auto *on = narrowCheckBox(this);
    on->setProperty(RowProperty, index);
    rowActive[index] = false;
    connect(on, &QCheckBox::stateChanged, this, &SendDialog::onSetActive);
    ui->gridLayout->addWidget(on, row, ColOn);
    ui->gridLayout->addWidget(hexBox(this, 32), row, ColId);
    ui->gridLayout->addWidget(formatBox(this), row, ColFormat);
    ui->gridLayout->addWidget(narrowCheckBox(this), row, ColRtr);
    ui->gridLayout->addWidget(lengthBox(this), row, ColLength);
    for (int byte = 0; byte < 8; ++byte)
        ui->gridLayout->addWidget(hexBox(this, 8), row, ColData0 + byte);
    ui->gridLayout->addWidget(delayBox(this), row, ColDelay);
    auto *fd = narrowCheckBox(this);
    connect(fd, &QCheckBox::toggled, this, [this, index] { showFdState(index); });
    ui->gridLayout->addWidget(fd, row, ColFd);
    ui->gridLayout->addWidget(narrowCheckBox(this), row, ColBrs);
    auto *length = cell<QComboBox>(index, ColLength);
    connect(length, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            [this, index] { showFdState(index); });
    ui->gridLayout->addWidget(fdDataBox(this), row, ColFdData);
    showFdState(index);
}

// An FD frame has no remote form, may switch the bit rate, and carries up to 64 bytes; a source
// that cannot send FD frames lets the user make an FD row classic, not a classic one FD.
void SendDialog::showFdState(int index)
{
    auto *fdBox = cell<QCheckBox>(index, ColFd);
    const bool fd = fdBox->isChecked();
    fdBox->setEnabled(fdRefusal.isEmpty() || fd);
    fdBox->setToolTip(fdRefusal);
    auto *rtr = cell<QCheckBox>(index, ColRtr);
    if (fd)
        rtr->setChecked(false);
    rtr->setEnabled(!fd);
    cell<QCheckBox>(index, ColBrs)->setEnabled(fd);
    auto *length = cell<QComboBox>(index, ColLength);
    if ((length->count() > MaxLength + 1) != fd) {
        const QSignalBlocker quiet(length);
        fillLengths(length, fd);
    }
    cell<QLineEdit>(index, ColFdData)->setEnabled(fd && length->currentData().toInt() > MaxLength);
}

void SendDialog::setFdRefusal(const QString &why)
{
    fdRefusal = why;
    ui->lbFdRefused->setText(why.isEmpty() ? QString()
                                           : tr("Кадры CAN FD не отправляются: %1").arg(why));
    ui->lbFdRefused->setVisible(!why.isEmpty());
    for (int index = 0; index < RowCount; ++index)
        showFdState(index);
}

template<typename T> T *SendDialog::cell(int index, int column) const
{
    return qobject_cast<T *>(ui->gridLayout->itemAtPosition(index + 1, column)->widget());
}

void SendDialog::onSetActive(int state)
{
    const QObject *box = sender();
    const int index = box ? box->property(RowProperty).toInt() : -1;
    if (index >= 0 && index < RowCount)
        rowActive[index] = state != 0;
}

// Rows and list

void SendDialog::rowsToPackets()
{
    packets.clear();
    for (int index = 0; index < RowCount; ++index) {
        if (rowActive[index])
            packets.append(rowToPacket(index));
    }
}

CanPacket SendDialog::rowToPacket(int index) const
{
    CanPacket packet;
    packet.frame = cell<QComboBox>(index, ColFormat)->currentData().toInt() == StandardData ? 0 : 1;
    packet.id = uint32_t(cell<QSpinBox>(index, ColId)->value());
    const int length = cell<QComboBox>(index, ColLength)->currentData().toInt(); // none: 0
    packet.rtl =
        uint8_t((cell<QCheckBox>(index, ColRtr)->isChecked() ? 0x10 : 0) | (length & 0x0F));
    for (int byte = 0; byte < 8; ++byte)
        packet.data[byte] = uint8_t(cell<QSpinBox>(index, ColData0 + byte)->value() & 0xFF);
    packet.delay = uint32_t(cell<QSpinBox>(index, ColDelay)->value());
    if (cell<QCheckBox>(index, ColFd)->isChecked())
        rowToFd(index, length, packet);
    return packet;
}

void SendDialog::rowToFd(int index, int length, CanPacket &packet) const
{
    packet.rtl = 0;
    packet.setFdLength(length);
    if (cell<QCheckBox>(index, ColBrs)->isChecked())
        packet.frame |= CanPacket::BitRateSwitch;
    const QByteArray rest = hexBytes(cell<QLineEdit>(index, ColFdData)->text());
    const int count = qMin(int(rest.size()), packet.dataLength() - MaxLength);
    std::copy_n(rest.cbegin(), qMax(0, count), packet.data + MaxLength);
}

void SendDialog::packetsToRows()
{
    for (int index = 0; index < RowCount; ++index) {
        const bool shown = index < packets.size();
        if (shown)
            packetToRow(packets.at(index), index);
        switchRow(index, shown);
    }
}

// Values beyond a field's range are bounded by its spin box. A length above 8 (9 to 15, as a
// received frame may carry) shows as 8: an empty selector would be saved as length 0.
void SendDialog::packetToRow(const CanPacket &packet, int index)
{
    cell<QSpinBox>(index, ColId)->setValue(int(packet.id));
    auto *format = cell<QComboBox>(index, ColFormat);
    format->setCurrentIndex(format->findData(packet.isExtended() ? ExtendedData : StandardData));
    cell<QCheckBox>(index, ColFd)->setChecked(packet.isFd());
    cell<QCheckBox>(index, ColBrs)->setChecked(packet.frame & CanPacket::BitRateSwitch);
    cell<QCheckBox>(index, ColRtr)->setChecked(!packet.isFd() && (packet.rtl & 0x10));
    auto *length = cell<QComboBox>(index, ColLength);
    length->setCurrentIndex(packet.isFd() ? length->findData(packet.length())
                                          : qMin(packet.rtl & 0x0F, MaxLength));
    for (int byte = 0; byte < 8; ++byte)
        cell<QSpinBox>(index, ColData0 + byte)->setValue(packet.data[byte]);
    cell<QSpinBox>(index, ColDelay)->setValue(int(packet.delay));
    const int rest = packet.isFd() ? packet.dataLength() - MaxLength : 0;
    const QByteArray bytes(reinterpret_cast<const char *>(packet.data) + MaxLength, qMax(0, rest));
    auto *restBox = cell<QLineEdit>(index, ColFdData);
    restBox->setText(QString::fromLatin1(bytes.toHex(' ').toUpper()));
    restBox->setCursorPosition(0); // its first bytes in sight
}

void SendDialog::switchRow(int index, bool on)
{
    cell<QCheckBox>(index, ColOn)->setChecked(on);
    rowActive[index] = on;
}

// The run

void SendDialog::on_btSend_clicked()
{
    rowsToPackets();
    stopRequested = false;
    runAbandoned = false;
    setRunning(true);
    const QPointer<SendDialog> self(this);
    // The repeat count may change during pauses: it is read anew before every pass.
    for (int pass = 0; pass < ui->edRepeat->value(); ++pass) {
        sendPass(self, packets);
        if (!mayGoOn(self))
            break;
    }
    if (self)
        setRunning(false);
}

// Works on its own copy of the list, taken at the start of the pass: the rows may be collected
// anew (OK) or a file opened during a pause. The dialog may be gone after any emission or pause.
void SendDialog::sendPass(const QPointer<SendDialog> &dialog, const QList<CanPacket> list)
{
    for (const CanPacket &entry : list) {
        if (!mayGoOn(dialog))
            return;
        CanPacket frame = entry;
        frame.direct = CanPacket::Transmitted;
        emit dialog->sendPacket(frame);
        if (!dialog)
            return;
        dialog->delayMsec(frame.delay);
    }
}

bool SendDialog::mayGoOn(const QPointer<SendDialog> &dialog)
{
    return dialog && !dialog->stopRequested && !dialog->runAbandoned;
}

// Serves events until `ms` have passed on the monotonic clock. A pause of 0 serves nothing, so
// frames without pauses go out back to back.
void SendDialog::delayMsec(uint32_t ms)
{
    if (ms == 0)
        return;
    const QPointer<SendDialog> self(this);
    QElapsedTimer clock;
    clock.start();
    for (qint64 left = ms; left > 0 && !runAbandoned; left = qint64(ms) - clock.elapsed()) {
        QEventLoop loop;
        pauseLoop = &loop;
        const int slice = int(qMin<qint64>(left, std::numeric_limits<int>::max()));
        QTimer::singleShot(slice, Qt::PreciseTimer, &loop, &QEventLoop::quit);
        const int code = loop.exec();
        if (!self)
            return;
        pauseLoop = nullptr;
        // A loop refuses to start once the application is leaving; waiting on would spin.
        if (code != 0)
            runAbandoned = true;
    }
}

void SendDialog::setRunning(bool running)
{
    ui->btSend->setEnabled(!running);
    ui->btStop->setEnabled(running);
}

// The flag is looked at before each frame: a pause under way runs to its end.
void SendDialog::on_btStop_clicked()
{
    stopRequested = true;
}

// Closing the dialog ends a run at once, so that the caller's exec() can return.
// Minimising (a spontaneous hide) does not.
// Measured once shown: only then have the rows and the viewport their real sizes.
void SendDialog::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!widthFitted) {
        widthFitted = true;
        fitWidthToRows();
    }
}

void SendDialog::hideEvent(QHideEvent *event)
{
    if (!event->spontaneous()) {
        runAbandoned = true;
        if (pauseLoop)
            pauseLoop->quit();
    }
    QDialog::hideEvent(event);
}

// Buttons

void SendDialog::on_btOK_clicked()
{
    rowsToPackets();
    accept();
}

void SendDialog::on_btCancel_clicked()
{
    reject();
}

void SendDialog::on_btOpen_clicked()
{
    const QString path = QFileDialog::getOpenFileName(this, tr("Открыть файл пакетов"),
                                                      QCoreApplication::applicationDirPath(),
                                                      QStringLiteral("*.json"));
    if (!path.isEmpty())
        readPackets(path);
}

// The file

void SendDialog::readPackets(const QString &path)
{
    QByteArray bytes;
    QFile file(path);
    if (file.open(QIODevice::ReadOnly)) {
        bytes = file.readAll();
        file.close();
    } else {
        emit sendStatus(tr("Ошибка чтения пакета отправки"));
    }
    if (bytes.isEmpty()) {
        emit sendStatus(tr("Чтение пакета отправки, нет данных"));
        return;
    }
    packets = TransmitList::parse(bytes);
    packetsToRows();
    emit sendStatus(tr("Чтение пакетов, всего: %1").arg(packets.size()));
}

// Written beside the target and renamed over it, so a failed write leaves the old file whole.
// A short list stays in the file's buffer until flushed, and commit() would not notice that the
// flush failed (a full disk): it is flushed and checked here first.
void SendDialog::writePackets(const QString &path)
{
    if (packets.isEmpty()) {
        emit sendStatus(tr("Запись пакета отправки, нет данных"));
        return;
    }
    const QByteArray text = TransmitList::toJson(packets);
    QSaveFile file(path);
    const bool written = file.open(QIODevice::WriteOnly) && file.write(text) == text.size() &&
                         file.flush() && file.commit();
    emit sendStatus(written ? tr("Запись пакета отправки, ОК")
                            : tr("Ошибка записи пакета отправки"));
}
