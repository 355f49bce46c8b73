// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/transmit/hexspinbox.h"
#include "app/transmit/senddialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const qint64 Ms = 1000000; // in nanoseconds

template<typename T> T *cell(const SendDialog &dialog, int row, int column)
{
    auto *grid = dialog.findChild<QGridLayout *>(QStringLiteral("gridLayout"));
    return qobject_cast<T *>(grid->itemAtPosition(row + 1, column)->widget());
}

QPushButton *button(const SendDialog &dialog, const char *name)
{
    return dialog.findChild<QPushButton *>(name);
}

// Row `index` on, carrying `id` and followed by a pause of `delay` ms.
void activate(const SendDialog &dialog, int index, int id, int delay)
{
    cell<QCheckBox>(dialog, index, 1)->setChecked(true);
    cell<QSpinBox>(dialog, index, 2)->setValue(id);
    cell<QSpinBox>(dialog, index, 14)->setValue(delay);
}

QString items(const QComboBox *box)
{
    QStringList texts;
    for (int i = 0; i < box->count(); ++i)
        texts << box->itemText(i) + "=" + box->itemData(i).toString();
    return texts.join(',');
}

// Runs `act` on the file dialog once it is the active modal window.
void whenFileDialogUp(std::function<void(QFileDialog *)> act)
{
    auto *poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, [=] {
        if (auto *chooser = qobject_cast<QFileDialog *>(QApplication::activeModalWidget())) {
            poll->deleteLater();
            poll->stop();
            act(chooser);
        }
    });
    poll->start(10);
}

} // namespace

class TestSendDialog : public QObject
{
    Q_OBJECT

    SendDialog *dialog = nullptr;
    QList<uint> sentIds;
    QList<qint64> sentAt;
    QStringList statuses;
    QElapsedTimer clock;

    void setRepeat(int count) { dialog->findChild<QSpinBox *>("edRepeat")->setValue(count); }
    bool idle() const
    {
        return button(*dialog, "btSend")->isEnabled() && !button(*dialog, "btStop")->isEnabled();
    }

private slots:
    void init()
    {
        dialog = new SendDialog;
        sentIds.clear();
        sentAt.clear();
        statuses.clear();
        clock.start();
        connect(dialog, &SendDialog::sendPacket, this, [this](CanPacket packet) {
            QCOMPARE(packet.direct, int(CanPacket::Transmitted));
            sentIds << uint32_t(packet.id); // a copy: the packed field takes no reference
            sentAt << clock.nsecsElapsed();
        });
        connect(dialog, &SendDialog::sendStatus, this, [this](QString text) { statuses << text; });
    }
    void cleanup() { delete dialog; }

    void formAndGrid()
    {
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Отправка пакетов (кадров)"));
        QVERIFY(!(dialog->windowFlags() & Qt::WindowContextHelpButtonHint));
        QCOMPARE(dialog->size(), QSize(977, 265));
        QCOMPARE(dialog->maximumWidth(), 55555);
        QCOMPARE(dialog->font().pointSize(), 10);
        QVERIFY(idle());
        QCOMPARE(button(*dialog, "btOK")->text(), QStringLiteral("Сохранить и выйти"));
        // The caller's wiring and the binding by name rely on these methods in this order.
        QStringList methods;
        const QMetaObject *meta = dialog->metaObject();
        for (int i = meta->methodOffset(); i < meta->methodCount(); ++i)
            methods << meta->method(i).methodSignature();
        QCOMPARE(methods.join(' '), QStringLiteral("sendStatus(QString) sendPacket(CanPacket) "
                                                   "onSetActive(int) on_btSend_clicked() "
                                                   "on_btStop_clicked() on_btOK_clicked() "
                                                   "on_btCancel_clicked() on_btOpen_clicked()"));

        auto *grid = dialog->findChild<QGridLayout *>("gridLayout");
        QCOMPARE(QSize(grid->columnCount(), grid->rowCount()), QSize(18, 33));
        QStringList headers;
        for (int column = 0; column < 18; ++column)
            headers << qobject_cast<QLabel *>(grid->itemAtPosition(0, column)->widget())->text();
        QCOMPARE(headers.join(','), QStringLiteral("N,On/Off,ID (Max=0x1FFFFFFF),F/F,RTR,LEN,D0,D1,"
                                                   "D2,D3,D4,D5,D6,D7,Delay(mSec),FD,BRS,D8–D63"));
        for (int row = 0; row < 32; ++row) {
            QCOMPARE(cell<QLabel>(*dialog, row, 0)->text(), QString::asprintf("%02d", row));
            QCOMPARE(cell<QCheckBox>(*dialog, row, 1)->property("Row"), QVariant(row));
            QVERIFY(cell<QWidget>(*dialog, row, 2)->objectName().isEmpty());
        }
        QCOMPARE(cell<HexSpinBox>(*dialog, 31, 2)->maximum(), 0x1FFFFFFF);
        QCOMPARE(items(cell<QComboBox>(*dialog, 31, 3)), QStringLiteral("SFF=11,EFF=29"));
        QVERIFY(cell<QCheckBox>(*dialog, 31, 4));
        QCOMPARE(items(cell<QComboBox>(*dialog, 31, 5)),
                 QStringLiteral("0=0,1=1,2=2,3=3,4=4,5=5,6=6,7=7,8=8"));
        for (int column = 6; column < 14; ++column)
            QCOMPARE(cell<HexSpinBox>(*dialog, 31, column)->maximum(), 255);
        auto *delay = cell<QSpinBox>(*dialog, 31, 14);
        QVERIFY(!qobject_cast<HexSpinBox *>(delay));
        QCOMPARE(QPoint(delay->minimum(), delay->maximum()), QPoint(0, 65535));
    }

