// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <QUrl>

namespace Ui {
class GuideWindow;
}

// The user's guide, an HTML book with its pictures built into the program (the package installs
// the same pages under /usr/share/doc/quorvex/guide/), in the language the window speaks. It stays
// open beside the window.
class GuideWindow final : public QDialog
{
    Q_OBJECT

public:
    explicit GuideWindow(QWidget *parent = nullptr);
    ~GuideWindow() override;

    // The first page of the guide in the language in use.
    static QUrl startPage();

private slots:
    void on_btBack_clicked();
    void on_btHome_clicked();
    void on_btClose_clicked();

private:
    Ui::GuideWindow *ui;
};
