// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/headerfit.h"

#include <QHeaderView>
#include <QTableView>

void HeaderFit::widenToTitles(QTableView *view)
{
    QHeaderView *header = view->horizontalHeader();
    for (int section = 0; section < header->count(); ++section) {
        const int needed = header->sectionSizeHint(section);
        if (header->sectionSize(section) < needed)
            header->resizeSection(section, needed);
    }
}
