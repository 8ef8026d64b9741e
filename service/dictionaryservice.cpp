#include "service/dictionaryservice.h"

#include "service/entryhtml.h"
#include "service/guardedserver.h"
#include "service/identitycontent.h"
#include "service/utf8text.h"
#include "service/answerdocument.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <chrono>
#include <httplib.h>
#include <limits>

namespace {

constexpr const char* xmlType = "text/xml; charset=utf-8";

void refuse(httplib::Response& response, int status, const std::string& message)
{
    response.status = status;
    setIdentityContent(response, AnswerDocument::error(status, message), xmlType);
}

void answer(httplib::Response& response, const AnswerDocument& xml)
{
    response.status = 200;
    setIdentityContent(response, xml.toString(), xmlType);
}

// Whether a "%" in the raw request target is not followed by two hexadecimal digits.
bool hasMalformedEscape(const std::string& target)
{
    for (size_t i = target.find('%'); i != std::string::npos; i = target.find('%', i + 1)) {
        if (i + 2 >= target.size() || !std::isxdigit(static_cast<unsigned char>(target[i + 1])) ||
            !std::isxdigit(static_cast<unsigned char>(target[i + 2])))
            return true;
    }
    return false;
}

// Signed decimal without anything around it, within int.
bool parseInt(const std::string& text, long long& value)
{
    if (text.empty() || text.size() > 11)
        return false;
    int parsed = 0;
    const auto [end, code] = std::from_chars(text.data(), text.data() + text.size(), parsed);
    if (code != std::errc() || end != text.data() + text.size())
        return false;
    value = parsed;
    return true;
}

// The value of a parameter that may appear at most once; nullopt (with the 400 answer
// written) when it is repeated, or missing while required; fallback when it is missing.
std::optional<std::string> single(const httplib::Request& request, httplib::Response& response,
                                  const char* name, bool required, std::string fallback = {})
{
    const size_t count = request.get_param_value_count(name);
    if (count > 1) {
        refuse(response, 400, std::string("parameter ") + name + " given more than once");
        return std::nullopt;
    }
    if (count == 0) {
        if (required) {
            refuse(response, 400, std::string("missing parameter ") + name);
            return std::nullopt;
        }
        return fallback;
    }
    return request.get_param_value(name);
}

std::optional<long long> number(const httplib::Request& request, httplib::Response& response,
                                const char* name, bool required, long long fallback, long long minimum)
{
    const auto text = single(request, response, name, required, std::to_string(fallback));
    if (!text)
        return std::nullopt;
    long long value = 0;
    if (!parseInt(*text, value) || value < minimum) {
        refuse(response, 400,
               std::string("parameter ") + name + " must be a whole number" +
                   (minimum > std::numeric_limits<int>::min() ? " from " + std::to_string(minimum) + " on"
                                                              : ""));
        return std::nullopt;
    }
    return value;
}

// A query or headword: valid UTF-8, not too long.
std::optional<std::string> queryText(const httplib::Request& request, httplib::Response& response,
                                     const char* name, bool required, const std::string& fallback)
{
    auto text = single(request, response, name, required, fallback);
    if (!text)
        return std::nullopt;
    if (!utf8text::isValid(*text)) {
        refuse(response, 400, std::string("parameter ") + name + " is not UTF-8");
        return std::nullopt;
    }
    if (utf8text::codePointCount(*text) > DictionaryService::queryLengthLimit) {
        refuse(response, 400,
               std::string("parameter ") + name + " is longer than " +
                   std::to_string(DictionaryService::queryLengthLimit) + " characters");
        return std::nullopt;
    }
    if (text->empty())
        *text = "*";
    return text;
}

// A page of hits is the hot path, so its answer is written directly rather than through a
// document: <search_result><total>..</total><position>..</position><entry>..</entry>...
std::string searchAnswer(const Catalogue& catalogue, size_t total, size_t position,
                         const ResultList::Orders& orders)
{
    std::string out = "<?xml version=\"1.0\" encoding=\"utf-8\"?><search_result><total>";
    out.reserve(out.size() + 160 * orders.size() + 64);
    out += std::to_string(total);
    out += "</total><position>";
    out += std::to_string(position);
    out += "</position>";
    for (const uint32_t order : orders) {
        out += "<entry><headword>";
        AnswerDocument::appendEscaped(out, catalogue.headword(order));
        out += "</headword><dictionary_id>";
        out += std::to_string(catalogue.dictionaryOf(order).info.id);
        out += "</dictionary_id><entry_id>";
        out += std::to_string(catalogue.entryId(order));
        out += "</entry_id><order>";
        out += std::to_string(order);
        out += "</order></entry>";
    }
    out += "</search_result>";
    return out;
}

} // namespace

