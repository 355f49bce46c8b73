// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "analysis/fieldmark.h"
#include "analysis/signalsearch.h"
#include "app/workbench/comparedialog.h"

#include <QObject>
#include <QPointer>
#include <functional>
#include <optional>

class CanDataModel;
class FieldMarksDialog;
class QAction;
class QWidget;
class SignalFinder;
class SignalSet;

// The three tools for taking a bus apart, behind their menu actions: "Найти сигнал...",
// "Разметить" and "Сравнить...". Each window is made on first use and kept, non-modal; what the
// user picks in them is passed on for the bit view and the signal dialog.
class SignalTools final : public QObject
{
    Q_OBJECT

public:
    SignalTools(QWidget *window, const CanDataModel *log, const SignalSet *known, QAction *find,
                QAction *mark, QAction *compare);

    // Where "Из журнала" takes a moment from.
    void setMomentSource(std::function<std::optional<qint64>()> source);
    // Where "Из выделения" of the comparison takes a span of the log from.
    void setSelectionSource(CompareDialog::SelectionSource source);

    SignalFinder *showFinder();
    // The finder, searching one identifier from its next start.
    SignalFinder *findIn(quint32 id, bool extended);
    FieldMarksDialog *showMarks();
    CompareDialog *showCompare();

    // Bits the known signals cover, per identifier.
    static SignalSearch::KnownBits knownBits(const SignalSet &signalSet);

signals:
    void candidateSelected(quint32 id, bool extended, int startBit, int length, bool motorola,
                           bool isSigned);
    void createSignalRequested(quint32 id, bool extended, int startBit, int length, bool motorola,
                               bool isSigned, double factor, double offset);
    void identifierSelected(quint32 id, bool extended, quint64 newBits);
    // "Разметить" found these marks in the log.
    void marksFound(const std::vector<FieldMark> &marks);

private:
    QWidget *window;
    const CanDataModel *log;
    const SignalSet *known;
    std::function<std::optional<qint64>()> moments;
    CompareDialog::SelectionSource selection;
    QPointer<SignalFinder> finder;
    QPointer<FieldMarksDialog> marks;
    QPointer<CompareDialog> compare;
};
