// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/aboutdialog.h"
#include "app/configdialog.h"

#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSerialPortInfo>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

namespace {

QStringList itemTexts(const QComboBox *box)
{
    QStringList texts;
    for (int i = 0; i < box->count(); ++i)
        texts << box->itemText(i);
    return texts;
}

// Answers the folder chooser once it is up: `answer` empty cancels. Records its caption.
void answerChooser(QString *caption, const QString &answer)
{
    auto *poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, [=] {
        auto *chooser = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        if (!chooser)
            return;
        poll->deleteLater();
        poll->stop();
        *caption = chooser->testOption(QFileDialog::ShowDirsOnly) ? chooser->windowTitle() : "";
        if (answer.isEmpty()) {
            chooser->reject();
        } else {
            chooser->setDirectory(answer); // nothing typed: the answer is the open folder
            static_cast<QDialog *>(chooser)->accept();
        }
    });
    poll->start(10);
}

} // namespace

class TestDialogs : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir startDir;
    QTemporaryDir otherDir;
    ConfigDialog *dialog = nullptr;

    template<typename T> T *widget(const char *name) const
    {
        T *found = dialog->findChild<T *>(name);
        if (!found)
            qFatal("no widget %s", name);
        return found;
    }

    AppSettings sample() const
    {
        return {startDir.path(), "ttyUSB0", 57600, "carried", 0x7E8, "bench.json", false};
    }

    int runPressing(const char *button)
    {
        QTimer::singleShot(0, widget<QPushButton>(button), &QPushButton::click);
        return dialog->exec();
    }

