// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/guidewindow.h"
#include "ui_guidewindow.h"

#include <QTextBrowser>

// The pages live in a static library: its resource is registered by hand.
static void initGuide()
{
    Q_INIT_RESOURCE(guide);
}

GuideWindow::GuideWindow(QWidget *parent) : QDialog(parent), ui(new Ui::GuideWindow)
{
    static const bool registered = (initGuide(), true);
    Q_UNUSED(registered)
    ui->setupUi(this);
    setWindowFlags(Qt::Window | Qt::WindowCloseButtonHint | Qt::WindowMinMaxButtonsHint);
    connect(ui->tbGuide, &QTextBrowser::backwardAvailable, ui->btBack, &QWidget::setEnabled);
    ui->btBack->setEnabled(false);
    ui->tbGuide->setSource(startPage());
}

GuideWindow::~GuideWindow()
{
    delete ui;
}

QUrl GuideWindow::startPage()
{
    //: The language of the user's guide the window opens: "ru" or "en".
    return QUrl(QStringLiteral("qrc:/guide/%1.html").arg(tr("ru", "guide language")));
}

void GuideWindow::on_btBack_clicked()
{
    ui->tbGuide->backward();
}

void GuideWindow::on_btHome_clicked()
{
    ui->tbGuide->home();
}

void GuideWindow::on_btClose_clicked()
{
    close();
}
