// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "analysis/framemask.h"

#include <QString>
#include <QVector>
#include <array>
#include <bitset>
#include <vector>

class FrameIndex;

// Two captures (or two spans of one) side by side, identifier by identifier: what is in one
// only, how often each sends, which bits flip in one but never in the other, and which byte
// values only the second carries. What matters most sorts first: identifiers of one capture
// only, then those with bits new in B.
class CaptureComparison final
{
public:
    enum Presence { AOnly, BOnly, Both };

    struct Row
    {
        quint32 id = 0;
        bool extended = false;
        Presence presence = Both;
        quint64 framesA = 0;
        quint64 framesB = 0;
        double rateA = 0; // frames per second over the capture's duration
        double rateB = 0;
        FrameMask newInB; // bits (8 * byte + bit) that flip in B and never in A
        FrameMask newInA;
        std::array<QVector<int>, FrameMask::Bits / 8> valuesOnlyInB; // per byte, ascending

        int valuesOnlyInBCount() const;
        // "D2.7 D5.0", empty for none.
        static QString bitsText(const FrameMask &bits);
        // "D1: 0x10 0x11; D3: 0xFF", at most `limit` values.
        QString valuesText(int limit = 16) const;
        QString presenceText() const; // "только A", "только B", "A и B"
    };

    static std::vector<Row> compare(const FrameIndex &a, const FrameIndex &b);
    // One line per row under a header; texts in quotes where they hold separators.
    static QString csv(const std::vector<Row> &rows);

private:
    struct Side;
    static Side look(const FrameIndex &index, int series);
};
