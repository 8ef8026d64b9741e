#include "tests/support/scripteddictionaryservice.h"

#include "tests/support/scriptedresults.h"

#include <QBuffer>
#include <QImage>

ScriptedDictionaryService::ScriptedDictionaryService(ScriptedServer& s) : server(s)
{
    install();
}

QByteArray ScriptedDictionaryService::dictionary(int id, const QByteArray& name, const QByteArray& author)
{
    return "<dictionary><id>" + QByteArray::number(id) + "</id><name>" + name + "</name><author>" + author +
           "</author><type>1</type><lingualism>1</lingualism><languages><language>sl</language></languages>"
           "</dictionary>";
}

QByteArray ScriptedDictionaryService::png(int rgb)
{
    QImage image(16, 16, QImage::Format_RGB32);
    image.fill(QColor::fromRgb(QRgb(rgb)));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

void ScriptedDictionaryService::install()
{
    server.setAnswer(QStringLiteral("/1.0/messages"), "<messages/>");
    server.setAnswer(QStringLiteral("/1.0/dictionary/list"),
                     "<?xml version=\"1.0\" encoding=\"utf-8\"?><dictionaries>" +
                         dictionary(70, "Slovar A", "Avtor B") + dictionary(58, "Slovar C", "Avtor D") +
                         dictionary(12, "Slovar E", "Avtor F") + "</dictionaries>");
    server.setReply(QStringLiteral("/1.0/dictionary/icon"), ScriptedReply::ok(png(0xff0000), "image/png"));
    server.setHandler(QStringLiteral("/1.0/search"), [this](const QString& target) {
        return ScriptedReply::ok(
            ScriptedResults(total).page(ScriptedResults::parameter(target, QStringLiteral("start")).toInt(),
                                        ScriptedResults::parameter(target, QStringLiteral("rows")).toInt()));
    });
    server.setHandler(QStringLiteral("/1.0/search/entries-after"), [this](const QString& target) {
        const int order = ScriptedResults::parameter(target, QStringLiteral("start")).toInt();
        return ScriptedReply::ok(ScriptedResults(total).page(
            (order - 1000) / 3 + 1, ScriptedResults::parameter(target, QStringLiteral("rows")).toInt()));
    });
    server.setHandler(QStringLiteral("/1.0/search/entry-index"), [this](const QString&) {
        return ScriptedReply::ok("<result><selected_order>1</selected_order><relative_index>" +
                                 QByteArray::number(int(relativeIndex)) + "</relative_index></result>");
    });
    server.setHandler(QStringLiteral("/1.0/search/get-entry"), [](const QString& target) {
        const QString id = ScriptedResults::parameter(target, QStringLiteral("entryId"));
        return ScriptedReply::ok("<entry><html_content><b class=\"headword\">vnos " + id.toUtf8() +
                                 "</b> <a href=\"/Search.aspx/x\">povezava</a></html_content></entry>");
    });
}
