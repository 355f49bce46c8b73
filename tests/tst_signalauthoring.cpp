// SPDX-License-Identifier: GPL-3.0-or-later
// Making a signal by hand: the dialog prefilled from dragged bits, its checks, undo and redo,
// saving with the question about lost statements, and canmatrix decoding the saved signal to
// the values Quorvex shows.
#include "app/bitpanel.h"
#include "app/dbceditor.h"
#include "app/dbcloader.h"
#include "app/signaldialog.h"
#include "signals/dbcrules.h"
#include "signals/signallayout.h"
#include "support/testfiles.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QSet>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QUndoStack>
#include <QtTest>
#include <functional>

class TestSignalAuthoring : public QObject
{
    Q_OBJECT

private slots:
    void dialogFromSelection();
    void dragImpliesByteOrderAndLength();
    void makeUndoSaveDecode();
    void lostStatementsAsked();
    void messageChangedAndDeleted();
    void undoAndRedoByKeyboard();
    void saveAsAddsTheSuffix();
    void namesFromFilesStayEditable();
};

namespace {

// Runs `fill` on the next modal dialog once it is shown.
void whenModal(std::function<void(QWidget *)> fill)
{
    QTimer::singleShot(0, [fill] {
        QWidget *modal = QApplication::activeModalWidget();
        if (modal)
            fill(modal);
        else
            whenModal(fill);
    });
}

void setText(QWidget *dialog, const char *name, const QString &text)
{
    dialog->findChild<QLineEdit *>(QLatin1String(name))->setText(text);
}

struct Harness
{
    QWidget window;
    QAction load{&window};
    QAction forget{&window};
    QAction save{&window};
    QAction saveAs{&window};
    DbcLoader *loader = new DbcLoader(&window, &load, &forget);
    DbcEditor *editor = new DbcEditor(&window, loader, &save, &saveAs);
};

// Makes a signal "Made" in a new message 0x321 through the dialog, as the user would.
void makeSignal(Harness &h)
{
    whenModal([](QWidget *dialog) {
        setText(dialog, "leName", QStringLiteral("Made"));
        dialog->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
    });
    h.editor->createSignal(0x321, false, 0, 7, 8);
}

} // namespace

void TestSignalAuthoring::dialogFromSelection()
{
    SignalDialog dialog;
    DbcMessage message;
    message.id = 0x10;
    message.name = QStringLiteral("M");
    message.size = 8;
    dialog.setMessage(message, true);
    DbcSignal s;
    s.name = QStringLiteral("S");
    dialog.setSignal(s, false);
    // Byte 0 bit 3 to byte 1 bit 4: from a low bit to a higher one, Intel 3..12.
    dialog.setSelection(3, 12);
    QCOMPARE(dialog.signal().byteOrder, DbcSignal::ByteOrder::Intel);
    QCOMPARE(dialog.signal().startBit, 3);
    QCOMPARE(dialog.signal().length, 10);
    // Motorola chosen instead keeps the ten bits over the same two bytes.
    dialog.findChild<QComboBox *>("cbByteOrder")->setCurrentIndex(1);
    QCOMPARE(dialog.signal().byteOrder, DbcSignal::ByteOrder::Motorola);
    QCOMPARE(dialog.signal().startBit, 4);
    QCOMPARE(dialog.signal().length, 10);
    // "OK" stays until the check is satisfied; it says what is wrong.
    dialog.setCheck(
        [](const DbcMessage &m, const DbcSignal &sig) { return DbcRules::checkSignal(m, sig); });
    setText(&dialog, "leName", QStringLiteral("2bad"));
    dialog.show();
    dialog.accept();
    QVERIFY(dialog.isVisible());
    QVERIFY(dialog.findChild<QLabel *>("lbProblem")->text().contains("не идентификатор C"));
    setText(&dialog, "leName", QStringLiteral("Good"));
    setText(&dialog, "leFactor", QStringLiteral("0"));
    dialog.accept();
    QVERIFY(dialog.findChild<QLabel *>("lbProblem")->text().contains("Множитель"));
    setText(&dialog, "leFactor", QStringLiteral("abc"));
    dialog.accept();
    QVERIFY(dialog.findChild<QLabel *>("lbProblem")->text().contains("не число"));
    setText(&dialog, "leFactor", QStringLiteral("0,5"));
    dialog.accept();
    QVERIFY(!dialog.isVisible());
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(dialog.signal().factor, 0.5);
}

