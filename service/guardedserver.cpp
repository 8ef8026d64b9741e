#include "service/guardedserver.h"

#include "service/countingtaskqueue.h"

#include <algorithm>
#include <arpa/inet.h>
#include <array>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

int64_t nowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch()).count();
}

// Waits for events on the socket until the deadline; false on timeout or error.
bool waitFor(int socket, short events, Clock::time_point deadline)
{
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0)
            return false;
        pollfd p{socket, events, 0};
        const int n = ::poll(&p, 1, static_cast<int>(std::min<int64_t>(left, 60000)));
        if (n > 0)
            return true; // readiness, hang-up or error: the next read or write tells which
        if (n < 0 && errno != EINTR)
            return false;
    }
}

void addressOf(int socket, bool peer, std::string& ip, int& port)
{
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    auto* raw = reinterpret_cast<sockaddr*>(&address);
    if ((peer ? ::getpeername(socket, raw, &length) : ::getsockname(socket, raw, &length)) != 0)
        return;
    std::array<char, INET6_ADDRSTRLEN> text{};
    if (address.ss_family == AF_INET) {
        const auto* in = reinterpret_cast<const sockaddr_in*>(&address);
        ::inet_ntop(AF_INET, &in->sin_addr, text.data(), text.size());
        port = ntohs(in->sin_port);
    } else if (address.ss_family == AF_INET6) {
        const auto* in = reinterpret_cast<const sockaddr_in6*>(&address);
        ::inet_ntop(AF_INET6, &in->sin6_addr, text.data(), text.size());
        port = ntohs(in->sin6_port);
    }
    ip = text.data();
}

} // namespace

// One per connection, for all its requests, so that bytes of a pipelined next request that
// arrive with the current one are kept. Reads stop at the request's deadline, not at a
// timeout per read.
class GuardedServer::Stream : public httplib::Stream
{
public:
    Stream(Connection& connection, const Limits& limits) : m_connection(connection), m_limits(limits) {}

    // Until the first byte of the next request is in; false when the client hung up, the
    // connection was shut down or it sat idle for the whole timeout.
    bool waitForRequest()
    {
        if (m_begin < m_end)
            return true;
        if (!waitFor(m_connection.socket, POLLIN, Clock::now() + m_limits.idleTimeout))
            return false;
        return fill() > 0;
    }

    void beginRequest()
    {
        m_deadline = Clock::now() + m_limits.requestTimeout;
        m_connection.phase = Phase::Receiving;
    }

    bool is_readable() const override
    {
        return m_begin < m_end || waitFor(m_connection.socket, POLLIN, m_deadline);
    }
    bool is_writable() const override
    {
        return waitFor(m_connection.socket, POLLOUT, Clock::now() + m_limits.writeTimeout);
    }

    ssize_t read(char* ptr, size_t size) override
    {
        if (m_begin == m_end) {
            if (!waitFor(m_connection.socket, POLLIN, m_deadline))
                return -1;
            const ssize_t n = fill();
            if (n <= 0)
                return n;
        }
        const size_t n = std::min(size, m_end - m_begin);
        std::memcpy(ptr, m_buffer.data() + m_begin, n);
        m_begin += n;
        return static_cast<ssize_t>(n);
    }

    ssize_t write(const char* ptr, size_t size) override
    {
        m_connection.phase = Phase::Answering;
        if (!is_writable())
            return -1;
        for (;;) {
            const ssize_t n = ::send(m_connection.socket, ptr, size, MSG_NOSIGNAL);
            if (n >= 0 || errno != EINTR)
                return n;
        }
    }

    void get_remote_ip_and_port(std::string& ip, int& port) const override
    {
        addressOf(m_connection.socket, true, ip, port);
    }
    void get_local_ip_and_port(std::string& ip, int& port) const override
    {
        addressOf(m_connection.socket, false, ip, port);
    }
    socket_t socket() const override { return m_connection.socket; }

private:
    ssize_t fill()
    {
        for (;;) {
            const ssize_t n = ::recv(m_connection.socket, m_buffer.data(), m_buffer.size(), 0);
            if (n < 0 && errno == EINTR)
                continue;
            m_begin = 0;
            m_end = n > 0 ? static_cast<size_t>(n) : 0;
            return n;
        }
    }

    Connection& m_connection;
    const Limits& m_limits;
    std::array<char, 4096> m_buffer{};
    size_t m_begin = 0;
    size_t m_end = 0;
    Clock::time_point m_deadline = Clock::now();
};

GuardedServer::GuardedServer(Limits limits) : m_limits(limits)
{
    // The library gives accepted sockets this as their send timeout, which bounds a blocked send.
    set_write_timeout(m_limits.writeTimeout);
    new_task_queue = [this] {
        return new CountingTaskQueue<uint64_t>(m_limits.keptWorkers, m_accepted, m_limits.maxWorkers,
                                               [this] { closeLongestIdle(); });
    };
}

bool GuardedServer::process_and_close_socket(socket_t sock)
{
    std::list<Connection>::iterator self;
    {
        std::lock_guard lock(m_mutex);
        if (m_stopping) {
            ::close(sock);
            return false;
        }
        self = m_open.emplace(m_open.end());
        self->socket = sock;
    }
    Stream stream(*self, m_limits);
    bool ok = true;
    for (size_t served = 0; served < m_limits.maxRequestsPerConnection; ++served) {
        self->idleSinceMs = nowMs();
        self->phase = Phase::Idle;
        if (!stream.waitForRequest())
            break;
        stream.beginRequest();
        bool closed = false;
        const bool last = served + 1 == m_limits.maxRequestsPerConnection || m_stopping;
        ok = process_request(stream, last, closed, nullptr);
        if (!ok || closed || last)
            break;
    }
    // Closed under the lock, so that stopServing() never shuts down a number already reused.
    std::lock_guard lock(m_mutex);
    ::shutdown(sock, SHUT_RDWR);
    ::close(sock);
    m_open.erase(self);
    if (m_open.empty())
        m_allClosed.notify_all();
    return ok;
}

void GuardedServer::closeLongestIdle()
{
    std::lock_guard lock(m_mutex);
    Connection* longest = nullptr;
    for (Connection& connection : m_open)
        if (connection.phase == Phase::Idle &&
            (!longest || connection.idleSinceMs.load() < longest->idleSinceMs.load()))
            longest = &connection;
    if (longest) {
        // Not picked again while it winds down.
        longest->phase = Phase::Answering;
        ::shutdown(longest->socket, SHUT_RDWR);
    }
}

void GuardedServer::stopServing()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
        // Ends waits for a request and half-received requests; an answer being written
        // still goes out.
        for (const Connection& connection : m_open)
            ::shutdown(connection.socket, SHUT_RD);
    }
    {
        // The library gives up writing a body it streams once it is told to stop, so answers
        // under way finish first, within the grace.
        std::unique_lock lock(m_mutex);
        m_allClosed.wait_for(lock, m_limits.stopGrace, [this] { return m_open.empty(); });
        for (const Connection& connection : m_open)
            ::shutdown(connection.socket, SHUT_RDWR);
    }
    stop();
}
