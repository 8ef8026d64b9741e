#include "cquorbelview.h"
#include "displaystate.h"
#include "entryschemehandler.h"

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
    void scriptsInEntriesDoNotRun();
    void localFilesOtherThanStylesheetAreRefused();
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