// A drag gives the byte order its direction implies and the length dragged; the dialog keeps it.
void TestSignalAuthoring::dragImpliesByteOrderAndLength()
{
    using Order = DbcSignal::ByteOrder;
    struct Case
    {
        int from, to;
        Order order;
        int start, length;
    };
    const Case cases[] = {
        {23, 24, Order::Motorola, 23, 16}, // byte 2 bit 7 to byte 3 bit 0: both bytes
        {24, 23, Order::Motorola, 23, 16}, // the same, dragged back up
        {16, 31, Order::Intel, 16, 16},    // byte 2 bit 0 to byte 3 bit 7
        {3, 12, Order::Intel, 3, 10},
        {11, 16, Order::Motorola, 11, 12}, // byte 1 bit 3 down to byte 2 bit 0
        {5, 1, Order::Intel, 1, 5},        // within a byte the orders agree
        {7, 15, Order::Intel, 7, 9},       // the same bit in both bytes
        {39, 48, Order::Motorola, 39, 24}, // over three bytes
    };
    for (const Case &c : cases) {
        int start = -1;
        int length = -1;
        Order order = Order::Intel;
        SignalLayout::fromDrag(c.from, c.to, &start, &length, &order);
        QCOMPARE(order, c.order);
        QCOMPARE(start, c.start);
        QCOMPARE(length, c.length);
        // The other order over the same bytes, and back.
        const int other = SignalLayout::otherOrderStart(start, length, order);
        const Order flipped = order == Order::Intel ? Order::Motorola : Order::Intel;
        auto bytes = [](const QVector<int> &bits) {
            QVector<int> out;
            for (int bit : bits)
                out.append(bit / 8);
            std::sort(out.begin(), out.end());
            return out;
        };
        QCOMPARE(bytes(SignalLayout::bits(other, length, flipped)),
                 bytes(SignalLayout::bits(start, length, order)));
        QCOMPARE(SignalLayout::otherOrderStart(other, length, flipped), start);
    }
    QCOMPARE(SignalLayout::otherOrderStart(23, 16, Order::Motorola), 16);

    // OK on the dialog opened from the drag makes the 16-bit Motorola signal, not a 2-bit one.
    SignalDialog dialog;
    DbcMessage message;
    message.size = 8;
    dialog.setMessage(message, true);
    dialog.setSignal(DbcSignal(), false);
    dialog.setSelection(23, 24);
    QCOMPARE(dialog.findChild<QComboBox *>("cbByteOrder")->currentIndex(), 1);
    QCOMPARE(dialog.signal().byteOrder, Order::Motorola);
    QCOMPARE(dialog.signal().startBit, 23);
    QCOMPARE(dialog.signal().length, 16);
    dialog.findChild<QComboBox *>("cbByteOrder")->setCurrentIndex(0);
    QCOMPARE(dialog.signal().startBit, 16);
    QCOMPARE(dialog.signal().length, 16);
    dialog.findChild<QComboBox *>("cbByteOrder")->setCurrentIndex(1);
    QCOMPARE(dialog.signal().startBit, 23);
    QCOMPARE(dialog.signal().length, 16);
}

