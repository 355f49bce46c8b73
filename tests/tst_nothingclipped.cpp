// SPDX-License-Identifier: GPL-3.0-or-later
// Nothing a person reads is cut off, in Russian and in English: every header section of every
// table, and every label, button and group title, of the window (each page, on a 1280 × 800
// screen) and of every dialog at the size it opens with, has room for its text. The signal
// dialog fits a screen 768 pixels high; the statistics' "Новое" column is in sight at 1280.
#include "app/elidedlabel.h"
#include "app/language.h"
#include "app/statisticsmodel.h"
#include "support/everydialog.h"
#include "support/windowharness.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QHeaderView>
#include <QSettings>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QTranslator>

namespace {

// A laptop screen less the window's title bar and a panel.
constexpr int ScreenWidth = 1280;
constexpr int ScreenHeight = 800;
constexpr int SmallScreenHeight = 768;
constexpr int Decorations = 64;

QString nameOf(const QWidget *widget)
{
    return QStringLiteral("%1 \"%2\"")
        .arg(QLatin1String(widget->metaObject()->className()), widget->objectName());
}

// What does not fit, as "where: text (needs N, has M)".
class Clipped
{
public:
    void walk(QWidget *top, const QString &where)
    {
        const auto widgets = top->findChildren<QWidget *>();
        for (QWidget *widget : widgets) {
            if (!widget->isVisible() || qobject_cast<ElidedLabel *>(widget))
                continue;
            if (auto *header = qobject_cast<QHeaderView *>(widget))
                sections(header, where);
            else
                text(widget, where);
        }
    }

    QStringList found;

private:
    void add(const QString &where, const QWidget *widget, const QString &text, int needs, int has)
    {
        found.append(QStringLiteral("%1: %2: \"%3\" needs %4, has %5")
                         .arg(where, nameOf(widget), text)
                         .arg(needs)
                         .arg(has));
    }

    // The horizontal headers of tables: each section at least as wide as its title asks.
    void sections(QHeaderView *header, const QString &where)
    {
        if (header->orientation() != Qt::Horizontal || !header->model())
            return;
        for (int section = 0; section < header->count(); ++section) {
            const QString title = header->model()->headerData(section, Qt::Horizontal).toString();
            if (header->isSectionHidden(section) || title.isEmpty())
                continue;
            if (header->sectionSize(section) < header->sectionSizeHint(section))
                add(where, header, title, header->sectionSizeHint(section),
                    header->sectionSize(section));
        }
    }

    // Labels, buttons and group boxes: as wide as their text, a wrapped label as high.
    void text(QWidget *widget, const QString &where)
    {
        QString shown;
        if (auto *label = qobject_cast<QLabel *>(widget)) {
            shown = label->text();
            if (!shown.isEmpty() && label->wordWrap()) {
                const int needs = label->heightForWidth(label->width());
                if (label->height() < needs)
                    add(where, widget, shown, needs, label->height());
                return;
            }
        } else if (auto *button = qobject_cast<QAbstractButton *>(widget)) {
            shown = button->text();
        } else if (auto *group = qobject_cast<QGroupBox *>(widget)) {
            shown = group->title();
        }
        if (!shown.isEmpty() && widget->width() < widget->minimumSizeHint().width())
            add(where, widget, shown, widget->minimumSizeHint().width(), widget->width());
    }
};

void settle(QWidget *widget)
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    QCoreApplication::processEvents();
    widget->grab(); // laid out and polished as when painted
}

} // namespace

class TestNothingClipped : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    WindowHarness ui;

    void useLanguage(const QString &language)
    {
        WindowHarness::writeSettings(dir.filePath("absent"), dir.path());
        QSettings(QStringLiteral("Veltrica"), QStringLiteral("Quorvex"))
            .setValue(QStringLiteral("LANGUAGE"), language);
        WindowHarness::dropTranslators();
        installLanguage();
    }

    // The window the size of the screen, each page shown in turn.
    void createWindow()
    {
        ui.create();
        MainWindow *window = ui.get();
        window->setWindowState(Qt::WindowNoState);
        window->resize(ScreenWidth, ScreenHeight - Decorations);
        settle(window);
    }

    static void languages()
    {
        QTest::addColumn<QString>("language");
        QTest::newRow("ru") << "ru";
        QTest::newRow("en") << "en";
    }

private slots:
    void cleanup()
    {
        ui.destroy();
        WindowHarness::dropTranslators();
    }

    void windowPages_data() { languages(); }
    void windowPages()
    {
        QFETCH(QString, language);
        useLanguage(language);
        createWindow();
        auto *tabs = ui.child<QTabWidget>("tabWidget");
        Clipped clipped;
        for (int page = 0; page < tabs->count(); ++page) {
            tabs->setCurrentIndex(page);
            settle(ui.get());
            clipped.walk(ui.get(), tabs->tabText(page));
        }
        QVERIFY2(clipped.found.isEmpty(), qPrintable(clipped.found.join('\n')));
    }

    void dialogs_data() { languages(); }
    void dialogs()
    {
        QFETCH(QString, language);
        useLanguage(language);
        CanDataModel log;
        const auto dialogs = everyDialog(&log);
        Clipped clipped;
        for (const auto &dialog : dialogs) {
            dialog->show();
            settle(dialog.get());
            clipped.walk(dialog.get(), nameOf(dialog.get()));
            dialog->hide();
        }
        QVERIFY2(clipped.found.isEmpty(), qPrintable(clipped.found.join('\n')));
    }

    // Opened on a 1366 × 768 laptop, the signal dialog's buttons are on the screen.
    void signalDialogFitsASmallScreen_data() { languages(); }
    void signalDialogFitsASmallScreen()
    {
        QFETCH(QString, language);
        useLanguage(language);
        SignalDialog dialog;
        dialog.show();
        settle(&dialog);
        QVERIFY2(dialog.height() + Decorations <= SmallScreenHeight,
                 qPrintable(QString::number(dialog.height())));
        QVERIFY(dialog.minimumSizeHint().height() + Decorations <= SmallScreenHeight);
    }

    void newColumnInSight_data() { languages(); }
    void newColumnInSight()
    {
        QFETCH(QString, language);
        useLanguage(language);
        createWindow();
        ui.child<QTabWidget>("tabWidget")->setCurrentWidget(ui.child<QWidget>("tab_2"));
        settle(ui.get());
        auto *view = ui.child<QTableView>("tableView_2");
        QHeaderView *header = view->horizontalHeader();
        const int right = header->sectionViewportPosition(StatisticsModel::NewColumn) +
                          header->sectionSize(StatisticsModel::NewColumn);
        QVERIFY2(header->sectionViewportPosition(StatisticsModel::NewColumn) >= 0 &&
                     right <= view->viewport()->width(),
                 qPrintable(QStringLiteral("%1 > %2").arg(right).arg(view->viewport()->width())));
    }
};

QUORVEX_WINDOW_TEST_MAIN(TestNothingClipped)
#include "tst_nothingclipped.moc"
