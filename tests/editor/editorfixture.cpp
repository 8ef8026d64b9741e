#include "tests/editor/editorfixture.h"

#include <QSettings>
#include <QUrlQuery>

namespace {
// id, name, author, type, lingualism, languages. "xx" is a code without a name.
const char dictionaryList[] = R"(<?xml version="1.0" encoding="utf-8"?>
<dictionaries>
<dictionary><id>70</id><name>Slovar slovenskega knjižnega jezika</name><author>ZRC SAZU</author><type>1</type><lingualism>1</lingualism><language>sl</language></dictionary>
<dictionary><id>58</id><name>Angleško-slovenski slovar</name><author>Grad</author><type>1</type><lingualism>2</lingualism><language>en</language><language>sl</language></dictionary>
<dictionary><id>12</id><name>Čebelarski terminološki slovar</name><author>Šuštar</author><type>2</type><lingualism>1</lingualism><language>sl</language></dictionary>
<dictionary><id>33</id><name>Nemško-slovenski slovar</name><author>Debenjak</author><type>1</type><lingualism>2</lingualism><language>de</language><language>sl</language></dictionary>
<dictionary><id>44</id><name>Računalniški slovarček</name><author>Žnidar</author><type>2</type><lingualism>2</lingualism><language>en</language><language>sl</language></dictionary>
<dictionary><id>5</id><name>Angleško-slovenski slovar</name><author>Oxford</author><type>1</type><lingualism>2</lingualism><language>en</language><language>sl</language></dictionary>
<dictionary><id>9</id><name>Latinski citati</name><author></author><type>1</type><lingualism>1</lingualism><language>la</language><language>xx</language></dictionary>
</dictionaries>)";
} // namespace

EditorFixture::EditorFixture()
    : config(std::make_unique<TempConfig>()), server(std::make_unique<ScriptedServer>()),
      host(std::make_unique<FakeHost>())
{
    // QSettings keeps the config directory it saw first; point it at this fixture's.
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, config->dir());
    server->setAnswer(QStringLiteral("/1.0/dictionary/list"), QByteArray(dictionaryList));
    server->setAnswer(QStringLiteral("/1.0/search"), QByteArray("<result><total>3</total></result>"));
    host->api.m_baseUrl = server->baseUrl();
    host->api.LoadDictionaries();
}

QList<int> EditorFixture::lastSearchIds() const
{
    const QStringList searches = server->requests(QStringLiteral("/1.0/search"));
    QList<int> ids;
    if (searches.isEmpty())
        return ids;
    const QString target = searches.last();
    const QUrlQuery query(target.mid(target.indexOf(QLatin1Char('?')) + 1));
    for (const QString& value : query.allQueryItemValues(QStringLiteral("dictionaryId")))
        ids << value.toInt();
    return ids;
}

int EditorFixture::searchCount() const
{
    return int(server->requests(QStringLiteral("/1.0/search")).size());
}
