#include "core/capi.h"
#include "core/icons/iconcache.h"
#include "tests/support/tempconfig.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTest>

// End to end: the core against the local dictionary service program.
class TestService : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();

    void dictionariesAndIcons();
    void pagingAgreesWithJumps();
    void headwordIndexAndEntry();

private:
    TempConfig m_config;
    QProcess m_service;
    QString m_baseUrl;
    std::unique_ptr<CApi> m_api;
};

void TestService::initTestCase()
{
    const QString program = qEnvironmentVariable("VERBOLIX_SERVICE");
    if (program.isEmpty() || !QFile::exists(program))
        QSKIP("the local service program is not built");
    m_service.setProgram(program);
    // A generated dictionary long enough to pass the 2000-hit window; no dictionaries the
    // machine happens to have installed.
    m_service.setArguments({QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--no-discovery"),
                            QStringLiteral("--synthetic"), QStringLiteral("2600")});
    m_service.setProcessChannelMode(QProcess::MergedChannels);
    m_service.start();
    QVERIFY(m_service.waitForStarted());
    const QRegularExpression listening(QStringLiteral("listening on (http://[^\\s]+)"));
    QByteArray output;
    QTRY_VERIFY_WITH_TIMEOUT(
        (output += m_service.readAll(), listening.match(QString::fromUtf8(output)).hasMatch()), 20000);
    m_baseUrl = listening.match(QString::fromUtf8(output)).captured(1);
    while (m_baseUrl.endsWith(QLatin1Char('/')))
        m_baseUrl.chop(1);
}

void TestService::cleanupTestCase()
{
    if (m_service.state() != QProcess::NotRunning) {
        m_service.terminate();
        if (!m_service.waitForFinished(5000))
            m_service.kill();
    }
}

void TestService::init()
{
    m_api = std::make_unique<CApi>();
    m_api->m_baseUrl = m_baseUrl;
}

void TestService::dictionariesAndIcons()
{
    QVERIFY(m_api->LoadDictionaries() > 1);
    QVERIFY(!m_api->m_jeziki.isEmpty());
    for (qsizetype i = 1; i < m_api->m_jeziki.size(); ++i)
        QVERIFY(m_api->m_jeziki.at(i - 1).code < m_api->m_jeziki.at(i).code);
    IconCache icons(m_baseUrl);
    for (const CSlovar& d : m_api->m_slovarji) {
        QVERIFY(!d.name.isEmpty());
        QCOMPARE(m_api->GetDictionaryName(d.id), d.name);
        QVERIFY(!GetDictionaryIcon(icons, d.id).isNull());
    }
    QCOMPARE(icons.count(), m_api->m_slovarji.size());
    QCOMPARE(icons.indexOf(m_api->m_slovarji.last().id), int(m_api->m_slovarji.size() - 1));
}

void TestService::pagingAgreesWithJumps()
{
    const QString query; // everything
    const int total = m_api->NewSearch(query);
    QVERIFY2(total > 2400, qPrintable(QString::number(total)));

    // Reading downwards through entries-after pages gives the same hits as jumping.
    QStringList downwards;
    for (int row = 0; row < total; ++row) {
        downwards << m_api->GetHeadword(row, query) + QLatin1Char('@') +
                         QString::number(m_api->GetDictionaryId(row, query));
        QVERIFY(m_api->m_zadetki.size() <= 2200);
    }
    for (int row : {0, 199, 200, 1999, 2000, 2201, total - 1}) {
        CApi jumper;
        jumper.m_baseUrl = m_baseUrl;
        jumper.NewSearch(query);
        jumper.EnsurePosition(row, query);
        QCOMPARE(jumper.GetHeadword(row, query) + QLatin1Char('@') +
                     QString::number(jumper.GetDictionaryId(row, query)),
                 downwards.at(row));
    }
    QCOMPARE(m_api->GetHeadword(total, query), QString());
    QCOMPARE(m_api->m_requestDepth, 0);
}

void TestService::headwordIndexAndEntry()
{
    const QString query;
    const int total = m_api->NewSearch(query);
    QVERIFY(total > 300);
    const QString headword = m_api->GetHeadword(300, query);
    QVERIFY(!headword.isEmpty());
    const int row = m_api->GetHeadwordIndex(query, headword);
    QVERIFY2(row >= 0 && row <= 300, qPrintable(QString::number(row)));
    QCOMPARE(m_api->GetHeadword(row, query).left(headword.size()).toCaseFolded(), headword.toCaseFolded());
    const QString html = m_api->GetEntryHtml(300, query);
    QVERIFY(!html.isEmpty());
    QCOMPARE(m_api->GetEntryHtml(300, query), html);
}

QTEST_MAIN(TestService)
#include "tst_service.moc"
