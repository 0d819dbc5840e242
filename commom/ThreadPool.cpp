#include "commom/ThreadPool.h"

ThreadPool* ThreadPool::m_pool = nullptr;

ThreadPool::ThreadPool(size_t threads)
{
    m_workers.reserve(threads);
    for (size_t i = 0; i < threads; ++i) {
        m_workers.emplace_back(&ThreadPool::WorkerLoop, this);
    }
}

ThreadPool::~ThreadPool()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
    }
    m_condition.notify_all();
    for (std::thread& worker : m_workers) {
        if (worker.joinable()) {
            worker.join();
        }
    }
}

ThreadPool* ThreadPool::GetInstance()
{
    if (m_pool == nullptr) {
        m_pool = new ThreadPool(10);
    }
    return m_pool;
}

void ThreadPool::WorkerLoop()
{
    for (;;) {
        std::function<void()> task;
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_condition.wait(lock, [this]() { return m_stop || !m_tasks.empty(); });
            // Queued work is drained before a stopping pool lets its threads go.
            if (m_stop && m_tasks.empty()) {
                return;
            }
            task = std::move(m_tasks.front());
            m_tasks.pop_front();
        }
        task();
    }
}
