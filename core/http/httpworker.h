#pragma once

#include "core/http/httprequest.h"
#include "core/http/httpresult.h"

#include <functional>
#include <memory>

class QObject;

// Runs GETs on a thread of its own, so that the thread that asks never waits on the
// network. All transfers share one libcurl multi handle (and so its connection cache); a
// stalled transfer holds nothing but itself, and any transfer can be cancelled. Each
// result is handed to its callback on the thread of the context object given with the
// request, as a queued call; nothing arrives once the request is cancelled or the context
// is gone.
class HttpWorker
{
public:
    using Done = std::function<void(const HttpResult&)>;

    // How many transfers run at once; more wait their turn in the order they were asked.
    static constexpr int maxRunning = 128;
    // Connections open at once to one server: a remote one gets as many as the blocking
    // client's batches (over HTTP/2 they share one connection anyway); the local service on
    // loopback, where a connection costs nothing and its listen queue is deep, as many as
    // start-up's icons need to come in one or two waves.
    static constexpr int maxConnectionsPerHost = 8;
    static constexpr int maxConnectionsPerLoopbackHost = 64;
    // The limit for the service the program talks to (ApiBaseUrl()).
    static int connectionsPerHost();

    HttpWorker();
    // Cancels what is still running and waits for the thread.
    ~HttpWorker();
    HttpWorker(const HttpWorker&) = delete;
    HttpWorker& operator=(const HttpWorker&) = delete;

    // Starts request; returns its id, never 0.
    quint64 start(const HttpRequest& request, QObject* context, Done done);
    // Its callback will not run; a transfer under way is stopped. Unknown ids are ignored.
    void cancel(quint64 id);
    // Its callback will not run, but the transfer goes on to its end: the request still
    // reaches the server as it would have, only its answer is dropped.
    void abandon(quint64 id);

private:
    struct Impl;
    std::shared_ptr<Impl> d; // shared with the answers on their way, which forget their request
};
