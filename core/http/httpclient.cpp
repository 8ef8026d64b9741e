#include "core/http/httpclient.h"

#include "core/apiconfig.h"
#include "core/http/httptransfer.h"

#include <QByteArrayList>
#include <curl/curl.h>
#include <memory>
#include <mutex>
#include <vector>

namespace {

int positiveEnv(const char* name, int fallback)
{
    bool ok = false;
    const int value = qEnvironmentVariableIntValue(name, &ok);
    return ok && value > 0 ? value : fallback;
}

void ensureCurlInit()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

// Loopback never goes through a proxy; otherwise the user's no_proxy stands.
QByteArray noProxyList()
{
    QByteArray list = qgetenv("no_proxy");
    if (list.isEmpty())
        list = qgetenv("NO_PROXY");
    if (list.trimmed() == "*")
        return list;
    QByteArrayList parts;
    if (!list.trimmed().isEmpty())
        parts.append(list.trimmed());
    parts.append("localhost,127.0.0.1,::1");
    return parts.join(',');
}

struct Sink
{
    QByteArray body;
    qint64 maxBytes = 0;
    bool tooLarge = false;
};

// Enforces the cap as the body arrives: a chunked answer has no length to check upfront.
size_t writeBody(char* data, size_t size, size_t count, void* userData)
{
    auto* sink = static_cast<Sink*>(userData);
    const size_t n = size * count;
    if (qint64(n) > sink->maxBytes - sink->body.size()) {
        sink->tooLarge = true;
        return 0; // aborts the transfer
    }
    sink->body.append(data, qsizetype(n));
    return n;
}

// One GET in flight: its handle and everything the handle points at while it runs.
struct Transfer
{
    CURL* curl = nullptr;
    qsizetype index = 0;
    QByteArray url;
    QByteArray userAgent;
    QByteArray noProxy;
    char errorText[CURL_ERROR_SIZE] = {};
    Sink sink;

    Transfer() = default;
    Transfer(const Transfer&) = delete;
    Transfer& operator=(const Transfer&) = delete;
    ~Transfer()
    {
        if (curl)
            curl_easy_cleanup(curl);
    }

    bool setUp(const HttpRequest& request, CURLSH* share)
    {
        curl = curl_easy_init();
        if (!curl)
            return false;
        url = request.url.toUtf8();
        userAgent = "Verbolix/" + ProgramVersion().toLatin1();
        noProxy = noProxyList();
        const long connectMs =
            request.connectTimeoutMs > 0 ? request.connectTimeoutMs : HttpClient::connectTimeoutMs();
        const long totalMs =
            request.totalTimeoutMs > 0 ? request.totalTimeoutMs : HttpClient::requestTimeoutMs();
        sink.maxBytes = qMax<qint64>(0, request.maxBytes);

        curl_easy_setopt(curl, CURLOPT_URL, url.constData());
        curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, errorText);
        curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
        curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
        curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
        curl_easy_setopt(curl, CURLOPT_MAXREDIRS, long(HttpClient::maxRedirects));
        curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, connectMs);
        curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, totalMs);
        // Rejects an honest oversized answer before its body; the write callback catches the rest.
        curl_easy_setopt(curl, CURLOPT_MAXFILESIZE_LARGE, curl_off_t(sink.maxBytes));
        curl_easy_setopt(curl, CURLOPT_NOPROXY, noProxy.constData());
        curl_easy_setopt(curl, CURLOPT_USERAGENT, userAgent.constData());
        // HTTP/2 when the server offers it over TLS, waiting for a connection that may
        // multiplex rather than opening another; plain http never multiplexes, so waiting there
        // would only hold back a batch's first transfers. Any encoding libcurl decodes is
        // accepted; the write callback sees the decoded body, so the size cap holds for that.
        curl_easy_setopt(curl, CURLOPT_HTTP_VERSION, long(CURL_HTTP_VERSION_2TLS));
        curl_easy_setopt(curl, CURLOPT_PIPEWAIT, url.startsWith("https:") ? 1L : 0L);
        curl_easy_setopt(curl, CURLOPT_ACCEPT_ENCODING, "");
        curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, writeBody);
        curl_easy_setopt(curl, CURLOPT_WRITEDATA, &sink);
        // Certificates are always checked; these are libcurl's defaults, stated so that no
        // later edit loosens them unnoticed.
        curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
        curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
        if (const QByteArray bundle = qgetenv("VERBOLIX_CA_BUNDLE"); !bundle.isEmpty())
            curl_easy_setopt(curl, CURLOPT_CAINFO, bundle.constData()); // copied by libcurl
        if (share)
            curl_easy_setopt(curl, CURLOPT_SHARE, share);
        return true;
    }

    HttpResult result(CURLcode code)
    {
        HttpResult result;
        long status = 0;
        curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
        result.status = int(status);
        char* contentType = nullptr;
        if (curl_easy_getinfo(curl, CURLINFO_CONTENT_TYPE, &contentType) == CURLE_OK && contentType)
            result.contentType = contentType;

        if (code == CURLE_OK && status >= 200 && status < 300) {
            result.failure = HttpResult::Failure::None;
            result.body = std::move(sink.body);
            return result;
        }
        if (code == CURLE_OK) {
            result.failure = HttpResult::Failure::HttpStatus;
            result.error = QStringLiteral("HTTP status %1").arg(status);
            result.body = std::move(sink.body);
            return result;
        }
        if (sink.tooLarge || code == CURLE_FILESIZE_EXCEEDED) {
            result.failure = HttpResult::Failure::TooLarge;
            result.error = QStringLiteral("answer larger than %1 bytes").arg(sink.maxBytes);
        } else if (code == CURLE_OPERATION_TIMEDOUT) {
            result.failure = HttpResult::Failure::Timeout;
        } else {
            result.failure = HttpResult::Failure::Network;
        }
        if (result.error.isEmpty())
            result.error = QString::fromUtf8(errorText[0] ? errorText : curl_easy_strerror(code));
        return result;
    }
};

