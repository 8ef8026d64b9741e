#pragma once

#include "httprequest.h"
#include "httpresult.h"

#include <QByteArray>
#include <QString>

// The one place that talks HTTP. Every call is a blocking GET on the caller's thread
// with its own connection, bounded in time (connect and total timeouts) and in size.
// Only http and https are followed, for the first URL and for redirects alike.
class HttpClient
{
public:
    static constexpr int defaultConnectTimeoutMs = 3000;
    static constexpr int defaultRequestTimeoutMs = 10000;
    static constexpr int maxRedirects = 5;

    static HttpResult get(const HttpRequest& request);
    // The body of a successful GET of url, or empty on any failure.
    static QByteArray fetchBody(const QString& url);

    // VERBOLIX_CONNECT_TIMEOUT_MS / VERBOLIX_REQUEST_TIMEOUT_MS when set to a positive
    // number, the defaults otherwise. Read at every request, so tests may change them.
    static int connectTimeoutMs();
    static int requestTimeoutMs();
};
