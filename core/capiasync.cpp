#include "core/capi.h"

#include "core/answerreaders.h"
#include "core/apiconfig.h"
#include "core/capimessages.h"
#include "core/http/httpworker.h"
#include "core/requesturls.h"
#include "core/settings.h"

HttpWorker& CApi::worker()
{
    // Made on first use: a CApi that only ever blocks needs no thread.
    if (!m_worker)
        m_worker = std::make_unique<HttpWorker>();
    return *m_worker;
}

void CApi::startGet(const HttpRequest& request, std::function<void(const HttpResult&)> done)
{
    ++m_requestDepth;
    auto id = std::make_shared<quint64>(0);
    *id = worker().start(request, &m_context, [this, id, done = std::move(done)](const HttpResult& result) {
        // An answer already on its way when its request was dropped is dropped here.
        if (!m_underWay.removeOne(*id))
            return;
        --m_requestDepth;
        done(result);
    });
    m_underWay.append(*id);
}

void CApi::startGet(const QString& url, std::function<void(const HttpResult&)> done)
{
    HttpRequest request;
    request.url = url;
    startGet(request, std::move(done));
}

void CApi::cancelRequests()
{
    // Abandoned, not stopped: each request still reaches the service as the action that
    // made it asked, and a stalled one holds only its own connection until its timeout.
    for (const quint64 id : std::as_const(m_underWay))
        m_worker->abandon(id);
    m_requestDepth -= int(m_underWay.size());
    m_underWay.clear();
}

void CApi::fetchMessages(std::function<void(Outcome)> done)
{
    const QString version = messagesClientVersion(ProgramVersion());
    const int lastId = Settings::Read(Setting::LastMessageID);
    startGet(messagesUrl(m_baseUrl, version, lastId),
             [this, done = std::move(done)](const HttpResult& result) {
                 readMessagesAnswer(result.ok() ? result.body : QByteArray(), m_message, m_lastMessageId);
                 // Stored before anything is shown: the messages count as delivered even when the
                 // program ends for an upgrade before showing them.
                 if (m_lastMessageId != 0)
                     Settings::Write(Setting::LastMessageID, m_lastMessageId);
                 done(result.outcome());
             });
}

void CApi::fetchDictionaries(std::function<void(int, Outcome)> done)
{
    startGet(dictionaryListUrl(m_baseUrl), [this, done = std::move(done)](const HttpResult& result) {
        QList<CSlovar> list;
        const int n = readDictionaries(result.ok() ? result.body : QByteArray(), list);
        SetDictionaries(list);
        done(n, result.outcome());
    });
}

void CApi::fetchNewSearch(const QString& query, std::function<void(int, Outcome)> done)
{
    m_firstPosition = -1;
    m_lastPosition = -1;
    m_zadetki.clear();
    m_pageBeforeWindow.clear();
    if (!fetchPosition(0, query, [this, done](Outcome outcome) { done(m_lastSearchTotal, outcome); }))
        done(0, std::nullopt); // a request under way: as NewSearch, nothing is found
}

bool CApi::fetchPosition(int position, const QString& query, std::function<void(Outcome)> done)
{
    int noFetch = -1;
    const QString url = pageUrlFor(position, query, noFetch);
    if (url.isEmpty())
        return false;
    startGet(url, [this, position, done = std::move(done)](const HttpResult& result) {
        QList<CZadetek> page;
        m_lastSearchTotal = readSearchAnswer(result.ok() ? result.body : QByteArray(), page);
        // A page that could not be fetched leaves the window as it was: merged as an empty
        // page it would cut the window off at position, and no later request could reach
        // that row again (its continuation would need the hit before it).
        if (result.ok() || m_firstPosition == -1)
            MergeHits(position, page);
        done(result.outcome());
    });
    return true;
}

void CApi::fetchHeadwordIndex(const QString& query, const QString& headword,
                              std::function<void(int, Outcome)> done)
{
    const QString url = entryIndexUrl(m_baseUrl, query, headword, m_izbraniSlovarji);
    startGet(url, [done = std::move(done)](const HttpResult& result) {
        int selectedOrder = 0;
        int relativeIndex = 0;
        readEntryIndexAnswer(result.ok() ? result.body : QByteArray(), selectedOrder, relativeIndex);
        done(relativeIndex, result.outcome());
    });
}

void CApi::fetchEntryHtml(int position, const QString& query, std::function<void(QString, Outcome)> done)
{
    if (const CZadetek* held = heldHit(position)) {
        fetchEntryOf(*held, std::nullopt, std::move(done));
        return;
    }
    const bool asked = fetchPosition(position, query, [this, position, done](Outcome outcome) {
        const CZadetek* held = heldHit(position);
        if (!held) {
            done(QString(), outcome);
            return;
        }
        fetchEntryOf(*held, outcome, done);
    });
    if (!asked)
        done(QString(), std::nullopt);
}

void CApi::fetchEntryOf(const CZadetek& hit, Outcome before, std::function<void(QString, Outcome)> done)
{
    if (entryRemembered(hit)) {
        done(m_lastEntryHtml, before);
        return;
    }
    startGet(getEntryUrl(m_baseUrl, hit.dictionaryId, hit.entryId),
             [this, hit, done = std::move(done)](const HttpResult& result) {
                 rememberEntry(hit, result.ok() ? readEntryAnswer(result.body) : QString(), !result.ok());
                 done(m_lastEntryHtml, result.outcome());
             });
}

void CApi::fetchMany(const QList<HttpRequest>& requests, std::function<void(QList<HttpResult>)> done)
{
    if (requests.isEmpty()) {
        done({});
        return;
    }
    struct Batch
    {
        QList<HttpResult> results;
        qsizetype left = 0;
        std::function<void(QList<HttpResult>)> done;
    };
    auto batch = std::make_shared<Batch>();
    batch->results.resize(requests.size());
    batch->left = requests.size();
    batch->done = std::move(done);
    for (qsizetype i = 0; i < requests.size(); ++i) {
        startGet(requests.at(i), [batch, i](const HttpResult& result) {
            batch->results[i] = result;
            if (--batch->left == 0)
                batch->done(std::move(batch->results));
        });
    }
}
