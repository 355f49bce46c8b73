// SPDX-License-Identifier: GPL-3.0-or-later
// The window fits a laptop screen: status fields elide by rank instead of widening the window.
#include "app/elidedlabel.h"
#include "app/statusfields.h"
#include "support/windowharness.h"

#include <QHBoxLayout>
#include <QStatusBar>

class TestWindowFit : public QObject
{
    Q_OBJECT

private slots:
    void labelElidesInTheMiddle();
    void widthIsSharedByRank();
    void barServesRanksInOrder();
};

namespace {
const QString LongPort = QStringLiteral(
    "/dev/serial/by-id/usb-Veltrica_Tarvix_USB-CAN_Adapter_5A3F09C1D2E84B76-if00-port0 открыт");

// Paints the widget, as showing it would, so a field's tool tip follows its text.
void paint(QWidget *widget)
{
    widget->grab();
}
} // namespace

void TestWindowFit::labelElidesInTheMiddle()
{
    QWidget host;
    auto *label = new ElidedLabel(LongPort, ElidedLabel::StateRank, &host);
    host.show();
    QVERIFY(label->minimumSizeHint().width() < 80);
    QCOMPARE(label->sizeHint().width(), label->fullWidth()); // no limit granted: all of it

    label->resize(200, label->sizeHint().height());
    paint(label);
    const QString shown = label->shownText();
    QVERIFY2(shown.contains(QChar(0x2026)), qPrintable(shown));
    QVERIFY(shown.startsWith(QStringLiteral("/dev")));
    QVERIFY(shown.endsWith(QStringLiteral(" открыт")));
    QVERIFY(label->fontMetrics().horizontalAdvance(shown) <= 200);
    QCOMPARE(label->text(), LongPort);
    QCOMPARE(label->toolTip(), LongPort);

    label->setText(QStringLiteral("закрыт")); // short again: whole, and no tip
    paint(label);
    QVERIFY(!label->isElided());
    QCOMPARE(label->shownText(), QStringLiteral("закрыт"));
    QVERIFY(label->toolTip().isEmpty());

    label->setText(LongPort); // a hover right after a change shows the new text whole
    QHelpEvent hover(QEvent::ToolTip, QPoint(5, 5), label->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(label, &hover);
    QCOMPARE(label->toolTip(), LongPort);

    label->setGrantedWidth(120);
    QCOMPARE(label->sizeHint().width(), 120);
    label->setGrantedWidth(1); // never below its floor
    QCOMPARE(label->sizeHint().width(), label->floorWidth());
}

void TestWindowFit::widthIsSharedByRank()
{
    using Need = StatusFields::Need;
    // Plenty of room: every field whole.
    QCOMPARE(StatusFields::share(1000, {{0, 40, 300}, {1, 40, 200}, {2, 40, 300}}),
             QVector<int>({300, 200, 300}));
    // Short: the first rank whole, the next gets the rest, the last its floor.
    QCOMPARE(StatusFields::share(520, {{2, 40, 300}, {0, 40, 300}, {1, 40, 200}}),
             QVector<int>({40, 300, 180}));
    // Within a rank the rest is shared evenly, a short text taking only what it needs.
    QCOMPARE(StatusFields::share(400, {{0, 40, 100}, {0, 40, 500}, {0, 40, 500}}),
             QVector<int>({100, 150, 150}));
    // Less room than the floors: floors, which the layout then squeezes.
    QCOMPARE(StatusFields::share(50, {{0, 40, 300}, {1, 40, 200}}), QVector<int>({40, 40}));
    // A text narrower than the floor asks for no more than itself.
    QCOMPARE(StatusFields::share(0, {Need{0, 40, 10}}), QVector<int>({10}));
}

// A field is cut only when every field of a later rank is down to its floor.
static bool ranksServedInOrder(const QVector<ElidedLabel *> &fields)
{
    for (const ElidedLabel *cut : fields) {
        for (const ElidedLabel *other : fields) {
            if (cut->isElided() && other->rank() > cut->rank() &&
                other->width() > other->floorWidth())
                return false;
        }
    }
    return true;
}

void TestWindowFit::barServesRanksInOrder()
{
    QWidget window;
    auto *layout = new QVBoxLayout(&window);
    auto *bar = new QStatusBar(&window);
    layout->addWidget(bar);
    new StatusFields(bar);
    auto *port = new ElidedLabel(LongPort, ElidedLabel::StateRank);
    auto *load = new ElidedLabel(QStringLiteral("Нагрузка: CAN0->CAN1 68% | CAN1->CAN0 90%"),
                                 ElidedLabel::FlowRank);
    auto *file = new ElidedLabel(QStringLiteral("Запись: quorvex-20261208-035756.log (1.2 MiB)"),
                                 ElidedLabel::RecordRank);
    bar->addWidget(new QLabel(QStringLiteral("| COM port:")));
    bar->addWidget(port);
    bar->addPermanentWidget(load);
    bar->addPermanentWidget(file);
    const QVector<ElidedLabel *> fields = {port, load, file};
    window.show();

    const int whole = port->fullWidth() + load->fullWidth() + file->fullWidth();
    window.resize(whole + 300, 60);
    QTRY_VERIFY(!port->isElided() && !load->isElided() && !file->isElided());
    // Narrower and narrower: the recording gives way first, then the load, the port last.
    for (int width = whole; width > 300; width -= 150) {
        window.resize(width, 60);
        QTRY_VERIFY2(ranksServedInOrder(fields), qPrintable(QString::number(width)));
        for (const ElidedLabel *field : fields)
            QVERIFY(bar->rect().contains(field->geometry()));
    }
    window.resize(port->fullWidth() + load->fullWidth() / 2 + 200, 60);
    QTRY_VERIFY(file->isElided() && load->isElided() && !port->isElided());
    // A longer text later takes its room from the later ranks, not from the window.
    const int width = window.width();
    port->setText(LongPort + QStringLiteral(" (2)"));
    QTRY_VERIFY(!port->isElided());
    QCOMPARE(window.width(), width);
    // The window can still be narrower than any one text.
    QVERIFY(window.minimumSizeHint().width() < port->fullWidth());
}

QUORVEX_WINDOW_TEST_MAIN(TestWindowFit)
#include "tst_windowfit.moc"
