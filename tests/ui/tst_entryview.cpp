#include "core/answerreaders.h"
#include "tests/support/scriptedserver.h"
#include "ui/search/cquorbelview.h"
#include "ui/search/displaystate.h"
#include "ui/search/entryschemehandler.h"

#include <QApplication>
#include <QFile>
#include <QImage>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <cmath>

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
    void hostileEntriesGoNowhereInPlace_data();
    void hostileEntriesGoNowhereInPlace();
    void entriesShowNoFrames_data();
    void entriesShowNoFrames();
    void theUsersClickStaysInTheEntry_data();
    void theUsersClickStaysInTheEntry();
    void clickOnCrossReferenceLooksUpItsWord_data();
    void clickOnCrossReferenceLooksUpItsWord();
    void crossReferenceIsUnderlinedUnderThePointer();
    void keyboardWalkShowsAFocusRing_data();
    void keyboardWalkShowsAFocusRing();
    void newEntryEndsTheWalk();
    void darkEntryTextReadsAtLevelAA_data();
    void darkEntryTextReadsAtLevelAA();
    void entryLargerThanTwoMegabytesIsShown();
    void entriesAreIgnoredOnStartPage();
    void entriesReplaceTheContentInOneRenderer();
    void entryShownFollowsAFrameShowingIt();
    void welcomePageOnlyFromTheWeb_data();
    void welcomePageOnlyFromTheWeb();

private:
    bool show(const QString& html);
    QVariant eval(const QString& script);
    QPoint centreOf(const QString& id);
    void goesNowhere(bool inPlace);

    QTemporaryDir m_dir;
    QString m_stylesheet;
    QString m_darkStylesheet;
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
    m_darkStylesheet = m_dir.filePath(QStringLiteral("CSS_dark.css"));
    QVERIFY(QFile::copy(QStringLiteral(":/verbolix-dark.css"), m_darkStylesheet));
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
    // Cross-references look up their word: light as before, only the pointer says so.
    QTest::newRow("cross-reference: not a link's colour (was link blue)")
        << entry
        << QStringLiteral("(s => getComputedStyle(s).color === getComputedStyle(s.parentElement).color)"
                          "(document.querySelector('span[href]'))")
        << QStringLiteral("true");
    QTest::newRow("cross-reference: emphasised text with a hand pointer")
        << entry
        << QStringLiteral("(s => [s.textDecorationLine, s.cursor, s.fontWeight].join())"
                          "(getComputedStyle(document.querySelector('span[href]')))")
        << QStringLiteral("none,pointer,700");
    QTest::newRow("other addresses: no hand pointer")
        << QStringLiteral("<a href=\"/y\">drugo</a>")
        << QStringLiteral("getComputedStyle(document.querySelector('span[href]')).cursor")
        << QStringLiteral("auto");
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
    QTest::newRow("meta refresh") << QStringLiteral(
                                         "<meta http-equiv=\"refresh\" content=\"0; url=%1/refresh\">beseda")
                                  << QString();
    QTest::newRow("form submitted")
        << QStringLiteral("<form action=\"%1/form\"><input name=\"q\" value=\"x\"></form>beseda")
        << QStringLiteral("document.forms[0].submit()");
    QTest::newRow("form posted")
        << QStringLiteral("<form method=\"post\" action=\"%1/form\"><input name=\"q\"></form>beseda")
        << QStringLiteral("document.forms[0].requestSubmit()");
}

void TestEntryView::hostileEntriesGoNowhere()
{
    goesNowhere(false);
}

// The same entries put into a page that already shows one.
void TestEntryView::hostileEntriesGoNowhereInPlace_data()
{
    hostileEntriesGoNowhere_data();
    QTest::newRow("base") << QStringLiteral("<base href=\"%1/\"><img src=\"frame\">beseda") << QString();
    QTest::newRow("object") << QStringLiteral("<object data=\"%1/frame\" type=\"text/html\"></object>beseda")
                            << QString();
}

void TestEntryView::hostileEntriesGoNowhereInPlace()
{
    goesNowhere(true);
}

