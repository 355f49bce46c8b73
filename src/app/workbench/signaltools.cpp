// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/workbench/signaltools.h"

#include "analysis/frameindex.h"
#include "app/workbench/comparedialog.h"
#include "app/workbench/fieldmarksdialog.h"
#include "app/workbench/signalfinder.h"
#include "signals/signallayout.h"
#include "signals/signalset.h"

#include <QAction>

SignalTools::SignalTools(QWidget *window, const CanDataModel *log, const SignalSet *known,
                         QAction *find, QAction *mark, QAction *compare)
    : QObject(window), window(window), log(log), known(known)
{
    connect(find, &QAction::triggered, this, &SignalTools::showFinder);
    connect(mark, &QAction::triggered, this, &SignalTools::showMarks);
    connect(compare, &QAction::triggered, this, &SignalTools::showCompare);
}

void SignalTools::setMomentSource(std::function<std::optional<qint64>()> source)
{
    moments = std::move(source);
    if (finder)
        finder->setMomentSource(moments);
}

void SignalTools::setSelectionSource(CompareDialog::SelectionSource source)
{
    selection = std::move(source);
    if (compare)
        compare->setSelectionSource(selection);
}

template<typename W> static W *raise(W *w)
{
    w->show();
    w->raise();
    w->activateWindow();
    return w;
}

SignalFinder *SignalTools::showFinder()
{
    if (!finder) {
        finder = new SignalFinder(log, window);
        finder->setMomentSource(moments);
        connect(finder, &SignalFinder::candidateSelected, this, &SignalTools::candidateSelected);
        connect(finder, &SignalFinder::createSignalRequested, this,
                &SignalTools::createSignalRequested);
    }
    if (known)
        finder->setKnownBits(knownBits(*known));
    return raise(finder.data());
}

SignalFinder *SignalTools::findIn(quint32 id, bool extended)
{
    SignalFinder *shown = showFinder();
    shown->setIdentifier(id, extended);
    return shown;
}

FieldMarksDialog *SignalTools::showMarks()
{
    if (!marks) {
        marks = new FieldMarksDialog(log, window);
        connect(marks, &FieldMarksDialog::fieldSelected, this,
                [this](quint32 id, bool extended, int startBit, int length, bool motorola) {
                    emit candidateSelected(id, extended, startBit, length, motorola, false);
                });
        connect(marks, &FieldMarksDialog::createSignalRequested, this,
                &SignalTools::createSignalRequested);
        connect(marks, &FieldMarksDialog::ready, this, [this] { emit marksFound(marks->marks()); });
    }
    return raise(marks.data());
}

CompareDialog *SignalTools::showCompare()
{
    if (!compare) {
        compare = new CompareDialog(log, window);
        compare->setSelectionSource(selection);
        connect(compare, &CompareDialog::identifierSelected, this,
                &SignalTools::identifierSelected);
    }
    return raise(compare.data());
}

SignalSearch::KnownBits SignalTools::knownBits(const SignalSet &signalSet)
{
    SignalSearch::KnownBits bits;
    for (const DbcMessage &message : signalSet.database().messages()) {
        FrameMask &mask = bits[FrameIndex::key(message.id, message.extended)];
        for (const DbcSignal &s : message.signalList) {
            for (const int bit : SignalLayout::bits(s.startBit, s.length, s.byteOrder))
                mask.set(bit);
        }
    }
    return bits;
}
