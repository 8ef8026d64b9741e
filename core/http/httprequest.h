#pragma once

#include <QString>
#include <QtGlobal>

// One GET to make. Timeouts of -1 take the process-wide values of HttpClient.
struct HttpRequest
{
    QString url;
    qint64 maxBytes = 4 * 1024 * 1024; // a longer answer is a failure, never buffered whole
    int connectTimeoutMs = -1;
    int totalTimeoutMs = -1;
};
