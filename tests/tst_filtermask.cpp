// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/module/filtermask.h"
#include "app/transmit/hexspinbox.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>

#include <functional>
#include <utility>

using Pair = QVariantList;

class TestFilterMask : public QObject
{
    Q_OBJECT

    FilterMask *dialog = nullptr;
    QSignalSpy *spy = nullptr;
    int stale = 0; // emissions that disagreed with the dialog's values or its spin boxes

    void open(int width)
    {
        dialog = new FilterMask(width);
        spy = new QSignalSpy(dialog, &FilterMask::setMaskCode);
        connect(dialog, &FilterMask::setMaskCode, [this](uint32_t mask, uint32_t code) {
            stale += mask != dialog->maskValue() || code != dialog->codeValue() ||
                     mask != uint32_t(spin("maskSpin")->value()) ||
                     code != uint32_t(spin("codeSpin")->value());
        });
    }
    QCheckBox *box(const char *row, int bit) const
    {
        return dialog->findChild<QCheckBox *>(row + QString::number(bit));
    }
    HexSpinBox *spin(const char *name) const { return dialog->findChild<HexSpinBox *>(name); }
    QPushButton *button(const char *name) const { return dialog->findChild<QPushButton *>(name); }
    uint32_t boxesValue(const char *row) const
    {
        uint32_t value = 0;
        for (int bit = 0; bit < 29; ++bit)
            value |= box(row, bit)->isChecked() ? 1u << bit : 0u;
        return value;
    }
    QString resultRow() const // bits 28 down to 0, as on screen
    {
        QString row;
        for (int bit = 28; bit >= 0; --bit)
            row += dialog->findChild<QLabel *>(QStringLiteral("result%1").arg(bit))->text();
        return row;
    }
    void typeInto(HexSpinBox *box, const QString &keys)
    {
        box->findChild<QLineEdit *>()->selectAll();
        QTest::keyClick(box, Qt::Key_Backspace);
        QTest::keyClicks(box, keys);
    }
    // Runs the dialog while `actions` press keys and buttons; a run they leave open ends with -1.
    int runPressing(const std::function<void()> &actions)
    {
        QTimer::singleShot(0, dialog, [=] {
            actions();
            if (dialog->isVisible())
                dialog->done(-1);
        });
        return dialog->exec();
    }

private slots:
    void initTestCase() { qRegisterMetaType<uint32_t>("uint32_t"); }
    void cleanup()
    {
        const int found = std::exchange(stale, 0);
        delete spy;
        delete dialog;
        QCOMPARE(found, 0);
    }

