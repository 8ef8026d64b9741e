#pragma once

#include <httplib.h>

#include <atomic>
#include <functional>

// The HTTP library's thread pool, counting the connections it is handed: the library hands
// over one task per accepted connection, so the count is the connections accepted.
template <class Count>
class CountingTaskQueue : public httplib::TaskQueue
{
public:
    CountingTaskQueue(size_t threads, std::atomic<Count>& connections) : m_pool(threads), m_connections(connections)
    {
    }
    void enqueue(std::function<void()> fn) override
    {
        ++m_connections;
        m_pool.enqueue(std::move(fn));
    }
    void shutdown() override { m_pool.shutdown(); }

private:
    httplib::ThreadPool m_pool;
    std::atomic<Count>& m_connections;
};
