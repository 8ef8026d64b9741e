#include "tests/support/scriptedresults.h"

#include <QStringList>

void ScriptedResults::install(ScriptedServer& server) const
{
    const ScriptedResults results = *this;
    server.setHandler(QStringLiteral("/1.0/search"), [results](const QString& target) {
        return ScriptedReply::ok(results.page(parameter(target, QStringLiteral("start")).toInt(),
                                              parameter(target, QStringLiteral("rows")).toInt()));
    });
    server.setHandler(QStringLiteral("/1.0/search/entries-after"), [results](const QString& target) {
        // The hit after the one whose order is start; an order of no hit gives no hits.
        const int order = parameter(target, QStringLiteral("start")).toInt();
        const bool known = order >= 1000 && (order - 1000) % 3 == 0;
        const int first = known ? (order - 1000) / 3 + 1 : results.total();
        return ScriptedReply::ok(results.page(first, parameter(target, QStringLiteral("rows")).toInt()));
    });
}

QByteArray ScriptedResults::page(int firstPosition, int rows) const
{
    QByteArray xml = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<result><total>" +
                     QByteArray::number(m_total) + "</total><entries>";
    const int end = qMin(m_total, firstPosition + qMax(rows, 0));
    for (int p = qMax(firstPosition, 0); p < end; ++p) {
        xml += "<entry><headword>" + headwordOf(p).toUtf8() + "</headword><dictionary_id>" +
               QByteArray::number(dictionaryIdOf(p)) + "</dictionary_id><entry_id>" +
               QByteArray::number(entryIdOf(p)) + "</entry_id><order>" + QByteArray::number(orderOf(p)) +
               "</order></entry>";
    }
    return xml + "</entries></result>";
}

QString ScriptedResults::parameter(const QString& target, const QString& key)
{
    const qsizetype q = target.indexOf(QLatin1Char('?'));
    if (q < 0)
        return QString();
    const QStringList pairs = target.mid(q + 1).split(QLatin1Char('&'));
    for (const QString& pair : pairs) {
        if (pair.startsWith(key + QLatin1Char('=')))
            return pair.mid(key.size() + 1);
    }
    return QString();
}
