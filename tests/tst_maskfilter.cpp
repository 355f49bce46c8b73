// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/module/filtermask.h"
#include "link/linerecord.h"
#include "support/ptypair.h"
#include "support/testpackets.h"
#include "support/windowharness.h"

#include <QAction>
#include <QCheckBox>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>

// The identifier filter of the main window with its mask dialog, frames coming in on a pty.
class TestMaskFilter : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void maskModesPassEverythingAtFirst();
    void elevenBitMask();
    void cancelKeepsTheLastPairInForce();
    void widthsShareThePair();
    void dialogOnlyForMaskModes();

private:
    // Chooses a mask mode; the dialog that opens gets `mask` and `code`, then OK or Cancel.
    void chooseMask(int mode, uint32_t mask, uint32_t code, bool ok = true);
    // Ids logged out of `frames`; `marker` (which must pass) shows when they are all through.
    QList<uint32_t> loggedIds(const QVector<CanPacket> &frames, const CanPacket &marker);

    std::unique_ptr<PtyPair> pty;
    WindowHarness ui;
    QTemporaryDir dir;
    int seenWidthTop = -1;   // highest enabled mask box of the last dialog
    uint32_t seededMask = 0; // mask shown by the last dialog when it opened
};

namespace {
// Frames as the module passes them on from CAN0, without data.
CanPacket frame(uint32_t id, bool extended = false)
{
    return testFrame(id, uint8_t(CanPacket::Can0ToCan1 | (extended ? CanPacket::Extended : 0)), 0);
}
} // namespace

void TestMaskFilter::init()
{
    pty = std::make_unique<PtyPair>();
    WindowHarness::writeSettings(pty->portName(), dir.path());
    ui.create();
    QVERIFY(ui.connectPort());
}

void TestMaskFilter::cleanup()
{
    ui.destroy();
    pty.reset();
}

void TestMaskFilter::chooseMask(int mode, uint32_t mask, uint32_t code, bool ok)
{
    whenModal<FilterMask>([=](FilterMask *dialog) {
        seededMask = dialog->maskValue();
        seenWidthTop = -1;
        for (int bit = 0; bit < 29; ++bit) {
            auto *box = dialog->findChild<QCheckBox *>(QStringLiteral("mask%1").arg(bit));
            if (box && box->isEnabled())
                seenWidthTop = bit;
        }
        dialog->onValueMask(int(mask));
        dialog->onValueCode(int(code));
        dialog->findChild<QPushButton *>(ok ? QStringLiteral("btOK") : QStringLiteral("btCancel"))
            ->click();
    });
    ui.setCombo("cbMASK", mode);
    QTRY_VERIFY(!QApplication::activeModalWidget());
}

QList<uint32_t> TestMaskFilter::loggedIds(const QVector<CanPacket> &frames, const CanPacket &marker)
{
    const int before = ui.log()->rowCount();
    QByteArray bytes;
    for (const CanPacket &p : frames)
        bytes += LineRecord::moduleRecord(p);
    bytes += LineRecord::moduleRecord(marker);
    pty->write(bytes);
    const bool through = QTest::qWaitFor([&] {
        return ui.log()->rowCount() > before &&
               ui.log()->index(ui.log()->rowCount() - 1, 0).data() == hexText(marker.id, 8);
    });
    if (!through)
        return {0xDEADBEEF}; // the marker never came: no list a test expects
    QList<uint32_t> ids;
    for (int row = before; row < ui.log()->rowCount() - 1; ++row)
        ids << ui.log()->index(row, 0).data().toString().toUInt(nullptr, 16);
    return ids;
}

void TestMaskFilter::maskModesPassEverythingAtFirst()
{
    QString result;
    whenModal<FilterMask>([&](FilterMask *dialog) {
        result = dialog->findChild<QLabel *>(QStringLiteral("result5"))->text();
        dialog->findChild<QPushButton *>(QStringLiteral("btOK"))->click();
    });
    ui.setCombo("cbMASK", 4);
    QCOMPARE(result, QStringLiteral("X"));
    QCOMPARE(loggedIds({frame(0x1), frame(0x1ABCDEF, true)}, frame(0x7FF)),
             (QList<uint32_t>{0x1, 0x1ABCDEF}));
}

void TestMaskFilter::elevenBitMask()
{
    chooseMask(2, 0x7F0, 0x120);
    QCOMPARE(seenWidthTop, 10); // the 11-bit dialog
    const QList<uint32_t> passed = loggedIds(
        {frame(0x11F), frame(0x120), frame(0x12F), frame(0x130), frame(0x125, true)}, frame(0x12A));
    // The mask test ignores the format: the extended 0x125 passes as well.
    QCOMPARE(passed, (QList<uint32_t>{0x120, 0x12F, 0x125}));
}

void TestMaskFilter::cancelKeepsTheLastPairInForce()
{
    chooseMask(2, 0x7F0, 0x120);
    // Opened again, edited, cancelled: the edits reached the window as they were made.
    whenModal<FilterMask>([](FilterMask *dialog) {
        dialog->onValueMask(0x7FF);
        dialog->findChild<QPushButton *>(QStringLiteral("btCancel"))->click();
    });
    ui.child<QAction>("actionMask")->trigger();
    QCOMPARE(loggedIds({frame(0x121), frame(0x130)}, frame(0x120)), QList<uint32_t>());
}

void TestMaskFilter::widthsShareThePair()
{
    chooseMask(2, 0x7F0, 0x120);
    chooseMask(4, 0x7F0, 0x120); // the 29-bit dialog opens seeded with the pair in force
    QCOMPARE(seenWidthTop, 28);
    QCOMPARE(seededMask, 0x7F0u);
    QCOMPARE(loggedIds({frame(0x125), frame(0x225)}, frame(0x12A)), (QList<uint32_t>{0x125}));
}

void TestMaskFilter::dialogOnlyForMaskModes()
{
    ui.setCombo("cbMASK", 0); // "Все" opens nothing
    ui.setCombo("cbMASK", 3);
    QVERIFY(!QApplication::activeModalWidget());
    QString text;
    whenModal<QMessageBox>([&](QMessageBox *box) {
        text = box->text();
        box->accept();
    });
    ui.child<QAction>("actionMask")->trigger();
    QCOMPARE(text, QStringLiteral("Выберите соответствующий фильтр!"));
    // "29 bits" passes extended frames only.
    QCOMPARE(loggedIds({frame(0x10), frame(0x11, true)}, frame(0x7FF, true)),
             (QList<uint32_t>{0x11}));
}

QUORVEX_WINDOW_TEST_MAIN(TestMaskFilter)
#include "tst_maskfilter.moc"
