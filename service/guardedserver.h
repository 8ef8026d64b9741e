#pragma once

#include "service/listeningserver.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <list>
#include <mutex>

// The HTTP server of the service, hardened against clients that hold connections: each
// connection gets a worker of its own (the pool grows on demand), a connection may sit idle
// between requests only for idleTimeout, and a request must arrive whole within
// requestTimeout of its first byte (a client sending a byte a second is cut off, where the
// library's per-read timeout would wait for ever). stopServing() ends every connection
// promptly: idle and half-received ones at once, answers under way get a short grace.
class GuardedServer : public ListeningServer
{
public:
    struct Limits
    {
        std::chrono::milliseconds idleTimeout{5000};
        std::chrono::milliseconds requestTimeout{5000};
        std::chrono::milliseconds writeTimeout{10000};
        std::chrono::milliseconds stopGrace{500};
        size_t keptWorkers = 16;
        // Connections served at once; beyond it the one idle longest is closed to make room.
        // Below 1024 so that no socket of a connection reaches select()'s FD_SETSIZE.
        size_t maxWorkers = 768;
        size_t maxRequestsPerConnection = 1000;
    };

    explicit GuardedServer(Limits limits);

    // Stops accepting and ends the open connections; the thread in listen_after_bind()
    // returns soon after.
    void stopServing();

    uint64_t connectionsAccepted() const { return m_accepted.load(); }

private:
    enum class Phase
    {
        Idle,      // waiting for a request
        Receiving, // a request has begun to arrive
        Answering, // the request is in; the handler or the answer is under way
    };
    struct Connection
    {
        int socket;
        std::atomic<Phase> phase{Phase::Idle};
        std::atomic<int64_t> idleSinceMs{0};
    };
    class Stream;

    bool process_and_close_socket(socket_t sock) override;
    void closeLongestIdle();

    const Limits m_limits;
    std::atomic<uint64_t> m_accepted{0};
    std::mutex m_mutex;
    std::condition_variable m_allClosed;
    std::list<Connection> m_open;
    std::atomic<bool> m_stopping{false};
};
