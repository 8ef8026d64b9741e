#include "core/icons/iconcache.h"
#include "tests/support/scriptedserver.h"

#include <QBuffer>
#include <QTest>

// Dictionary icons: one download per dictionary, the fallback for anything that is not a
// picture (cached), nothing cached when the service cannot be reached.
class TestIcons : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void downloadsOnceAndKeepsIndex();
    void fallbackIsCached_data();
    void fallbackIsCached();
    void unreachableIsNotCached_data();
    void unreachableIsNotCached();
    void fallbackPicture();

private:
    int iconRequests() const
    {
        return int(m_server->requests(QStringLiteral("/1.0/dictionary/icon")).size());
    }

    std::unique_ptr<ScriptedServer> m_server;
    std::unique_ptr<IconCache> m_cache;
};

namespace {

QByteArray encoded(const QImage& image, const char* format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

// A 16 x 16 picture whose colour says which dictionary it belongs to.
QByteArray iconPng(int dictionaryId)
{
    QImage image(16, 16, QImage::Format_ARGB32);
    image.fill(QColor::fromRgb(dictionaryId, 255 - dictionaryId, 40));
    return encoded(image, "PNG");
}

ScriptedReply iconFor(const QString& target)
{
    const qsizetype at = target.indexOf(QLatin1String("dictionaryId="));
    const int id = target.mid(at + 13).toInt();
    return ScriptedReply::ok(iconPng(id), "image/png");
}

bool isFallback(const QImage& image)
{
    return image.size() == QSize(16, 16) && image == IconCache::fallbackIcon();
}

} // namespace

void TestIcons::initTestCase()
{
    qputenv("VERBOLIX_CONNECT_TIMEOUT_MS", "500");
    qputenv("VERBOLIX_REQUEST_TIMEOUT_MS", "800");
}

void TestIcons::init()
{
    m_server = std::make_unique<ScriptedServer>();
    m_server->setHandler(QStringLiteral("/1.0/dictionary/icon"), iconFor);
    m_cache = std::make_unique<IconCache>(m_server->baseUrl());
}

void TestIcons::downloadsOnceAndKeepsIndex()
{
    const QImage first = GetDictionaryIcon(*m_cache, 70);
    QCOMPARE(first.size(), QSize(16, 16));
    QCOMPARE(first.pixelColor(3, 3), QColor::fromRgb(70, 185, 40));
    QCOMPARE(GetDictionaryIcon(*m_cache, 58).pixelColor(0, 0), QColor::fromRgb(58, 197, 40));
    QCOMPARE(GetDictionaryIcon(*m_cache, 12).pixelColor(0, 0), QColor::fromRgb(12, 243, 40));
    const QImage again = GetDictionaryIcon(*m_cache, 70);
    QCOMPARE(again.cacheKey(), first.cacheKey()); // the cached picture itself
    QCOMPARE(iconRequests(), 3);
    QCOMPARE(m_cache->count(), 3);
    QCOMPARE(m_cache->indexOf(58), 1);
    QCOMPARE(m_cache->at(1).dictionaryId, 58);
    QCOMPARE(m_cache->indexOf(99), -1);
}

void TestIcons::fallbackIsCached_data()
{
    QTest::addColumn<ScriptedReply>("reply");
    const QByteArray png = iconPng(70);
    QImage wide(4000, 1, QImage::Format_RGB32);
    wide.fill(Qt::white);

    QTest::newRow("HTML page with status 200")
        << ScriptedReply::ok("<html><body><h1>Ni ikone</h1></body></html>", "text/html");
    QTest::newRow("HTTP 500") << ScriptedReply::error(500, "<html><body>napaka</body></html>");
    QTest::newRow("HTTP 404 with a picture") << ScriptedReply::error(404, png, "image/png");
    QTest::newRow("empty body") << ScriptedReply::ok(QByteArray(), "image/png");
    QTest::newRow("truncated picture") << ScriptedReply::ok(png.left(png.size() / 2), "image/png");
    // A small file announcing an enormous picture is no icon.
    QTest::newRow("picture 4000 pixels wide") << ScriptedReply::ok(encoded(wide, "PNG"), "image/png");
    // The length is never used to size a buffer: a terabyte claim is refused at once.
    QTest::newRow("Content-Length of a terabyte") << ScriptedReply::lyingLength(png, qint64(1) << 40);
    QTest::newRow("endless chunked body") << ScriptedReply::chunkedRunaway(png, "image/png");
}

void TestIcons::fallbackIsCached()
{
    QFETCH(ScriptedReply, reply);
    m_server->setReply(QStringLiteral("/1.0/dictionary/icon"), reply);
    QVERIFY(isFallback(GetDictionaryIcon(*m_cache, 70)));
    QVERIFY(isFallback(GetDictionaryIcon(*m_cache, 70)));
    QCOMPARE(iconRequests(), 1);
    QCOMPARE(m_cache->count(), 1);
}

void TestIcons::unreachableIsNotCached_data()
{
    QTest::addColumn<ScriptedReply>("reply");
    QTest::addColumn<bool>("serviceDown");
    QTest::newRow("service down") << ScriptedReply() << true;
    QTest::newRow("accepts and never answers") << ScriptedReply::neverAnswer() << false;
    // Content-Length promises more than arrives: a broken transfer, not an answer.
    QTest::newRow("Content-Length longer than the body")
        << ScriptedReply::lyingLength(iconPng(70), 5000) << false;
}

void TestIcons::unreachableIsNotCached()
{
    QFETCH(ScriptedReply, reply);
    QFETCH(bool, serviceDown);
    m_server->setReply(QStringLiteral("/1.0/dictionary/icon"), reply);
    IconCache cache(serviceDown ? ScriptedServer::unusedBaseUrl() : m_server->baseUrl());

    QVERIFY(isFallback(GetDictionaryIcon(cache, 70)));
    QCOMPARE(cache.count(), 0);
    const int requests = iconRequests();

    // Until the retry delay has passed, no icon is asked for: a dead service must not
    // stall every repaint.
    m_server->setHandler(QStringLiteral("/1.0/dictionary/icon"), iconFor);
    QVERIFY(isFallback(GetDictionaryIcon(cache, 70)));
    QVERIFY(isFallback(GetDictionaryIcon(cache, 58)));
    QCOMPARE(iconRequests(), requests);
    QCOMPARE(cache.count(), 0);

    // Afterwards the next call downloads and keeps the real icon.
    cache.setRetryDelayMs(0);
    cache.noteUnreachable();
    IconCache working(m_server->baseUrl());
    IconCache& retry = serviceDown ? working : cache;
    QCOMPARE(GetDictionaryIcon(retry, 70).pixelColor(0, 0), QColor::fromRgb(70, 185, 40));
    QCOMPARE(retry.count(), 1);
}

void TestIcons::fallbackPicture()
{
    const QImage fallback = IconCache::fallbackIcon();
    QCOMPARE(fallback.size(), QSize(16, 16));
    QCOMPARE(fallback.depth(), 24);
    QVERIFY(fallback.pixelColor(0, 0) != fallback.pixelColor(8, 8)); // a picture, not a blank
    QVERIFY(isFallback(IconCache::decodeIcon("GIF89a")));
    QCOMPARE(IconCache::decodeIcon(iconPng(3)).pixelColor(1, 1), QColor::fromRgb(3, 252, 40));
}

QTEST_MAIN(TestIcons)
#include "tst_icons.moc"