void TestSignalAuthoring::makeUndoSaveDecode()
{
    Harness h;
    QSignalSpy changed(h.loader, &DbcLoader::changed);
    whenModal([](QWidget *dialog) {
        setText(dialog, "leMessageName", QStringLiteral("Pedal"));
        setText(dialog, "leName", QStringLiteral("Position"));
        dialog->findChild<QComboBox *>("cbByteOrder")->setCurrentIndex(1); // Motorola
        dialog->findChild<QCheckBox *>("chkSigned")->setChecked(true);
        setText(dialog, "leFactor", QStringLiteral("0.125"));
        setText(dialog, "leOffset", QStringLiteral("-3.5"));
        setText(dialog, "leMinimum", QStringLiteral("-100"));
        setText(dialog, "leMaximum", QStringLiteral("100"));
        setText(dialog, "leUnit", QStringLiteral("%"));
        dialog->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
    });
    // Dragged from byte 1 bit 3 to byte 2 bit 0 of a 6-byte frame no DBC knows.
    h.editor->createSignal(0x321, false, 11, 16, 6);
    const DbcMessage *made = h.loader->signalSet().message(0x321, false);
    QVERIFY(made);
    QCOMPARE(made->name, QStringLiteral("Pedal"));
    QCOMPARE(made->size, 6);
    QVERIFY(changed.size() >= 1); // the pages decode with it at once
    const DbcSignal &s = made->signalList.front();
    QCOMPARE(s.startBit, 11);
    QCOMPARE(s.length, 12);
    QVERIFY(h.editor->isModified());
    h.editor->undoStack()->undo();
    QCOMPARE(h.loader->signalSet().message(0x321, false), nullptr);
    h.editor->undoStack()->redo();
    QVERIFY(h.loader->signalSet().message(0x321, false));

    // Quorvex's values for a few frames, then canmatrix's from the saved file.
    const QByteArray frames[] = {QByteArray::fromHex("00ABCDEF0102"),
                                 QByteArray::fromHex("0000800000FF"),
                                 QByteArray::fromHex("FF0F700000FF")};
    const DbcSignal &saved = h.loader->signalSet().message(0x321, false)->signalList.front();
    QStringList ours;
    for (const QByteArray &f : frames) {
        uint8_t data[8] = {};
        std::copy(f.begin(), f.end(), data);
        double value = 0;
        QVERIFY(saved.decode(data, f.size(), &value));
        ours << QString::number(value, 'g', 12);
    }
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("made.dbc"));
    QVERIFY(h.editor->saveTo(path));
    QVERIFY(!h.editor->isModified());
    QCOMPARE(h.loader->signalSet().files(), QStringList{QFileInfo(path).absoluteFilePath()});
    const QString script = dir.filePath(QStringLiteral("decode.py"));
    QVERIFY(writeFile(script, R"(
import sys, canmatrix, canmatrix.formats
db = list(canmatrix.formats.loadp(sys.argv[1], import_type="dbc").values())[0]
frame = db.frame_by_id(canmatrix.ArbitrationId(0x321))
for hexdata in sys.argv[2:]:
    print("%.12g" % float(frame.decode(bytearray.fromhex(hexdata))["Position"].phys_value))
)"));
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"),
                 {script, path, frames[0].toHex(), frames[1].toHex(), frames[2].toHex()});
    QVERIFY(python.waitForFinished(60000));
    QVERIFY2(python.exitCode() == 0, python.readAllStandardError().constData());
    const QStringList theirs =
        QString::fromLatin1(python.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    QCOMPARE(theirs, ours);
}

void TestSignalAuthoring::lostStatementsAsked()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("broken.dbc"));
    const QByteArray text = "BU_: A\nBO_ 1 M: 8 A\n SG_ S : 0|8@1+ (1,0) [0|0] \"\" A\n"
                            "BO_ broken line\nCM_ BO_ 1 \"kept\";\n";
    QVERIFY(writeFile(path, text));
    Harness h;
    h.loader->load({path});
    QCOMPARE(h.loader->signalSet().database().skippedStatements(path), 1);
    // Backing out leaves the file as it was.
    whenModal([](QWidget *box) {
        QVERIFY(box->findChild<QLabel *>("qt_msgbox_label")->text().contains("(1)"));
        static_cast<QMessageBox *>(box)->button(QMessageBox::Cancel)->click();
    });
    QVERIFY(!h.editor->save());
    QCOMPARE(readFile(path), text);
    whenModal(
        [](QWidget *box) { static_cast<QMessageBox *>(box)->button(QMessageBox::Save)->click(); });
    QVERIFY(h.editor->save());
    QVERIFY(!readFile(path).contains("broken"));
    QVERIFY(readFile(path).contains("\"kept\""));
    QCOMPARE(h.loader->signalSet().database().skippedStatements(path), 0);
    // Unsaved changes: forgetting asks; "Cancel" keeps the database.
    DbcMessage m = *h.loader->signalSet().message(1, false);
    m.comment = QStringLiteral("changed");
    h.editor->change(QStringLiteral("test"), *h.loader->signalSet().message(1, false), m);
    whenModal([](QWidget *box) {
        static_cast<QMessageBox *>(box)->button(QMessageBox::Cancel)->click();
    });
    h.forget.trigger();
    QVERIFY(h.loader->signalSet().message(1, false));
    whenModal([](QWidget *box) {
        static_cast<QMessageBox *>(box)->button(QMessageBox::Discard)->click();
    });
    h.forget.trigger();
    QCOMPARE(h.loader->signalSet().message(1, false), nullptr);
    QVERIFY(!h.editor->isModified());
}