DictionaryService::DictionaryService(const Catalogue& catalogue, std::vector<ServiceMessage> messages,
                                     Settings settings)
    : m_catalogue(catalogue), m_search(catalogue), m_messages(std::move(messages)),
      m_settings(std::move(settings)), m_server(std::make_unique<GuardedServer>(GuardedServer::Limits{}))
{
    installRoutes();
}

DictionaryService::~DictionaryService()
{
    stop();
}

int DictionaryService::start(const std::string& address, int port)
{
    if (m_thread.joinable())
        return -1;
    const int bound = m_server->bindTo(address, port);
    if (bound < 0)
        return -1;
    m_listenEnded = false;
    m_thread = std::thread([this] {
        m_server->listen_after_bind();
        m_listenEnded = true;
    });
    // Stopping only takes effect once the accept loop runs.
    while (!m_server->is_running() && !m_listenEnded)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return bound;
}

void DictionaryService::stop()
{
    if (m_thread.joinable()) {
        m_server->stopServing();
        m_thread.join();
    }
}

void DictionaryService::installRoutes()
{
    GuardedServer& server = *m_server;
    // Answers go out in more than one write; without this the second waits for a delayed ACK.
    server.set_tcp_nodelay(true);
    server.set_payload_max_length(64 * 1024);
    // The time spent on a request inside the service, without the network and without the
    // added latency, goes out as X-Service-Time-Us (the benchmark reads it).
    static thread_local std::chrono::steady_clock::time_point requestStart;
    const int latency = m_settings.latencyMs;
    server.set_pre_routing_handler([this, latency](const httplib::Request& request, httplib::Response& res) {
        if (request.path == "/stats")
            return httplib::Server::HandlerResponse::Unhandled;
        ++m_requests;
        if (latency > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(latency));
        requestStart = std::chrono::steady_clock::now();
        // The HTTP library decodes leniently and would pass "%zz" on as text.
        if (hasMalformedEscape(request.target)) {
            refuse(res, 400, "malformed percent-escape in the address");
            return httplib::Server::HandlerResponse::Handled;
        }
        return httplib::Server::HandlerResponse::Unhandled;
    });
    server.set_post_routing_handler([](const httplib::Request&, httplib::Response& response) {
        const auto spent = std::chrono::steady_clock::now() - requestStart;
        response.set_header(
            "X-Service-Time-Us",
            std::to_string(std::chrono::duration_cast<std::chrono::microseconds>(spent).count()));
    });
    server.set_error_handler([](const httplib::Request&, httplib::Response& response) {
        // Only the library's own refusals come without a type; the service's keep theirs.
        if (!response.has_header("Content-Type"))
            setIdentityContent(response,
                               AnswerDocument::error(response.status, response.status == 404
                                                                          ? "no such address"
                                                                          : "request refused"),
                               xmlType);
    });
    server.set_exception_handler([](const httplib::Request&, httplib::Response& response,
                                    std::exception_ptr) { refuse(response, 500, "internal error"); });

    const auto withKey =
        [this](void (DictionaryService::*handler)(const httplib::Request&, httplib::Response&) const) {
            return [this, handler](const httplib::Request& request, httplib::Response& response) {
                if (checkKey(request, response))
                    (this->*handler)(request, response);
            };
        };
    server.Get("/1.0/dictionary/list", withKey(&DictionaryService::dictionaryList));
    server.Get("/1.0/search", [this](const httplib::Request& request, httplib::Response& response) {
        if (checkKey(request, response))
            search(request, response, false);
    });
    server.Get("/1.0/search/entries-after",
               [this](const httplib::Request& request, httplib::Response& response) {
                   if (checkKey(request, response))
                       search(request, response, true);
               });
    server.Get("/1.0/search/entry-index", withKey(&DictionaryService::entryIndex));
    server.Get("/1.0/search/get-entry", withKey(&DictionaryService::getEntry));
    server.Get("/1.0/dictionary/icon", withKey(&DictionaryService::icon));
    server.Get("/1.0/messages", [this](const httplib::Request& request, httplib::Response& response) {
        serverMessages(request, response);
    });
    if (m_settings.stats) {
        server.Get("/stats", [this](const httplib::Request&, httplib::Response& response) {
            setIdentityContent(response,
                               "requests " + std::to_string(m_requests.load()) + "\nconnections " +
                                   std::to_string(m_server->connectionsAccepted()) + "\n",
                               "text/plain");
        });
    }
}

