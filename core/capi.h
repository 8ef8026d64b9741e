#pragma once

#include "core/records.h"

#include <QList>
#include <QString>

// The one client of the dictionary service and the model of what it answered: the
// dictionaries, the filters, the window of hits of the current query and the last
// server message. Every request is a blocking GET made on the caller's thread.
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

    bool heldBeforeWindow(int position) const;
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
    // The last page of the window that a continuation restarted (positions just before
    // m_firstPosition): rows still on screen above the new window are drawn from it
    // rather than fetched again one by one.
    QList<CZadetek> m_pageBeforeWindow;
    int m_lastEntryId = -1;
    int m_lastEntryDictionaryId = -1;
    QString m_lastEntryHtml;

private:
    // Whether the last ApiGetEntry failed to fetch; such an empty entry is not remembered.
    bool m_lastEntryFetchFailed = false;
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
