#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <httplib.h>
#include <list>
#include <mutex>
#include <thread>
#include <vector>

// The HTTP library's task queue, counting the connections it is handed: the library hands
// over one task per accepted connection, so the count is the connections accepted.
//
// The library serves a connection on one worker for as long as it stays open, so a fixed
// pool lets idle or slow connections keep every later one waiting. This pool keeps `threads`
// workers and, while all of them are busy, starts more, up to `maxThreads`; those extra ones
// end after sitting idle for a while. Only at maxThreads does a connection wait for a worker,
// and then onSaturated is called (without the lock held) so that the owner can make room.
template <class Count> class CountingTaskQueue : public httplib::TaskQueue
{
public:
    CountingTaskQueue(size_t threads, std::atomic<Count>& connections, size_t maxThreads = 0,
                      std::function<void()> onSaturated = {})
        : m_keep(threads), m_max(std::max(threads, maxThreads)), m_connections(connections),
          m_onSaturated(std::move(onSaturated))
    {
        std::lock_guard lock(m_mutex);
        for (size_t i = 0; i < m_keep; ++i)
            startWorker(false);
    }
    ~CountingTaskQueue() override { shutdown(); }

    void enqueue(std::function<void()> fn) override
    {
        ++m_connections;
        bool saturated = false;
        {
            std::lock_guard lock(m_mutex);
            joinEnded();
            m_jobs.push_back(std::move(fn));
            if (m_jobs.size() > m_idle) {
                if (m_running < m_max)
                    startWorker(true);
                else
                    saturated = true;
            }
        }
        m_wake.notify_one();
        if (saturated && m_onSaturated)
            m_onSaturated();
    }

    void shutdown() override
    {
        {
            std::lock_guard lock(m_mutex);
            if (m_shutdown)
                return;
            m_shutdown = true;
        }
        m_wake.notify_all();
        // Workers finish the queued tasks first; none is started any more.
        for (std::thread& worker : m_workers)
            if (worker.joinable())
                worker.join();
    }

private:
    static constexpr std::chrono::seconds extraWorkerIdle{10};

    // With m_mutex held.
    void startWorker(bool extra)
    {
        ++m_running;
        m_workers.emplace_back();
        const auto self = std::prev(m_workers.end());
        *self = std::thread([this, extra, self] { work(extra, self); });
    }

    void work(bool extra, std::list<std::thread>::iterator self)
    {
        std::unique_lock lock(m_mutex);
        for (;;) {
            ++m_idle;
            const auto ready = [this] { return m_shutdown || !m_jobs.empty(); };
            const bool woken =
                extra ? m_wake.wait_for(lock, extraWorkerIdle, ready) : (m_wake.wait(lock, ready), true);
            --m_idle;
            if (m_jobs.empty() && (m_shutdown || !woken))
                break;
            std::function<void()> job = std::move(m_jobs.front());
            m_jobs.pop_front();
            lock.unlock();
            job();
            job = nullptr;
            lock.lock();
        }
        --m_running;
        if (!m_shutdown)
            m_ended.push_back(self); // joined by the next enqueue, or at shutdown
    }

    // With m_mutex held: joins the extra workers that ended while idle.
    void joinEnded()
    {
        for (const auto& ended : m_ended) {
            ended->join();
            m_workers.erase(ended);
        }
        m_ended.clear();
    }

    const size_t m_keep;
    const size_t m_max;
    std::atomic<Count>& m_connections;
    std::function<void()> m_onSaturated;

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::function<void()>> m_jobs;
    std::list<std::thread> m_workers;
    std::vector<std::list<std::thread>::iterator> m_ended;
    size_t m_running = 0;
    size_t m_idle = 0;
    bool m_shutdown = false;
};
