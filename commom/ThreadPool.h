#ifndef THREADPOOL_H
#define THREADPOOL_H

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <type_traits>
#include <utility>
#include <vector>

// A fixed set of standard threads running queued tasks first in, first out.
// Pool threads have no Qt event loop: a task must not wait for Qt events
// delivered to its own thread.
class ThreadPool
{
public:
    explicit ThreadPool(size_t threads);
    ~ThreadPool();
    ThreadPool(const ThreadPool&) = delete;
    ThreadPool& operator=(const ThreadPool&) = delete;

    // The process-wide pool of 10 threads. It is never destroyed: its tasks
    // may still be waiting on devices when the process ends, and joining
    // them at exit would hang the exit.
    static ThreadPool* GetInstance();

    // Queues f(args...) and returns the future of its result; an exception
    // thrown by the task is stored in that future. Throws
    // std::runtime_error("enqueue on stopped ThreadPool") once destruction
    // has begun.
    template <class F, class... Args>
    auto enqueue(F&& f, Args&&... args) -> std::future<std::invoke_result_t<F, Args...>>
    {
        using R = std::invoke_result_t<F, Args...>;
        auto task = std::make_shared<std::packaged_task<R()>>(
            std::bind(std::forward<F>(f), std::forward<Args>(args)...));
        std::future<R> result = task->get_future();
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (m_stop) {
                throw std::runtime_error("enqueue on stopped ThreadPool");
            }
            m_tasks.emplace_back([task]() { (*task)(); });
        }
        m_condition.notify_one();
        return result;
    }

private:
    void WorkerLoop();

    std::vector<std::thread> m_workers;
    std::deque<std::function<void()>> m_tasks;
    std::mutex m_mutex;
    std::condition_variable m_condition;
    bool m_stop = false;

    static ThreadPool* m_pool;
};

#endif // THREADPOOL_H