// A message renamed, resized and given another sender, then deleted with its signals, from the
// bit view's "Сообщение..."; each an undoable step, and what is wrong said before it is taken.
void TestSignalAuthoring::messageChangedAndDeleted()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("car.dbc"));
    QVERIFY(writeFile(path, "BU_: A B\nBO_ 256 Engine: 8 A\n"
                            " SG_ Speed : 0|16@1+ (1,0) [0|0] \"\" B\n"
                            " SG_ Temp : 56|8@1+ (1,0) [0|0] \"\" B\n"
                            "BO_ 512 Door: 2 A\n"));
    Harness h;
    h.loader->load({path});
    BitPanel panel;
    panel.showSignals(h.loader);
    QObject::connect(&panel, &BitPanel::messageEditRequested, h.editor, &DbcEditor::editMessage);
    panel.show();
    auto *edit = panel.findChild<QPushButton *>("btEditMessage");
    panel.showId(0x300, false);
    QVERIFY(!edit->isEnabled()); // no DBC file knows it
    panel.showId(0x100, false);
    QVERIFY(edit->isEnabled());

    QStringList problems;
    whenModal([&problems](QWidget *dialog) {
        auto *ok = dialog->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok);
        const auto tryName = [&](const QString &name, int length) {
            setText(dialog, "leMessageName", name);
            dialog->findChild<QSpinBox *>("sbMessageLength")->setValue(length);
            ok->click();
            problems << dialog->findChild<QLabel *>("lbProblem")->text();
        };
        tryName(QStringLiteral("1st"), 8);
        tryName(QStringLiteral("Door"), 8);
        tryName(QStringLiteral("Motor"), 4); // Temp lies in byte 7
        QVERIFY(dialog->isVisible());
        setText(dialog, "leTransmitter", QStringLiteral("B"));
        dialog->findChild<QPlainTextEdit *>("pteMessageComment")->setPlainText("Renamed");
        tryName(QStringLiteral("Motor"), 8);
    });
    edit->click();
    QCOMPARE(problems.size(), 4);
    QVERIFY2(problems[0].contains(QStringLiteral("C")), qPrintable(problems[0]));
    QVERIFY2(problems[1].contains(QStringLiteral("уже есть")), qPrintable(problems[1]));
    QVERIFY2(problems[2].contains(QStringLiteral("Temp")), qPrintable(problems[2]));
    QCOMPARE(problems[3], QString());
    const DbcMessage *motor = h.loader->signalSet().message(0x100, false);
    QCOMPARE(motor->name, QStringLiteral("Motor"));
    QCOMPARE(motor->transmitter, QStringLiteral("B"));
    QCOMPARE(motor->comment, QStringLiteral("Renamed"));
    QCOMPARE(motor->signalList.size(), size_t(2));
    QCOMPARE(h.editor->undoStack()->count(), 1);
    h.editor->undoStack()->undo();
    QCOMPARE(h.loader->signalSet().message(0x100, false)->name, QStringLiteral("Engine"));
    h.editor->undoStack()->redo();

    whenModal(
        [](QWidget *dialog) { dialog->findChild<QPushButton *>("btDeleteMessage")->click(); });
    edit->click();
    QCOMPARE(h.loader->signalSet().message(0x100, false), nullptr);
    QVERIFY(h.loader->signalSet().message(0x200, false));
    QVERIFY(!edit->isEnabled());
    h.editor->undoStack()->undo(); // back in its place, with its signals
    QCOMPARE(h.loader->signalSet().database().messagePosition(0x100, false), 0);
    QCOMPARE(h.loader->signalSet().message(0x100, false)->signalList.size(), size_t(2));

    QVERIFY(h.editor->saveTo(path));
    const QByteArray saved = readFile(path);
    QVERIFY2(saved.contains("BO_ 256 Motor: 8 B"), saved.constData());
    QVERIFY(saved.contains("CM_ BO_ 256 \"Renamed\";"));
}

