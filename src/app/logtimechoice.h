// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

class CanDataModel;
class QComboBox;
class QTabWidget;

// The "Время" choice of the log: the time of day of each row, or the seconds since the first
// row, as the finder and the plots count them. It stands in the corner of the tabs, beside
// them rather than in the filter row (which must keep to one line on a laptop screen), while the
// log's page is shown. The window keeps the choice in the settings.
class LogTimeChoice final : public QObject
{
    Q_OBJECT

public:
    // `box` sits in a widget of its own on the log's page of `tabs`.
    LogTimeChoice(QComboBox *box, QTabWidget *tabs, CanDataModel *log, bool sinceFirst,
                  QObject *parent);

signals:
    void chosen(bool sinceFirst);

private:
    void putInCorner(QTabWidget *tabs);

    QComboBox *box;
    CanDataModel *log;
};
