#pragma once

#include "core/http/httprequest.h"
#include "core/http/httpresult.h"

#include <memory>

// One GET set up exactly as HttpClient sets up its own (timeouts, size cap, schemes,
// certificates), for a caller that drives it with its own multi handle. The handle is a
// CURL easy handle; share, when given, a CURLSH handle.
class HttpTransfer
{
public:
    explicit HttpTransfer(const HttpRequest& request, void* share = nullptr);
    ~HttpTransfer();
    HttpTransfer(const HttpTransfer&) = delete;
    HttpTransfer& operator=(const HttpTransfer&) = delete;

    // Null when the transfer could not be made.
    void* handle() const;
    // The result once libcurl reported the transfer done with curlCode.
    HttpResult finish(int curlCode);

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};
