#include "ui/search/cinfinitelistview.h"
#include "app/cmainframe.h"
#include "app/cquorbelapp.h"
#include "ui/search/cquorbelview.h"
#include "ui/search/hitlistmodel.h"
#include "ui/search/iskalnooknoinseznam.h"
#include "tests/support/framesettle.h"
#include "tests/support/scripteddictionaryservice.h"
#include "tests/support/scriptedresults.h"
#include "tests/support/scriptedserver.h"
#include "ui/search/staticstevilorezultatov.h"
#include "tests/support/tempconfig.h"
#include "ui/search/vnosnooknoiztocnica.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <memory>

// The whole window against a service that goes away, comes back and misbehaves on the wire
// and in its answers: the window never hangs or crashes, shows the empty result where there
// is none, says in the caption bar when the service was not reached, and works again as soon
// as the service does.
class TestProgramFaults : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void serviceDownAtStartThenBack();
    void serviceDiesMidSessionAndComesBack();
    void badAnswers_data();
    void badAnswers();
    void iconsThatAreNotPictures();

    // A slow or hung service never holds the window.
    void windowWorksWhileAnAnswerIsHeld_data();
    void windowWorksWhileAnAnswerIsHeld();
    void rowsFillInWhenTheirPageArrives();
    void supersededAnswersAreDropped_data();
    void supersededAnswersAreDropped();
    void failedPageWaitsThenFillsIn();
    void windowKeepsRepaintingAcrossEntries();

private:
    void start();
    void serveOn(int port);
    // Types text and presses Enter; answers how long the window was held.
    qint64 search(const QString& text);
    QString countText() const;
    QString notice() const { return m_frame->serviceNotice(); }
    // After a fault: with the healthy service back, a search works as ever.
    void searchWorksAgain();

    std::unique_ptr<TempConfig> m_config;
    std::unique_ptr<ScriptedServer> m_server;
    std::unique_ptr<ScriptedDictionaryService> m_service;
    std::unique_ptr<CMainFrame> m_frame;
};

namespace {
constexpr int requestTimeoutMs = 2000;

const QString unreachable = QStringLiteral("Slovarske storitve ni mogoče doseči.");
const QString tooSlow = QStringLiteral("se ni odzvala pravočasno");
const QString tooLarge = QStringLiteral("prevelik odgovor");

// How many nested elements a hostile answer opens.
constexpr int deepNesting = 200000;

QByteArray hits(int total)
{
    return ScriptedResults(total).page(0, 200);
}

// The body in about steps pieces, 100 ms apart: an answer that takes its time.
ScriptedReply slowly(const QByteArray& body, int steps)
{
    return ScriptedReply::trickle(body, int(body.size() / steps) + 1, 100, "text/xml; charset=utf-8");
}

QByteArray entryAnswer(int entryId)
{
    return "<entry><html_content><b class=\"headword\">vnos " + QByteArray::number(entryId) +
           "</b></html_content></entry>";
}

// Whether the row is drawn as an empty placeholder: no pixel of its text or icon.
bool rowIsBlank(CInfiniteListView* list, int row)
{
    const QRect rect = list->visualRect(list->hitModel()->index(row, 0));
    if (!rect.isValid() || !list->viewport()->rect().contains(rect.center()))
        return false;
    const QImage image = list->viewport()->grab(rect).toImage();
    const QRgb background = image.pixel(0, 0);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) != background)
                return false;
    return true;
}
// Counts the paint events a widget receives.
class PaintCounter : public QObject
{
public:
    PaintCounter(QWidget* widget, int& count) : m_count(count) { widget->installEventFilter(this); }

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            ++m_count;
        return false;
    }

private:
    int& m_count;
};
} // namespace

void TestProgramFaults::initTestCase()
{
    qputenv("VERBOLIX_CONNECT_TIMEOUT_MS", "1000");
    qputenv("VERBOLIX_REQUEST_TIMEOUT_MS", QByteArray::number(requestTimeoutMs));
}

void TestProgramFaults::init()
{
    m_config = std::make_unique<TempConfig>();
    serveOn(0);
}