    // The identifier and data fields show their widest values whole in the font in use.
    void fieldsHoldTheirWidestText()
    {
        dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(dialog));
        const QFontMetrics metrics = cell<QWidget>(*dialog, 0, 2)->fontMetrics();
        int id = 0;
        int byte = 0;
        for (const QChar digit : QStringLiteral("0123456789ABCDEF"))
            id = qMax(id, metrics.horizontalAdvance("0x1" + QString(7, digit)));
        for (uint value = 0; value < 256; ++value)
            byte = qMax(byte, metrics.horizontalAdvance(QString::asprintf("0x%02X", value)));
        for (int row : {0, 31}) {
            QVERIFY(cell<QWidget>(*dialog, row, 2)->findChild<QLineEdit *>()->width() >= id);
            for (int column = 6; column < 14; ++column) {
                const auto *field = cell<QWidget>(*dialog, row, column)->findChild<QLineEdit *>();
                QVERIFY2(field->width() >= byte, qPrintable(QString::number(field->width())));
            }
        }
    }

    // An FD row: no remote form, the FD lengths up to 64, BRS, and bytes past the eighth typed
    // as hex; it goes out as it was made, and back to classic keeps what a classic frame has.
    void fdRows()
    {
        activate(*dialog, 0, 0x7E8, 0);
        auto *fd = cell<QCheckBox>(*dialog, 0, 15);
        auto *brs = cell<QCheckBox>(*dialog, 0, 16);
        auto *rtr = cell<QCheckBox>(*dialog, 0, 4);
        auto *length = cell<QComboBox>(*dialog, 0, 5);
        auto *rest = cell<QLineEdit>(*dialog, 0, 17);
        rtr->setChecked(true);
        length->setCurrentText("6");
        QVERIFY(!brs->isEnabled() && !rest->isEnabled());
        fd->setChecked(true);
        QVERIFY(!rtr->isChecked() && !rtr->isEnabled() && brs->isEnabled());
        QCOMPARE(items(length), QStringLiteral("0=0,1=1,2=2,3=3,4=4,5=5,6=6,7=7,8=8,12=12,16=16,"
                                               "20=20,24=24,32=32,48=48,64=64"));
        QCOMPARE(length->currentText(), QStringLiteral("6"));
        QVERIFY(!rest->isEnabled());
        length->setCurrentText("20");
        QVERIFY(rest->isEnabled());
        brs->setChecked(true);
        cell<QSpinBox>(*dialog, 0, 13)->setValue(0x77);
        QTest::keyClicks(rest, "aa bB 1 2G3"); // the validator takes no G
        QCOMPARE(rest->text(), QStringLiteral("aa bB 1 23"));
        QList<CanPacket> sent;
        connect(dialog, &SendDialog::sendPacket, this, [&](CanPacket packet) { sent << packet; });
        button(*dialog, "btSend")->click();
        QCOMPARE(sent.size(), 1);
        QCOMPARE(frameText(sent[0]),
                 QStringLiteral("[TX] F: 06 ID: 000007E8 RTL: 0B DATA: 00 00 00 "
                                "00 00 00 00 77 AA BB 01 23 00 00 00 00 00 00 "
                                "00 00"));
        fd->setChecked(false); // 20 becomes 8
        QCOMPARE(items(length), QStringLiteral("0=0,1=1,2=2,3=3,4=4,5=5,6=6,7=7,8=8"));
        QCOMPARE(length->currentText(), QStringLiteral("8"));
        QVERIFY(rtr->isEnabled() && !brs->isEnabled() && !rest->isEnabled());
        button(*dialog, "btSend")->click();
        QCOMPARE(frameText(sent[1]),
                 QStringLiteral("[TX] F: 00 ID: 000007E8 RTL: 08 DATA: 00 00 00 00 00 00 00 77"));
    }

    // A source that cannot send FD frames: the dialog says why, new rows cannot be made FD, and
    // an FD row from a file can still be made classic.
    void fdRefused()
    {
        auto *note = dialog->findChild<QLabel *>("lbFdRefused");
        dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(dialog));
        QVERIFY(!note->isVisible());
        cell<QCheckBox>(*dialog, 1, 15)->setChecked(true);
        dialog->setFdRefusal(QStringLiteral("модуль Tarvix не передаёт кадры CAN FD"));
        QVERIFY(note->isVisible());
        QCOMPARE(note->text(), QStringLiteral("Кадры CAN FD не отправляются: модуль Tarvix не "
                                              "передаёт кадры CAN FD"));
        auto *classic = cell<QCheckBox>(*dialog, 0, 15);
        auto *fd = cell<QCheckBox>(*dialog, 1, 15);
        QVERIFY(!classic->isEnabled());
        QCOMPARE(classic->toolTip(), QStringLiteral("модуль Tarvix не передаёт кадры CAN FD"));
        QVERIFY(fd->isEnabled());
        fd->setChecked(false);
        QVERIFY(!fd->isEnabled());
        dialog->setFdRefusal(QString());
        QVERIFY(!note->isVisible() && classic->isEnabled() && fd->isEnabled());
        QVERIFY(classic->toolTip().isEmpty());
    }

    // Pauses of 100/0/50 ms, twice: every frame is followed by its own pause, the last included.
    void runSendsInOrderWithPauses()
    {
        activate(*dialog, 0, 1, 100);
        activate(*dialog, 1, 2, 0);
        activate(*dialog, 2, 3, 50);
        setRepeat(2);
        bool runningState = true;
        connect(dialog, &SendDialog::sendPacket, this, [&] { runningState &= !idle(); });
        button(*dialog, "btSend")->click();
        const qint64 end = clock.nsecsElapsed();
        QCOMPARE(sentIds, QList<uint>({1, 2, 3, 1, 2, 3}));
        for (const CanPacket &packet : dialog->packetList())
            QCOMPARE(packet.direct, int(CanPacket::Received));
        QVERIFY(sentAt[1] - sentAt[0] >= 100 * Ms);
        QVERIFY(sentAt[3] - sentAt[2] >= 50 * Ms);
        QVERIFY(sentAt[4] - sentAt[3] >= 100 * Ms);
        QVERIFY(end - sentAt[5] >= 50 * Ms);
        QVERIFY(runningState && idle());
    }

    void stopLetsThePauseFinish()
    {
        activate(*dialog, 0, 1, 150);
        activate(*dialog, 1, 2, 0);
        setRepeat(3);
        QTimer::singleShot(20, button(*dialog, "btStop"), &QPushButton::click);
        button(*dialog, "btSend")->click();
        QCOMPARE(sentIds, QList<uint>({1}));
        QVERIFY(clock.nsecsElapsed() - sentAt[0] >= 150 * Ms);
        QVERIFY(idle());
    }

    // Without pauses nothing but the run happens; the repeat count is still read before each pass.
    void zeroDelayRunServesNoEvents()
    {
        activate(*dialog, 0, 1, 0);
        activate(*dialog, 4, 5, 0);
        bool served = false;
        QTimer::singleShot(0, this, [&] { served = true; });
        QTimer::singleShot(0, button(*dialog, "btStop"), &QPushButton::click);
        connect(dialog, &SendDialog::sendPacket, this, [&] { setRepeat(3); });
        button(*dialog, "btSend")->click();
        QCOMPARE(sentIds, QList<uint>({1, 5, 1, 5, 1, 5}));
        QVERIFY(!served);
        QTRY_VERIFY(served);
    }

    void startWithoutActiveRow()
    {
        cell<QSpinBox>(*dialog, 0, 2)->setValue(7);
        button(*dialog, "btSend")->click();
        QVERIFY(sentIds.isEmpty());
        QVERIFY(idle());
    }

    void activeRowsAreCompactedThroughTheFile()
    {
        QTemporaryDir dir;
        activate(*dialog, 2, 0x22, 0);
        activate(*dialog, 6, 0x66, 0);
        button(*dialog, "btOK")->click();
        dialog->writePackets(dir.filePath("list.json"));
        SendDialog reader;
        activate(reader, 9, 0x99, 0);
        reader.readPackets(dir.filePath("list.json"));
        for (int row = 0; row < 32; ++row)
            QCOMPARE(cell<QCheckBox>(reader, row, 1)->isChecked(), row < 2);
        QCOMPARE(cell<QSpinBox>(reader, 0, 2)->value(), 0x22);
        QCOMPARE(cell<QSpinBox>(reader, 1, 2)->value(), 0x66);
    }

    void openAsksForAFile()
    {
        QTemporaryDir dir;
        activate(*dialog, 3, 3, 0);
        QStringList seen;
        whenFileDialogUp([&](QFileDialog *chooser) {
            seen << chooser->windowTitle() << chooser->directory().absolutePath()
                 << chooser->nameFilters();
            chooser->reject();
        });
        button(*dialog, "btOpen")->click();
        QCOMPARE(seen, QStringList({"Открыть файл пакетов", QCoreApplication::applicationDirPath(),
                                    "*.json"}));
        QVERIFY(statuses.isEmpty());
        QVERIFY(cell<QCheckBox>(*dialog, 3, 1)->isChecked());

        button(*dialog, "btOK")->click();
        dialog->writePackets(dir.filePath("one.json"));
        whenFileDialogUp([&](QFileDialog *chooser) {
            if (QWidget *focused = chooser->focusWidget())
                focused->clearFocus(); // a focused name field ignores selectFile()
            chooser->selectFile(dir.filePath("one.json"));
            static_cast<QDialog *>(chooser)->accept();
        });
        button(*dialog, "btOpen")->click();
        QCOMPARE(statuses.last(), QStringLiteral("Чтение пакетов, всего: 1"));
        QVERIFY(cell<QCheckBox>(*dialog, 0, 1)->isChecked());
        QVERIFY(!cell<QCheckBox>(*dialog, 3, 1)->isChecked());
    }

    void okCollectsAndCancelDoesNot()
    {
        activate(*dialog, 5, 5, 0);
        QTimer::singleShot(0, button(*dialog, "btCancel"), &QPushButton::click);
        QCOMPARE(dialog->exec(), int(QDialog::Rejected));
        QVERIFY(dialog->packetList().isEmpty());
        QTimer::singleShot(0, button(*dialog, "btOK"), &QPushButton::click);
        QCOMPARE(dialog->exec(), int(QDialog::Accepted));
        QCOMPARE(dialog->packetList().size(), 1);
    }

    // Leaving during a pause ends the run so that exec() returns; a parent torn down during a
    // pause takes the dialog with it, and the run returns without touching it.
    void leavingDuringAPause()
    {
        activate(*dialog, 0, 1, 3000);
        activate(*dialog, 1, 2, 0);
        const auto leave = [&](std::function<void()> how) {
            connect(dialog, &SendDialog::sendPacket, this,
                    [=] { QTimer::singleShot(20, this, how); });
        };
        leave([&] { button(*dialog, "btOK")->click(); });
        QTimer::singleShot(0, button(*dialog, "btSend"), &QPushButton::click);
        QCOMPARE(dialog->exec(), int(QDialog::Accepted));
        QCOMPARE(sentIds, QList<uint>({1}));
        QVERIFY(idle());

        auto *parent = new QWidget;
        dialog->setParent(parent, Qt::Dialog);
        QPointer<SendDialog> child = dialog;
        dialog->disconnect(this);
        leave([=] { delete parent; });
        button(*dialog, "btSend")->click();
        QVERIFY(child.isNull());
        dialog = nullptr;
    }
};

QTEST_MAIN(TestSendDialog)
#include "tst_senddialog.moc"
