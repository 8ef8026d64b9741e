#pragma once

#include <string>

// One item of the messages answer, from the config: a welcome page address, a news note, a
// version note or an upgrade notice.
struct ServiceMessage
{
    std::string kind; // "welcome", "news", "version" or "upgrade"
    int id = 0;
    std::string url;
    std::string title;
    std::string body;
    std::string log;
    bool required = false;
};
