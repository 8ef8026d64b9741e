#include "core/answerreaders.h"
#include "ui/search/cquorbelview.h"
#include "ui/search/displaystate.h"
#include "ui/search/entryschemehandler.h"
#include "tests/support/scriptedserver.h"

#include <QApplication>
#include <QFile>
#include <QImage>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QWebEnginePage>
#include <QWebEngineScript>

class TestEntryView : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void entryIsRewrittenAndStyled_data();
    void entryIsRewrittenAndStyled();
    void emptyElementsEndWhereTheyBegin_data();
    void emptyElementsEndWhereTheyBegin();
    void scriptsInEntriesDoNotRun();
    void localFilesOtherThanStylesheetAreRefused();
    void hostileEntriesGoNowhere_data();
    void hostileEntriesGoNowhere();
    void theUsersClickOnALinkGoesThrough();
    void entryLargerThanTwoMegabytesIsShown();
    void entriesAreIgnoredOnStartPage();

private:
    bool show(const QString& html);
    QVariant eval(const QString& script);

    QTemporaryDir m_dir;
    QString m_stylesheet;
    DisplayState m_display;
    CQuorbelView* m_view = nullptr;
};

void TestEntryView::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_stylesheet = m_dir.filePath(QStringLiteral("CSS_test.css"));
    QFile source(QStringLiteral(":/verbolix.css"));
    QVERIFY(source.open(QIODevice::ReadOnly));
    QFile target(m_stylesheet);
    QVERIFY(target.open(QIODevice::WriteOnly));
    target.write(source.readAll());
    QImage picture(8, 8, QImage::Format_RGB32);
    picture.fill(Qt::red);
    QVERIFY(picture.save(m_dir.filePath(QStringLiteral("secret.png"))));
}

void TestEntryView::init()
{
    m_display = {};
    m_display.displayMode = ModeNormal;
    m_display.stylesheetPath = m_stylesheet;
    m_view = new CQuorbelView(&m_display);
    m_view->setWebsiteBase(QStringLiteral("https://www.verbolix.si"));
    m_view->resize(600, 400);
    m_view->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_view));
}

void TestEntryView::cleanup()
{
    delete m_view;
}

bool TestEntryView::show(const QString& html)
{
    QSignalSpy loaded(m_view, &QWebEngineView::loadFinished);
    m_view->ShowEntry(html);
    return loaded.wait(15000) && loaded.last().at(0).toBool();
}

// The page is read in the application's own script world, which runs even where the page's
// scripts are off.
QVariant TestEntryView::eval(const QString& script)
{
    QVariant result;
    bool done = false;
    m_view->page()->runJavaScript(script, QWebEngineScript::ApplicationWorld, [&](const QVariant& value) {
        result = value;
        done = true;
    });
    if (!QTest::qWaitFor([&] { return done; }, 10000))
        return QStringLiteral("<no answer>");
    return result;
}

void TestEntryView::entryIsRewrittenAndStyled_data()
{
    QTest::addColumn<QString>("html");
    QTest::addColumn<QString>("script");
    QTest::addColumn<QString>("expected");
    const QString entry =
        QStringLiteral("<b class=\"headword\">miza</b> <a href=\"/Search.aspx/stol\">stol</a> "
                       "<A href=\"http://127.0.0.1:1/x\">gor</A> <a\thref=\"/y\">tab</a> čšž");
    QTest::newRow("lower-case anchors become spans")
        << entry
        << QStringLiteral("document.querySelectorAll('span[href]').length + ':' + "
                          "document.querySelector('span[href]').textContent")
        << QStringLiteral("1:stol");
    QTest::newRow("search address points to the website")
        << entry << QStringLiteral("document.querySelector('span[href]').getAttribute('href')")
        << QStringLiteral("https://www.verbolix.si/Search.aspx/stol");
    QTest::newRow("upper-case and tab anchors stay anchors")
        << entry
        << QStringLiteral(
               "Array.from(document.querySelectorAll('a')).map(a => a.textContent.split(' ')[0]).join(',')")
        << QStringLiteral("gor,tab");
    QTest::newRow("text arrives as UTF-8")
        << entry << QStringLiteral("document.body.textContent.includes('čšž') ? 'yes' : 'no'")
        << QStringLiteral("yes");
    QTest::newRow("template frame")
        << entry
        << QStringLiteral(
               "document.querySelector('#page > #results > div.center > ul.left > li > b').textContent")
        << QStringLiteral("miza");
    QTest::newRow("stylesheet: list item padding")
        << entry
        << QStringLiteral("getComputedStyle(document.querySelector('#results ul.left li')).paddingBottom")
        << QStringLiteral("25px");
    QTest::newRow("stylesheet: no list markers")
        << entry
        << QStringLiteral("getComputedStyle(document.querySelector('#results ul.left')).listStyleType")
        << QStringLiteral("none");
    QTest::newRow("empty entry is an empty styled page")
        << QString()
        << QStringLiteral("document.querySelector('li').textContent.length + ':' + "
                          "getComputedStyle(document.querySelector('div.center')).marginTop")
        << QStringLiteral("0:30px");
}

