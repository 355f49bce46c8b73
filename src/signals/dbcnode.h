// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QHash>
#include <QString>

// One ECU named in BU_.
struct DbcNode
{
    QString name;
    QString comment;
    QHash<QString, QString> attributes;
};