void TestEntryView::goesNowhere(bool inPlace)
{
    QFETCH(QString, html);
    QFETCH(QString, then);
    ScriptedServer server;
    for (const char* path : {"/frame", "/refresh", "/form"})
        server.setAnswer(QString::fromLatin1(path), "<html><body>tuje</body></html>", 200, "text/html");

    if (inPlace)
        QVERIFY(show(QStringLiteral("prvo")));
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

// Frames of any kind are dropped from an entry, whichever way it comes in; %1 is a server
// that answers any frame.
void TestEntryView::entriesShowNoFrames_data()
{
    QTest::addColumn<QString>("html");
    QTest::addColumn<bool>("inPlace");
    const QList<QPair<const char*, QString>> entries = {
        {"iframe srcdoc (was rendered)", QStringLiteral("<iframe srcdoc=\"<p>okvir</p>\"></iframe>")},
        {"iframe", QStringLiteral("<iframe src=\"%1/frame\"></iframe>")},
        {"object", QStringLiteral("<object data=\"%1/frame\" type=\"text/html\"></object>")},
        {"embed", QStringLiteral("<embed src=\"%1/frame\" type=\"text/html\">")},
        {"frameset", QStringLiteral("<frameset><frame src=\"%1/frame\"></frameset>")},
        {"portal", QStringLiteral("<portal src=\"%1/frame\"></portal>")},
        {"inside svg", QStringLiteral("<svg><foreignObject width=\"99\" height=\"99\"><iframe "
                                      "srcdoc=\"okvir\"></iframe></foreignObject></svg>")},
        {"inside noscript", QStringLiteral("<noscript><iframe srcdoc=\"okvir\"></iframe></noscript>")},
        {"after a closing template tag", QStringLiteral("</template><iframe srcdoc=\"okvir\"></iframe>")},
        {"after a closing quote", QStringLiteral("\"></li><iframe srcdoc=\"okvir\"></iframe>")},
        {"upper case", QStringLiteral("<IFRAME SRCDOC=\"okvir\"></IFRAME>")},
    };
    for (const auto& [name, html] : entries) {
        QTest::addRow("first entry: %s", name) << html + QStringLiteral("beseda") << false;
        QTest::addRow("in place: %s", name) << html + QStringLiteral("beseda") << true;
    }
}

void TestEntryView::entriesShowNoFrames()
{
    QFETCH(QString, html);
    QFETCH(bool, inPlace);
    ScriptedServer server;
    server.setAnswer(QStringLiteral("/frame"), "<html><body>tuje</body></html>", 200, "text/html");
    if (inPlace)
        QVERIFY(show(QStringLiteral("prvo")));
    QVERIFY(show(html.arg(server.baseUrl())));
    QVERIFY(eval(QStringLiteral("document.body.textContent")).toString().contains(QStringLiteral("beseda")));
    QCOMPARE(eval(QStringLiteral("window.frames.length + ':' + document.querySelectorAll('iframe, frame, "
                                 "frameset, object, embed, portal').length"))
                 .toString(),
             QStringLiteral("0:0"));
    QCOMPARE(server.requests(), QStringList());
}

// A user's click on anything in an entry leaves the view where it is. (Upper-case anchors
// used to be followed.) %1 is a server that answers any page.
void TestEntryView::theUsersClickStaysInTheEntry_data()
{
    QTest::addColumn<QString>("html");
    const QString box = QStringLiteral("style=\"display:block;width:200px;height:50px\"");
    QTest::newRow("upper-case anchor (was followed)")
        << QStringLiteral("<A HREF=\"%1/page\" id=\"target\" %2>povezava</A>").arg(QStringLiteral("%1"), box);
    QTest::newRow("anchor with a tab (was followed)")
        << QStringLiteral("<a\thref=\"%1/page\" id=\"target\" %2>povezava</a>")
               .arg(QStringLiteral("%1"), box);
    QTest::newRow("area of an image map (was followed)") << QStringLiteral(
        "<map name=\"m\"><area shape=\"rect\" coords=\"0,0,200,50\" href=\"%1/page\"></map>"
        "<img id=\"target\" usemap=\"#m\" width=\"200\" height=\"50\" "
        "src=\"data:image/gif;base64,R0lGODlhAQABAIAAAP///wAAACH5BAEAAAAALAAAAAABAAEAAAICRAEAOw==\">");
    QTest::newRow("svg anchor") << QStringLiteral(
        "<svg id=\"target\" width=\"200\" height=\"50\"><a href=\"%1/page\"><rect width=\"200\" "
        "height=\"50\" fill=\"blue\"/></a></svg>");
    QTest::newRow("form button")
        << QStringLiteral("<form action=\"%1/page\"><button id=\"target\" %2>pošlji</button></form>")
               .arg(QStringLiteral("%1"), box);
    QTest::newRow("javascript: address")
        << QStringLiteral("<A HREF=\"javascript:document.title='ran'\" id=\"target\" %2>povezava</A>")
               .arg(QStringLiteral("%1"), box);
}

void TestEntryView::theUsersClickStaysInTheEntry()
{
    QFETCH(QString, html);
    ScriptedServer server;
    server.setAnswer(QStringLiteral("/page"), "<html><body>spletna stran</body></html>", 200, "text/html");
    QVERIFY(show(html.arg(server.baseUrl()) + QStringLiteral("beseda")));
    const QVariantList at =
        eval(QStringLiteral("(r => [r.left + r.width / 2, r.top + r.height / 2])"
                            "(document.getElementById('target').getBoundingClientRect())"))
            .toList();
    QCOMPARE(at.size(), 2);
    QWidget* surface = m_view->focusProxy();
    QVERIFY(surface);
    const QUrl before = m_view->url();
    QTest::mouseClick(surface, Qt::LeftButton, {}, QPoint(at.at(0).toInt(), at.at(1).toInt()));
    // A followed link would have reached the server by now.
    QVERIFY(!QTest::qWaitFor([&] { return !server.requests().isEmpty() || m_view->url() != before; }, 1500));
    QCOMPARE(server.requests(), QStringList());
    QCOMPARE(m_view->url(), before);
    QVERIFY(eval(QStringLiteral("document.body.textContent")).toString().contains(QStringLiteral("beseda")));
    QCOMPARE(eval(QStringLiteral("document.title")).toString(), QString());
}

QPoint TestEntryView::centreOf(const QString& id)
{
    const QVariantList at = eval(QStringLiteral("(r => [r.left + r.width / 2, r.top + r.height / 2])"
                                                "(document.getElementById('%1').getBoundingClientRect())")
                                     .arg(id))
                                .toList();
    return at.size() == 2 ? QPoint(at.at(0).toInt(), at.at(1).toInt()) : QPoint(-1, -1);
}

// "target" is what the user clicks; every anchor has a handler that would give itself away.
void TestEntryView::clickOnCrossReferenceLooksUpItsWord_data()
{
    QTest::addColumn<QString>("html");
    QTest::addColumn<QString>("word"); // empty: nothing is looked up
    const QString ran = QStringLiteral("onclick=\"document.title='ran'\"");
    QTest::newRow("plain word")
        << QStringLiteral("<a href=\"/Search.aspx/stol\" id=\"target\" %1>stol</a>").arg(ran)
        << QStringLiteral("stol");
    QTest::newRow("percent-encoded UTF-8 with a space")
        << QStringLiteral("<a href=\"/Search.aspx/%C4%8Drn%20kruh\" id=\"target\" %1>črn kruh</a>").arg(ran)
        << QStringLiteral("črn kruh");
    QTest::newRow("element inside the cross-reference")
        << QStringLiteral("<a href=\"/Search.aspx/miza\" %1><i id=\"target\">miza</i></a>").arg(ran)
        << QStringLiteral("miza");
    QTest::newRow("text beside a cross-reference")
        << QStringLiteral("<span id=\"target\">besedilo</span> <a href=\"/Search.aspx/miza\" %1>miza</a>")
               .arg(ran)
        << QString();
    QTest::newRow("other address")
        << QStringLiteral("<a href=\"/Drugo.aspx/miza\" id=\"target\" %1>miza</a>").arg(ran) << QString();
    QTest::newRow("upper-case anchor stays inert")
        << QStringLiteral("<A HREF=\"/Search.aspx/miza\" id=\"target\" %1>miza</A>").arg(ran) << QString();
}

void TestEntryView::clickOnCrossReferenceLooksUpItsWord()
{
    QFETCH(QString, html);
    QFETCH(QString, word);
    QVERIFY(show(QStringLiteral("<p>prvo</p>") + html));
    const QPoint at = centreOf(QStringLiteral("target"));
    QVERIFY(at.x() >= 0);
    QWidget* surface = m_view->focusProxy();
    QVERIFY(surface);
    const QUrl before = m_view->url();
    QSignalSpy looked(m_view, &CQuorbelView::crossReferenceActivated);
    QTest::mouseClick(surface, Qt::LeftButton, {}, at);
    // The view's scripts run in order: once this one answers, the click's has.
    QCOMPARE(eval(QStringLiteral("1")).toInt(), 1);
    if (word.isEmpty()) {
        QCOMPARE(looked.count(), 0);
    } else {
        QTRY_COMPARE(looked.count(), 1);
        QCOMPARE(looked.at(0).at(0).toString(), word);
    }
    QCOMPARE(m_view->url(), before);
    QCOMPARE(eval(QStringLiteral("document.title")).toString(), QString());
    QVERIFY(eval(QStringLiteral("document.body.textContent")).toString().contains(QStringLiteral("prvo")));
}

void TestEntryView::crossReferenceIsUnderlinedUnderThePointer()
{
    QVERIFY(show(QStringLiteral("<p>prvo</p><a href=\"/Search.aspx/stol\" id=\"target\">stol</a>")));
    const QPoint at = centreOf(QStringLiteral("target"));
    QVERIFY(at.x() >= 0);
    const QString line =
        QStringLiteral("getComputedStyle(document.getElementById('target')).textDecorationLine");
    QCOMPARE(eval(line).toString(), QStringLiteral("none"));
    QTest::mouseMove(m_view->focusProxy(), at);
    QTRY_COMPARE(eval(line).toString(), QStringLiteral("underline"));
}

namespace {
// The contrast ratio of two CSS colours ("rgb(r, g, b)") as WCAG 2 defines it.
double contrastRatio(const QString& one, const QString& other)
{
    const auto luminance = [](const QString& css) {
        const QStringList parts = css.section(u'(', 1).section(u')', 0, 0).split(u',');
        if (parts.size() < 3)
            return -1.0;
        double sum = 0;
        const double weights[] = {0.2126, 0.7152, 0.0722};
        for (int i = 0; i < 3; ++i) {
            const double c = parts.at(i).trimmed().toDouble() / 255.0;
            sum += weights[i] * (c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4));
        }
        return sum;
    };
    const double a = luminance(one), b = luminance(other);
    if (a < 0 || b < 0)
        return 0;
    return (qMax(a, b) + 0.05) / (qMin(a, b) + 0.05);
}

const QString bodyBackground = QStringLiteral("getComputedStyle(document.body).backgroundColor");
} // namespace

