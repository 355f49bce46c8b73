// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/capturecomparison.h"

#include "analysis/frameindex.h"

#include <QCoreApplication>
#include <QStringList>
#include <algorithm>
#include <tuple>

// What one capture says of one identifier.
struct CaptureComparison::Side
{
    quint64 frames = 0;
    FrameMask flipped;
    std::array<std::bitset<256>, FrameMask::Bits / 8> values;
};

CaptureComparison::Side CaptureComparison::look(const FrameIndex &index, int series)
{
    Side side;
    if (series < 0)
        return side;
    const FrameIndex::Series &s = index.at(series);
    side.frames = quint64(s.size());
    for (int word = 0; word <= s.tailWords && s.size() > 0; ++word) {
        // Word 0 of each frame in `words`, the others `tailWords` apart in `tail`.
        const quint64 *next = word == 0 ? s.words.data() : s.tail.data() + (word - 1);
        const size_t stride = word == 0 ? 1 : size_t(s.tailWords);
        const int bytes = std::min(s.maxLength - 8 * word, 8);
        quint64 previous = *next;
        for (int i = 0; i < s.size(); ++i, next += stride) {
            const quint64 w = *next;
            side.flipped.words[size_t(word)] |= w ^ previous;
            previous = w;
            for (int k = 0; k < bytes; ++k)
                side.values[size_t(8 * word + k)].set(size_t((w >> (8 * k)) & 0xFF));
        }
    }
    return side;
}

std::vector<CaptureComparison::Row> CaptureComparison::compare(const FrameIndex &a,
                                                               const FrameIndex &b)
{
    std::vector<std::pair<quint32, bool>> ids;
    for (const FrameIndex *index : {&a, &b}) {
        for (int s = 0; s < index->seriesCount(); ++s)
            ids.emplace_back(index->at(s).id, index->at(s).extended);
    }
    std::sort(ids.begin(), ids.end());
    ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
    std::vector<Row> rows;
    rows.reserve(ids.size());
    for (const auto &id : ids) {
        const int sa = a.indexOf(id.first, id.second);
        const int sb = b.indexOf(id.first, id.second);
        const Side x = look(a, sa);
        const Side y = look(b, sb);
        Row r;
        r.id = id.first;
        r.extended = id.second;
        r.presence = sa < 0 ? BOnly : sb < 0 ? AOnly : Both;
        r.framesA = x.frames;
        r.framesB = y.frames;
        r.rateA = a.seconds() > 0 ? double(x.frames) / a.seconds() : 0;
        r.rateB = b.seconds() > 0 ? double(y.frames) / b.seconds() : 0;
        if (r.presence == Both) {
            r.newInB = y.flipped.without(x.flipped);
            r.newInA = x.flipped.without(y.flipped);
            for (size_t k = 0; k < x.values.size(); ++k) {
                const std::bitset<256> only = y.values[k] & ~x.values[k];
                if (only.none())
                    continue;
                for (size_t v = 0; v < 256; ++v) {
                    if (only[v])
                        r.valuesOnlyInB[k].append(int(v));
                }
            }
        }
        rows.push_back(std::move(r));
    }
    auto rank = [](const Row &r) {
        return std::make_tuple(r.presence == BOnly   ? 0
                               : r.presence == AOnly ? 1
                                                     : 2,
                               -r.newInB.count(), -r.newInA.count(), -r.valuesOnlyInBCount(),
                               r.extended, r.id);
    };
    std::stable_sort(rows.begin(), rows.end(),
                     [&rank](const Row &l, const Row &r) { return rank(l) < rank(r); });
    return rows;
}

int CaptureComparison::Row::valuesOnlyInBCount() const
{
    int n = 0;
    for (const QVector<int> &v : valuesOnlyInB)
        n += v.size();
    return n;
}

QString CaptureComparison::Row::bitsText(const FrameMask &bits)
{
    QStringList names;
    for (int b = 0; b < FrameMask::Bits; ++b) {
        if (bits.test(b))
            names.append(QStringLiteral("D%1.%2").arg(b / 8).arg(b % 8));
    }
    return names.join(QLatin1Char(' '));
}

QString CaptureComparison::Row::valuesText(int limit) const
{
    QStringList parts;
    int shown = 0;
    for (int k = 0; k < int(valuesOnlyInB.size()) && shown < limit; ++k) {
        if (valuesOnlyInB[size_t(k)].isEmpty())
            continue;
        QStringList values;
        for (int v : valuesOnlyInB[size_t(k)]) {
            if (shown++ == limit) {
                values.append(QStringLiteral("…"));
                break;
            }
            values.append(QStringLiteral("0x") +
                          QString::number(v, 16).rightJustified(2, QLatin1Char('0')).toUpper());
        }
        parts.append(QStringLiteral("D%1: %2").arg(k).arg(values.join(QLatin1Char(' '))));
    }
    return parts.join(QStringLiteral("; "));
}

QString CaptureComparison::Row::presenceText() const
{
    switch (presence) {
    case AOnly:
        return QCoreApplication::translate("CaptureComparison", "только A");
    case BOnly:
        return QCoreApplication::translate("CaptureComparison", "только B");
    case Both:
        break;
    }
    return QCoreApplication::translate("CaptureComparison", "A и B");
}

namespace {

QString csvField(const QString &text)
{
    if (!text.contains(QLatin1Char(';')) && !text.contains(QLatin1Char('"')))
        return text;
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

} // namespace

QString CaptureComparison::csv(const std::vector<Row> &rows)
{
    QString out = QCoreApplication::translate(
        "CaptureComparison",
        "ID;FF;Наличие;Кадров A;Кадров B;Кадр/с A;Кадр/с B;Новые биты в B;Новые биты в A;"
        "Значения только в B\n");
    for (const Row &r : rows) {
        const QStringList fields = {
            QStringLiteral("0x") +
                QString::number(r.id, 16).toUpper().rightJustified(8, QLatin1Char('0')),
            r.extended ? QStringLiteral("EFF") : QStringLiteral("SFF"),
            r.presenceText(),
            QString::number(r.framesA),
            QString::number(r.framesB),
            QString::number(r.rateA, 'f', 2),
            QString::number(r.rateB, 'f', 2),
            Row::bitsText(r.newInB),
            Row::bitsText(r.newInA),
            r.valuesText(256),
        };
        QStringList escaped;
        for (const QString &f : fields)
            escaped.append(csvField(f));
        out += escaped.join(QLatin1Char(';')) + QLatin1Char('\n');
    }
    return out;
}
