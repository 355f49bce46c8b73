// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/windowharness.h"

#include "log/candatamodel.h"

#include <QAction>
#include <QSettings>
#include <QTableView>
#include <QTemporaryDir>
#include <QTranslator>

void WindowHarness::isolateSettings()
{
    // Test mode is not switched on: it puts every store under ~/.qttest, shared by all test
    // processes, so tests running in parallel would read each other's settings.
    static QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
}

void WindowHarness::dropTranslators()
{
    const auto translators = qApp->findChildren<QTranslator *>();
    for (QTranslator *translator : translators) {
        QCoreApplication::removeTranslator(translator);
        delete translator;
    }
}

void WindowHarness::writeSettings(const QString &portName, const QString &workDir,
                                  const QVariant &tx)
{
    QSettings store(QStringLiteral("Veltrica"), QStringLiteral("Quorvex"));
    store.clear();
    store.setValue(QStringLiteral("PORT"), portName);
    store.setValue(QStringLiteral("WORKDIR"), workDir);
    if (tx.isValid())
        store.setValue(QStringLiteral("TX"), tx);
}

void WindowHarness::create()
{
    window = std::make_unique<MainWindow>();
    window->show();
}

QAbstractItemModel *WindowHarness::log() const
{
    return window->findChild<CanDataModel *>();
}

void WindowHarness::setCombo(const char *name, int data) const
{
    auto *box = child<QComboBox>(name);
    box->setCurrentIndex(box->findData(data));
}

bool WindowHarness::connectPort() const
{
    child<QAction>("actionOpenPort")->trigger();
    return status("lbStatusPort").endsWith(QStringLiteral(" открыт"));
}
