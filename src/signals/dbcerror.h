// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// A statement of a DBC file that was not read, or (`warning`) one that was read but refers to
// nothing or redefines something. `line` is 0 for the file as a whole (missing, unreadable) and
// for what is found only after reading. `text` is ready to show: "строка 12: ...".
struct DbcError
{
    QString file;
    int line = 0;
    QString text;
    bool warning = false;
};
