// UrlEscape, ToUtf8 and the URLs built from typed text: whatever the user types, the URL is
// plain ASCII from the allowed set, no text value can add or split a parameter, and every
// value decodes back to the bytes that were meant.
#include "core/apiconfig.h"
#include "core/capi.h"
#include "tests/fuzz/fuzzchecks.h"
#include "core/requesturls.h"

#include <QStringDecoder>
#include <QStringList>
#include <cstddef>
#include <cstdint>

namespace {

bool isUnreserved(char c)
{
    return c == '.' || c == '/' || c == ':' || c == '_' || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
           (c >= '0' && c <= '9');
}

int hexValue(QChar c)
{
    if (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
        return c.unicode() - '0';
    if (c >= QLatin1Char('a') && c <= QLatin1Char('f'))
        return c.unicode() - 'a' + 10;
    return -1; // upper-case digits are not what is written
}

// Decodes an escaped value, checking its form on the way.
QByteArray decode(const QString& escaped)
{
    QByteArray bytes;
    for (qsizetype i = 0; i < escaped.size(); ++i) {
        const QChar c = escaped.at(i);
        FUZZ_CHECK(c.unicode() < 0x80);
        if (c == QLatin1Char('%')) {
            FUZZ_CHECK(i + 2 < escaped.size());
            const int hi = hexValue(escaped.at(i + 1));
            const int lo = hexValue(escaped.at(i + 2));
            FUZZ_CHECK(hi >= 0 && lo >= 0);
            const char b = char(hi * 16 + lo);
            FUZZ_CHECK(!isUnreserved(b) && b != '\\'); // escaped only when it must be
            bytes += b;
            i += 2;
        } else {
            FUZZ_CHECK(isUnreserved(char(c.unicode())));
            bytes += char(c.unicode());
        }
    }
    return bytes;
}

QByteArray withSlashes(QByteArray bytes)
{
    return bytes.replace('\\', '/');
}

// The URL after "?" as key=value pairs, checking that it has exactly the keys given.
QStringList values(const QString& url, const QString& prefix, const QStringList& keys)
{
    FUZZ_CHECK(url.startsWith(prefix));
    const QStringList pairs = url.mid(prefix.size()).split(QLatin1Char('&'));
    FUZZ_CHECK(pairs.size() == keys.size());
    QStringList result;
    for (qsizetype i = 0; i < pairs.size(); ++i) {
        FUZZ_CHECK(pairs.at(i).startsWith(keys.at(i) + QLatin1Char('=')));
        const QString value = pairs.at(i).mid(keys.at(i).size() + 1);
        FUZZ_CHECK(!value.contains(QLatin1Char('=')) && !value.contains(QLatin1Char('?')));
        result.append(value);
    }
    return result;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));

    // UrlEscape of raw bytes: one or three characters a byte, decoding gives them back.
    const QString escaped = UrlEscape(bytes);
    FUZZ_CHECK(decode(escaped) == withSlashes(bytes));

    // The same bytes as UTF-16 text typed by the user (lone surrogates included).
    const QString text(reinterpret_cast<const QChar*>(data), qsizetype(size / 2));
    const QByteArray utf8 = ToUtf8(text);
    FUZZ_CHECK(!utf8.contains('\0'));
    FUZZ_CHECK(utf8.isValidUtf8());
    const qsizetype nul = text.indexOf(QChar(0));
    const QString sent = nul < 0 ? text : text.left(nul);
    FUZZ_CHECK(utf8.isEmpty() == sent.isEmpty());
    bool wellFormed = true;
    for (qsizetype i = 0; i < sent.size(); ++i) {
        const QChar c = sent.at(i);
        if (c.isHighSurrogate() && i + 1 < sent.size() && sent.at(i + 1).isLowSurrogate())
            ++i;
        else if (c.isSurrogate())
            wellFormed = false;
    }
    if (wellFormed) {
        // A leading U+FEFF is text the user typed, not a byte order mark to drop.
        QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom);
        FUZZ_CHECK(QString(decoder(utf8)) == sent);
    }

    // The text as a query and as a headword in the URLs that carry text.
    const QString base = QStringLiteral("http://127.0.0.1:8737");
    const QString key = LicenceKey();
    const int start = size >= 4 ? int(uint32_t(data[0]) | uint32_t(data[1]) << 8 | uint32_t(data[2]) << 16 |
                                      uint32_t(data[3]) << 24)
                                : int(size);
    CSlovar d;
    d.id = start ^ 0x5a5a;
    const QList<CSlovar> dictionaries{d};

    const QString search = searchUrl(base, text, dictionaries, start);
    const QStringList s =
        values(search, base + QStringLiteral("/1.0/search?"),
               {QStringLiteral("licenceKey"), QStringLiteral("query"), QStringLiteral("dictionaryId"),
                QStringLiteral("start"), QStringLiteral("rows")});
    FUZZ_CHECK(s.at(0) == key);
    FUZZ_CHECK(decode(s.at(1)) == withSlashes(ToUtf8(text.isEmpty() ? QStringLiteral("*") : text)));
    FUZZ_CHECK(s.at(2) == QString::number(d.id) && s.at(3) == QString::number(start) &&
               s.at(4) == QLatin1String("200"));

    const QString index = entryIndexUrl(base, text, text, {});
    const bool queryWritten = !text.isEmpty() && text != QLatin1String("*");
    QStringList keys{QStringLiteral("licenceKey"), QStringLiteral("headword")};
    if (queryWritten)
        keys.append(QStringLiteral("query"));
    const QStringList e = values(index, base + QStringLiteral("/1.0/search/entry-index?"), keys);
    const QString headword = text.endsWith(QLatin1Char('*')) ? text : text + QLatin1Char('*');
    FUZZ_CHECK(decode(e.at(1)) == withSlashes(ToUtf8(headword)));
    if (queryWritten)
        FUZZ_CHECK(decode(e.at(2)) == withSlashes(ToUtf8(text)));
    return 0;
}
