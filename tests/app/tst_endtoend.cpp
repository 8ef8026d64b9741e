#include "ui/search/cinfinitelistview.h"
#include "app/cmainframe.h"
#include "app/cquorbelapp.h"
#include "ui/search/cquorbelview.h"
#include "ui/search/hitdelegate.h"
#include "ui/search/iskalnooknoinseznam.h"
#include "app/mycmfccaptionbar.h"
#include "ui/search/staticstevilorezultatov.h"
#include "tests/support/framesettle.h"
#include "tests/support/tempconfig.h"
#include "ui/search/vnosnooknoiztocnica.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <memory>

// The program against the project's own dictionary service, as a user runs it.
class TestEndToEnd : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void wordAndEnterShowTheStyledEntry();
    void syntheticListScrollsEndToEnd();
    void stylesheetFileGoesWhenTerminated();

private:
    bool startService(const QStringList& arguments);
    void startFrame();
    QString eval(const QString& script);

    std::unique_ptr<TempConfig> m_config;
    std::unique_ptr<QProcess> m_service;
    std::unique_ptr<CMainFrame> m_frame;
};

void TestEndToEnd::init()
{
    m_config = std::make_unique<TempConfig>();
}

void TestEndToEnd::cleanup()
{
    m_frame.reset();
    if (m_service) {
        m_service->kill();
        m_service->waitForFinished();
        m_service.reset();
    }
    qunsetenv("VERBOLIX_API_BASE");
    m_config.reset();
}

bool TestEndToEnd::startService(const QStringList& arguments)
{
    m_service = std::make_unique<QProcess>();
    m_service->start(qEnvironmentVariable("VERBOLIX_SERVICE"),
                     QStringList{QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--no-discovery")} +
                         arguments); // the sample only, whatever the machine has installed
    if (!m_service->waitForStarted(10000))
        return false;
    QByteArray out;
    while (!out.contains('\n')) {
        if (!m_service->waitForReadyRead(15000))
            return false;
        out += m_service->readAllStandardOutput();
    }
    const QByteArray line = out.left(out.indexOf('\n')).trimmed();
    if (!line.startsWith("listening on "))
        return false;
    qputenv("VERBOLIX_API_BASE", line.mid(int(qstrlen("listening on "))));
    return true;
}

void TestEndToEnd::startFrame()
{
    m_frame = std::make_unique<CMainFrame>();
    QCOMPARE(m_frame->Create(), 0);
    m_frame->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_frame.get()));
    QVERIFY(waitUntilSettled(*m_frame));
}

QString TestEndToEnd::eval(const QString& script)
{
    QString result = QStringLiteral("<no answer>");
    bool done = false;
    m_frame->entryView()->page()->runJavaScript(script, QWebEngineScript::ApplicationWorld,
                                                [&](const QVariant& v) {
                                                    result = v.toString();
                                                    done = true;
                                                });
    (void)QTest::qWaitFor([&] { return done; }, 5000);
    return result;
}