// Ctrl+Z takes a change back and Ctrl+Shift+Z does it again, from the keyboard: the redo keys
// must not name the same key twice, which Qt takes for an ambiguous shortcut and ignores.
void TestSignalAuthoring::undoAndRedoByKeyboard()
{
    Harness h;
    h.window.show();
    QApplication::setActiveWindow(&h.window);
    QVERIFY(QTest::qWaitForWindowActive(&h.window));
    DbcMessage made;
    made.id = 0x321;
    made.name = QStringLiteral("Made");
    made.size = 8;
    h.editor->change(QStringLiteral("make"), std::nullopt, made);
    QVERIFY(h.loader->signalSet().message(0x321, false));
    QTest::keyClick(&h.window, Qt::Key_Z, Qt::ControlModifier);
    QVERIFY(!h.loader->signalSet().message(0x321, false));
    QTest::keyClick(&h.window, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    QVERIFY(h.loader->signalSet().message(0x321, false));
    auto *redo = h.window.findChild<QAction *>(QStringLiteral("actionRedoDbc"));
    QVERIFY(redo);
    const QList<QKeySequence> keys = redo->shortcuts();
    QCOMPARE(keys.first(), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z));
    QCOMPARE(QSet<QKeySequence>(keys.begin(), keys.end()).size(), keys.size());
    // Where the platform's Redo is Ctrl+Shift+Z itself (GNOME, KDE) or comes later (X11).
    const QKeySequence ctrlShiftZ(Qt::CTRL | Qt::SHIFT | Qt::Key_Z);
    const QKeySequence ctrlY(Qt::CTRL | Qt::Key_Y);
    QCOMPARE(DbcEditor::redoKeys({ctrlShiftZ}), QList<QKeySequence>{ctrlShiftZ});
    QCOMPARE(DbcEditor::redoKeys({ctrlY, ctrlShiftZ}), QList<QKeySequence>({ctrlShiftZ, ctrlY}));
}

// "Сохранить DBC как..." with a name typed without a suffix writes NAME.dbc, which the open
// dialog's filter then shows.
void TestSignalAuthoring::saveAsAddsTheSuffix()
{
    Harness h;
    makeSignal(h);
    QTemporaryDir dir;
    const QString typed = dir.filePath(QStringLiteral("civic-new"));
    whenModal([typed](QWidget *modal) {
        auto *chooser = qobject_cast<QFileDialog *>(modal);
        QVERIFY(chooser);
        chooser->selectFile(typed);
        QMetaObject::invokeMethod(chooser, "accept", Qt::DirectConnection);
    });
    QVERIFY(h.editor->saveAs());
    QVERIFY(QFile::exists(typed + QStringLiteral(".dbc")));
    QVERIFY(!QFile::exists(typed));
    QCOMPARE(h.loader->signalSet().files(),
             QStringList{QFileInfo(typed + QStringLiteral(".dbc")).absoluteFilePath()});
}

// Real files name messages and signals with a leading digit. Such a signal is edited and saved
// under its name, a new one is added to such a message; a name typed here is still a C
// identifier.
void TestSignalAuthoring::namesFromFilesStayEditable()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("real.dbc"));
    QVERIFY(writeFile(path, "BU_: 1ECU Gateway\nBO_ 1275 2017_5: 8 1ECU\n"
                            " SG_ 0_COUNTER : 0|4@1+ (1,0) [0|15] \"\" Gateway\n"));
    Harness h;
    h.loader->load({path});
    QVERIFY(h.loader->signalSet().database().errors().isEmpty());
    QString problem = QStringLiteral("not shown");
    whenModal([&problem](QWidget *dialog) {
        setText(dialog, "leFactor", QStringLiteral("2"));
        dialog->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
        problem = dialog->findChild<QLabel *>("lbProblem")->text();
    });
    h.editor->editSignal(1275, false, QStringLiteral("0_COUNTER"));
    QCOMPARE(problem, QString());
    const DbcMessage *message = h.loader->signalSet().message(1275, false);
    QCOMPARE(message->signalList.front().factor, 2.0);
    QCOMPARE(message->signalList.front().name, QStringLiteral("0_COUNTER"));
    whenModal([&problem](QWidget *dialog) {
        setText(dialog, "leName", QStringLiteral("Fresh"));
        dialog->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
        problem = dialog->findChild<QLabel *>("lbProblem")->text();
    });
    h.editor->createSignal(1275, false, 8, 15, 8);
    QCOMPARE(problem, QString());
    QCOMPARE(h.loader->signalSet().message(1275, false)->signalList.size(), size_t(2));
    whenModal([&problem](QWidget *dialog) {
        setText(dialog, "leName", QStringLiteral("1_COUNTER"));
        dialog->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
        problem = dialog->findChild<QLabel *>("lbProblem")->text();
        static_cast<QDialog *>(dialog)->reject();
    });
    h.editor->editSignal(1275, false, QStringLiteral("0_COUNTER"));
    QVERIFY2(problem.contains(QStringLiteral("не идентификатор C")), qPrintable(problem));
    QVERIFY(h.editor->save());
    const QByteArray saved = readFile(path);
    QVERIFY2(saved.contains("BO_ 1275 2017_5: 8 1ECU\n SG_ 0_COUNTER : 0|4@1+ (2,0)"), saved);
}

QTEST_MAIN(TestSignalAuthoring)
#include "tst_signalauthoring.moc"
