#include "core/http/httpclient.h"
#include "tests/support/scriptedserver.h"
#include "app/splashscreenex.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryFile>
#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;

class SplashScreenTest : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();

    void showsPictureInTheMiddle();
    void fadesIn();
    void hidesAboutTwoSecondsAfterShown();
    void staysWhileStartUpBlocks();
    void focusLossRestartsCount_data();
    void focusLossRestartsCount();
    void missingPicture_data();
    void missingPicture();

private:
    QPointer<CSplashScreenEx> m_splash;
};

void SplashScreenTest::cleanup()
{
    delete m_splash.data();
}

void SplashScreenTest::showsPictureInTheMiddle()
{
    m_splash = CSplashScreenEx::showStartupSplash();
    QVERIFY(m_splash);
    QVERIFY(m_splash->isVisible());
    QCOMPARE(m_splash->pictureSize(), QSize(358, 159));

    const Qt::WindowFlags flags = m_splash->windowFlags();
    QVERIFY(flags & Qt::FramelessWindowHint);
    QVERIFY(flags & Qt::WindowStaysOnTopHint);
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    QCOMPARE(m_splash->geometry(),
             QRect(area.x() + (area.width() - 358) / 2, area.y() + (area.height() - 159) / 2, 358, 159));

    QVERIFY(m_splash->hideTimer()->isActive());
    QCOMPARE(m_splash->hideTimer()->interval(), 2000);

    // The picture is drawn: not one flat colour.
    const QImage shown = m_splash->grab().toImage();
    QCOMPARE(shown.size() / shown.devicePixelRatio(), QSize(358, 159));
    bool varied = false;
    const QRgb corner = shown.pixel(2, 2);
    for (int y = 0; y < shown.height() && !varied; y += 3)
        for (int x = 0; x < shown.width() && !varied; x += 3)
            varied = shown.pixel(x, y) != corner;
    QVERIFY(varied);
}

void SplashScreenTest::fadesIn()
{
    m_splash = new CSplashScreenEx;
    QVERIFY(m_splash->loadPicture());
    m_splash->showSplash();
    QVERIFY(m_splash->windowOpacity() < 0.5);
    QTRY_COMPARE_WITH_TIMEOUT(m_splash->windowOpacity(), 1.0, 3000);
    QVERIFY(!m_splash->isHiding());
}

void SplashScreenTest::hidesAboutTwoSecondsAfterShown()
{
    m_splash = CSplashScreenEx::showStartupSplash();
    QElapsedTimer clock;
    clock.start();
    qint64 finishedAfter = -1;
    connect(m_splash, &CSplashScreenEx::finished, this, [&] { finishedAfter = clock.elapsed(); });

    QTRY_VERIFY_WITH_TIMEOUT(m_splash.isNull(), 6000);
    // The count of two seconds, then the fade-out.
    QVERIFY2(finishedAfter >= 2000, qPrintable(QString::number(finishedAfter)));
}

void SplashScreenTest::staysWhileStartUpBlocks()
{
    ScriptedServer server;
    server.setAnswer(u"/1.0/messages"_s, "<messages/>");
    server.setDelayMs(600);

    m_splash = CSplashScreenEx::showStartupSplash();
    // The count runs out while the start-up request blocks the thread.
    m_splash->hideTimer()->start(100);
    HttpClient::fetchBody(server.baseUrl() + u"/1.0/messages"_s);
    QVERIFY(m_splash);
    QVERIFY(m_splash->isVisible());
    QVERIFY(!m_splash->isHiding());

    // Once events are handled again it goes at once (well within two seconds).
    QTRY_VERIFY_WITH_TIMEOUT(m_splash.isNull(), 2000);
}

void SplashScreenTest::focusLossRestartsCount_data()
{
    QTest::addColumn<int>("eventType");
    QTest::newRow("window deactivated") << int(QEvent::WindowDeactivate);
    QTest::newRow("focus out") << int(QEvent::FocusOut);
}

void SplashScreenTest::focusLossRestartsCount()
{
    QFETCH(int, eventType);

    m_splash = CSplashScreenEx::showStartupSplash();
    QTimer* count = m_splash->hideTimer();
    // Near the end of its count...
    count->start(300);
    // ...the splash loses the focus: two full seconds from now.
    if (eventType == QEvent::FocusOut) {
        QFocusEvent focusOut(QEvent::FocusOut, Qt::ActiveWindowFocusReason);
        QApplication::sendEvent(m_splash, &focusOut);
    } else {
        QEvent deactivate(QEvent::WindowDeactivate);
        QApplication::sendEvent(m_splash, &deactivate);
    }
    QVERIFY(count->isActive());
    QCOMPARE(count->interval(), 2000);
    QVERIFY(count->remainingTime() > 1800);

    // The old count's end passes without effect.
    QTest::qWait(400);
    QVERIFY(m_splash);
    QVERIFY(!m_splash->isHiding());

    // Once hiding has begun a focus loss does not bring it back.
    count->start(0);
    QTRY_VERIFY(m_splash.isNull() || m_splash->isHiding());
    if (m_splash) {
        QEvent deactivate(QEvent::WindowDeactivate);
        QApplication::sendEvent(m_splash, &deactivate);
        QVERIFY(!count->isActive());
    }
    QTRY_VERIFY(m_splash.isNull());
}

void SplashScreenTest::missingPicture_data()
{
    QTest::addColumn<bool>("corrupt");
    QTest::newRow("no such file") << false;
    QTest::newRow("not a picture") << true;
}

void SplashScreenTest::missingPicture()
{
    QFETCH(bool, corrupt);

    QString source = u"/nonexistent/splash.svg"_s;
    QTemporaryFile garbage(QDir::tempPath() + u"/splash-XXXXXX.png"_s);
    if (corrupt) {
        QVERIFY(garbage.open());
        garbage.write("this is not an image");
        garbage.close();
        source = garbage.fileName();
    }

    // The user is told, in a box with only OK.
    QString text, title;
    int buttons = -1;
    QTimer poll;
    connect(&poll, &QTimer::timeout, this, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || !box->isVisible())
            return;
        poll.stop();
        text = box->text();
        title = box->windowTitle();
        buttons = box->buttons().size();
        QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
    });
    poll.start(5);

    m_splash = new CSplashScreenEx;
    QVERIFY(!m_splash->loadPicture(source));
    QCOMPARE(text, u"No image"_s);
    QCOMPARE(title, u"Report"_s);
    QCOMPARE(buttons, 1);

    // Nothing is shown, and the object still goes away with its count.
    m_splash->showSplash();
    QVERIFY(!m_splash->isVisible());
    QVERIFY(m_splash->hideTimer()->isActive());
    m_splash->hideTimer()->start(0);
    QTRY_VERIFY(m_splash.isNull());
}

QTEST_MAIN(SplashScreenTest)
#include "tst_splashscreen.moc"