// The transfers of one thread share one multi handle, whose connection cache keeps
// connections open from one request (or batch) to the next, and one share handle for TLS
// sessions. Used by its own thread only, so no locks.
constexpr qsizetype firstWave = 4;

struct Transfers
{
    CURLM* multi = nullptr;
    CURLSH* share = nullptr;

    Transfers()
    {
        multi = curl_multi_init();
        if (multi) {
            curl_multi_setopt(multi, CURLMOPT_MAXCONNECTS, long(HttpClient::maxParallel));
            curl_multi_setopt(multi, CURLMOPT_PIPELINING, long(CURLPIPE_MULTIPLEX));
        }
        share = curl_share_init();
        if (share)
            curl_share_setopt(share, CURLSHOPT_SHARE, CURL_LOCK_DATA_SSL_SESSION);
    }
    Transfers(const Transfers&) = delete;
    Transfers& operator=(const Transfers&) = delete;
    ~Transfers()
    {
        if (multi)
            curl_multi_cleanup(multi);
        if (share)
            curl_share_cleanup(share);
    }
};

Transfers& threadTransfers()
{
    thread_local Transfers transfers;
    return transfers;
}

} // namespace

int HttpClient::connectTimeoutMs()
{
    return positiveEnv("VERBOLIX_CONNECT_TIMEOUT_MS", defaultConnectTimeoutMs);
}

int HttpClient::requestTimeoutMs()
{
    return positiveEnv("VERBOLIX_REQUEST_TIMEOUT_MS", defaultRequestTimeoutMs);
}

QByteArray HttpClient::fetchBody(const QString& url)
{
    HttpRequest request;
    request.url = url;
    HttpResult result = get(request);
    return result.ok() ? result.body : QByteArray();
}

HttpResult HttpClient::get(const HttpRequest& request)
{
    return getMany({request}).first();
}

QList<HttpResult> HttpClient::getMany(const QList<HttpRequest>& requests)
{
    ensureCurlInit();
    QList<HttpResult> results(requests.size());
    Transfers& transfers = threadTransfers();
    if (!transfers.multi) {
        for (HttpResult& result : results)
            result.error = QStringLiteral("cannot start a transfer");
        return results;
    }

    std::vector<std::unique_ptr<Transfer>> running;
    qsizetype next = 0;
    qsizetype finished = 0;
    // Fills the free slots; a request whose transfer cannot be made fails at once. Starts
    // with a few and widens as transfers end and leave their connections for reuse, so
    // that no more new connections are opened at once than a small listen backlog takes
    // (a dropped connection attempt costs a second before it is tried again).
    const auto startMore = [&] {
        bool started = false;
        const size_t limit = size_t(qMin<qsizetype>(maxParallel, firstWave + finished));
        while (running.size() < limit && next < requests.size()) {
            auto transfer = std::make_unique<Transfer>();
            transfer->index = next;
            if (!transfer->setUp(requests.at(next), transfers.share) ||
                curl_multi_add_handle(transfers.multi, transfer->curl) != CURLM_OK) {
                results[next].error = QStringLiteral("cannot start a transfer");
            } else {
                running.push_back(std::move(transfer));
                started = true;
            }
            ++next;
        }
        return started;
    };
    const auto finish = [&](CURL* curl, CURLcode code) {
        for (auto it = running.begin(); it != running.end(); ++it) {
            if ((*it)->curl != curl)
                continue;
            curl_multi_remove_handle(transfers.multi, curl);
            results[(*it)->index] = (*it)->result(code);
            running.erase(it);
            ++finished;
            return;
        }
    };

    startMore();
    while (!running.empty()) {
        int active = 0;
        if (curl_multi_perform(transfers.multi, &active) != CURLM_OK) {
            for (const auto& transfer : running) {
                curl_multi_remove_handle(transfers.multi, transfer->curl);
                results[transfer->index] = transfer->result(CURLE_FAILED_INIT);
            }
            running.clear();
            break;
        }
        int queued = 0;
        while (CURLMsg* message = curl_multi_info_read(transfers.multi, &queued)) {
            if (message->msg == CURLMSG_DONE)
                finish(message->easy_handle, message->data.result);
        }
        if (startMore())
            continue; // new transfers start on the next perform, without waiting
        if (!running.empty())
            curl_multi_poll(transfers.multi, nullptr, 0, 100, nullptr);
    }
    return results;
}

// HttpWorker's transfers are made here too, so that every request, blocking or not, is set
// up by the one Transfer::setUp.
struct HttpTransfer::Impl
{
    Transfer transfer;
};

HttpTransfer::HttpTransfer(const HttpRequest& request, void* share) : d(std::make_unique<Impl>())
{
    ensureCurlInit();
    if (!d->transfer.setUp(request, static_cast<CURLSH*>(share)) && d->transfer.curl) {
        curl_easy_cleanup(d->transfer.curl);
        d->transfer.curl = nullptr;
    }
}

HttpTransfer::~HttpTransfer() = default;

void* HttpTransfer::handle() const
{
    return d->transfer.curl;
}

HttpResult HttpTransfer::finish(int curlCode)
{
    return d->transfer.result(CURLcode(curlCode));
}

QString HttpClient::libraryVersion()
{
    return QString::fromLatin1(curl_version_info(CURLVERSION_NOW)->version);
}
