// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

// A BA_DEF_: which objects the attribute belongs to, its type and its BA_DEF_DEF_ default.
struct DbcAttributeDef
{
    enum class Object { Network, Node, Message, Signal, EnvVar };
    enum class Type { Int, Hex, Float, String, Enum };

    QString name;
    Object object = Object::Network;
    Type type = Type::String;
    QStringList enumLabels;
    QString minimum; // INT, HEX and FLOAT ranges as written
    QString maximum;
    bool hasRange = false;
    QString defaultValue; // as written; enum defaults as their label
    bool hasDefault = false;
};
