// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/module/canconfig.h"

#include <QApplication>
#include <QComboBox>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>

class TestCanConfig : public QObject
{
    Q_OBJECT

    CanConfig *dialog = nullptr;
    QListWidget *list = nullptr;
    QComboBox *speeds = nullptr;

    void press(const char *name) { dialog->findChild<QPushButton *>(name)->click(); }

private slots:
    void init()
    {
        dialog = new CanConfig;
        list = dialog->findChild<QListWidget *>("listWidget");
        speeds = dialog->findChild<QComboBox *>("cbCanSpeed");
    }
    void cleanup() { delete dialog; }

    void contents()
    {
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Конфигурация модуля Tarvix_vxx"));
        QCOMPARE(list->count(), 13);
        QCOMPARE(list->currentItem(), nullptr);
        for (int row = 0; row < list->count(); ++row) { // each caption names its own code
            const QString caption = list->item(row)->text();
            QCOMPARE(list->item(row)->data(Qt::UserRole).toInt(),
                     caption.mid(3, 2).toInt(nullptr, 16));
        }
        QCOMPARE(speeds->count(), 9);
        QCOMPARE(speeds->currentText(), QStringLiteral("125 kbit/s"));
        QCOMPARE(speeds->currentData(), QVariant(4));
    }

    void sendsCurrentCommandAndSpeed()
    {
        dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(dialog));
        QSignalSpy spy(dialog, &CanConfig::sendBuffer);
        const QListWidgetItem *item = list->findItems(
            QStringLiteral("[0x16] Опрос состояния резистора на линии CAN1"), Qt::MatchExactly)[0];
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(item).center());
        press("btSendPacket");
        list->setCurrentRow(0);
        list->currentItem()->setData(Qt::UserRole, 0x42); // the caption still reads 0x01
        press("btSendPacket");
        speeds->setCurrentIndex(speeds->findText(QStringLiteral("20 kbit/s")));
        press("btSetSpeed");
        QCOMPARE(spy.count(), 3);
        QCOMPARE(spy[0][0].toByteArray(), QByteArray("\xE1\x16\xE1"));
        QCOMPARE(spy[1][0].toByteArray(), QByteArray("\xE1\x42\xE1"));
        QCOMPARE(spy[2][0].toByteArray(), QByteArray("\xF1\x07\xF1"));
        QVERIFY(dialog->isVisible());
    }

    void warnsWithoutSelection()
    {
        QSignalSpy spy(dialog, &CanConfig::sendBuffer);
        QVariantList seen;
        auto *poll = new QTimer(dialog); // dies with the dialog if no box ever shows
        connect(poll, &QTimer::timeout, [&] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!box)
                return;
            poll->stop();
            seen << box->windowTitle() << box->text() << int(box->standardButtons())
                 << (box->parentWidget() == dialog);
            box->accept();
        });
        poll->start(0);
        press("btSendPacket"); // returns once the box is closed
        QCOMPARE(seen, QVariantList(
                           {"Отправка пакета", "Не выбрана фукция!", int(QMessageBox::Ok), true}));
        QCOMPARE(spy.count(), 0);
    }

    void exitEndsModalRun()
    {
        QTimer::singleShot(0, dialog, [this] {
            press("btCancel");
            if (dialog->isVisible())
                dialog->done(-1); // never leave the run waiting
        });
        QCOMPARE(dialog->exec(), int(QDialog::Rejected));
        QVERIFY(!dialog->isVisible());
    }
};

QTEST_MAIN(TestCanConfig)
#include "tst_canconfig.moc"
