// The window in the desktop's colour scheme: a dark palette gives the entries the dark
// stylesheet and darkens the list and the caption bar; the light one brings back the page
// as it always was.
#include "app/cmainframe.h"
#include "app/cquorbelapp.h"
#include "app/mycmfccaptionbar.h"
#include "tests/support/framesettle.h"
#include "tests/support/pagevalue.h"
#include "tests/support/scripteddictionaryservice.h"
#include "tests/support/scriptedserver.h"
#include "tests/support/tempconfig.h"
#include "ui/search/cinfinitelistview.h"
#include "ui/search/cquorbelview.h"

#include <QApplication>
#include <QPalette>
#include <QTest>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <memory>
#include <utility>

using namespace Qt::StringLiterals;

class TestColourScheme : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void darkPaletteGivesTheDarkStylesheet_data();
    void darkPaletteGivesTheDarkStylesheet();

private:
    QString pageValue(const QString& script);
    std::unique_ptr<TempConfig> m_config;
    std::unique_ptr<ScriptedServer> m_server;
    std::unique_ptr<ScriptedDictionaryService> m_service;
    std::unique_ptr<CMainFrame> m_frame;
    QPalette m_light;
};

namespace {
// A desktop's dark scheme as Qt gets it: light text on dark window and base.
QPalette darkPalette()
{
    QPalette dark;
    dark.setColor(QPalette::Window, QColor(0x30, 0x30, 0x30));
    dark.setColor(QPalette::WindowText, QColor(0xee, 0xee, 0xee));
    dark.setColor(QPalette::Base, QColor(0x24, 0x24, 0x24));
    dark.setColor(QPalette::Text, QColor(0xf0, 0xf0, 0xf0));
    dark.setColor(QPalette::Button, QColor(0x3a, 0x3a, 0x3a));
    dark.setColor(QPalette::ButtonText, QColor(0xee, 0xee, 0xee));
    dark.setColor(QPalette::Highlight, QColor(0x2f, 0x5f, 0x9e));
    dark.setColor(QPalette::HighlightedText, Qt::white);
    return dark;
}

// What the stylesheets make of the page: the class on <html>, body text and background, the
// stylesheets that came in and the entry itself.
const QString pageLook =
    u"[document.documentElement.className, getComputedStyle(document.body).color,"
    " getComputedStyle(document.body).backgroundColor, document.styleSheets.length,"
    " document.querySelector('#results li').textContent.startsWith('vnos ')].join(' | ')"_s;
// The lightest and the darkest lightness of the second row on show (the first has the outline
// of the current row) as the list draws it.
std::pair<int, int> inkOfSecondRow(CInfiniteListView* list)
{
    const QModelIndex first = list->indexAt(QPoint(30, 2));
    const QModelIndex second = list->indexAt(QPoint(30, list->visualRect(first).bottom() + 3));
    const QImage image = list->viewport()->grab().toImage();
    // Right of the icon, inside the row's outline.
    const QRect rect = list->visualRect(second).adjusted(24, 2, -2, -2).intersected(image.rect());
    int lightest = 0, darkest = 255;
    for (int y = rect.top(); y <= rect.bottom(); ++y) {
        for (int x = rect.left(); x <= rect.right(); ++x) {
            const int lightness = image.pixelColor(x, y).lightness();
            lightest = qMax(lightest, lightness);
            darkest = qMin(darkest, lightness);
        }
    }
    return {lightest, darkest};
}

const QString lightLook = u" | rgb(0, 0, 0) | rgb(255, 255, 255) | 1 | true"_s;
const QString darkLook = u"dark | rgb(232, 232, 232) | rgb(30, 31, 34) | 2 | true"_s;
} // namespace

void TestColourScheme::init()
{
    m_light = QApplication::palette();
    m_config = std::make_unique<TempConfig>();
    m_server = std::make_unique<ScriptedServer>();
    m_service = std::make_unique<ScriptedDictionaryService>(*m_server);
    // Few hits, so that the list shows its base below the last row.
    m_service->total = 3;
    m_service->relativeIndex = 1;
    qputenv("VERBOLIX_API_BASE", m_server->baseUrl().toUtf8());
}

void TestColourScheme::cleanup()
{
    m_frame.reset();
    QApplication::setPalette(m_light);
    m_service.reset();
    m_server.reset();
    qunsetenv("VERBOLIX_API_BASE");
    m_config.reset();
}

