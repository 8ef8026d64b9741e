#include "app/cmainframe.h"
#include "core/apiconfig.h"
#include "filters/editor/cmydalogslovarji.h"
#include "filters/editor/mycchecklistbox.h"
#include "app/mytoolbar.h"
#include "tests/support/framesettle.h"
#include "tests/support/scriptedserver.h"
#include "core/settings.h"
#include "tests/support/tempconfig.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDesktopServices>
#include <QPushButton>
#include <QSettings>
#include <QTest>
#include <QTimer>
#include <QUrlQuery>
#include <functional>
#include <memory>

// The editor run from the program's own window: the toolbar button, the start-up path for an
// unset temporary filter, and the search that follows, as the service receives it.
class TestMainFrameEditor : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void editorFromTheWindow_data();
    void editorFromTheWindow();
    void helpPagesAreOnTheMakersSite();

private:
    QList<int> lastSearchIds() const;

    std::unique_ptr<TempConfig> m_config;
    std::unique_ptr<ScriptedServer> m_server;
};

namespace {
const char dictionaryList[] = R"(<dictionaries>
<dictionary><id>70</id><name>Slovar slovenskega knjižnega jezika</name><author>ZRC SAZU</author><type>1</type><lingualism>1</lingualism><language>sl</language></dictionary>
<dictionary><id>58</id><name>Angleško-slovenski slovar</name><author>Grad</author><type>1</type><lingualism>2</lingualism><language>en</language><language>sl</language></dictionary>
<dictionary><id>33</id><name>Nemško-slovenski slovar</name><author>Debenjak</author><type>1</type><lingualism>2</lingualism><language>de</language><language>sl</language></dictionary>
</dictionaries>)";

// Keeps the addresses the program hands to the desktop instead of opening them.
class UrlRecorder : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void open(const QUrl& url) { opened.append(url); }
};

void whenEditorOpens(std::function<void(CMyDalogSlovarji*)> action)
{
    auto* poll = new QTimer;
    poll->setInterval(10);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, action] {
        auto* editor = qobject_cast<CMyDalogSlovarji*>(QApplication::activeModalWidget());
        if (!editor || !editor->isVisible())
            return;
        poll->stop();
        poll->deleteLater();
        action(editor);
    });
    poll->start();
}
} // namespace

void TestMainFrameEditor::init()
{
    m_config = std::make_unique<TempConfig>();
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_config->dir());
    m_server = std::make_unique<ScriptedServer>();
    m_server->setAnswer(QStringLiteral("/1.0/dictionary/list"), QByteArray(dictionaryList));
    m_server->setAnswer(QStringLiteral("/1.0/search"), QByteArray("<result><total>0</total></result>"));
    qputenv("VERBOLIX_API_BASE", m_server->baseUrl().toUtf8());
}

void TestMainFrameEditor::cleanup()
{
    m_server.reset();
    m_config.reset();
}

QList<int> TestMainFrameEditor::lastSearchIds() const
{
    const QStringList searches = m_server->requests(QStringLiteral("/1.0/search"));
    QList<int> ids;
    if (searches.isEmpty())
        return ids;
    const QUrlQuery query(searches.last().section(QLatin1Char('?'), 1));
    for (const QString& value : query.allQueryItemValues(QStringLiteral("dictionaryId")))
        ids << value.toInt();
    return ids;
}

void TestMainFrameEditor::editorFromTheWindow_data()
{
    QTest::addColumn<bool>("atStart");
    QTest::addColumn<bool>("save");
    QTest::addColumn<int>("current");
    QTest::addColumn<QList<int>>("ids");

    // The editor opens on "Začasni filter"; 33 is ticked into it.
    QTest::newRow("toolbar button, Shrani") << false << true << 1 << QList<int>{33};
    QTest::newRow("toolbar button, Zapri") << false << false << 0 << QList<int>{};
    QTest::newRow("start-up with the temporary filter unset, Shrani") << true << true << 1 << QList<int>{33};
}