void TestProgramFaults::cleanup()
{
    m_frame.reset();
    m_service.reset();
    m_server.reset();
    qunsetenv("VERBOLIX_API_BASE");
    m_config.reset();
}

void TestProgramFaults::serveOn(int port)
{
    m_service.reset();
    m_server = std::make_unique<ScriptedServer>(port);
    QVERIFY(m_server->port() > 0);
    m_service = std::make_unique<ScriptedDictionaryService>(*m_server);
    qputenv("VERBOLIX_API_BASE", m_server->baseUrl().toUtf8());
}

void TestProgramFaults::start()
{
    m_frame = std::make_unique<CMainFrame>();
    QCOMPARE(m_frame->Create(), 0);
    m_frame->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_frame.get()));
    QVERIFY(waitUntilSettled(*m_frame, 10 * requestTimeoutMs));
}

qint64 TestProgramFaults::search(const QString& text)
{
    VnosnoOknoIztocnica* box = m_frame->headwordBox();
    box->setFocus();
    box->setText(text);
    QElapsedTimer held;
    held.start();
    QTest::keyClick(box, Qt::Key_Return);
    const qint64 elapsed = held.elapsed();
    // The answers, as the window shows them once they are in.
    [&] { QVERIFY(waitUntilSettled(*m_frame, 10 * requestTimeoutMs)); }();
    return elapsed;
}

QString TestProgramFaults::countText() const
{
    return m_frame->searchPane()->countLabel()->text();
}

void TestProgramFaults::searchWorksAgain()
{
    m_service->install();
    m_service->total = 500;
    m_service->relativeIndex = 37;
    search(QStringLiteral("miza"));
    QCOMPARE(countText(), QStringLiteral("Najdenih: 500"));
    QCOMPARE(notice(), QString());
    QCOMPARE(m_frame->hitList()->selectionMark(), 37);
    QVERIFY(m_frame->entryView()->pageHtml().contains(
        QStringLiteral("vnos %1").arg(ScriptedResults::entryIdOf(37))));
}

void TestProgramFaults::serviceDownAtStartThenBack()
{
    const int port = m_server->port();
    m_service.reset();
    m_server.reset(); // nothing listens there now
    start();
    QCOMPARE(countText(), QStringLiteral("Najdenih: 0"));
    QCOMPARE(m_frame->hitList()->hitCount(), 0);
    QVERIFY2(notice().contains(unreachable), qPrintable(notice()));
    search(QStringLiteral("miza"));
    QVERIFY2(notice().contains(unreachable), qPrintable(notice()));
    QTest::keyClick(m_frame->hitList(), Qt::Key_Down); // an empty list takes keys

    // The service starts; the next search fetches the dictionaries it missed, then finds.
    serveOn(port);
    searchWorksAgain();
    QCOMPARE(m_frame->icons().count(), 3);
    QCOMPARE(m_frame->GetHitImage(0), 0);
}

void TestProgramFaults::serviceDiesMidSessionAndComesBack()
{
    start();
    searchWorksAgain();
    const int port = m_server->port();
    m_service.reset();
    m_server.reset();

    search(QStringLiteral("stol"));
    QCOMPARE(countText(), QStringLiteral("Najdenih: 0"));
    QCOMPARE(m_frame->hitList()->hitCount(), 0);
    QVERIFY2(notice().contains(unreachable), qPrintable(notice()));
    // Nothing of the earlier search is left to be fetched from nowhere.
    QCOMPARE(m_frame->GetHitHeadword(0), QString());

    serveOn(port);
    searchWorksAgain();
}