QString TestColourScheme::pageValue(const QString& script)
{
    return ::pageValue(m_frame->entryView()->page(), script);
}

void TestColourScheme::darkPaletteGivesTheDarkStylesheet_data()
{
    QTest::addColumn<bool>("darkAtStart");
    QTest::addColumn<bool>("eachWidget"); // the theme also gives every widget the palette itself
    QTest::newRow("turns dark while running, then light again") << false << false;
    QTest::newRow("dark from the start, then light") << true << false;
    // As qt6ct does: the list's viewport stayed on the scheme's own base (was grey on return).
    QTest::newRow("a theme that sets every widget's palette") << false << true;
}

void TestColourScheme::darkPaletteGivesTheDarkStylesheet()
{
    QFETCH(bool, darkAtStart);
    QFETCH(bool, eachWidget);
    const auto setScheme = [eachWidget](const QPalette& palette) {
        QApplication::setPalette(palette);
        if (eachWidget) {
            for (QWidget* widget : QApplication::allWidgets())
                widget->setPalette(palette);
        }
    };
    if (darkAtStart)
        QApplication::setPalette(darkPalette());
    m_frame = std::make_unique<CMainFrame>();
    QCOMPARE(m_frame->Create(), 0);
    m_frame->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_frame.get()));
    QVERIFY(waitUntilSettled(*m_frame));
    CQuorbelView* view = m_frame->entryView();
    MyCMFCCaptionBar* bar = m_frame->captionBar();
    CInfiniteListView* list = m_frame->hitList();
    QTRY_VERIFY_WITH_TIMEOUT(pageValue(u"document.querySelector('#results li b') !== null"_s) == u"true",
                             15000);

    QString lightPage;
    if (!darkAtStart) {
        QTRY_COMPARE(pageValue(pageLook), lightLook);
        QCOMPARE(list->palette().color(QPalette::Base), QColor(Qt::white));
        QVERIFY(inkOfSecondRow(list).second < 60); // black headwords on white
        lightPage = view->pageHtml();
        setScheme(darkPalette());
    }
    QTRY_COMPARE_WITH_TIMEOUT(pageValue(pageLook), darkLook, 15000);
    const QString darkPage = view->pageHtml();
    QVERIFY2(darkPage.startsWith(u"<HTML class=\"dark\"><head>"_s), qPrintable(darkPage.left(200)));
    QCOMPARE(list->palette().color(QPalette::Base), darkPalette().color(QPalette::Base));
    // The palette's light text on its dark base, not black on it.
    QCOMPARE(inkOfSecondRow(list).second, darkPalette().color(QPalette::Base).lightness());
    QVERIFY(inkOfSecondRow(list).first > 200);
    QCOMPARE(bar->grab().toImage().pixelColor(2, 2), QColor(43, 45, 49));

    // Back to light: the page is the light one, byte for byte what a light start builds.
    // A light scheme whose base is not white: the rows stay on white, as they always were.
    QPalette light = m_light;
    light.setColor(QPalette::Base, QColor(0xc8, 0xc8, 0xc8));
    setScheme(light);
    QTRY_COMPARE_WITH_TIMEOUT(pageValue(pageLook), lightLook, 15000);
    const QString sheet = pageValue(u"document.styleSheets[0].href"_s);
    QVERIFY2(sheet.startsWith(u"file:///"_s), qPrintable(sheet));
    const QString lightStart =
        u"<HTML><head><link type=\"text/css\" rel=\"stylesheet\" href=\""_s + sheet +
        u"\" /></head><BODY><div id=\"page\"><div id=\"results\"><div class=\"center\">"
        "<ul class=\"left\"><li>"_s;
    QVERIFY2(view->pageHtml().startsWith(lightStart), qPrintable(view->pageHtml().left(300)));
    if (!darkAtStart)
        QCOMPARE(view->pageHtml(), lightPage);
    QCOMPARE(list->palette().color(QPalette::Base), QColor(Qt::white));
    const QImage rows = list->viewport()->grab().toImage();
    QCOMPARE(rows.pixelColor(rows.width() / 2, rows.height() - 2), QColor(Qt::white)); // below the last row
    QCOMPARE(bar->grab().toImage().pixelColor(2, 2), QColor(222, 222, 222));
}

int main(int argc, char** argv)
{
    qputenv("VERBOLIX_NO_SPLASH", "1");
    CQuorbelApp::PrepareProcess();
    CQuorbelApp app(argc, argv);
    TestColourScheme test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_colourscheme.moc"