bool DictionaryService::checkKey(const httplib::Request& request, httplib::Response& response) const
{
    if (request.get_param_value_count("licenceKey") == 1 &&
        request.get_param_value("licenceKey") == m_settings.licenceKey)
        return true;
    refuse(response, 403, "a valid licenceKey is required");
    return false;
}

std::optional<DictionaryService::Selection>
DictionaryService::dictionarySelection(const httplib::Request& request, httplib::Response& response) const
{
    Selection selection;
    const size_t count = request.get_param_value_count("dictionaryId");
    if (count == 0)
        return selection;
    selection.all = false;
    for (size_t i = 0; i < count; ++i) {
        long long id = 0;
        if (!parseInt(request.get_param_value("dictionaryId", i), id)) {
            refuse(response, 400, "parameter dictionaryId must be a whole number");
            return std::nullopt;
        }
        const int index = m_catalogue.dictionaryIndex(static_cast<int>(id));
        if (index >= 0)
            selection.indices.push_back(index);
    }
    std::sort(selection.indices.begin(), selection.indices.end());
    selection.indices.erase(std::unique(selection.indices.begin(), selection.indices.end()),
                            selection.indices.end());
    return selection;
}

ResultList DictionaryService::resultList(const QueryPattern& query, const Selection& selection) const
{
    if (!selection.all && selection.indices.empty())
        return ResultList();
    return m_search.resultList(query, selection.all ? std::vector<int>() : selection.indices);
}

void DictionaryService::dictionaryList(const httplib::Request&, httplib::Response& response) const
{
    AnswerDocument xml("dictionaries");
    for (const Catalogue::Dictionary& dictionary : m_catalogue.dictionaries()) {
        const DictionaryInfo& info = dictionary.info;
        pugi::xml_node node = xml.root().append_child("dictionary");
        AnswerDocument::addNumber(node, "id", info.id);
        AnswerDocument::addText(node, "name", info.name);
        AnswerDocument::addText(node, "author", info.author);
        AnswerDocument::addNumber(node, "type", info.type);
        AnswerDocument::addNumber(node, "lingualism", info.lingualism);
        for (const std::string& language : info.languages)
            AnswerDocument::addText(node, "language", language);
        AnswerDocument::addNumber(node, "entry_count", static_cast<long long>(dictionary.orders.size()));
    }
    answer(response, xml);
}

void DictionaryService::search(const httplib::Request& request, httplib::Response& response,
                               bool entriesAfter) const
{
    const auto query = queryText(request, response, "query", true, {});
    if (!query)
        return;
    const auto selection = dictionarySelection(request, response);
    if (!selection)
        return;
    // search: a list position (0 on); entries after: the order of the entry to continue
    // after, any value (below 0 means from the beginning).
    const auto start =
        number(request, response, "start", true, 0, entriesAfter ? std::numeric_limits<int>::min() : 0);
    if (!start)
        return;
    const auto rows = number(request, response, "rows", false, pageRowsLimit, 0);
    if (!rows)
        return;

    const ResultList list = resultList(QueryPattern(*query), *selection);
    size_t position = static_cast<size_t>(std::max<long long>(*start, 0));
    if (entriesAfter)
        position = *start < 0 ? 0
                              : list.rankOf(static_cast<uint32_t>(std::min<long long>(
                                    *start + 1, static_cast<long long>(m_catalogue.entryCount()))));
    const ResultList::Orders page =
        list.page(position, static_cast<size_t>(std::min<long long>(*rows, pageRowsLimit)));
    response.status = 200;
    setIdentityContent(response, searchAnswer(m_catalogue, list.total(), position, page), xmlType);
}

