// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QtGlobal>

// What the user knows a signal did, checked against one candidate at a time. Values are
// physical (raw times factor plus offset); times are microseconds as the log keeps them.
struct SearchCondition
{
    enum Kind {
        Equal,   // at `first`: value = a (within `tolerance`)
        Between, // at `first`: a <= value <= b
        Rose,    // from `first` to `second`
        Fell,
        Unchanged,
        Changed,
        ChangedBy,     // value at `second` - value at `first` = a (within `tolerance`)
        NonDecreasing, // over the span `first` .. `second`
        NonIncreasing,
        ChangedAtMost, // over the span: at most `count` changes
    };

    Kind kind = Equal;
    qint64 first = 0;
    qint64 second = 0;
    double a = 0;
    double b = 0;
    double tolerance = 0;
    int count = 0;

    bool atMoment() const { return kind == Equal || kind == Between; }
    bool overSpan() const { return kind >= NonDecreasing; }
    // "равно 90", "выросло", "менялось не больше 3 раз".
    QString text() const;
};
