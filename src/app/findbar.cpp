// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/findbar.h"
#include "ui_findbar.h"

#include "analysis/framequery.h"
#include "analysis/rowsearch.h"
#include "app/logpager.h"
#include "log/candatamodel.h"
#include "log/rowsnapshot.h"

#include <QKeyEvent>
#include <QShortcut>

FindBar::FindBar(QWidget *parent) : QWidget(parent), ui(new Ui::FindBar)
{
    ui->setupUi(this);
    connect(ui->btFindNext, &QPushButton::clicked, this, &FindBar::findNext);
    connect(ui->btFindPrevious, &QPushButton::clicked, this, &FindBar::findPrevious);
    connect(ui->btFindClose, &QToolButton::clicked, this, &QWidget::hide);
    for (QWidget *field : {ui->leFindId, ui->leFindData})
        field->installEventFilter(this);
    hide();
}

FindBar::~FindBar()
{
    stopSearch();
    delete ui;
}

void FindBar::attach(CanDataModel *searched, LogPager *shower, QWidget *window)
{
    log = searched;
    pager = shower;
    // What each does is its "What's this" text, which the list of shortcuts shows.
    const auto shortcut = [this, window](const QKeySequence &keys, const QString &what, auto act) {
        auto *made = new QShortcut(keys, window);
        made->setWhatsThis(what);
        connect(made, &QShortcut::activated, this, act);
    };
    shortcut(QKeySequence::Find, tr("Поиск в журнале"), [this] { open(); });
    shortcut(QKeySequence(Qt::Key_F3), tr("Найти далее"), [this] { repeat(); });
    shortcut(QKeySequence(Qt::SHIFT + Qt::Key_F3), tr("Найти ранее"), [this] { repeat(true); });
}

void FindBar::open()
{
    show();
    ui->leFindId->setFocus();
    ui->leFindId->selectAll();
}

void FindBar::repeat(bool reverse)
{
    if (isHidden())
        open();
    else
        find(lastForward != reverse);
}

QString FindBar::statusText() const
{
    return ui->lbFindStatus->text();
}

bool FindBar::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress)
        return QWidget::eventFilter(watched, event);
    const auto *key = static_cast<QKeyEvent *>(event);
    if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
        find(!(key->modifiers() & Qt::ShiftModifier));
        return true;
    }
    if (key->key() == Qt::Key_Escape) {
        hide();
        return true;
    }
    return false;
}

// From the row the user is on, on from the other end when nothing follows it; when there is no
// current row, from the start (or, backwards, the end).
void FindBar::find(bool forward)
{
    if (!log || !pager)
        return;
    FrameQuery query;
    QString error;
    if (!query.parse(ui->leFindId->text(), ui->leFindData->text(), &error)) {
        setStatus(error);
        return;
    }
    if (query.isEmpty()) {
        setStatus(tr("Введите ID или данные"));
        return;
    }
    lastForward = forward;
    stopSearch();
    const qint64 end = log->rowCount(); // rows staged for the next refresh are not in sight yet
    const qint64 from = pager->currentRow() >= 0 ? pager->currentRow() : (forward ? -1 : end);
    const quint64 search = ++searches;
    busy = true;
    setStatus(tr("Поиск..."));
    worker = std::thread([this, rows = log->snapshot(), end, query, from, forward, search] {
        const RowSearch::Found found =
            RowSearch::findAround(rows, end, query, from, forward, &cancel);
        QMetaObject::invokeMethod(
            this, [this, search, found] { onFinished(search, found); }, Qt::QueuedConnection);
    });
}

void FindBar::stopSearch()
{
    if (!worker.joinable())
        return;
    cancel = true;
    worker.join();
    cancel = false;
    busy = false;
}

void FindBar::onFinished(quint64 search, const RowSearch::Found &found)
{
    if (search != searches)
        return; // dropped for a newer one
    if (worker.joinable())
        worker.join();
    busy = false;
    if (found.row == RowSearch::NotFound || found.row >= log->rowCount()) {
        setStatus(tr("Не найдено"));
        return;
    }
    // Said, so that a jump back to the top of a long log does not pass unnoticed.
    if (found.wrapped)
        setStatus(lastForward ? tr("Поиск продолжен с начала") : tr("Поиск продолжен с конца"));
    else
        setStatus(QString());
    pager->showRow(int(found.row));
    emit rowFound(int(found.row));
}

void FindBar::setStatus(const QString &text)
{
    ui->lbFindStatus->setText(text);
}
