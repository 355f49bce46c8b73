// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/coreworkers.h"

#include <QtTest>
#include <thread>
#include <vector>

class TestCoreWorkers : public QObject
{
    Q_OBJECT

private slots:
    // Every piece runs exactly once, whatever the threads; progress is told on the calling
    // thread only, never going back, and ends at the count of pieces.
    void everyPieceOnceAndProgressOnTheCaller()
    {
        for (int threads : {1, 3, 8}) {
            constexpr int Pieces = 2000;
            std::vector<std::atomic_int> runs(Pieces);
            const auto caller = std::this_thread::get_id();
            int last = 0;
            bool inOrder = true;
            bool onCaller = true;
            const bool done = CoreWorkers(threads).run(
                Pieces, [&](int i) { runs[size_t(i)].fetch_add(1); }, nullptr,
                [&](int finished) {
                    inOrder = inOrder && finished > last;
                    onCaller = onCaller && std::this_thread::get_id() == caller;
                    last = finished;
                });
            QVERIFY(done);
            QVERIFY(inOrder);
            QVERIFY(onCaller);
            QVERIFY(last <= Pieces); // the helpers may have run them all
            for (const std::atomic_int &n : runs)
                QCOMPARE(n.load(), 1);
        }
    }

    // Once cancelled no new piece starts, and the run says it did not finish.
    void cancelStopsTakingPieces()
    {
        for (int threads : {1, 4}) {
            std::atomic_bool cancel{false};
            std::atomic_int ran{0};
            const bool done = CoreWorkers(threads).run(
                1000,
                [&](int i) {
                    ran.fetch_add(1);
                    if (i == 10)
                        cancel = true;
                    while (i > 10 && !cancel) // none gets ahead of the cancel
                        std::this_thread::yield();
                },
                &cancel);
            QVERIFY(!done);
            QVERIFY(ran.load() >= 11);
            QVERIFY(ran.load() <= 10 + threads); // those already started finish
        }
        QVERIFY(CoreWorkers(0).threads() >= 1);
    }
};

QTEST_APPLESS_MAIN(TestCoreWorkers)
#include "tst_coreworkers.moc"
