// SPDX-License-Identifier: GPL-3.0-or-later
// The window fits a laptop screen: status fields elide by rank instead of widening the window.
#include "app/elidedlabel.h"
#include "app/statusfields.h"
#include "app/wraprowlayout.h"
#include "signals/signaltestdbc.h"
#include "support/simprocess.h"
#include "support/windowharness.h"

#include <QCheckBox>
#include <QDir>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QSettings>
#include <QStatusBar>
#include <QTabWidget>
#include <QTemporaryDir>

class TestWindowFit : public QObject
{
    Q_OBJECT

private slots:
    void labelElidesInTheMiddle();
    void widthIsSharedByRank();
    void barServesRanksInOrder();
    void filterRowWraps();
    void captureFitsLaptopScreen();
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

    label->setToolTip(QStringLiteral("CAN0 (Engine)")); // the owner's own tip stays
    paint(label);
    QCOMPARE(label->toolTip(), QStringLiteral("CAN0 (Engine)"));

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

// The row's two groups share a line while they fit; the second goes below, kept to the right, and
// a label never leaves its control.
void TestWindowFit::filterRowWraps()
{
    QWidget box;
    auto *old = new QHBoxLayout(&box);
    auto *maskLabel = new QLabel(QStringLiteral("ID маска: "));
    auto *mask = new QPushButton(QStringLiteral("Mask 11 bits"));
    auto *check = new QCheckBox(QStringLiteral("TX пакеты игнорировать"));
    auto *clear = new QPushButton(QStringLiteral("Очистить"));
    auto *save = new QPushButton(QStringLiteral("Сохранить..."));
    old->addWidget(maskLabel);
    old->addWidget(mask);
    old->addSpacerItem(new QSpacerItem(40, 20, QSizePolicy::Fixed));
    old->addWidget(check);
    old->addSpacerItem(new QSpacerItem(40, 20, QSizePolicy::Expanding));
    old->addWidget(clear);
    old->addWidget(save);
    WrapRowLayout *row = WrapRowLayout::replaceIn(&box);
    QCOMPARE(box.layout(), row);
    QCOMPARE(row->count(), 7);
    box.show();
    const auto inside = [&](QWidget *w) { return box.rect().contains(w->geometry()); };

    box.resize(row->sizeHint().width() + 100, row->heightForWidth(row->sizeHint().width() + 100));
    QTRY_COMPARE(save->geometry().right() + 1, box.width() - row->contentsMargins().right());
    QCOMPARE(row->lineCount(box.width()), 1);
    QCOMPARE(clear->y(), mask->y());

    const int narrow = row->sizeHint().width() - 50;
    box.resize(narrow, row->heightForWidth(narrow));
    QTRY_COMPARE(row->lineCount(narrow), 2);
    QTRY_VERIFY(clear->y() > mask->y());
    QCOMPARE(clear->y(), save->y());
    QCOMPARE(save->geometry().right() + 1, narrow - row->contentsMargins().right());
    QCOMPARE(maskLabel->y() + maskLabel->height() / 2, mask->y() + mask->height() / 2);
    QVERIFY(row->heightForWidth(narrow) > row->heightForWidth(row->sizeHint().width()));

    const int least = row->minimumSize().width();
    QVERIFY(least < check->sizeHint().width() + clear->sizeHint().width());
    box.resize(least, row->heightForWidth(least));
    QTRY_VERIFY(inside(save) && inside(clear) && inside(check) && inside(mask) &&
                inside(maskLabel));
}

namespace {
// A port as udev names a real adapter, leading to the virtual module's pseudo-terminal.
QString byIdPort(const QTemporaryDir &dir, const QString &target)
{
    QDir(dir.path()).mkpath(QStringLiteral("serial/by-id"));
    const QString link = dir.filePath(QStringLiteral(
        "serial/by-id/usb-Veltrica_Tarvix_USB-CAN_Adapter_5A3F09C1D2E84B76-if00-port0"));
    return QFile::link(target, link) ? link : QString();
}

QString writeDbc(const QTemporaryDir &dir)
{
    QFile file(dir.filePath(QStringLiteral("engine.dbc")));
    if (!file.open(QIODevice::WriteOnly) || file.write(signalTestDbc()) < 0)
        return QString();
    return file.fileName();
}

bool insideWindow(const QWidget *window, const QWidget *widget)
{
    const QRect area(widget->mapTo(window, QPoint(0, 0)), widget->size());
    return widget->isVisible() && window->rect().contains(area);
}
} // namespace

// A live capture on a long port name, recording, DBC files loaded: the window still fits a
// 1,280 x 800 screen on every page, and the filter row keeps its buttons in sight down to the
// window's minimum width, where it takes a second line.
void TestWindowFit::captureFitsLaptopScreen()
{
    QTemporaryDir dir;
    SimProcess sim;
    QVERIFY(sim.start({QStringLiteral("--rate"), QStringLiteral("2000")}));
    const QString port = byIdPort(dir, sim.portName());
    const QString dbc = writeDbc(dir);
    QVERIFY(!port.isEmpty() && !dbc.isEmpty());
    WindowHarness::writeSettings(port, dir.path());
    QSettings(QStringLiteral("Veltrica"), QStringLiteral("Quorvex"))
        .setValue(QStringLiteral("DBC"), QStringList{dbc});

    WindowHarness ui;
    ui.create();
    MainWindow *window = ui.get();
    window->setWindowState(Qt::WindowNoState);
    window->resize(1280, 800);
    QVERIFY(ui.connectPort());
    QTRY_VERIFY_WITH_TIMEOUT(ui.status("lbStatusRecord").startsWith(QStringLiteral("Запись: ")),
                             10000);
    QTRY_VERIFY_WITH_TIMEOUT(ui.status("lbStatusRate") != QStringLiteral("Кадров/с: 0"), 10000);
    QVERIFY(ui.status("lbStatusMain").startsWith(QStringLiteral("DBC:")));
    QCOMPARE(ui.status("lbStatusPort"), port + QStringLiteral(" открыт"));

    auto *tabs = ui.child<QTabWidget>("tabWidget");
    const char *buttons[] = {"btClearTable", "btSaveTable", "cbFormat", "cbMASK", "chkTX"};
    for (int page = 0; page < tabs->count(); ++page) {
        tabs->setCurrentIndex(page);
        for (const int width : {1280, 1024, window->minimumSizeHint().width()}) {
            window->resize(width, 800);
            QTRY_COMPARE(window->width(), width);
            QVERIFY2(window->minimumSizeHint().width() <= 1024,
                     qPrintable(QString::number(window->minimumSizeHint().width())));
            QTRY_VERIFY(insideWindow(window, ui.child<QWidget>("btSaveTable")));
            for (const char *name : buttons)
                QVERIFY2(insideWindow(window, ui.child<QWidget>(name)), name);
            QVERIFY(insideWindow(window, tabs->tabBar()));
            QVERIFY(insideWindow(window, window->statusBar()));
        }
    }
    // At 1,280 the filters take one line, as they were laid out.
    window->resize(1280, 800);
    auto *row = qobject_cast<WrapRowLayout *>(ui.child<QGroupBox>("groupBox")->layout());
    QVERIFY(row);
    QTRY_COMPARE(window->width(), 1280);
    QCOMPARE(row->lineCount(ui.child<QGroupBox>("groupBox")->width()), 1);
    // The port, first in rank, is cut no sooner than the recording.
    auto *portField = ui.child<ElidedLabel>("lbStatusPort");
    auto *recordField = ui.child<ElidedLabel>("lbStatusRecord");
    QTRY_VERIFY(!portField->isElided() || recordField->width() <= recordField->floorWidth());
}

QUORVEX_WINDOW_TEST_MAIN(TestWindowFit)
#include "tst_windowfit.moc"