void TestEndToEnd::wordAndEnterShowTheStyledEntry()
{
    QVERIFY(startService({}));
    startFrame();
    VnosnoOknoIztocnica* box = m_frame->headwordBox();
    box->setText(QStringLiteral("abeceda"));
    QTest::keyClick(box, Qt::Key_Return);
    QVERIFY(waitUntilSettled(*m_frame));

    const QString count = m_frame->searchPane()->countLabel()->text();
    QVERIFY2(count.startsWith(QStringLiteral("Najdenih: ")) && count != u"Najdenih: 0", qPrintable(count));
    CInfiniteListView* list = m_frame->hitList();
    QVERIFY(list->hitCount() > 0);
    QCOMPARE(m_frame->hitList()->hitDelegate() != nullptr, true);
    QCOMPARE(m_frame->icons().count(), m_frame->Api().m_slovarji.size());
    const int row = list->selectionMark();
    QCOMPARE(m_frame->GetHitHeadword(row), QStringLiteral("abeceda"));
    QVERIFY(m_frame->GetHitImage(row) >= 0);
    const int dictionary = m_frame->Api().GetDictionaryId(row, QStringLiteral("abeceda"));
    QCOMPARE(m_frame->captionBar()->text(), m_frame->Api().GetDictionaryName(dictionary) +
                                                QStringLiteral(" - ") +
                                                m_frame->Api().GetDictionaryAuthor(dictionary));

    QTRY_COMPARE_WITH_TIMEOUT(eval(QStringLiteral("document.querySelector('.headword b') ? "
                                                  "document.querySelector('.headword b').textContent : ''")),
                              QStringLiteral("abeceda"), 15000);
    // The linked stylesheet may arrive after the markup, so wait for it to apply.
    QTRY_COMPARE_WITH_TIMEOUT(eval(QStringLiteral("getComputedStyle(document.querySelector('.headword')).color")),
                              QStringLiteral("rgb(249, 104, 30)"), 15000);
    QCOMPARE(eval(QStringLiteral("getComputedStyle(document.body).backgroundColor")),
             QStringLiteral("rgb(255, 255, 255)"));
    m_frame->grab().save(QDir::temp().filePath(QStringLiteral("verbolix-endtoend.png")));
}

void TestEndToEnd::syntheticListScrollsEndToEnd()
{
    QVERIFY(startService({QStringLiteral("--synthetic"), QStringLiteral("200000")}));
    startFrame();
    QTest::keyClick(m_frame->headwordBox(), Qt::Key_1, Qt::ControlModifier); // all dictionaries, "*"
    QVERIFY(waitUntilSettled(*m_frame));
    CInfiniteListView* list = m_frame->hitList();
    const int total = list->hitCount();
    QVERIFY2(total > 200'000, qPrintable(QString::number(total)));

    for (const int row : {total - 1, total / 2, 0, total - 1}) {
        list->SelectHit(row);
        list->viewport()->repaint();
        QVERIFY(waitUntilSettled(*m_frame));
        QVERIFY(!m_frame->GetHitHeadword(row).isEmpty());
        QVERIFY(list->visualRect(list->currentIndex()).intersects(list->viewport()->rect()));
    }
    QCOMPARE(list->selectionMark(), total - 1);
    // The window of held hits stays a page or two, wherever the list has been.
    QVERIFY(m_frame->Api().m_zadetki.size() <= 1000);
}

// Ended by the desktop or by Ctrl+C in a terminal, the program still removes its stylesheet.
void TestEndToEnd::stylesheetFileGoesWhenTerminated()
{
    QTemporaryDir temp;
    QVERIFY(temp.isValid());
    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("TMPDIR"), temp.path());
    env.insert(QStringLiteral("VERBOLIX_API_BASE"), QStringLiteral("http://127.0.0.1:1"));
    env.insert(QStringLiteral("VERBOLIX_NO_SPLASH"), QStringLiteral("1"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_config->dir());
    program.setProcessEnvironment(env);
    program.start(
        QFileInfo(qEnvironmentVariable("VERBOLIX_SERVICE")).dir().filePath(QStringLiteral("verbolix")));
    QVERIFY(program.waitForStarted(10000));
    const QStringList pattern{QStringLiteral("CSS_*")};
    QTRY_VERIFY_WITH_TIMEOUT(!QDir(temp.path()).entryList(pattern, QDir::Files).isEmpty(), 20000);
    program.terminate();
    QVERIFY(program.waitForFinished(15000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(QDir(temp.path()).entryList(pattern, QDir::Files), QStringList());
}

int main(int argc, char** argv)
{
    qputenv("VERBOLIX_NO_SPLASH", "1");
    CQuorbelApp::PrepareProcess();
    CQuorbelApp app(argc, argv);
    TestEndToEnd test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_endtoend.moc"
