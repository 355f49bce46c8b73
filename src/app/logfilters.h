// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

class FrameFilter;
class QAction;
class QCheckBox;
class QComboBox;
class QWidget;

// The filter row above the log: direction, identifier format or mask and code (edited bit by
// bit in its dialog), and whether transmitted frames are shown. Each choice goes straight into
// the feed's filter; changed() follows, so an opened capture can be read again with it.
class LogFilters final : public QObject
{
    Q_OBJECT

public:
    struct Widgets
    {
        QComboBox *direction; // "cbDirect"
        QComboBox *idMode;    // "cbMASK"
        QCheckBox *showTx;    // "chkTX"
        QAction *editMask;    // "actionMask"
    };

    LogFilters(const Widgets &widgets, FrameFilter *filter, bool showTx, QWidget *window);

signals:
    void changed();
    void showTxChanged(bool shown);

private:
    void fill();
    void onIdMode();
    void editMask();
    void onShowTx(int state);

    Widgets ui;
    FrameFilter *filter;
    QWidget *window;
};