void TestProgramFaults::badAnswers_data()
{
    // The path given the fault, the fault, the count shown then, and the start of the
    // caption bar's notice (empty: the service answered, so none).
    QTest::addColumn<QString>("path");
    QTest::addColumn<QByteArray>("fault");
    QTest::addColumn<QString>("count");
    QTest::addColumn<QString>("noticeStart"); // a part of it
    const QString search = QStringLiteral("/1.0/search");
    const QString index = QStringLiteral("/1.0/search/entry-index");
    const QString entry = QStringLiteral("/1.0/search/get-entry");
    const QString none = QStringLiteral("Najdenih: 0");

    QTest::newRow("search never answers") << search << QByteArray("never") << none << tooSlow;
    QTest::newRow("search trickles in time") << search << QByteArray("trickle") << QStringLiteral("Najdenih: 7")
                                             << QString();
    QTest::newRow("search trickles past the timeout")
        << search << QByteArray("trickle-slow") << none << tooSlow;
    QTest::newRow("HTTP 500 with an HTML page")
        << search << QByteArray("500") << none << QStringLiteral("Slovarska storitev je javila napako (HTTP 500)");
    QTest::newRow("redirect loop") << search << QByteArray("loop") << none << unreachable;
    QTest::newRow("truncated XML") << search << QByteArray("truncated") << none << QString();
    QTest::newRow("answer of 100 MB") << search << QByteArray("huge") << none << tooLarge;
    QTest::newRow("bytes that are not UTF-8") << search << QByteArray("latin2") << QStringLiteral("Najdenih: 3")
                                              << QString();
    QTest::newRow("deeply nested elements") << search << QByteArray("nested") << none << QString();
    QTest::newRow("entities and a DOCTYPE") << search << QByteArray("entities") << none << QString();
    QTest::newRow("total of 2^31-1") << search << QByteArray("int-max")
                                     << QStringLiteral("Najdenih: 2147483647") << QString();
    QTest::newRow("relative index below -1") << index << QByteArray("index-negative")
                                             << QStringLiteral("Najdenih: 500") << QString();
    // The first row's entry is then shown, and its answer clears the notice again.
    QTest::newRow("entry index never answers") << index << QByteArray("never")
                                               << QStringLiteral("Najdenih: 500") << QString();
    QTest::newRow("entry HTTP 500") << entry << QByteArray("500") << QStringLiteral("Najdenih: 500")
                                    << QStringLiteral("Slovarska storitev je javila napako (HTTP 500)");
    QTest::newRow("entry never answers") << entry << QByteArray("never") << QStringLiteral("Najdenih: 500")
                                         << tooSlow;
}

void TestProgramFaults::badAnswers()
{
    QFETCH(QString, path);
    QFETCH(QByteArray, fault);
    QFETCH(QString, count);
    QFETCH(QString, noticeStart);
    start();
    const QByteArray external = "/external";
    m_server->setAnswer(QString::fromLatin1(external), "<total>9</total>");

    ScriptedReply reply;
    if (fault == "never") {
        reply = ScriptedReply::neverAnswer();
    } else if (fault == "trickle") {
        reply = ScriptedReply::trickle(hits(7), 256, 10);
    } else if (fault == "trickle-slow") {
        reply = ScriptedReply::trickle(hits(7), 1, 200);
    } else if (fault == "500") {
        reply = ScriptedReply::error(500, "<html><body><h1>Internal Server Error</h1></body></html>");
    } else if (fault == "loop") {
        reply = ScriptedReply::redirect(path.toUtf8() + "?again=1");
    } else if (fault == "truncated") {
        const QByteArray whole = hits(50);
        reply = ScriptedReply::ok(whole.left(whole.size() / 2));
    } else if (fault == "huge") {
        reply = ScriptedReply::chunkedRunaway(hits(200)); // about 100 MB before the server gives up
    } else if (fault == "latin2") {
        // Windows-1250 "čšž" where UTF-8 is promised, and a byte that is no character at all.
        reply = ScriptedReply::ok(hits(3).replace("geslo 1", "\xe8\x9a\x9e \xff"));
    } else if (fault == "nested") {
        reply = ScriptedReply::ok("<results><total>5</total>" + QByteArray("<hit>").repeated(deepNesting) +
                                  "</results>");
    } else if (fault == "entities") {
        QByteArray doctype = "<!DOCTYPE results SYSTEM \"" + m_server->baseUrl().toUtf8() + external +
                             "\" [<!ENTITY a \"" + QByteArray(1000, 'a') + "\">";
        for (char c = 'b'; c <= 'j'; ++c)
            doctype += "<!ENTITY " + QByteArray(1, c) + " \"" + QByteArray("&").append(char(c - 1)).append(';').repeated(10) +
                       "\">";
        doctype += "<!ENTITY x SYSTEM \"" + m_server->baseUrl().toUtf8() + external + "\">]>";
        reply = ScriptedReply::ok(doctype + "<results><total>&x;&j;</total></results>");
    } else if (fault == "int-max") {
        reply = ScriptedReply::ok(hits(5).replace("<total>5</total>", "<total>2147483647</total>"));
    } else if (fault == "index-negative") {
        reply = ScriptedReply::ok("<result><selected_order>1</selected_order><relative_index>-5</relative_index>"
                                  "</result>");
    }
    m_server->setReply(path, reply);
    m_server->clearRequests();
    m_service->relativeIndex = 12; // an entry not fetched yet (entries are remembered)

    const qint64 held = search(QStringLiteral("miza"));
    // A fault costs at most the request timeout per request, never an open-ended wait (the
    // scripted server would hold a never-answered request for a minute).
    QVERIFY2(held < 5 * requestTimeoutMs, qPrintable(QString::number(held)));
    QCOMPARE(countText(), count);
    QVERIFY2(noticeStart.isEmpty() ? notice().isEmpty() : notice().contains(noticeStart),
             qPrintable(notice()));
    QCOMPARE(m_server->requests(QString::fromLatin1(external)), QStringList());

    // The list is still a list: keys move the selection within it and rows draw.
    CInfiniteListView* list = m_frame->hitList();
    list->setFocus();
    QTest::keyClick(list, Qt::Key_End);
    QTest::keyClick(list, Qt::Key_PageUp);
    QTest::keyClick(list, Qt::Key_Home);
    QVERIFY(list->hitCount() == 0 || list->selectionMark() == 0);
    QVERIFY(!list->grab().isNull());

    searchWorksAgain();
}

