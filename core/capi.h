#pragma once

#include "core/http/httprequest.h"
#include "core/http/httpresult.h"
#include "core/records.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

class HttpWorker;

// The one client of the dictionary service and the model of what it answered: the
// dictionaries, the filters, the window of hits of the current query and the last
// server message. The Api* operations and those built on them are blocking GETs made on
// the caller's thread; the fetch* operations send the same requests from a worker thread
// and merge the answers on the thread that owns the CApi, which never waits for them.
class CApi
{
public:
    CApi();
    ~CApi();
    CApi(const CApi&) = delete;
    CApi& operator=(const CApi&) = delete;

    // Dictionary list
    int ApiDictionaryList(QList<CSlovar>& out);
    int ApiDictionaryListParse(const QString& url, QList<CSlovar>& out);
    int LoadDictionaries();
    void SetDictionaries(const QList<CSlovar>& list);
    void AddLanguage(const QString& code);
    QString GetDictionaryName(int id) const;
    QString GetDictionaryAuthor(int id) const;

    // Search results and the window of hits
    int ApiSearch(const QString& query, int start, QList<CZadetek>& out);
    int ApiEntriesAfter(const QString& query, int start, int position, QList<CZadetek>& out);
    void MergeHits(int position, const QList<CZadetek>& hits);

    // Headword index
    void ApiEntryIndex(const QString& query, const QString& headword, int& selectedOrder, int& relativeIndex);
    int GetHeadwordIndex(const QString& query, const QString& headword);

    // Entry retrieval
    QString ApiGetEntry(int dictionaryId, int entryId);
    QString GetEntryHtml(int position, const QString& query);

    // Search controller
    int NewSearch(const QString& query);
    int EnsurePosition(int position, const QString& query);
    int FindHit(int position, const QString& query);
    QString GetHeadword(int position, const QString& query);
    int GetDictionaryId(int position, const QString& query);
    // The hit at position after EnsurePosition: from the window, or from the page that
    // preceded it when the window last restarted; null when neither holds it.
    const CZadetek* HeldHit(int position, const QString& query);

    // Server messages
    void ApiMessages();
    bool ApiMessagesParse(const QString& url);

    // Filters and the selection of dictionaries
    void InitFilters();
    void ReloadFilters();
    int FindFreeFilterId() const;
    // False when the store refused the write; the filter then stays in the list all the same.
    bool StoreFilter(int id);
    bool SetFilter(int id, const QString& name, const QString& dictionaries);
    // The saves the user asks for give the id of the filter that now holds the selection,
    // -1 when no id is free, or FilterNotStored when the store refused the write; the list
    // is then as it was before.
    static constexpr int FilterNotStored = -2;
    int SaveSelectionAsFilter(const QString& name);
    int SaveSelectionToFilter(int position);
    // False, with the filter kept in the list, when the store refused the deletion.
    bool DeleteFilter(int position);
    CShema GetFilter(int position) const;
    QString SelectionText() const;
    QString AllDictionariesText() const;
    void SelectDictionaryById(int id);
    CSlovar GetDictionaryAt(int position) const;
    QString GetDictionaryNameAt(int position) const;
    QString GetDictionaryAuthorAt(int position) const;

    // ---- asynchronous operations. Each callback runs later, on this object's thread, with
    // how its last request ended (nullopt when nothing had to be asked); it never runs once
    // cancelRequests() has been called or the CApi is gone.
    using Outcome = std::optional<HttpOutcome>;
    void fetchMessages(std::function<void(Outcome)> done);
    void fetchDictionaries(std::function<void(int count, Outcome)> done);
    // NewSearch: the window starts afresh with the page at 0.
    void fetchNewSearch(const QString& query, std::function<void(int total, Outcome)> done);
    // EnsurePosition; false (and no callback) when it would fetch nothing, as while
    // m_requestDepth is not 0.
    bool fetchPosition(int position, const QString& query, std::function<void(Outcome)> done);
    void fetchHeadwordIndex(const QString& query, const QString& headword,
                            std::function<void(int relativeIndex, Outcome)> done);
    // GetEntryHtml: the page of the hit first when it is not held, then the entry unless
    // the one-entry memo has it.
    void fetchEntryHtml(int position, const QString& query, std::function<void(QString html, Outcome)> done);
    // All the GETs at once; done gets the results in the order of the requests.
    void fetchMany(const QList<HttpRequest>& requests, std::function<void(QList<HttpResult>)> done);
    // Drops the answers of every request under way: their callbacks never run and
    // m_requestDepth is 0 again.
    void cancelRequests();
    // The hit at position as held now, fetching nothing; null when neither the window nor
    // the page before it holds it.
    const CZadetek* heldHit(int position) const;
    // The page request EnsurePosition would send for position; empty when none.
    QString pageUrl(int position, const QString& query) const;

    QString m_baseUrl;
    QList<CShema> m_sheme;
    QList<CZadetek> m_zadetki;
    QList<CSlovar> m_slovarji;
    QList<CSlovar> m_izbraniSlovarji;
    QList<CJezik> m_jeziki;
    CMessage m_message;
    int m_lastMessageId = 0;
    int m_requestDepth = 0;
    int m_firstPosition = -1;
    int m_lastPosition = -1;
    int m_lastEntryId = -1;
    int m_lastEntryDictionaryId = -1;
    QString m_lastEntryHtml;

private:
    bool heldBeforeWindow(int position) const;
    // The last page of the window that a continuation restarted (positions just before
    // m_firstPosition): rows still on screen above the new window are drawn from it
    // rather than fetched again one by one.
    QList<CZadetek> m_pageBeforeWindow;
    // The URL EnsurePosition fetches for position and where its hits go; empty when it
    // fetches nothing, with what EnsurePosition then returns in noFetch.
    QString pageUrlFor(int position, QString query, int& noFetch) const;
    int heldIndex(int position) const;
    int readDictionaries(const QByteArray& body, QList<CSlovar>& out);
    void rememberEntry(const CZadetek& hit, const QString& html, bool failed);
    bool entryRemembered(const CZadetek& hit) const;
    void fetchEntryOf(const CZadetek& hit, Outcome before, std::function<void(QString, Outcome)> done);
    HttpWorker& worker();
    // Sends one GET from the worker; m_requestDepth counts it until done has run.
    void startGet(const HttpRequest& request, std::function<void(const HttpResult&)> done);
    void startGet(const QString& url, std::function<void(const HttpResult&)> done);

    // Whether the last ApiGetEntry failed to fetch; such an empty entry is not remembered.
    bool m_lastEntryFetchFailed = false;
    // The answers are delivered to this object's thread. Declared before the worker, so
    // that the worker's thread has ended before it goes.
    QObject m_context;
    std::unique_ptr<HttpWorker> m_worker;
    QList<quint64> m_underWay;
    // The total of the last page answer fetchPosition read.
    int m_lastSearchTotal = 0;
};

// Free functions of the service client.
QByteArray ToUtf8(const QString& text);
QString UrlEscape(const QByteArray& bytes);
QString GetLanguageName(const QString& code);

// Fetch one answer and read it (the readers themselves are in answerreaders.h).
int ApiSearchParse(const QString& url, QList<CZadetek>& out);
int ApiEntryIndexParse(const QString& url, int& selectedOrder, int& relativeIndex);
// failed, when given, tells whether the answer could not be fetched at all.
QString ApiGetEntryParse(const QString& url, bool* failed = nullptr);