void TestEntryView::entryIsRewrittenAndStyled()
{
    QFETCH(QString, html);
    QFETCH(QString, script);
    QFETCH(QString, expected);
    QVERIFY(show(html));
    QCOMPARE(eval(script).toString(), expected);
}

void TestEntryView::emptyElementsEndWhereTheyBegin_data()
{
    // The get-entry answer's html_content as the service sends it, then a question about the
    // text after the empty element.
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("script");
    QTest::addColumn<QString>("expected");

    const QString afterText = QStringLiteral("String(document.getElementById('after') && "
                                             "document.getElementById('after').textContent)");
    // Regression: written as <i/>, the empty element stayed open and the rest turned italic.
    QTest::newRow("empty i: the rest is not italic")
        << QByteArray("<b>miza</b><i/> <span id=\"after\">naprej</span>")
        << QStringLiteral("getComputedStyle(document.getElementById('after')).fontStyle")
        << QStringLiteral("normal");
    QTest::newRow("empty script: the rest is shown")
        << QByteArray("<script/><span id=\"after\">naprej</span>") << afterText << QStringLiteral("naprej");
    QTest::newRow("empty textarea: the rest is markup, not text")
        << QByteArray("<textarea/><span id=\"after\">naprej</span>") << afterText << QStringLiteral("naprej");
    QTest::newRow("void br stays one line break")
        << QByteArray("a<br/><span id=\"after\">b</span>")
        << QStringLiteral("document.querySelectorAll('li br').length + ':' + "
                          "document.getElementById('after').textContent")
        << QStringLiteral("1:b");
}

void TestEntryView::emptyElementsEndWhereTheyBegin()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, script);
    QFETCH(QString, expected);
    QVERIFY(show(readEntryAnswer("<entry><html_content>" + content + "</html_content></entry>")));
    QCOMPARE(eval(script).toString(), expected);
}

void TestEntryView::scriptsInEntriesDoNotRun()
{
    QVERIFY(show(QStringLiteral("<script>document.title = 'ran';</script>"
                                "<img src=\"nope\" onerror=\"document.title = 'handler ran'\">beseda")));
    QCOMPARE(eval(QStringLiteral("document.querySelectorAll('script').length")).toInt(), 1);
    QCOMPARE(eval(QStringLiteral("document.title")).toString(), QString());
}

void TestEntryView::localFilesOtherThanStylesheetAreRefused()
{
    const QString secret = QStringLiteral("file://") + m_dir.filePath(QStringLiteral("secret.png"));
    QVERIFY(show(QStringLiteral("<img id=\"s\" src=\"") + secret + QStringLiteral("\">")));
    QTRY_COMPARE(eval(QStringLiteral("document.getElementById('s').complete")).toBool(), true);
    QCOMPARE(eval(QStringLiteral("document.getElementById('s').naturalWidth")).toInt(), 0);
    // The stylesheet itself still loads (its rules applied above); check it is linked here too.
    QCOMPARE(eval(QStringLiteral("document.styleSheets.length")).toInt(), 1);
}

