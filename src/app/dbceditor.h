// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QKeySequence>
#include <QList>
#include <QObject>
#include <optional>

class DbcLoader;
class QAction;
class QUndoStack;
class QWidget;
struct DbcMessage;
struct DbcSignal;

// Signals made and changed by hand, each an undoable step, and the database written back to a
// DBC file ("Сохранить DBC", "Сохранить DBC как..."). Before unsaved changes are dropped (the
// window closed, the files forgotten or others loaded) the user is asked.
class DbcEditor final : public QObject
{
    Q_OBJECT

public:
    DbcEditor(QWidget *window, DbcLoader *loader, QAction *save, QAction *saveAs);

    QUndoStack *undoStack() const { return stack; }
    // The keys of "Повторить" given the platform's Redo keys.
    static QList<QKeySequence> redoKeys(const QList<QKeySequence> &platformRedo);
    bool isModified() const;

    // Opens the signal dialog for bits dragged across the grid of a frame's identifier.
    void createSignal(quint32 id, bool extended, int fromBit, int toBit, int frameLength);
    // Opens the signal dialog with a signal found in the log (layout, sign, factor, offset).
    void createFoundSignal(quint32 id, bool extended, int startBit, int length, bool motorola,
                           bool isSigned, double factor, double offset);
    // Opens the signal dialog for a signal the database has.
    void editSignal(quint32 id, bool extended, const QString &name);
    // Opens the message dialog for a message the database has: changed or deleted (with its
    // signals), each one undoable step.
    void editMessage(quint32 id, bool extended);
    // A change as one undoable step; `after` empty removes the message.
    void change(const QString &text, std::optional<DbcMessage> before,
                std::optional<DbcMessage> after);

    // Writes the database; false (and said) when it could not be written or the user backed
    // out of losing statements the reader skipped.
    bool saveTo(const QString &path);
    bool save();
    bool saveAs();
    // True when nothing is unsaved, or the user saved or chose to drop it.
    bool mayDiscard();

signals:
    void status(const QString &text);

private:
    QWidget *window;
    DbcLoader *loader;
    QUndoStack *stack;
    bool reloading = false;

    bool mayLoseStatements(const QString &path);
    DbcMessage messageFor(quint32 id, bool extended, int frameLength, bool *isNew) const;
    void openDialog(const DbcMessage &message, bool newMessage, const QString &signalName,
                    int fromBit, int toBit, const DbcSignal *prefilled = nullptr);
};
