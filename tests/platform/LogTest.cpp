#include "platform/Log.h"
#include "fakes/StdoutCapture.h"

#include <QRegularExpression>
#include <QTest>

#include <atomic>
#include <thread>
#include <vector>

class LogTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Capture workers, encoders and the UI thread log at the same moments.
    void linesFromManyThreadsNeverInterleave()
    {
        constexpr int threadCount = 8;
        constexpr int linesPerThread = 20000;
        const QString padding(120, QLatin1Char('x'));
        StdoutCapture output;

        std::atomic<int> ready = 0;
        std::vector<std::thread> threads;
        for (int t = 0; t < threadCount; ++t) {
            threads.emplace_back([t, &padding, &ready] {
                // All start together, so their lines really compete.
                ++ready;
                while (ready.load() < threadCount)
                    std::this_thread::yield();
                for (int n = 0; n < linesPerThread; ++n)
                    Log::line(QStringLiteral("thread %1 line %2 %3").arg(t).arg(n).arg(padding));
            });
        }
        for (std::thread &thread : threads)
            thread.join();

        const QStringList lines = output.takeLines();
        QCOMPARE(lines.size(), threadCount * linesPerThread);
        const QRegularExpression whole(QStringLiteral("^thread \\d line \\d+ x{120}$"));
        for (const QString &line : lines)
            QVERIFY2(whole.match(line).hasMatch(), qPrintable(line.left(200)));
    }
};

QTEST_GUILESS_MAIN(LogTest)
#include "LogTest.moc"