void TestEntryView::hostileEntriesGoNowhere_data()
{
    // %1 is a server that records what reaches it; "then" runs in the application's world
    // once the entry has loaded, as a stand-in for anything but the user.
    QTest::addColumn<QString>("html");
    QTest::addColumn<QString>("then");
    QTest::newRow("iframe") << QStringLiteral("<iframe src=\"%1/frame\"></iframe>beseda") << QString();
    QTest::newRow("iframe of a local file")
        << QStringLiteral("<iframe id=\"f\" src=\"file:///etc/passwd\"></iframe>beseda") << QString();
    QTest::newRow("meta refresh")
        << QStringLiteral("<meta http-equiv=\"refresh\" content=\"0; url=%1/refresh\">beseda") << QString();
    QTest::newRow("form submitted")
        << QStringLiteral("<form action=\"%1/form\"><input name=\"q\" value=\"x\"></form>beseda")
        << QStringLiteral("document.forms[0].submit()");
    QTest::newRow("form posted")
        << QStringLiteral("<form method=\"post\" action=\"%1/form\"><input name=\"q\"></form>beseda")
        << QStringLiteral("document.forms[0].requestSubmit()");
}

void TestEntryView::hostileEntriesGoNowhere()
{
    QFETCH(QString, html);
    QFETCH(QString, then);
    ScriptedServer server;
    for (const char* path : {"/frame", "/refresh", "/form"})
        server.setAnswer(QString::fromLatin1(path), "<html><body>tuje</body></html>", 200, "text/html");

    QVERIFY(show(html.arg(server.baseUrl())));
    if (!then.isEmpty())
        eval(then.arg(server.baseUrl()));
    // A refresh of 0 s or a submission would have gone out by now.
    QTest::qWait(1500);
    QCOMPARE(server.requests(), QStringList());
    QCOMPARE(m_view->url().scheme(), QString::fromLatin1(EntrySchemeHandler::Scheme));
    QVERIFY(eval(QStringLiteral("document.body.textContent")).toString().contains(QStringLiteral("beseda")));
    // Nothing of the frames' documents was read either.
    QCOMPARE(eval(QStringLiteral("Array.from(document.querySelectorAll('iframe')).map(f => "
                                 "{ try { return f.contentDocument.body.textContent; } catch (e) "
                                 "{ return ''; } }).join('')"))
                 .toString(),
             QString());
}

void TestEntryView::theUsersClickOnALinkGoesThrough()
{
    // Upper-case anchors stay anchors; a click on one by the user leaves the entry.
    ScriptedServer server;
    server.setAnswer(QStringLiteral("/page"), "<html><body>spletna stran</body></html>", 200, "text/html");
    QVERIFY(show(QStringLiteral("<A HREF=\"%1/page\" style=\"display:block;height:50px\">povezava</A>")
                     .arg(server.baseUrl())));
    const QVariantList at = eval(QStringLiteral("(r => [r.left + r.width / 2, r.top + r.height / 2])"
                                                "(document.querySelector('A').getBoundingClientRect())"))
                                .toList();
    QCOMPARE(at.size(), 2);
    QWidget* surface = m_view->focusProxy();
    QVERIFY(surface);
    QSignalSpy loaded(m_view, &QWebEngineView::loadFinished);
    const QPoint point(at.at(0).toInt(), at.at(1).toInt());
    QTest::mouseClick(surface, Qt::LeftButton, {}, point);
    QVERIFY(loaded.wait(15000));
    QCOMPARE(server.requests(QStringLiteral("/page")).size(), 1);
    QCOMPARE(m_view->url(), QUrl(server.baseUrl() + QStringLiteral("/page")));
}

void TestEntryView::entryLargerThanTwoMegabytesIsShown()
{
    const QString big =
        QStringLiteral("<p>") + QString(3 * 1024 * 1024, QLatin1Char('x')) + QStringLiteral("</p>");
    QVERIFY(show(big));
    QCOMPARE(eval(QStringLiteral("document.querySelector('li p').textContent.length")).toInt(),
             3 * 1024 * 1024);
}

void TestEntryView::entriesAreIgnoredOnStartPage()
{
    QVERIFY(show(QStringLiteral("prvo")));
    m_display.displayMode = ModeStartPage;
    QSignalSpy loads(m_view, &QWebEngineView::loadStarted);
    m_view->ShowEntry(QStringLiteral("drugo"));
    QVERIFY(!loads.wait(300));
    QVERIFY(m_view->pageHtml().contains(QStringLiteral("prvo")));
    QCOMPARE(eval(QStringLiteral("document.querySelector('li').textContent")).toString(),
             QStringLiteral("prvo"));
}

int main(int argc, char** argv)
{
    EntrySchemeHandler::RegisterScheme();
    QApplication app(argc, argv);
    TestEntryView test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_entryview.moc"
