#include "httpclient.h"

#include "apiconfig.h"

#include <QByteArrayList>
#include <curl/curl.h>
#include <mutex>

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
    ensureCurlInit();
    HttpResult result;

    CURL* curl = curl_easy_init();
    if (!curl) {
        result.error = QStringLiteral("cannot start a transfer");
        return result;
    }

    const QByteArray url = request.url.toUtf8();
    const QByteArray userAgent = "Verbolix/" + ProgramVersion().toLatin1();
    const QByteArray noProxy = noProxyList();
    const long connectMs = request.connectTimeoutMs > 0 ? request.connectTimeoutMs : connectTimeoutMs();
    const long totalMs = request.totalTimeoutMs > 0 ? request.totalTimeoutMs : requestTimeoutMs();
    char errorText[CURL_ERROR_SIZE] = {};
    Sink sink;
    sink.maxBytes = qMax<qint64>(0, request.maxBytes);

    curl_easy_setopt(curl, CURLOPT_URL, url.constData());
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, errorText);
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(curl, CURLOPT_MAXREDIRS, long(maxRedirects));
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, connectMs);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, totalMs);
    // Rejects an honest oversized answer before its body; the write callback catches the rest.
    curl_easy_setopt(curl, CURLOPT_MAXFILESIZE_LARGE, curl_off_t(sink.maxBytes));
    curl_easy_setopt(curl, CURLOPT_NOPROXY, noProxy.constData());
    curl_easy_setopt(curl, CURLOPT_USERAGENT, userAgent.constData());
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, writeBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &sink);

    const CURLcode code = curl_easy_perform(curl);

    long status = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    result.status = int(status);
    char* contentType = nullptr;
    if (curl_easy_getinfo(curl, CURLINFO_CONTENT_TYPE, &contentType) == CURLE_OK && contentType)
        result.contentType = contentType;
    curl_easy_cleanup(curl);

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
    if (result.error.isEmpty()) {
        result.error = QString::fromUtf8(errorText[0] ? errorText : curl_easy_strerror(code));
    }
    return result;
}
