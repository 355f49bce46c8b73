// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QHash>
#include <QString>

// An EV_ environment variable. Quorvex does not use them; its definition is kept as written so
// that a saved file still carries it.
struct DbcEnvVar
{
    QString name;
    QString definition; // the statement from "EV_" up to, not including, its ';'
    QString comment;
    QHash<QString, QString> attributes;
};