void TestEntryView::keyboardWalkShowsAFocusRing_data()
{
    QTest::addColumn<bool>("dark");
    QTest::newRow("light") << false;
    QTest::newRow("dark") << true;
}

// The cross-reference the keyboard is on, and only that one, has a ring that stands out from
// the page (3:1, as WCAG asks of a focus indicator); Space looks it up.
void TestEntryView::keyboardWalkShowsAFocusRing()
{
    QFETCH(bool, dark);
    m_display.dark = dark;
    m_display.darkStylesheetPath = m_darkStylesheet;
    m_view->ColourSchemeChanged();
    QVERIFY(show(QStringLiteral("<p>glej <a href=\"/Search.aspx/miza\" id=\"first\">miza</a> in "
                                "<a href=\"/Search.aspx/stol\" id=\"second\">stol</a></p>")));
    QCOMPARE(eval(QStringLiteral("document.documentElement.className")).toString(),
             dark ? QStringLiteral("dark") : QString());
    const QString ring = QStringLiteral("(s => [s.outlineStyle, s.outlineWidth, s.outlineColor].join(' | '))"
                                        "(getComputedStyle(document.getElementById('%1')))");
    QVERIFY(eval(ring.arg(u"first")).toString().startsWith(u"none"));
    QSignalSpy looked(m_view, &CQuorbelView::crossReferenceActivated);

    m_view->WalkCrossReferences();
    QTRY_VERIFY(m_view->focusProxy()->hasFocus());
    QTRY_COMPARE(eval(QStringLiteral("document.activeElement.id")).toString(), QStringLiteral("first"));
    QTest::keyClick(m_view->focusProxy(), Qt::Key_Tab);
    QTRY_COMPARE(eval(QStringLiteral("document.activeElement.id")).toString(), QStringLiteral("second"));
    const QStringList shown = eval(ring.arg(u"second")).toString().split(QStringLiteral(" | "));
    QCOMPARE(shown.size(), 3);
    QCOMPARE(shown.at(0), QStringLiteral("solid"));
    QCOMPARE(shown.at(1), QStringLiteral("2px"));
    const QString background = eval(bodyBackground).toString();
    QVERIFY2(contrastRatio(shown.at(2), background) >= 3.0, qPrintable(shown.at(2) + u" on " + background));
    QVERIFY(eval(ring.arg(u"first")).toString().startsWith(u"none"));

    QTest::keyClick(m_view->focusProxy(), Qt::Key_Space);
    QTRY_COMPARE(looked.count(), 1);
    QCOMPARE(looked.at(0).at(0).toString(), QStringLiteral("stol"));
    QVERIFY(!m_view->walkingCrossReferences());
    QTRY_VERIFY(eval(ring.arg(u"second")).toString().startsWith(u"none"));
}