    void gridLayout_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("spinMaximum");
        QTest::newRow("11 bits") << 11 << 0xFFFF;
        QTest::newRow("29 bits") << 29 << 0x1FFFFFFF;
    }
    void gridLayout()
    {
        QFETCH(int, width);
        QFETCH(int, spinMaximum);
        open(width);
        auto *grid = dialog->findChild<QGridLayout *>("grLay");
        QCOMPARE(grid->columnCount(), 30);
        auto at = [grid](int row, int column) {
            return grid->itemAtPosition(row, column)->widget();
        };
        QCOMPARE(qobject_cast<QLabel *>(at(3, 0))->text(), QStringLiteral("RESULT"));
        for (int bit = 0; bit < 29; ++bit) {
            QCOMPARE(qobject_cast<QLabel *>(at(0, 29 - bit))->text(), QString::number(bit));
            QCOMPARE(at(1, 29 - bit), box("mask", bit));
            QCOMPARE(at(2, 29 - bit), box("code", bit));
            QCOMPARE(at(3, 29 - bit)->objectName(), QStringLiteral("result%1").arg(bit));
            for (int row = 1; row < 4; ++row)
                QCOMPARE(at(row, 29 - bit)->property("Bit"), QVariant(bit));
            QCOMPARE(box("mask", bit)->isEnabled(), bit < width);
            QCOMPARE(box("code", bit)->isEnabled(), bit < width);
        }
        QCOMPARE(resultRow(), QString(29, 'X'));
        QCOMPARE(spin("maskSpin")->maximum(), spinMaximum);
        QCOMPARE(spin("codeSpin")->maximum(), spinMaximum);
    }

    void boxesAndSpinBoxesFollowEachOther()
    {
        open(11);
        dialog->show();
        box("mask", 3)->click();
        QCOMPARE(spin("maskSpin")->text(), QStringLiteral("0x8"));
        QCOMPARE(spy->last(), Pair({8u, 0u}));
        QCOMPARE(resultRow(), QString(25, 'X') + "0XXX");
        box("code", 3)->click();
        QCOMPARE(spy->last(), Pair({8u, 8u}));
        QCOMPARE(resultRow(), QString(25, 'X') + "1XXX");

        typeInto(spin("maskSpin"), QStringLiteral("700"));
        QCOMPARE(boxesValue("mask"), 0x700u); // bits 10, 9, 8 only: bit 3 went with the old value
        QCOMPARE(spy->last(), Pair({0x700u, 8u}));
    }

    void resultRowShowsPattern()
    {
        open(11);
        dialog->onValueMask(0x7F0);
        dialog->onValueCode(0x120);
        QCOMPARE(resultRow(), QString(18, 'X') + "0010010" + "XXXX");
        QCOMPARE(boxesValue("code"), 0x120u);
        QCOMPARE(spin("maskSpin")->text(), QStringLiteral("0x7F0"));
        QCOMPARE(spy->last(), Pair({0x7F0u, 0x120u}));
    }

    void wideValuesAreReducedToSpinRange_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<Pair>("seed");
        QTest::addColumn<Pair>("kept");
        QTest::newRow("29-bit pair in 11-bit dialog")
            << 11 << Pair({0x1FFF0000u, 0x12345678u}) << Pair({0u, 0x5678u});
        QTest::newRow("32 bits in 29-bit dialog")
            << 29 << Pair({0xFFFFFFFFu, 0xE0000123u}) << Pair({0x1FFFFFFFu, 0x123u});
    }
    void wideValuesAreReducedToSpinRange()
    {
        QFETCH(int, width);
        QFETCH(Pair, seed);
        QFETCH(Pair, kept);
        open(width);
        dialog->onValueMask(seed[0].toInt());
        dialog->onValueCode(seed[1].toInt());
        QCOMPARE(Pair({dialog->maskValue(), dialog->codeValue()}), kept);
        QCOMPARE(Pair({boxesValue("mask"), boxesValue("code")}), kept);
        QCOMPARE(spy->last(), kept); // the spin boxes show it too: see `stale`
    }

    void keysAndButtons()
    {
        open(29);
        button("btOK")->setDefault(true); // what a plain dialog would press on Return
        bool stayed = false;
        const int result = runPressing([&] {
            QTest::keyClick(dialog, Qt::Key_Return);
            QTest::keyClick(spin("maskSpin"), Qt::Key_Enter, Qt::KeypadModifier);
            QTest::keyClick(button("btCancel"), Qt::Key_Return); // as if it had the focus
            stayed = dialog->isVisible();
            QTest::keyClick(dialog, Qt::Key_Escape);
        });
        QVERIFY(stayed);
        QCOMPARE(result, int(QDialog::Rejected));
        QCOMPARE(runPressing([this] { button("btOK")->click(); }), int(QDialog::Accepted));
        QCOMPARE(runPressing([this] {
                     box("mask", 5)->click();
                     button("btCancel")->click();
                 }),
                 int(QDialog::Rejected));
        QCOMPARE(spy->last(), Pair({0x20u, 0u})); // Cancel takes back nothing already reported
    }
};

QTEST_MAIN(TestFilterMask)
#include "tst_filtermask.moc"
