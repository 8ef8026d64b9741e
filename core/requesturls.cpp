#include "core/requesturls.h"

#include "core/apiconfig.h"
#include "core/capi.h"

namespace {

QString escapeText(const QString& text)
{
    return UrlEscape(ToUtf8(text));
}

QString keyed(const QString& base, const char* path)
{
    return base + QLatin1String(path) + QStringLiteral("?licenceKey=") + LicenceKey();
}

QString dictionaryIds(const QList<CSlovar>& dictionaries)
{
    QString ids;
    for (const CSlovar& d : dictionaries)
        ids += QStringLiteral("&dictionaryId=") + QString::number(d.id);
    return ids;
}

QString resultUrl(const QString& base, const char* path, const QString& query,
                  const QList<CSlovar>& dictionaries, int start)
{
    const QString sent = query.isEmpty() ? QStringLiteral("*") : query;
    return keyed(base, path) + QStringLiteral("&query=") + escapeText(sent) + dictionaryIds(dictionaries) +
           QStringLiteral("&start=") + QString::number(start) + QStringLiteral("&rows=") +
           QString::number(pageRows);
}

} // namespace

QByteArray ToUtf8(const QString& text)
{
    // An unpaired surrogate becomes U+FFFD (Qt alone would write "?").
    QString fixed = text;
    for (qsizetype i = 0; i < fixed.size(); ++i) {
        const QChar c = fixed.at(i);
        if (c.isHighSurrogate() && i + 1 < fixed.size() && fixed.at(i + 1).isLowSurrogate())
            ++i;
        else if (c.isSurrogate())
            fixed[i] = QChar::ReplacementCharacter;
    }
    QByteArray bytes = fixed.toUtf8();
    // The text ends at its first NUL, as a C string would.
    const qsizetype nul = bytes.indexOf('\0');
    if (nul >= 0)
        bytes.truncate(nul);
    return bytes;
}

QString UrlEscape(const QByteArray& bytes)
{
    static const char hex[] = "0123456789abcdef";
    QString out;
    out.reserve(bytes.size() * 3);
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b == '\\')
            out += QLatin1Char('/');
        else if (b == '.' || b == '/' || b == ':' || b == '_' || (b >= 'A' && b <= 'Z') ||
                 (b >= 'a' && b <= 'z') || (b >= '0' && b <= '9'))
            out += QLatin1Char(char(b));
        else
            out += QLatin1Char('%') + QLatin1Char(hex[b >> 4]) + QLatin1Char(hex[b & 0xf]);
    }
    return out;
}

QString dictionaryListUrl(const QString& base)
{
    return keyed(base, "/1.0/dictionary/list");
}

QString searchUrl(const QString& base, const QString& query, const QList<CSlovar>& dictionaries, int start)
{
    return resultUrl(base, "/1.0/search", query, dictionaries, start);
}

QString entriesAfterUrl(const QString& base, const QString& query, const QList<CSlovar>& dictionaries,
                        int start)
{
    return resultUrl(base, "/1.0/search/entries-after", query, dictionaries, start);
}

QString entryIndexUrl(const QString& base, const QString& query, const QString& headword,
                      const QList<CSlovar>& dictionaries)
{
    QString sent = headword;
    if (!sent.endsWith(QLatin1Char('*')))
        sent += QLatin1Char('*'); // also turns an empty headword into "*"
    QString url = keyed(base, "/1.0/search/entry-index") + QStringLiteral("&headword=") + escapeText(sent);
    if (!query.isEmpty() && query != QLatin1String("*"))
        url += QStringLiteral("&query=") + escapeText(query);
    return url + dictionaryIds(dictionaries);
}

QString getEntryUrl(const QString& base, int dictionaryId, int entryId)
{
    return keyed(base, "/1.0/search/get-entry") + QStringLiteral("&dictionaryId=") +
           QString::number(dictionaryId) + QStringLiteral("&entryId=") + QString::number(entryId);
}

QString dictionaryIconUrl(const QString& base, int dictionaryId)
{
    return keyed(base, "/1.0/dictionary/icon") + QStringLiteral("&dictionaryId=") +
           QString::number(dictionaryId);
}