void TestProgramFaults::iconsThatAreNotPictures()
{
    m_server->setReply(QStringLiteral("/1.0/dictionary/icon"),
                       ScriptedReply::ok("<html>not a picture</html>", "image/png"));
    start();
    // Every dictionary still has its icon: the stand-in picture.
    QCOMPARE(m_frame->icons().count(), 3);
    for (int i = 0; i < 3; ++i)
        QVERIFY(!m_frame->icons().at(i).bitmap.isNull());
    QCOMPARE(notice(), QString());
    searchWorksAgain();
    QVERIFY(m_frame->GetHitImage(0) >= 0);
    QVERIFY(!m_frame->hitList()->grab().isNull());
}

void TestProgramFaults::windowWorksWhileAnAnswerIsHeld_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("atStart");
    QTest::newRow("messages at start-up") << QStringLiteral("/1.0/messages") << true;
    QTest::newRow("dictionary list at start-up") << QStringLiteral("/1.0/dictionary/list") << true;
    QTest::newRow("search") << QStringLiteral("/1.0/search") << false;
    QTest::newRow("entry index") << QStringLiteral("/1.0/search/entry-index") << false;
    QTest::newRow("entry") << QStringLiteral("/1.0/search/get-entry") << false;
}

// While the service holds an answer the window is drawn, handles events and takes keys; the
// requests after the held one wait for it (the order of start-up and of a search stays).
void TestProgramFaults::windowWorksWhileAnAnswerIsHeld()
{
    QFETCH(QString, path);
    QFETCH(bool, atStart);
    if (!atStart)
        start();
    m_server->setReply(path, ScriptedReply::neverAnswer());
    m_server->clearRequests();
    m_service->relativeIndex = 12; // an entry not fetched yet

    // What the window looked like at the first turn of the event loop that found the held
    // request sent.
    bool seen = false;
    QString noticeThen;
    QStringList requestsThen;
    bool visibleThen = false;
    QTimer tick;
    tick.setInterval(0);
    connect(&tick, &QTimer::timeout, this, [&] {
        if (seen || m_server->requests(path).isEmpty())
            return;
        seen = true;
        noticeThen = notice();
        requestsThen = m_server->requests();
        visibleThen = m_frame->isVisible();
    });
    tick.start();
    if (atStart) {
        m_frame = std::make_unique<CMainFrame>();
        QCOMPARE(m_frame->Create(), 0);
        m_frame->show();
    } else {
        search(QStringLiteral("miza"));
    }
    // search() waited for the timeout; start-up has not: the request is still held now.
    if (atStart) {
        QTRY_VERIFY(seen);
        QVERIFY(QTest::qWaitForWindowExposed(m_frame.get()));
        QVERIFY(!m_frame->isSettled());
        // Keys go where they belong while the service holds the answer.
        QTest::keyClicks(m_frame->headwordBox(), QStringLiteral("ab"));
        QCOMPARE(m_frame->headwordBox()->text(), QStringLiteral("ab"));
    }
    QVERIFY(seen);
    QVERIFY(visibleThen);
    QVERIFY2(noticeThen.isEmpty(), qPrintable(noticeThen)); // no timeout had passed yet
    QVERIFY2(requestsThen.last().startsWith(path + QLatin1Char('?')), qPrintable(requestsThen.join(u' ')));
    // The timeout ends the wait, and the window goes on from there.
    QVERIFY(waitUntilSettled(*m_frame, 20 * requestTimeoutMs));
    searchWorksAgain();
}

