#include "core/http/httpclient.h"
#include "core/icons/iconcache.h"
#include "tests/support/scriptedserver.h"

#include <QBuffer>
#include <QSet>
#include <QTest>
#include <atomic>
#include <thread>

// The start-up batch of icons downloads in parallel yet leaves the cache exactly as one
// download after another would: the same records, in the same order, with the same
// pictures, the fallback for what is no picture, nothing from a failed connection on.
class TestParallelIcons : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void sameCacheAsOneByOne_data();
    void sameCacheAsOneByOne();
    void downloadsOverlap();
    void pauseAfterUnreachable();

private:
    std::unique_ptr<ScriptedServer> m_server;
    QSet<int> m_slow;
    QSet<int> m_missing;
    QSet<int> m_notPicture;
    QSet<int> m_stalled;
};

namespace {

const QString iconPath = QStringLiteral("/1.0/dictionary/icon");

QByteArray iconPng(int dictionaryId)
{
    QImage image(16, 16, QImage::Format_ARGB32);
    image.fill(QColor::fromRgb(dictionaryId % 256, 255 - dictionaryId % 256, 40));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

int idOf(const QString& target)
{
    return target.mid(target.indexOf(QLatin1String("dictionaryId=")) + 13).toInt();
}

QList<int> ids(std::initializer_list<int> list)
{
    return QList<int>(list);
}

QList<int> range(int first, int count)
{
    QList<int> out;
    for (int i = 0; i < count; ++i)
        out.append(first + i);
    return out;
}

// Ids, then images, with the fallback named so that a failing row says what differs.
QStringList describe(const IconCache& cache)
{
    QStringList out;
    for (qsizetype i = 0; i < cache.count(); ++i) {
        const CIkona& record = cache.at(i);
        const bool fallback = record.bitmap == IconCache::fallbackIcon();
        out.append(
            QStringLiteral("%1:%2")
                .arg(record.dictionaryId)
                .arg(fallback ? QStringLiteral("fallback") : QString::number(record.bitmap.pixel(0, 0), 16)));
    }
    return out;
}

} // namespace

void TestParallelIcons::initTestCase()
{
    qputenv("VERBOLIX_CONNECT_TIMEOUT_MS", "500");
    qputenv("VERBOLIX_REQUEST_TIMEOUT_MS", "1500");
}

void TestParallelIcons::init()
{
    m_slow.clear();
    m_missing.clear();
    m_notPicture.clear();
    m_stalled.clear();
    m_server = std::make_unique<ScriptedServer>();
    m_server->setHandler(iconPath, [this](const QString& target) {
        const int id = idOf(target);
        if (m_missing.contains(id))
            return ScriptedReply::error(404, "<html><body>Ni ikone</body></html>");
        if (m_notPicture.contains(id))
            return ScriptedReply::ok("<html>not a picture</html>", "image/png");
        if (m_stalled.contains(id))
            return ScriptedReply::neverAnswer();
        if (m_slow.contains(id)) // arrives last, well after the others
            return ScriptedReply::trickle(iconPng(id), 64, 150, "image/png");
        return ScriptedReply::ok(iconPng(id), "image/png");
    });
}

void TestParallelIcons::sameCacheAsOneByOne_data()
{
    QTest::addColumn<QList<int>>("cachedBefore");
    QTest::addColumn<QList<int>>("batch");
    QTest::addColumn<QList<int>>("slow");
    QTest::addColumn<QList<int>>("missing");
    QTest::addColumn<QList<int>>("notPicture");
    QTest::addColumn<QList<int>>("stalled");

    QTest::newRow("30 icons, 7 slow, 12 answers 404, 20 not a picture")
        << QList<int>() << range(1, 30) << ids({7}) << ids({12}) << ids({20}) << QList<int>();
    QTest::newRow("the first icon slow, the last one 404")
        << QList<int>() << range(40, 12) << ids({40}) << ids({51}) << QList<int>() << QList<int>();
    QTest::newRow("repeats and icons cached before the batch")
        << ids({3, 9}) << ids({5, 3, 6, 5, 9, 7, 6, 8}) << ids({6}) << ids({7}) << QList<int>()
        << QList<int>();
    QTest::newRow("-1 for a position outside the list is asked like any id")
        << QList<int>() << ids({70, 58, -1, 12}) << ids({58}) << ids({-1}) << QList<int>() << QList<int>();
    QTest::newRow("a stalled icon: nothing cached from it on, slow ones before it kept")
        << QList<int>() << range(1, 16) << ids({2}) << ids({4}) << QList<int>() << ids({9});
    QTest::newRow("the first icon stalls: nothing cached")
        << QList<int>() << range(1, 10) << ids({5}) << QList<int>() << QList<int>() << ids({1});
}

void TestParallelIcons::sameCacheAsOneByOne()
{
    QFETCH(QList<int>, cachedBefore);
    QFETCH(QList<int>, batch);
    QFETCH(QList<int>, slow);
    QFETCH(QList<int>, missing);
    QFETCH(QList<int>, notPicture);
    QFETCH(QList<int>, stalled);
    m_slow = QSet<int>(slow.begin(), slow.end());
    m_missing = QSet<int>(missing.begin(), missing.end());
    m_notPicture = QSet<int>(notPicture.begin(), notPicture.end());
    m_stalled = QSet<int>(stalled.begin(), stalled.end());

    IconCache oneByOne(m_server->baseUrl());
    IconCache parallel(m_server->baseUrl());
    for (const int id : cachedBefore) {
        GetDictionaryIcon(oneByOne, id);
        GetDictionaryIcon(parallel, id);
    }
    m_server->clearRequests();
    for (const int id : batch)
        GetDictionaryIcon(oneByOne, id);
    const QStringList oneByOneRequests = m_server->requests(iconPath);
    m_server->clearRequests();

    PreloadIcons(parallel, batch);

    QCOMPARE(describe(parallel), describe(oneByOne));
    QCOMPARE(parallel.mayDownload(), oneByOne.mayDownload());
    // Each icon the batch needed was asked for once; a stall lets later ones be asked for
    // too (they run alongside), but none of them is cached.
    QStringList asked = m_server->requests(iconPath);
    if (stalled.isEmpty()) {
        QCOMPARE(asked.size(), oneByOneRequests.size());
        std::sort(asked.begin(), asked.end());
        QStringList expected = oneByOneRequests;
        std::sort(expected.begin(), expected.end());
        QCOMPARE(asked, expected);
    }
    // After the batch the start-up calls find every icon in the cache, each once.
    m_server->clearRequests();
    if (parallel.mayDownload()) {
        for (const int id : batch)
            QCOMPARE(GetDictionaryIcon(parallel, id), parallel.icon(id));
        QCOMPARE(m_server->requests(iconPath).size(), 0);
    }
}

// Without parallel downloads the slow server would see one request at a time.
void TestParallelIcons::downloadsOverlap()
{
    std::atomic<int> inFlight{0};
    std::atomic<int> most{0};
    m_server->setHandler(iconPath, [&](const QString& target) {
        const int now = ++inFlight;
        int seen = most.load();
        while (now > seen && !most.compare_exchange_weak(seen, now)) {
        }
        // Holds the answer a while on the server's side so that overlaps can happen.
        std::this_thread::sleep_for(std::chrono::milliseconds(40));
        --inFlight;
        return ScriptedReply::ok(iconPng(idOf(target)), "image/png");
    });
    IconCache cache(m_server->baseUrl());
    PreloadIcons(cache, range(1, 40));
    QCOMPARE(cache.count(), 40);
    QVERIFY2(most.load() > 1, "downloads ran one after another");
    QVERIFY(most.load() <= HttpClient::maxParallel);
}

void TestParallelIcons::pauseAfterUnreachable()
{
    IconCache cache(ScriptedServer::unusedBaseUrl());
    PreloadIcons(cache, range(1, 5));
    QCOMPARE(cache.count(), 0);
    QVERIFY(!cache.mayDownload());

    // During the pause a second batch asks nothing, as single calls would.
    IconCache live(m_server->baseUrl());
    live.noteUnreachable();
    PreloadIcons(live, range(1, 5));
    QCOMPARE(live.count(), 0);
    QCOMPARE(m_server->requests(iconPath).size(), 0);
}

QTEST_GUILESS_MAIN(TestParallelIcons)
#include "tst_parallelicons.moc"
