#pragma once

#include "service/catalogue.h"
#include "service/searchengine.h"
#include "service/servicemessage.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

class GuardedServer;
namespace httplib {
struct Request;
struct Response;
} // namespace httplib

// The dictionary service's HTTP API under "/1.0/" over a finished catalogue: dictionary
// list, search, entries after, entry index, get entry, dictionary icon and messages. Every
// answer but the icon is UTF-8 XML; refused requests get 403 (wrong or missing licenceKey)
// or 400 (missing or malformed parameters) with an <error> body.
class DictionaryService
{
public:
    struct Settings
    {
        std::string licenceKey;
        int latencyMs = 0;  // added to every answer
        bool stats = false; // answer /stats
    };

    static constexpr int pageRowsLimit = 200;
    static constexpr size_t queryLengthLimit = 256; // code points

    DictionaryService(const Catalogue& catalogue, std::vector<ServiceMessage> messages, Settings settings);
    ~DictionaryService();

    // Binds and serves on a thread of its own; answers the port (useful with port 0), or -1
    // when the address cannot be bound.
    int start(const std::string& address, int port);
    void stop();

private:
    // The dictionaries a request names: all of them when it names none; unknown ids are
    // left out, so naming only unknown ones selects nothing.
    struct Selection
    {
        bool all = true;
        std::vector<int> indices; // ascending, no repeats
    };

    void installRoutes();
    bool checkKey(const httplib::Request& request, httplib::Response& response) const;
    std::optional<Selection> dictionarySelection(const httplib::Request& request,
                                                 httplib::Response& response) const;
    ResultList resultList(const QueryPattern& query, const Selection& selection) const;

    void dictionaryList(const httplib::Request& request, httplib::Response& response) const;
    void search(const httplib::Request& request, httplib::Response& response, bool entriesAfter) const;
    void entryIndex(const httplib::Request& request, httplib::Response& response) const;
    void getEntry(const httplib::Request& request, httplib::Response& response) const;
    void icon(const httplib::Request& request, httplib::Response& response) const;
    void serverMessages(const httplib::Request& request, httplib::Response& response) const;

    const Catalogue& m_catalogue;
    SearchEngine m_search;
    std::vector<ServiceMessage> m_messages;
    Settings m_settings;
    std::unique_ptr<GuardedServer> m_server;
    std::thread m_thread;
    std::atomic<bool> m_listenEnded = false;
    // Counted for /stats: answered requests (other than /stats).
    std::atomic<uint64_t> m_requests{0};
};
