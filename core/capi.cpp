#include "core/capi.h"

#include "core/answerreaders.h"
#include "core/apiconfig.h"
#include "core/http/httpclient.h"
#include "core/http/httpworker.h"
#include "core/requesturls.h"

CApi::CApi() : m_baseUrl(ApiBaseUrl())
{
}

CApi::~CApi()
{
    // Its thread ends here, before the records its answers would be merged into.
    m_worker.reset();
    m_sheme.clear();
    m_zadetki.clear();
    m_slovarji.clear();
    m_izbraniSlovarji.clear();
    m_jeziki.clear();
}

int CApi::LoadDictionaries()
{
    QList<CSlovar> list;
    return ApiDictionaryList(list);
}

int CApi::ApiDictionaryList(QList<CSlovar>& out)
{
    const QString url = dictionaryListUrl(m_baseUrl);
    ++m_requestDepth;
    const int n = ApiDictionaryListParse(url, out);
    SetDictionaries(out);
    --m_requestDepth;
    return n;
}

int CApi::ApiDictionaryListParse(const QString& url, QList<CSlovar>& out)
{
    return readDictionaries(HttpClient::fetchBody(url), out);
}

int CApi::readDictionaries(const QByteArray& body, QList<CSlovar>& out)
{
    const QList<CSlovar> read = readDictionaryListAnswer(body);
    for (const CSlovar& d : read) {
        for (const QString& code : *d.languages)
            AddLanguage(code);
        out.append(d);
    }
    return int(read.size());
}

void CApi::SetDictionaries(const QList<CSlovar>& list)
{
    m_slovarji = list;
    // The filters name dictionaries by id: rebuild them against the new list.
    InitFilters();
}

void CApi::AddLanguage(const QString& code)
{
    // Ordinal UTF-16 order, so that "EN" sorts before "en" whatever the locale.
    qsizetype smaller = 0;
    for (const CJezik& j : m_jeziki) {
        const int c = QString::compare(j.code, code, Qt::CaseSensitive);
        if (c == 0)
            return;
        if (c < 0)
            ++smaller;
    }
    m_jeziki.insert(smaller, CJezik{code});
}

QString CApi::GetDictionaryName(int id) const
{
    for (const CSlovar& d : m_slovarji) {
        if (d.id == id)
            return d.name;
    }
    return QString();
}

QString CApi::GetDictionaryAuthor(int id) const
{
    for (const CSlovar& d : m_slovarji) {
        if (d.id == id)
            return d.author;
    }
    return QString();
}
