// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/canpacket.h"
#include "support/ptypair.h"
#include "support/simprocess.h"
#include "support/windowharness.h"

#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>

// The command page of the main window: the bytes that reach the line, the exchange listing, and a
// real conversation with the virtual module.
class TestCommandTab : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void pageContents();
    void doubleClickChoosesAndSends();
    void sendWithoutChoiceWarns();
    void speedSetting();
    void disconnectedTriesToConnectFirst();
    void repliesAreListed();
    void talksToTheVirtualModule();

private:
    QListWidget *commands() const { return ui.child<QListWidget>("lwCommand"); }
    QListWidget *listing() const { return ui.child<QListWidget>("lwList"); }
    QString lastLine() const { return listing()->item(listing()->count() - 1)->text(); }
    QListWidgetItem *command(int code) const;
    void doubleClick(QListWidgetItem *item) const;
    bool listingHas(const QString &start, const QString &part) const;

    std::unique_ptr<PtyPair> pty;
    WindowHarness ui;
    QTemporaryDir dir;
};

void TestCommandTab::init()
{
    pty = std::make_unique<PtyPair>();
    WindowHarness::writeSettings(pty->portName(), dir.path());
    ui.create();
    ui.child<QTabWidget>("tabWidget")->setCurrentIndex(1); // the command page
}

void TestCommandTab::cleanup()
{
    ui.destroy();
    pty.reset();
}

QListWidgetItem *TestCommandTab::command(int code) const
{
    for (int row = 0; row < commands()->count(); ++row) {
        if (commands()->item(row)->data(Qt::UserRole).toInt() == code)
            return commands()->item(row);
    }
    return nullptr;
}

void TestCommandTab::doubleClick(QListWidgetItem *item) const
{
    QListWidget *list = item->listWidget();
    list->scrollToItem(item);
    const QPoint at = list->visualItemRect(item).center();
    // A view takes a double click only on the item the button went down on.
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
}

bool TestCommandTab::listingHas(const QString &start, const QString &part) const
{
    for (int row = 0; row < listing()->count(); ++row) {
        const QString line = listing()->item(row)->text();
        if (line.startsWith(start) && line.contains(part))
            return true;
    }
    return false;
}

void TestCommandTab::pageContents()
{
    QCOMPARE(commands()->count(), 13);
    QCOMPARE(commands()->item(0)->text(), QStringLiteral("[0x01] Имя модуля"));
    QCOMPARE(commands()->item(7)->text(),
             QStringLiteral("[0x85] Выключение резистора на линии CAN0"));
    const QList<int> codes = {0x01, 0x02, 0x03, 0x83, 0x04, 0x05, 0x15,
                              0x85, 0x06, 0x16, 0x86, 0x10, 0x14};
    for (int row = 0; row < 13; ++row)
        QCOMPARE(commands()->item(row)->data(Qt::UserRole).toInt(), codes[row]);

    auto *speeds = ui.child<QComboBox>("cbCanSpeed");
    QCOMPARE(speeds->count(), 9);
    QCOMPARE(speeds->currentText(), QStringLiteral("125 kbit/s"));
    QCOMPARE(speeds->currentData().toInt(), 4);
    QCOMPARE(speeds->itemText(4), QStringLiteral("1 Mbit/s"));
    QCOMPARE(speeds->itemData(4).toInt(), 0);
    QCOMPARE(speeds->itemData(8).toInt(), 8);

    QCOMPARE(listing()->count(), 1);
    QCOMPARE(lastLine(), QStringLiteral("Can USB list..."));
    QCOMPARE(listing()->styleSheet(),
             QStringLiteral("color:rgb(160,160,160);background-color:black;"));
}

void TestCommandTab::doubleClickChoosesAndSends()
{
    QVERIFY(ui.connectPort());
    doubleClick(command(0x85));
    QCOMPARE(pty->read(3), QByteArray::fromHex("E185E1"));
    QCOMPARE(lastLine(), QStringLiteral("[WR]  0xE1 0x85 0xE1"));
    QCOMPARE(ui.status("lbStatusCan"), QStringLiteral("Запись буфера 3 байт"));

    // A single click elsewhere changes nothing: the button resends the double-clicked command.
    commands()->setCurrentItem(command(0x02));
    ui.child<QPushButton>("btSendPacket")->click();
    QCOMPARE(pty->read(3), QByteArray::fromHex("E185E1"));
}