void DictionaryService::entryIndex(const httplib::Request& request, httplib::Response& response) const
{
    const auto headword = queryText(request, response, "headword", true, {});
    if (!headword)
        return;
    const auto query = queryText(request, response, "query", false, "*");
    if (!query)
        return;
    const auto selection = dictionarySelection(request, response);
    if (!selection)
        return;
    const ResultList list = resultList(QueryPattern(*query), *selection);
    // "Begins with": a trailing star is implied, and one that is there is not doubled.
    const SearchEngine::HeadwordPlace place = m_search.headwordPlace(list, QueryPattern(*headword + "*"));
    AnswerDocument xml("entry_index");
    AnswerDocument::addNumber(xml.root(), "relative_index", place.position);
    AnswerDocument::addNumber(xml.root(), "selected_order", place.order);
    answer(response, xml);
}

void DictionaryService::getEntry(const httplib::Request& request, httplib::Response& response) const
{
    const auto dictionaryId =
        number(request, response, "dictionaryId", true, 0, std::numeric_limits<int>::min());
    if (!dictionaryId)
        return;
    const auto entryId = number(request, response, "entryId", true, 0, std::numeric_limits<int>::min());
    if (!entryId)
        return;
    const int64_t order = m_catalogue.findEntry(m_catalogue.dictionaryIndex(static_cast<int>(*dictionaryId)),
                                                static_cast<int>(*entryId));
    if (order < 0) {
        refuse(response, 404, "no such entry");
        return;
    }
    const auto o = static_cast<uint32_t>(order);
    AnswerDocument xml("entry_content");
    AnswerDocument::addNumber(xml.root(), "dictionary_id", *dictionaryId);
    AnswerDocument::addNumber(xml.root(), "entry_id", *entryId);
    AnswerDocument::addText(xml.root(), "headword", m_catalogue.headword(o));
    pugi::xml_node html = xml.root().append_child("html_content");
    EntryHtml::append(html, m_catalogue.headword(o), m_catalogue.entryText(o));
    answer(response, xml);
}

void DictionaryService::icon(const httplib::Request& request, httplib::Response& response) const
{
    const auto dictionaryId =
        number(request, response, "dictionaryId", true, 0, std::numeric_limits<int>::min());
    if (!dictionaryId)
        return;
    const int index = m_catalogue.dictionaryIndex(static_cast<int>(*dictionaryId));
    if (index < 0) {
        refuse(response, 404, "no such dictionary");
        return;
    }
    const std::string& png = m_catalogue.dictionaries()[static_cast<size_t>(index)].info.iconPng;
    response.status = 200;
    response.set_content(png, "image/png");
}

void DictionaryService::serverMessages(const httplib::Request& request, httplib::Response& response) const
{
    if (!single(request, response, "language", true) || !single(request, response, "version", true))
        return;
    const auto lastMessageId =
        number(request, response, "lastMessageId", true, 0, std::numeric_limits<int>::min());
    if (!lastMessageId)
        return;
    AnswerDocument xml("messages");
    int newest = 0;
    for (const char* kind : {"welcome", "news", "version", "upgrade"}) {
        // Of several items of one kind the newest unseen one is sent.
        const ServiceMessage* chosen = nullptr;
        for (const ServiceMessage& message : m_messages)
            if (message.kind == kind && message.id > *lastMessageId && (!chosen || message.id > chosen->id))
                chosen = &message;
        if (!chosen)
            continue;
        newest = std::max(newest, chosen->id);
        if (chosen->kind == "welcome") {
            AnswerDocument::addText(xml.root(), "welcome", chosen->url).append_attribute("id") = chosen->id;
            continue;
        }
        pugi::xml_node node = xml.root().append_child(kind);
        node.append_attribute("id") = chosen->id;
        if (chosen->kind == "upgrade")
            AnswerDocument::addText(node, "url", chosen->url);
        AnswerDocument::addText(node, "title", chosen->title);
        AnswerDocument::addText(node, "body", chosen->body);
        AnswerDocument::addText(node, "log", chosen->log);
        if (chosen->kind == "upgrade")
            AnswerDocument::addText(node, "required", chosen->required ? "true" : "false");
    }
    if (newest > 0)
        AnswerDocument::addNumber(xml.root(), "last_message_id", newest);
    answer(response, xml);
}