private slots:
    void init()
    {
        dialog = new ConfigDialog;
        // Stand-ins for the machine's serial ports, which differ from host to host.
        widget<QComboBox>("cbPorts")->clear();
        widget<QComboBox>("cbPorts")->addItems({"ttyUSB0", "ttyUSB1", "ttyACM0"});
    }
    void cleanup() { delete dialog; }

    void listsOfPortsAndRates()
    {
        ConfigDialog fresh;
        QCOMPARE(fresh.windowTitle(), QString("Установка конфигурации"));
        QStringList available;
        for (const QSerialPortInfo &port : QSerialPortInfo::availablePorts())
            available << port.portName();
        QCOMPARE(itemTexts(fresh.findChild<QComboBox *>("cbPorts")), available);
        auto *rates = fresh.findChild<QComboBox *>("cbPortSpeed");
        QCOMPARE(itemTexts(rates).join(' '), QString("460800 230400 115200 57600 9600"));
        QCOMPARE(rates->currentIndex(), 0);
        for (int i = 0; i < rates->count(); ++i)
            QCOMPARE(rates->itemData(i).toInt(), rates->itemText(i).toInt());
    }

    void setSettingsSelects_data()
    {
        QTest::addColumn<QString>("port");
        QTest::addColumn<QVariant>("baud");
        QTest::addColumn<QString>("shown");
        QTest::newRow("known") << "ttyUSB1" << QVariant(9600) << "ttyUSB1 9600";
        QTest::newRow("baud as text") << "ttyACM0" << QVariant("230400") << "ttyACM0 230400";
        QTest::newRow("unlisted") << "COM9" << QVariant(921600) << "COM9 460800";
        QTest::newRow("other case") << "TTYUSB1" << QVariant() << "TTYUSB1 460800";
        QTest::newRow("pty link") << "/tmp/ttyV0" << QVariant(9600) << "/tmp/ttyV0 9600";
        QTest::newRow("by id") << "/dev/serial/by-id/usb-0403_6001-if00" << QVariant(9600)
                               << "/dev/serial/by-id/usb-0403_6001-if00 9600";
        QTest::newRow("none stored") << "" << QVariant(9600) << "ttyUSB0 9600";
    }
    void setSettingsSelects()
    {
        QFETCH(QString, port);
        QFETCH(QVariant, baud);
        dialog->setSettings({startDir.path(), port, baud, 0, 0, "x.json", true});
        QTEST(widget<QComboBox>("cbPorts")->currentText() + ' ' +
                  widget<QComboBox>("cbPortSpeed")->currentText(),
              "shown");
        QCOMPARE(widget<QLineEdit>("edPath")->text() + widget<QLineEdit>("edFileName")->text(),
                 startDir.path() + "x.json");
    }

    void saveTakesEditsAndPassesTheRestThrough()
    {
        dialog->setSettings(sample());
        widget<QComboBox>("cbPorts")->setCurrentText("ttyACM0");
        widget<QComboBox>("cbPortSpeed")->setCurrentText("460800");
        widget<QLineEdit>("edFileName")->setText("other.json");
        QCOMPARE(runPressing("btSave"), int(QDialog::Accepted));
        QVERIFY(!dialog->isVisible());
        const AppSettings saved = dialog->getSettings();
        QCOMPARE(saved.portName + ' ' + saved.fileName, QString("ttyACM0 other.json"));
        QCOMPARE(saved.baudRate.type(), QVariant::Int); // the item's number, not its caption
        QCOMPARE(saved.baudRate.toInt(), 460800);
        QCOMPARE(saved.workDir, startDir.path());
        QCOMPARE(saved.canSpeed, QVariant("carried"));
        QCOMPARE(saved.canId, QVariant(0x7E8));
        QCOMPARE(saved.showTx, false);
    }

    void saveWithUnlistedOrNoPorts()
    {
        AppSettings config = sample();
        config.portName = "/dev/pts/7"; // the system does not list pty links
        dialog->setSettings(config);
        QCOMPARE(runPressing("btSave"), int(QDialog::Accepted));
        QCOMPARE(dialog->getSettings().portName, QString("/dev/pts/7"));
        dialog->setSettings(dialog->getSettings());
        QCOMPARE(itemTexts(widget<QComboBox>("cbPorts")).join(' '),
                 QString("ttyUSB0 ttyUSB1 ttyACM0 /dev/pts/7")); // added once, after the rest
        config.portName = AppSettings::defaults().portName; // a first start: no port chosen yet
        dialog->setSettings(config);
        QCOMPARE(widget<QComboBox>("cbPorts")->count(), 4);
        widget<QComboBox>("cbPorts")->clear();
        widget<QLineEdit>("edFileName")->clear();
        QCOMPARE(runPressing("btSave"), int(QDialog::Accepted));
        QCOMPARE(dialog->getSettings().portName + dialog->getSettings().fileName, QString());
    }

    void exitRejects()
    {
        dialog->setSettings(sample());
        QCOMPARE(runPressing("btExit"), int(QDialog::Rejected));
        QVERIFY(!dialog->isVisible());
    }

    void workDirChangesOnlyThroughChooser()
    {
        dialog->setSettings(sample());
        auto *path = widget<QLineEdit>("edPath");
        path->clear();
        QTest::keyClicks(path, "/typed/elsewhere");
        QString caption;
        answerChooser(&caption, QString());
        widget<QPushButton>("btSetPath")->click();
        QCOMPARE(caption, QString("Рабочая папка"));
        QCOMPARE(path->text(), startDir.path());

        answerChooser(&caption, otherDir.path());
        widget<QPushButton>("btSetPath")->click();
        const QString chosen = QFileInfo(otherDir.path()).canonicalFilePath();
        QCOMPARE(QFileInfo(path->text()).canonicalFilePath(), chosen);
        QTest::keyClicks(path, "/typed");
        QCOMPARE(runPressing("btSave"), int(QDialog::Accepted));
        QCOMPARE(QFileInfo(dialog->getSettings().workDir).canonicalFilePath(), chosen);
    }

    void aboutShowsIdentityAndOkCloses()
    {
        AboutDialog about;
        const auto text = [&about](const char *name) {
            return about.findChild<QLabel *>(name)->text();
        };
        QCOMPARE(about.windowTitle(), QString("О программе..."));
        QCOMPARE(text("lbVer") + text("lbVersion") + text("lbDateTime") + text("lbDate"),
                 QString("Версия: 1.0.1   Дата: 02.07.2024г."));
        for (const char *contact : {"label_8", "label_5", "label_6", "label_7"})
            QVERIFY2(!text(contact).trimmed().isEmpty(), contact);
        QCOMPARE(text("lbLicense"), QString("Лицензия: GNU GPL версии 3 или более поздней"));
        QTimer::singleShot(0, about.findChild<QPushButton *>("btOk"), &QPushButton::click);
        QCOMPARE(about.exec(), int(QDialog::Accepted));
        QVERIFY(!about.isVisible());
    }
};

int main(int argc, char *argv[])
{
    QTemporaryDir configHome; // the file chooser keeps its state in the user's settings
    qputenv("XDG_CONFIG_HOME", configHome.path().toLocal8Bit());
    QApplication app(argc, argv);
    TestDialogs test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_dialogs.moc"
