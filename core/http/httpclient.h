#pragma once

#include "core/http/httprequest.h"
#include "core/http/httpresult.h"

#include <QByteArray>
#include <QList>
#include <QString>

// The one place that talks HTTP. Every call here is a blocking GET on the caller's thread
// (HttpWorker runs the same transfers off the GUI thread),
// bounded in time (connect and total timeouts) and in size. Only http and https are
// followed, for the first URL and for redirects alike; https checks the server's
// certificate against the system's CA bundle. Connections are kept open per thread and
// reused by later requests to the same server.
class HttpClient
{
public:
    static constexpr int defaultConnectTimeoutMs = 3000;
    static constexpr int defaultRequestTimeoutMs = 10000;
    static constexpr int maxRedirects = 5;

    // How many transfers getMany runs at once.
    static constexpr int maxParallel = 8;

    static HttpResult get(const HttpRequest& request);
    // All the GETs, up to maxParallel at a time; returns when every one has ended, with
    // the results in the order of the requests.
    static QList<HttpResult> getMany(const QList<HttpRequest>& requests);
    // The body of a successful GET of url, or empty on any failure.
    static QByteArray fetchBody(const QString& url);

    // VERBOLIX_CONNECT_TIMEOUT_MS / VERBOLIX_REQUEST_TIMEOUT_MS when set to a positive
    // number, the defaults otherwise. Read at every request, so tests may change them.
    static int connectTimeoutMs();
    static int requestTimeoutMs();

    // The HTTP library's version, for the about box.
    static QString libraryVersion();
};