// Rows whose page is on its way are drawn empty, then filled in when it arrives, as is the
// entry, with no further input.
void TestProgramFaults::rowsFillInWhenTheirPageArrives()
{
    start();
    m_service->total = 5000;
    search(QStringLiteral("miza"));
    m_server->setHandler(QStringLiteral("/1.0/search"), [](const QString& target) {
        const int from = ScriptedResults::parameter(target, QStringLiteral("start")).toInt();
        return slowly(ScriptedResults(5000).page(from, 200), 8);
    });
    m_server->clearRequests();
    CInfiniteListView* list = m_frame->hitList();
    list->SelectHit(3000);
    list->viewport()->repaint();
    QCOMPARE(m_frame->GetHitHeadword(3001), QString());
    QVERIFY(rowIsBlank(list, 3001));
    QTRY_COMPARE_WITH_TIMEOUT(list->hitModel()->index(3001, 0).data().toString(),
                              ScriptedResults::headwordOf(3001), 10000);
    QTRY_VERIFY(!rowIsBlank(list, 3001));
    QTRY_VERIFY(m_frame->entryView()->pageHtml().contains(
        QStringLiteral("vnos %1").arg(ScriptedResults::entryIdOf(3000))));
    QCOMPARE(m_server->requests(QStringLiteral("/1.0/search")).size(), 1);
}

void TestProgramFaults::supersededAnswersAreDropped_data()
{
    QTest::addColumn<bool>("search");
    QTest::newRow("an earlier search") << true;
    QTest::newRow("an earlier selection") << false;
}

