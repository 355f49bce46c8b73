// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/dbceditor.h"

#include "app/dbcloader.h"
#include "app/messagedialog.h"
#include "app/messageeditcommand.h"
#include "app/savefiledialog.h"
#include "app/signaldialog.h"
#include "link/canpacket.h"
#include "signals/dbcrules.h"
#include "signals/dbcwriter.h"

#include <QAction>
#include <QFileInfo>
#include <QMenu>
#include <QMessageBox>
#include <QUndoStack>
#include <QWidget>

namespace {

QString dialogFilter()
{
    return DbcEditor::tr("Файлы DBC (*.dbc *.DBC);;Все файлы (*)");
}

QString newSignalName(const DbcMessage &message)
{
    for (int n = 1;; ++n) {
        const QString name = QStringLiteral("Signal_%1").arg(n);
        if (message.signalIndex(name) < 0)
            return name;
    }
}

// Messages and signals together: a renamed signal must not clash, a new message must fit.
QString checkChange(const DbcDatabase &db, const DbcMessage &message, const DbcSignal &signal,
                    const QString &replacing)
{
    const int position = db.messagePosition(message.id, message.extended);
    DbcMessage stored = message;
    QString problem = DbcRules::checkSignal(stored, signal, replacing);
    if (!problem.isEmpty())
        return problem;
    stored.setSignal(replacing, signal);
    return DbcRules::checkMessage(db, stored, position);
}

} // namespace

DbcEditor::DbcEditor(QWidget *window, DbcLoader *loader, QAction *save, QAction *saveAs)
    : QObject(window), window(window), loader(loader), stack(new QUndoStack(this))
{
    QAction *undo = stack->createUndoAction(this, tr("Отменить"));
    QAction *redo = stack->createRedoAction(this, tr("Повторить"));
    undo->setShortcut(QKeySequence::Undo);
    redo->setShortcuts(redoKeys(QKeySequence::keyBindings(QKeySequence::Redo)));
    undo->setObjectName(QStringLiteral("actionUndoDbc"));
    redo->setObjectName(QStringLiteral("actionRedoDbc"));
    window->addAction(undo);
    window->addAction(redo);
    for (QWidget *widget : save->associatedWidgets()) {
        if (auto *menu = qobject_cast<QMenu *>(widget))
            menu->addActions({undo, redo});
    }
    connect(save, &QAction::triggered, this, &DbcEditor::save);
    connect(saveAs, &QAction::triggered, this, &DbcEditor::saveAs);
    loader->setDiscardCheck([this] { return mayDiscard(); });
    // Other files loaded: the steps belong to a database that is gone.
    connect(loader, &DbcLoader::filesChanged, this, [this] {
        if (!reloading)
            stack->clear();
    });
}

// Ctrl+Shift+Z everywhere, and the platform's own keys: each once, as the same key given twice
// (GNOME's Redo is Ctrl+Shift+Z) is an ambiguous shortcut that does nothing.
QList<QKeySequence> DbcEditor::redoKeys(const QList<QKeySequence> &platformRedo)
{
    QList<QKeySequence> keys{QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)};
    for (const QKeySequence &key : platformRedo) {
        if (!keys.contains(key))
            keys.append(key);
    }
    return keys;
}

bool DbcEditor::isModified() const
{
    return !stack->isClean();
}

void DbcEditor::change(const QString &text, std::optional<DbcMessage> before,
                       std::optional<DbcMessage> after)
{
    stack->push(new MessageEditCommand(text, loader, std::move(before), std::move(after)));
}

DbcMessage DbcEditor::messageFor(quint32 id, bool extended, int frameLength, bool *isNew) const
{
    const DbcMessage *known = loader->signalSet().message(id, extended);
    *isNew = !known;
    if (known)
        return *known;
    DbcMessage message;
    message.id = id;
    message.extended = extended;
    message.name = QStringLiteral("MSG_%1").arg(QString::number(id, 16).toUpper());
    message.size = frameLength > 0 ? frameLength : 8;
    message.fd = message.size > CanPacket::MaxClassicBytes;
    return message;
}

void DbcEditor::createSignal(quint32 id, bool extended, int fromBit, int toBit, int frameLength)
{
    bool isNew = false;
    const DbcMessage message = messageFor(id, extended, frameLength, &isNew);
    openDialog(message, isNew, QString(), fromBit, toBit);
}

void DbcEditor::createFoundSignal(quint32 id, bool extended, int startBit, int length,
                                  bool motorola, bool isSigned, double factor, double offset)
{
    bool isNew = false;
    const DbcMessage message = messageFor(id, extended, 8, &isNew);
    DbcSignal found;
    found.name = newSignalName(message);
    found.startBit = startBit;
    found.length = length;
    found.byteOrder = motorola ? DbcSignal::ByteOrder::Motorola : DbcSignal::ByteOrder::Intel;
    found.isSigned = isSigned;
    found.factor = factor;
    found.offset = offset;
    found.maximum = 0;
    openDialog(message, isNew, QString(), -1, -1, &found);
}

