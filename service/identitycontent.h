#pragma once

#include <algorithm>
#include <httplib.h>
#include <memory>
#include <string>

// Sets an answer's body to be sent as it is, never compressed. The HTTP library compresses
// a text body for any client that accepts gzip or br, br at its slowest setting: a page of
// 200 hits then costs a few hundred milliseconds instead of under one. The service runs on
// loopback or behind a proxy that compresses, so it sends every answer uncompressed; a body
// given through a content provider of known length is one the library sends untouched.
inline void setIdentityContent(httplib::Response& response, std::string body, const std::string& type)
{
    if (body.empty()) {
        response.set_content(std::move(body), type);
        return;
    }
    const auto shared = std::make_shared<const std::string>(std::move(body));
    response.set_content_provider(
        shared->size(), type, [shared](size_t offset, size_t length, httplib::DataSink& sink) {
            if (offset >= shared->size())
                return false;
            return sink.write(shared->data() + offset, std::min(length, shared->size() - offset));
        });
}