void TestMainFrameEditor::editorFromTheWindow()
{
    QFETCH(bool, atStart);
    QFETCH(bool, save);
    QFETCH(int, current);
    QFETCH(QList<int>, ids);

    if (atStart) {
        // Not the first run, and the temporary filter (position 1) is current.
        Settings::Write(Setting::FirstRun, 1);
        Settings::Write(Setting::TrenutniFilter, 1);
    }
    CMainFrame frame;
    bool windowShownBefore = true;
    auto edit = [&](CMyDalogSlovarji* editor) {
        windowShownBefore = frame.isVisible();
        auto* shown = qobject_cast<MyCCheckListBox*>(editor->Control(CMyDalogSlovarji::ShownList));
        for (int row = 0; row < editor->m_prikazani.size(); ++row) {
            if (editor->m_prikazani.at(row).id == 33)
                shown->ToggleRow(row);
        }
        QCoreApplication::sendPostedEvents();
        qobject_cast<QPushButton*>(editor->Control(save ? CMyDalogSlovarji::Save : CMyDalogSlovarji::Close))
            ->click();
    };
    if (atStart)
        whenEditorOpens(edit);
    QCOMPARE(frame.Create(), 0);
    QVERIFY(waitUntilSettled(frame));
    if (!atStart) {
        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame));
        QCoreApplication::processEvents();
        QVERIFY(waitUntilSettled(frame));
        m_server->clearRequests();
        whenEditorOpens(edit);
        frame.toolbar()->filterEditorAction()->trigger();
        QVERIFY(waitUntilSettled(frame));
    }

    QCOMPARE(windowShownBefore, !atStart);
    QCOMPARE(Settings::Read(Setting::TrenutniFilter), current);
    QCOMPARE(frame.toolbar()->filterCombo()->currentIndex(), current);
    QCOMPARE(lastSearchIds(), ids);
    if (!atStart) {
        // The editor's search and the one after it (with the hit list's own page requests),
        // all with the new selection.
        const QStringList searches = m_server->requests(QStringLiteral("/1.0/search"));
        QVERIFY(searches.size() >= 2);
        for (const QString& target : searches) {
            QList<int> sent;
            for (const QString& value : QUrlQuery(target.section(QLatin1Char('?'), 1))
                                            .allQueryItemValues(QStringLiteral("dictionaryId")))
                sent << value.toInt();
            QCOMPARE(sent, ids);
        }
    }
}

void TestMainFrameEditor::helpPagesAreOnTheMakersSite()
{
    UrlRecorder urls;
    for (const char* scheme : {"http", "https"})
        QDesktopServices::setUrlHandler(QLatin1String(scheme), &urls, "open");
    CMainFrame frame;
    QCOMPARE(frame.Create(), 0);
    frame.toolbar()->helpAction()->trigger();
    whenEditorOpens([](CMyDalogSlovarji* editor) {
        qobject_cast<QPushButton*>(editor->Control(CMyDalogSlovarji::Help))->click();
        qobject_cast<QPushButton*>(editor->Control(CMyDalogSlovarji::Close))->click();
    });
    frame.toolbar()->filterEditorAction()->trigger();
    for (const char* scheme : {"http", "https"})
        QDesktopServices::unsetUrlHandler(QLatin1String(scheme));

    QCOMPARE(urls.opened.size(), 2);
    const QUrl mainHelp = urls.opened.at(0);
    const QUrl filterHelp = urls.opened.at(1);
    QCOMPARE(mainHelp.path(), QStringLiteral("/Verbolix-pomoc"));
    QVERIFY(mainHelp.fragment().isEmpty());
    // Regression: the editor's page was looked for on the service's website.
    QCOMPARE(filterHelp.adjusted(QUrl::RemovePath | QUrl::RemoveFragment),
             mainHelp.adjusted(QUrl::RemovePath | QUrl::RemoveFragment));
    QVERIFY(filterHelp.host() != QUrl(WebsiteUrl()).host());
    QCOMPARE(filterHelp.path(), QStringLiteral("/verbolix-pomoc"));
    QCOMPARE(filterHelp.fragment(), QStringLiteral("filtri"));
}

QTEST_MAIN(TestMainFrameEditor)
#include "tst_mainframeeditor.moc"
