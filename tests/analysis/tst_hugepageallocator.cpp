// SPDX-License-Identifier: GPL-3.0-or-later
// The allocator of per-identifier state: every block aligned as its type needs, large blocks on
// a 2 MB boundary, and containers that grow through both kinds keep their contents.
#include "analysis/hugepageallocator.h"

#include <QtTest>
#include <cstdint>
#include <vector>

namespace {

struct alignas(64) Line
{
    quint64 words[8];
};

bool alignedTo(const void *p, size_t bytes)
{
    return reinterpret_cast<std::uintptr_t>(p) % bytes == 0;
}

} // namespace

class TestHugePageAllocator : public QObject
{
    Q_OBJECT

private slots:
    void blocksAreAlignedAsAsked()
    {
        HugePageAllocator<Line> lines;
        for (size_t n : {size_t(1), size_t(3), size_t(1000), size_t(40000), size_t(100000)}) {
            Line *p = lines.allocate(n);
            QVERIFY(alignedTo(p, alignof(Line)));
            if (n * sizeof(Line) >= HugePageAllocator<Line>::HugeBytes)
                QVERIFY(alignedTo(p, HugePageAllocator<Line>::HugeBytes));
            p[n - 1].words[7] = n; // the whole block is ours
            lines.deallocate(p, n);
        }
    }

    void vectorsGrowAcrossTheHugeSize()
    {
        std::vector<Line, HugePageAllocator<Line>> v;
        const size_t n = 3 * HugePageAllocator<Line>::HugeBytes / sizeof(Line);
        for (size_t i = 0; i < n; ++i)
            v.push_back(Line{{i, 0, 0, 0, 0, 0, 0, ~i}});
        QVERIFY(alignedTo(v.data(), HugePageAllocator<Line>::HugeBytes));
        for (size_t i = 0; i < n; i += 997)
            QVERIFY(v[i].words[0] == i && v[i].words[7] == ~i);
        QVERIFY_EXCEPTION_THROWN(v.reserve(v.max_size() + 1), std::length_error);
    }
};

QTEST_GUILESS_MAIN(TestHugePageAllocator)
#include "tst_hugepageallocator.moc"
