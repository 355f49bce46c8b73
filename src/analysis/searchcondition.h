// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QtGlobal>
#include <cmath>

// What the user knows a signal did, checked against one candidate at a time. Values are
// physical (raw times factor plus offset); times are microseconds as the log keeps them.
//
// Every condition has a tolerance for a value that is noisy or was rounded: in physical units, or
// with `percent` a share of a reference (the span's range of the value for span conditions, the
// value stated or compared otherwise). What it forgives:
//   "равно", "между", "изменилось на": a value that far off;
//   "выросло", "уменьшилось", "изменилось": a move no larger than it counts as none;
//   "не изменилось": a move that small;
//   "не убывало", "не возрастало": a dip that deep below the highest (lowest) value so far;
//   "менялось не больше K раз": moves within it, counted from the level of the last change.
struct SearchCondition
{
    enum Kind {
        Equal,   // at `first`: value = a
        Between, // at `first`: a <= value <= b
        Rose,    // from `first` to `second`
        Fell,
        Unchanged,
        Changed,
        ChangedBy,     // value at `second` - value at `first` = a
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
    bool percent = false; // `tolerance` is a percentage of the reference
    int count = 0;

    bool atMoment() const { return kind == Equal || kind == Between; }
    bool overSpan() const { return kind >= NonDecreasing; }
    bool tolerant() const { return tolerance > 0; }
    // The tolerance in physical units for a reference magnitude (used with `percent` only).
    double allowance(double reference) const
    {
        return percent ? std::abs(reference) * tolerance / 100.0 : tolerance;
    }
    // "равно 90", "выросло", "менялось не больше 3 раз", "не убывало (допуск 2)".
    QString text() const;
};
