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