// Fault: an entry shown during the walk (a look-up from the clipboard, a step back) left the
// walk on, and the keys stayed in a page where nothing had the focus.
void TestEntryView::newEntryEndsTheWalk()
{
    QVERIFY(show(QStringLiteral("<p>glej <a href=\"/Search.aspx/miza\" id=\"first\">miza</a></p>")));
    QSignalSpy ended(m_view, &CQuorbelView::walkEnded);
    m_view->WalkCrossReferences();
    QTRY_COMPARE(eval(QStringLiteral("document.activeElement.id")).toString(), QStringLiteral("first"));
    QVERIFY(show(QStringLiteral("<p>glej <a href=\"/Search.aspx/stol\" id=\"other\">stol</a></p>")));
    QVERIFY(!m_view->walkingCrossReferences());
    QCOMPARE(ended.count(), 1);
    QCOMPARE(eval(QStringLiteral("document.querySelectorAll('[tabindex]').length")).toInt(), 0);
}

void TestEntryView::darkEntryTextReadsAtLevelAA_data()
{
    QTest::addColumn<QString>("html"); // the element "t" is the text read
    for (const char* name : {"headword", "pronunciation", "grammar", "number", "definition", "example",
                             "translation", "source", "label"}) {
        const QString kind = QString::fromLatin1(name);
        QTest::newRow(name) << QStringLiteral("<span class=\"%1\" id=\"t\">besedilo</span>").arg(kind);
    }
    QTest::newRow("plain text") << QStringLiteral("<span id=\"t\">besedilo</span>");
    QTest::newRow("cross-reference") << QStringLiteral("<a href=\"/Search.aspx/miza\" id=\"t\">miza</a>");
    QTest::newRow("grammar inside the headword")
        << QStringLiteral("<p class=\"headword\">miza <span class=\"grammar\" id=\"t\">sam.</span></p>");
}

