#include <QtTest>

#include <QString>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <future>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

#include "commom/OrderedMap.h"
#include "commom/ThreadPool.h"

class TestThreadPool : public QObject
{
    Q_OBJECT

private slots:
    void orderedMapKeepsInsertionOrder()
    {
        const OrderedMap<QString, QString> empty{};
        QVERIFY(empty.keys().isEmpty());
        QVERIFY(!empty.contains("a"));

        const OrderedMap<QString, int> map{{"b", 1}, {"a", 2}, {"c", 3}};
        QCOMPARE(map.keys(), (QList<QString>{"b", "a", "c"}));
        QCOMPARE(map.value("a"), 2);
        QCOMPARE(map.value("missing"), 0);
        QVERIFY(map.contains("c"));
        QVERIFY(!map.contains("d"));
        QCOMPARE(map.values(), (QList<int>{1, 2, 3}));
    }

    void orderedMapRepeatedKey()
    {
        // A repeated key is listed twice; the map keeps the later value.
        const OrderedMap<QString, int> map{{"x", 1}, {"y", 2}, {"x", 3}};
        QCOMPARE(map.keys(), (QList<QString>{"x", "y", "x"}));
        QCOMPARE(map.value("x"), 3);
    }

    void elevenOneSecondTasksOnTenThreads()
    {
        ThreadPool pool(10);
        std::mutex mutex;
        std::vector<int> startOrder;
        std::vector<std::chrono::steady_clock::time_point> starts(11), ends(11);
        std::vector<std::future<int>> results;
        QElapsedTimer timer;
        timer.start();
        for (int i = 0; i < 11; ++i) {
            results.push_back(pool.enqueue([&, i]() {
                {
                    std::lock_guard<std::mutex> lock(mutex);
                    startOrder.push_back(i);
                    starts[i] = std::chrono::steady_clock::now();
                }
                std::this_thread::sleep_for(std::chrono::seconds(1));
                std::lock_guard<std::mutex> lock(mutex);
                ends[i] = std::chrono::steady_clock::now();
                return i * i;
            }));
        }
        for (int i = 0; i < 11; ++i) {
            QCOMPARE(results[i].get(), i * i);
        }
        const qint64 elapsed = timer.elapsed();
        QVERIFY2(elapsed >= 1800 && elapsed <= 3500, qPrintable(QString::number(elapsed)));
        // The eleventh had to wait for a free thread.
        QCOMPARE(startOrder.back(), 10);
        const auto firstEnd = *std::min_element(ends.begin(), ends.begin() + 10);
        QVERIFY(starts[10] >= firstEnd);
    }

    void tasksStartInQueueOrder()
    {
        std::vector<int> order;
        std::mutex mutex;
        {
            ThreadPool pool(1);
            std::promise<void> gate;
            std::shared_future<void> open = gate.get_future().share();
            pool.enqueue([open]() { open.wait(); });
            for (int i = 0; i < 20; ++i) {
                pool.enqueue([&order, &mutex, i]() {
                    std::lock_guard<std::mutex> lock(mutex);
                    order.push_back(i);
                });
            }
            gate.set_value();
        } // destruction drains the queue
        QCOMPARE(order.size(), size_t(20));
        for (int i = 0; i < 20; ++i) {
            QCOMPARE(order[i], i);
        }
    }

    void exceptionReachesTheFuture()
    {
        ThreadPool pool(2);
        auto failing = pool.enqueue([]() -> int { throw std::logic_error("bad sample"); });
        auto fine = pool.enqueue([](int a, int b) { return a + b; }, 2, 3);
        try {
            failing.get();
            QFAIL("no exception");
        } catch (const std::logic_error& error) {
            QCOMPARE(QString(error.what()), QString("bad sample"));
        }
        QCOMPARE(fine.get(), 5);
        // The worker survived the exception.
        QCOMPARE(pool.enqueue([]() { return 7; }).get(), 7);
    }

    void poolWithoutThreadsNeverRuns()
    {
        std::atomic<bool> ran{false};
        std::future<void> result;
        {
            ThreadPool pool(0);
            result = pool.enqueue([&ran]() { ran = true; });
            QVERIFY(result.wait_for(std::chrono::milliseconds(50)) == std::future_status::timeout);
        }
        QVERIFY(!ran);
        // The dropped task's future reports it instead of blocking forever.
        QVERIFY_EXCEPTION_THROWN(result.get(), std::future_error);
    }

    void enqueueOnStoppingPoolThrows()
    {
        std::promise<void> started;
        std::future<void> startedFuture = started.get_future();
        QString message;
        auto* pool = new ThreadPool(1);
        pool->enqueue([pool, &started, &message]() {
            started.set_value();
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            try {
                pool->enqueue([]() {});
            } catch (const std::runtime_error& error) {
                message = QString::fromUtf8(error.what());
            }
        });
        startedFuture.wait();
        delete pool; // sets the stop flag, then waits for the running task
        QCOMPARE(message, QString("enqueue on stopped ThreadPool"));
    }

    void processWidePool()
    {
        ThreadPool* pool = ThreadPool::GetInstance();
        QVERIFY(pool != nullptr);
        QCOMPARE(ThreadPool::GetInstance(), pool);
        QCOMPARE(pool->enqueue([]() { return QString("ok"); }).get(), QString("ok"));
    }
};

QTEST_GUILESS_MAIN(TestThreadPool)
#include "tst_thread_pool.moc"
