#include "core/answerreaders.h"

#include "core/capi.h"
#include "core/http/httpclient.h"
#include "core/xml/xmlanswer.h"

int readSearchAnswer(const QByteArray& bytes, QList<CZadetek>& out)
{
    const XmlAnswer answer = XmlAnswer::fromBytes(bytes);
    const int total = answer.intOf(QStringLiteral("total"));
    for (const XmlElement& entry : answer.all(QStringLiteral("entry"))) {
        CZadetek hit;
        hit.headword = entry.textOf(QStringLiteral("headword"));
        hit.dictionaryId = entry.intOf(QStringLiteral("dictionary_id"));
        hit.entryId = entry.intOf(QStringLiteral("entry_id"));
        hit.order = entry.intOf(QStringLiteral("order"));
        out.append(hit);
    }
    return total;
}

void readEntryIndexAnswer(const QByteArray& bytes, int& selectedOrder, int& relativeIndex)
{
    const XmlAnswer answer = XmlAnswer::fromBytes(bytes);
    const XmlElement selected = answer.first(QStringLiteral("selected_order"));
    if (!selected.isNull())
        selectedOrder = selected.toInt();
    const XmlElement relative = answer.first(QStringLiteral("relative_index"));
    if (!relative.isNull())
        relativeIndex = relative.toInt();
}

QString readEntryAnswer(const QByteArray& bytes)
{
    const XmlAnswer answer = XmlAnswer::fromBytes(bytes);
    return answer.first(QStringLiteral("html_content")).innerHtml();
}

QList<CSlovar> readDictionaryListAnswer(const QByteArray& bytes)
{
    const XmlAnswer answer = XmlAnswer::fromBytes(bytes);
    QList<CSlovar> list;
    for (const XmlElement& element : answer.all(QStringLiteral("dictionary"))) {
        QList<QString> languages;
        for (const XmlElement& language : element.all(QStringLiteral("language")))
            languages.append(language.text());
        CSlovar d;
        d.lingualism = element.intOf(QStringLiteral("lingualism"));
        d.type = element.intOf(QStringLiteral("type"));
        d.id = element.intOf(QStringLiteral("id"));
        d.name = element.textOf(QStringLiteral("name"));
        d.author = element.textOf(QStringLiteral("author"));
        d.languages = std::make_shared<const QList<QString>>(std::move(languages));
        list.append(d);
    }
    return list;
}

int ApiSearchParse(const QString& url, QList<CZadetek>& out)
{
    return readSearchAnswer(HttpClient::fetchBody(url), out);
}

int ApiEntryIndexParse(const QString& url, int& selectedOrder, int& relativeIndex)
{
    readEntryIndexAnswer(HttpClient::fetchBody(url), selectedOrder, relativeIndex);
    return 1;
}

QString ApiGetEntryParse(const QString& url, bool* failed)
{
    HttpRequest request;
    request.url = url;
    const HttpResult result = HttpClient::get(request);
    if (failed)
        *failed = !result.ok();
    return result.ok() ? readEntryAnswer(result.body) : QString();
}