// Every text of a dark entry reads at 4.5:1 or more on the page's background.
void TestEntryView::darkEntryTextReadsAtLevelAA()
{
    QFETCH(QString, html);
    m_display.dark = true;
    m_display.darkStylesheetPath = m_darkStylesheet;
    m_view->ColourSchemeChanged();
    QVERIFY(show(html));
    const QString background = eval(bodyBackground).toString();
    QCOMPARE(background, QStringLiteral("rgb(30, 31, 34)")); // the dark stylesheet came in
    const QString text =
        eval(QStringLiteral("getComputedStyle(document.getElementById('t')).color")).toString();
    QVERIFY2(contrastRatio(text, background) >= 4.5, qPrintable(text + u" on " + background));
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

// Entries used to be navigations to a new address each, every one in a renderer process of
// its own; now the template stays and its content is replaced.
void TestEntryView::entriesReplaceTheContentInOneRenderer()
{
    const QString tall = QStringLiteral("<p style=\"height:5000px\">%1</p>");
    QVERIFY(show(tall.arg(QStringLiteral("prvo"))));
    const qint64 renderer = m_view->page()->renderProcessPid();
    QVERIFY(renderer > 0);
    const QUrl address = m_view->url();
    QSignalSpy navigations(m_view, &QWebEngineView::loadStarted);
    for (const QString& word :
         {QStringLiteral("drugo"), QStringLiteral("tretje"), QStringLiteral("četrto")}) {
        eval(QStringLiteral("window.scrollTo(0, 3000)"));
        QTRY_COMPARE(eval(QStringLiteral("window.scrollY")).toInt(), 3000);
        QVERIFY(show(tall.arg(word)));
        QCOMPARE(eval(QStringLiteral("document.querySelector('li').textContent")).toString(), word);
        // A new entry is read from its top.
        QCOMPARE(eval(QStringLiteral("window.scrollY")).toInt(), 0);
        QCOMPARE(m_view->page()->renderProcessPid(), renderer);
    }
    QCOMPARE(navigations.count(), 0);
    QCOMPARE(m_view->url(), address);
}

// entryShown() comes once the entry is drawn: what the view shows then is the entry, both
// for the first entry (the template's load) and for the next (in place).
void TestEntryView::entryShownFollowsAFrameShowingIt()
{
    QSignalSpy shown(m_view, &CQuorbelView::entryShown);
    for (const QColor& colour : {QColor(Qt::green), QColor(Qt::blue), QColor(Qt::red)}) {
        shown.clear();
        m_view->ShowEntry(
            QStringLiteral("<div style=\"position:fixed;inset:0;background:%1\"></div>").arg(colour.name()));
        QVERIFY(shown.wait(15000));
        const QImage frame = m_view->grab().toImage();
        QCOMPARE(frame.pixelColor(frame.rect().center()), colour);
    }
}

void TestEntryView::welcomePageOnlyFromTheWeb_data()
{
    // %1 is a server with the welcome page.
    QTest::addColumn<QString>("address");
    QTest::addColumn<bool>("shown");
    QTest::newRow("http") << QStringLiteral("%1/welcome") << true;
    QTest::newRow("javascript: (ran its script)")
        << QStringLiteral("javascript:document.title='ran'") << false;
    QTest::newRow("data: (ran its script)")
        << QStringLiteral("data:text/html,<script>document.title='ran'</script>") << false;
    QTest::newRow("file") << QStringLiteral("file:///etc/hostname") << false;
    QTest::newRow("the entries' own scheme") << QStringLiteral("verbolix-entry:/entry") << false;
    QTest::newRow("about:blank") << QStringLiteral("about:blank") << false;
    QTest::newRow("ftp") << QStringLiteral("ftp://127.0.0.1/welcome") << false;
    QTest::newRow("http without a host") << QStringLiteral("http:/welcome") << false;
}

// Any other welcome page leaves the view as if the server had named none.
void TestEntryView::welcomePageOnlyFromTheWeb()
{
    QFETCH(QString, address);
    QFETCH(bool, shown);
    ScriptedServer server;
    server.setAnswer(QStringLiteral("/welcome"), "<html><body><p>Dobrodošli</p></body></html>", 200,
                     "text/html; charset=utf-8");
    m_display.displayMode = ModeStarting;
    m_display.startPageUrl = QString(address).replace(QStringLiteral("%1"), server.baseUrl());
    m_view->OnInitialUpdate();
    // The main window sets the mode, by the same rule.
    QCOMPARE(CQuorbelView::IsWelcomePageAddress(m_display.startPageUrl), shown);
    m_display.displayMode = shown ? ModeStartPage : ModeNormal;
    if (shown) {
        QTRY_COMPARE_WITH_TIMEOUT(m_view->url().path(), QStringLiteral("/welcome"), 15000);
        // The user acts: entries follow the welcome page.
        m_display.displayMode = ModeNormal;
        m_view->ShowEntry(QStringLiteral("beseda"));
        QTRY_COMPARE_WITH_TIMEOUT(
            eval(QStringLiteral("document.querySelector('#results li') ? "
                                "document.querySelector('#results li').textContent : ''"))
                .toString(),
            QStringLiteral("beseda"), 15000);
        return;
    }
    QVERIFY(show(QStringLiteral("beseda")));
    QCOMPARE(eval(QStringLiteral("document.querySelector('li').textContent")).toString(),
             QStringLiteral("beseda"));
    QCOMPARE(eval(QStringLiteral("document.title")).toString(), QString());
    QCOMPARE(server.requests(), QStringList());
}

int main(int argc, char** argv)
{
    EntrySchemeHandler::RegisterScheme();
    QApplication app(argc, argv);
    TestEntryView test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_entryview.moc"