// The answer of an earlier search or selection that comes while a newer one waits is never
// shown: the older answer comes first, the newer one after it.
void TestProgramFaults::supersededAnswersAreDropped()
{
    QFETCH(bool, search);
    start();
    const int first = 5;
    const int second = 6;
    // Every count and every entry the window shows, in order.
    QList<int> counts;
    QStringList entries;
    connect(m_frame->hitList()->hitModel(), &QAbstractItemModel::modelReset, this,
            [&] { counts << m_frame->hitList()->hitModel()->rowCount(); });
    connect(m_frame.get(), &CMainFrame::entryShown, this,
            [&] { entries << m_frame->entryView()->pageHtml(); });
    if (search) {
        m_server->setHandler(QStringLiteral("/1.0/search"), [](const QString& target) {
            const bool older = target.contains(QStringLiteral("query=miza"));
            return slowly(ScriptedResults(older ? 7 : 500).page(0, 200), older ? 3 : 12);
        });
        VnosnoOknoIztocnica* box = m_frame->headwordBox();
        box->setFocus();
        box->setText(QStringLiteral("miza"));
        QTest::keyClick(box, Qt::Key_Return);
        this->search(QStringLiteral("stol"));
        QCOMPARE(counts, QList<int>{500});
        QCOMPARE(countText(), QStringLiteral("Najdenih: 500"));
    } else {
        m_server->setHandler(QStringLiteral("/1.0/search/get-entry"), [](const QString& target) {
            const int id = ScriptedResults::parameter(target, QStringLiteral("entryId")).toInt();
            return slowly(entryAnswer(id), id == ScriptedResults::entryIdOf(first) ? 3 : 12);
        });
        entries.clear();
        m_server->clearRequests();
        m_frame->hitList()->SelectHit(first);
        m_frame->hitList()->SelectHit(second);
        QVERIFY(waitUntilSettled(*m_frame));
        QCOMPARE(m_server->requests(QStringLiteral("/1.0/search/get-entry")).size(), 2);
    }
    const QString wanted = QStringLiteral("vnos %1<").arg(ScriptedResults::entryIdOf(search ? 37 : second));
    QTRY_VERIFY(!entries.isEmpty());
    QVERIFY2(entries.size() == 1 && entries.first().contains(wanted), qPrintable(entries.join(u'\n')));
    QCOMPARE(m_frame->hitList()->selectionMark(), search ? 37 : second);
}

// A page that could not be fetched is not asked for again at every repaint; once the
// service answers again the rows and the entry fill in by themselves.
void TestProgramFaults::failedPageWaitsThenFillsIn()
{
    start();
    m_service->total = 5000;
    search(QStringLiteral("miza"));
    // A connection that breaks off mid-answer: the page cannot be had.
    m_server->setReply(QStringLiteral("/1.0/search"),
                       ScriptedReply::lyingLength(hits(5), 100000, "text/xml"));
    m_server->clearRequests();
    m_frame->setPagingPauseMs(600000); // nothing but repaints in this part
    CInfiniteListView* list = m_frame->hitList();
    list->SelectHit(3000);
    QTRY_VERIFY(notice().contains(unreachable));
    for (int i = 0; i < 20; ++i) {
        list->viewport()->repaint();
        QCoreApplication::processEvents();
    }
    QCOMPARE(m_server->requests(QStringLiteral("/1.0/search")).size(), 1);
    QVERIFY(rowIsBlank(list, 3001));

    m_service->install();
    m_frame->setPagingPauseMs(100); // the pause now ends soon
    QTRY_COMPARE_WITH_TIMEOUT(list->hitModel()->index(3001, 0).data().toString(),
                              ScriptedResults::headwordOf(3001), 15000);
    QTRY_VERIFY_WITH_TIMEOUT(m_frame->entryView()->pageHtml().contains(
                                 QStringLiteral("vnos %1").arg(ScriptedResults::entryIdOf(3000))),
                             15000);
    QCOMPARE(notice(), QString());
    QCOMPARE(list->selectionMark(), 3000);
}

// Fault: an entry's frame that arrived while the window's repaints were held back for it
// left the window composing nothing ever again; the list stayed blank and the caption old.
void TestProgramFaults::windowKeepsRepaintingAcrossEntries()
{
    start();
    m_service->total = 5000;
    search(QStringLiteral("miza"));
    CInfiniteListView* list = m_frame->hitList();
    QWidget* viewport = list->viewport();
    int paints = 0;
    PaintCounter counter(viewport, paints);
    for (int row = 1; row <= 40; ++row) {
        list->SelectHit(row);
        QTRY_VERIFY(m_frame->entryView()->pageHtml().contains(
            QStringLiteral("vnos %1").arg(ScriptedResults::entryIdOf(row))));
        QVERIFY(waitUntilSettled(*m_frame, 10 * requestTimeoutMs));
        const int before = paints;
        viewport->update();
        QTRY_VERIFY2(paints > before, qPrintable(QStringLiteral("no repaint after entry %1").arg(row)));
    }
}

int main(int argc, char** argv)
{
    qputenv("VERBOLIX_NO_SPLASH", "1");
    CQuorbelApp::PrepareProcess();
    CQuorbelApp app(argc, argv);
    TestProgramFaults test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_programfaults.moc"
