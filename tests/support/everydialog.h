// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/aboutdialog.h"
#include "app/configdialog.h"
#include "app/diagpairsdialog.h"
#include "app/guidewindow.h"
#include "app/messagedialog.h"
#include "app/module/canconfig.h"
#include "app/module/filtermask.h"
#include "app/replaydialog.h"
#include "app/shortcutsdialog.h"
#include "app/signaldialog.h"
#include "app/transmit/senddialog.h"
#include "app/triggersdialog.h"
#include "app/workbench/comparedialog.h"
#include "app/workbench/fieldmarksdialog.h"
#include "app/workbench/signalfinder.h"
#include "log/candatamodel.h"

#include <memory>
#include <vector>

// Every dialog and window of the program but the main one, made afresh (in the language
// installed at the moment) over `log`, for tests that look at all of them.
inline std::vector<std::unique_ptr<QWidget>> everyDialog(CanDataModel *log)
{
    std::vector<std::unique_ptr<QWidget>> dialogs;
    dialogs.emplace_back(new AboutDialog);
    dialogs.emplace_back(new ConfigDialog);
    dialogs.emplace_back(new DiagPairsDialog);
    dialogs.emplace_back(new ReplayDialog(log->snapshot(), {}));
    dialogs.emplace_back(new SignalDialog);
    dialogs.emplace_back(new MessageDialog);
    dialogs.emplace_back(new TriggersDialog);
    dialogs.emplace_back(new CanConfig);
    dialogs.emplace_back(new FilterMask(11));
    dialogs.emplace_back(new FilterMask(29));
    dialogs.emplace_back(new SendDialog);
    dialogs.emplace_back(new CompareDialog(log));
    dialogs.emplace_back(new FieldMarksDialog(log));
    dialogs.emplace_back(new SignalFinder(log));
    dialogs.emplace_back(new GuideWindow);
    dialogs.emplace_back(new ShortcutsDialog);
    return dialogs;
}