void DbcEditor::editSignal(quint32 id, bool extended, const QString &name)
{
    const DbcMessage *known = loader->signalSet().message(id, extended);
    if (known && known->signalIndex(name) >= 0)
        openDialog(*known, false, name, -1, -1);
}

void DbcEditor::editMessage(quint32 id, bool extended)
{
    const DbcMessage *known = loader->signalSet().message(id, extended);
    if (!known)
        return;
    const DbcMessage before = *known; // the database changes under the pointer
    const DbcDatabase &db = loader->signalSet().database();
    const int position = db.messagePosition(id, extended);
    MessageDialog dialog(window);
    dialog.setMessage(before);
    dialog.setCheck(
        [&db, position](const DbcMessage &m) { return DbcRules::checkMessage(db, m, position); });
    if (dialog.exec() != QDialog::Accepted)
        return;
    if (dialog.deleteRequested()) {
        change(tr("Удалить сообщение %1").arg(before.name), before, std::nullopt);
        return;
    }
    const DbcMessage after = dialog.message();
    if (after.name != before.name || after.size != before.size || after.fd != before.fd ||
        after.transmitter != before.transmitter || after.comment != before.comment)
        change(tr("Изменить сообщение %1").arg(after.name), before, after);
}

void DbcEditor::openDialog(const DbcMessage &message, bool newMessage, const QString &signalName,
                           int fromBit, int toBit, const DbcSignal *prefilled)
{
    SignalDialog dialog(window);
    dialog.setMessage(message, newMessage);
    const int index = message.signalIndex(signalName);
    DbcSignal signal;
    if (index >= 0) {
        signal = message.signalList[size_t(index)];
    } else if (prefilled) {
        signal = *prefilled;
    } else {
        signal.name = newSignalName(message);
        signal.maximum = 0;
    }
    dialog.setSignal(signal, index >= 0);
    if (fromBit >= 0)
        dialog.setSelection(fromBit, toBit);
    const DbcDatabase &db = loader->signalSet().database();
    dialog.setCheck([&db, signalName](const DbcMessage &m, const DbcSignal &s) {
        return checkChange(db, m, s, signalName);
    });
    if (dialog.exec() != QDialog::Accepted)
        return;
    std::optional<DbcMessage> before;
    if (!newMessage)
        before = message;
    DbcMessage after = dialog.message();
    if (dialog.deleteRequested()) {
        const QString problem = DbcRules::checkRemoveSignal(message, signalName);
        if (!problem.isEmpty()) {
            emit status(problem);
            return;
        }
        after.removeSignal(signalName);
        change(tr("Удалить сигнал %1").arg(signalName), before, after);
        return;
    }
    const DbcSignal made = dialog.signal();
    after.setSignal(signalName, made);
    change(tr("%1 сигнал %2").arg(index >= 0 ? tr("Изменить") : tr("Создать"), made.name), before,
           after);
}

bool DbcEditor::mayLoseStatements(const QString &path)
{
    const int lost = loader->signalSet().database().skippedStatements(path);
    if (lost == 0)
        return true;
    return QMessageBox::warning(
               window, tr("Сохранить DBC"),
               tr("В файле %1 есть непрочитанные утверждения (%2). При сохранении они "
                  "будут потеряны. Сохранить?")
                   .arg(QFileInfo(path).fileName())
                   .arg(lost),
               QMessageBox::Save | QMessageBox::Cancel, QMessageBox::Cancel) == QMessageBox::Save;
}

bool DbcEditor::saveTo(const QString &path)
{
    QString why;
    if (!DbcWriter::save(loader->signalSet().database(), path, &why)) {
        emit status(tr("DBC не сохранён: %1").arg(why));
        return false;
    }
    // The saved file is what the program loads from now on; read again, it has nothing left
    // that the reader skipped.
    reloading = true;
    loader->load({QFileInfo(path).absoluteFilePath()});
    reloading = false;
    stack->setClean();
    emit status(tr("DBC сохранён: %1").arg(QFileInfo(path).fileName()));
    return true;
}

bool DbcEditor::save()
{
    const QStringList files = loader->signalSet().files();
    if (files.size() != 1)
        return saveAs();
    return mayLoseStatements(files.front()) && saveTo(files.front());
}

bool DbcEditor::saveAs()
{
    const QStringList files = loader->signalSet().files();
    const QString path = SaveFileDialog::ask(window, tr("Сохранить DBC как"),
                                             files.isEmpty() ? QString() : files.last(),
                                             dialogFilter(), QStringLiteral("dbc"));
    if (path.isEmpty())
        return false;
    return (!files.contains(QFileInfo(path).absoluteFilePath()) || mayLoseStatements(path)) &&
           saveTo(path);
}

bool DbcEditor::mayDiscard()
{
    if (!isModified())
        return true;
    const auto answer = QMessageBox::question(
        window, QStringLiteral("DBC"), tr("В базе DBC есть несохранённые изменения. Сохранить их?"),
        QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, QMessageBox::Save);
    if (answer == QMessageBox::Save)
        return save();
    return answer == QMessageBox::Discard;
}
