#include "core/http/httpworker.h"

#include "core/apiconfig.h"
#include "core/http/httptransfer.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QUrl>
#include <atomic>
#include <curl/curl.h>
#include <mutex>
#include <thread>
#include <vector>

namespace {

// What the asking thread and the worker share about one request.
struct Ticket
{
    quint64 id = 0;
    HttpRequest request;
    QPointer<QObject> context;
    HttpWorker::Done done;
    std::shared_ptr<std::atomic<bool>> cancelled = std::make_shared<std::atomic<bool>>(false);
};

} // namespace

struct HttpWorker::Impl : std::enable_shared_from_this<HttpWorker::Impl>
{
    std::mutex mutex;
    // Guarded by mutex.
    QList<Ticket> waiting;
    QList<quint64> cancels;
    QHash<quint64, std::shared_ptr<std::atomic<bool>>> flags;
    bool stopping = false;
    quint64 nextId = 1;

    CURLM* multi = nullptr;
    CURLSH* share = nullptr;
    std::thread thread;

    // The worker thread's own.
    struct Running
    {
        Ticket ticket;
        std::unique_ptr<HttpTransfer> transfer;
    };
    std::vector<Running> running;

    void forget(quint64 id)
    {
        const std::lock_guard lock(mutex);
        flags.remove(id);
    }

    void deliver(Ticket& ticket, HttpResult result)
    {
        QObject* context = ticket.context.data();
        if (!context || ticket.cancelled->load()) {
            forget(ticket.id);
            return;
        }
        // Checked again on arrival: a cancel may come while the call waits in the queue, so
        // the request stays known until then.
        QMetaObject::invokeMethod(
            context,
            [done = std::move(ticket.done), flag = ticket.cancelled, result = std::move(result),
             impl = weak_from_this(), id = ticket.id] {
                if (const auto alive = impl.lock())
                    alive->forget(id);
                if (!flag->load())
                    done(result);
            },
            Qt::QueuedConnection);
    }

    void startWaiting(QList<Ticket>& tickets)
    {
        while (!tickets.isEmpty() && running.size() < size_t(maxRunning)) {
            Ticket ticket = tickets.takeFirst();
            auto transfer = std::make_unique<HttpTransfer>(ticket.request, share);
            auto* easy = static_cast<CURL*>(transfer->handle());
            if (!easy || curl_multi_add_handle(multi, easy) != CURLM_OK) {
                HttpResult failed;
                failed.error = QStringLiteral("cannot start a transfer");
                deliver(ticket, failed);
                continue;
            }
            running.push_back(Running{std::move(ticket), std::move(transfer)});
        }
    }

    void run()
    {
        QList<Ticket> queue; // asked for, not started: the thread's own copy
        for (;;) {
            QList<quint64> cancelled;
            {
                const std::lock_guard lock(mutex);
                if (stopping)
                    break;
                queue.append(std::move(waiting));
                waiting.clear();
                cancelled.swap(cancels);
            }
            for (const quint64 id : std::as_const(cancelled)) {
                queue.removeIf([id](const Ticket& t) { return t.id == id; });
                for (auto it = running.begin(); it != running.end(); ++it) {
                    if (it->ticket.id == id) {
                        curl_multi_remove_handle(multi, static_cast<CURL*>(it->transfer->handle()));
                        running.erase(it);
                        break;
                    }
                }
            }
            startWaiting(queue);

            int active = 0;
            curl_multi_perform(multi, &active);
            int left = 0;
            while (CURLMsg* message = curl_multi_info_read(multi, &left)) {
                if (message->msg != CURLMSG_DONE)
                    continue;
                for (auto it = running.begin(); it != running.end(); ++it) {
                    if (it->transfer->handle() != message->easy_handle)
                        continue;
                    curl_multi_remove_handle(multi, message->easy_handle);
                    HttpResult result = it->transfer->finish(int(message->data.result));
                    Ticket ticket = std::move(it->ticket);
                    running.erase(it);
                    deliver(ticket, std::move(result));
                    break;
                }
            }
            if (!queue.isEmpty() && running.size() < size_t(maxRunning))
                continue; // a slot came free: start the next at once
            // Woken early by curl_multi_wakeup when a request or a cancel comes in.
            curl_multi_poll(multi, nullptr, 0, 1000, nullptr);
        }
        for (Running& r : running)
            curl_multi_remove_handle(multi, static_cast<CURL*>(r.transfer->handle()));
        running.clear();
    }
};

int HttpWorker::connectionsPerHost()
{
    const QString host = QUrl(ApiBaseUrl()).host();
    const bool loopback = host == u"localhost" || host.startsWith(u"127.") || host == u"::1";
    return loopback ? maxConnectionsPerLoopbackHost : maxConnectionsPerHost;
}

HttpWorker::HttpWorker() : d(std::make_shared<Impl>())
{
    // HttpTransfer initialises libcurl once per process; a throwaway one does it here,
    // before the multi handle is made.
    HttpTransfer({});
    d->multi = curl_multi_init();
    d->share = curl_share_init();
    if (d->share)
        curl_share_setopt(d->share, CURLSHOPT_SHARE, CURL_LOCK_DATA_SSL_SESSION);
    if (d->multi) {
        const long connections = connectionsPerHost();
        curl_multi_setopt(d->multi, CURLMOPT_MAXCONNECTS, connections);
        // More transfers to one server than this wait inside libcurl for a connection to come
        // free (over HTTP/2 they share one connection anyway): a burst of new connections
        // larger than the server's listen queue loses some and costs seconds of retries.
        curl_multi_setopt(d->multi, CURLMOPT_MAX_HOST_CONNECTIONS, connections);
        d->thread = std::thread([impl = d.get()] { impl->run(); });
    }
}

HttpWorker::~HttpWorker()
{
    if (d->thread.joinable()) {
        {
            const std::lock_guard lock(d->mutex);
            d->stopping = true;
        }
        curl_multi_wakeup(d->multi);
        d->thread.join();
    }
    if (d->multi)
        curl_multi_cleanup(d->multi);
    if (d->share)
        curl_share_cleanup(d->share);
}

quint64 HttpWorker::start(const HttpRequest& request, QObject* context, Done done)
{
    Ticket ticket;
    ticket.request = request;
    ticket.context = context;
    ticket.done = std::move(done);
    {
        const std::lock_guard lock(d->mutex);
        ticket.id = d->nextId++;
        if (d->multi) {
            d->flags.insert(ticket.id, ticket.cancelled);
            d->waiting.append(ticket);
        }
    }
    if (!d->multi) {
        // No multi handle, no thread: the request fails as a transfer that cannot start.
        HttpResult failed;
        failed.error = QStringLiteral("cannot start a transfer");
        QMetaObject::invokeMethod(
            context, [done = std::move(ticket.done), failed] { done(failed); }, Qt::QueuedConnection);
        return ticket.id;
    }
    curl_multi_wakeup(d->multi);
    return ticket.id;
}

void HttpWorker::cancel(quint64 id)
{
    {
        const std::lock_guard lock(d->mutex);
        const auto flag = d->flags.take(id);
        if (!flag)
            return;
        flag->store(true);
        d->cancels.append(id);
        d->waiting.removeIf([id](const Ticket& t) { return t.id == id; });
    }
    curl_multi_wakeup(d->multi);
}

void HttpWorker::abandon(quint64 id)
{
    const std::lock_guard lock(d->mutex);
    if (const auto flag = d->flags.value(id))
        flag->store(true);
}