void TestCommandTab::sendWithoutChoiceWarns()
{
    QVERIFY(ui.connectPort());
    commands()->setCurrentItem(command(0x01)); // selected, never double-clicked
    QString title, text;
    whenModal<QMessageBox>([&](QMessageBox *box) {
        title = box->windowTitle();
        text = box->text();
        box->accept();
    });
    ui.child<QPushButton>("btSendPacket")->click();
    QCOMPARE(title, QStringLiteral("Отправка пакета"));
    QCOMPARE(text, QStringLiteral("Не выбрана фукция!"));
    QCOMPARE(pty->read(1, 100), QByteArray());
    QCOMPARE(listing()->count(), 1);
}

void TestCommandTab::speedSetting()
{
    QVERIFY(ui.connectPort());
    ui.child<QPushButton>("btSetSpeed")->click();
    QCOMPARE(pty->read(3), QByteArray::fromHex("F104F1")); // the first entry, 125 kbit/s
    QCOMPARE(lastLine(), QStringLiteral("[WR]  0xF1 0x04 0xF1"));
    ui.setCombo("cbCanSpeed", 0);
    ui.child<QPushButton>("btSetSpeed")->click();
    QCOMPARE(pty->read(3), QByteArray::fromHex("F100F1"));
}

void TestCommandTab::disconnectedTriesToConnectFirst()
{
    // Nothing there: the line is listed, the bytes go nowhere.
    WindowHarness::writeSettings(dir.filePath(QStringLiteral("absent")), dir.path());
    ui.create();
    ui.child<QPushButton>("btSetSpeed")->click();
    QVERIFY(ui.status("lbStatusPort").endsWith(QStringLiteral(" ошибка соединения")));
    QCOMPARE(lastLine(), QStringLiteral("[WR]  0xF1 0x04 0xF1"));
    QCOMPARE(ui.status("lbStatusCan"), QStringLiteral("unkhown"));

    // The module is there: one press connects and sends.
    WindowHarness::writeSettings(pty->portName(), dir.path());
    ui.create();
    ui.child<QTabWidget>("tabWidget")->setCurrentIndex(1);
    doubleClick(command(0x01));
    QVERIFY(ui.status("lbStatusPort").endsWith(QStringLiteral(" открыт")));
    QCOMPARE(pty->read(3), QByteArray::fromHex("E101E1"));
}

void TestCommandTab::repliesAreListed()
{
    QVERIFY(ui.connectPort());
    const QByteArray reply = QByteArray::fromHex("EF41007F80") + QByteArray("CAN0 R=ON");
    QVERIFY(pty->write(reply));
    QTRY_VERIFY(listingHas(QStringLiteral("[ASCII] "), QString()));
    QCOMPARE(listing()->item(1)->text(), QStringLiteral("[RD] ") + byteListText(reply));
    QVERIFY(
        listing()->item(1)->text().startsWith(QStringLiteral("[RD]  0xEF 0x41 0x00 0x7F 0x80")));
    QCOMPARE(listing()->item(2)->text(),
             QStringLiteral("[ASCII] *A*") + QChar(0x7F) + QStringLiteral("*CAN0 R=ON"));
    // A reply changes nothing but the listing.
    QCOMPARE(ui.status("lbStatusCan"), QStringLiteral("Старт тестер"));
}

void TestCommandTab::talksToTheVirtualModule()
{
    SimProcess sim;
    QVERIFY(sim.start({QStringLiteral("--no-monitor")}));
    WindowHarness::writeSettings(sim.portName(), dir.path());
    ui.create();
    ui.child<QTabWidget>("tabWidget")->setCurrentIndex(1);
    QVERIFY(ui.connectPort());

    doubleClick(command(0x01));
    QTRY_VERIFY(listingHas(QStringLiteral("[ASCII] "), QStringLiteral("TARVIX")));
    QVERIFY(listingHas(QStringLiteral("[RD]  0xEF 0x01"), QString()));

    ui.setCombo("cbCanSpeed", 2); // 500 kbit/s
    ui.child<QPushButton>("btSetSpeed")->click();
    QTRY_VERIFY(listingHas(QStringLiteral("[RD]  0xF1 0x02"), QString()));
    doubleClick(command(0x10));
    QTRY_VERIFY(listingHas(QStringLiteral("[ASCII] "), QStringLiteral("CAN 500 kbit/s")));
    QCOMPARE(ui.log()->rowCount(), 0); // replies are never frames
    QCOMPARE(SimProcess::count(sim.stop(), QStringLiteral("commands answered")), 3);
}

QUORVEX_WINDOW_TEST_MAIN(TestCommandTab)
#include "tst_commandtab.moc"
