// Clipboard monitoring against a real X server: another process copies, this one reports.
// Runs on a private Xvfb display; skipped when Xvfb is not installed.
#include "tests/support/xvfbdisplay.h"
#include "app/clipboardmonitor.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <cstdio>
#include <cstring>

using namespace Qt::StringLiterals;

namespace {
QString g_display;

// The other program: takes the clipboard with the text and keeps it (X11 clipboard data
// lives with its owner) until another client takes it over, it is stopped, or a time-out.
int runCopier(int argc, char** argv, const char* text)
{
    QGuiApplication app(argc, argv);
    QClipboard* clipboard = QGuiApplication::clipboard();
    QObject::connect(clipboard, &QClipboard::changed, &app, [clipboard](QClipboard::Mode mode) {
        if (mode == QClipboard::Clipboard && !clipboard->ownsClipboard())
            QCoreApplication::quit();
    });
    clipboard->setText(QString::fromUtf8(text));
    std::puts("copied");
    std::fflush(stdout);
    QTimer::singleShot(20000, &app, &QCoreApplication::quit);
    return app.exec();
}

} // namespace

class ClipboardX11Test : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void copyInAnotherProgramIsReported();
    void copyWhileOffIsIgnored();

private:
    void copyInOtherProcess(const QString& text, QProcess& copier);
    void stopCopier(QProcess& copier);
};

void ClipboardX11Test::initTestCase()
{
    if (g_display.isEmpty())
        QSKIP("no X server for this test (Xvfb not installed)");
    QCOMPARE(QGuiApplication::platformName(), u"xcb"_s);
}

void ClipboardX11Test::copyInOtherProcess(const QString& text, QProcess& copier)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"DISPLAY"_s, g_display);
    env.insert(u"QT_QPA_PLATFORM"_s, u"xcb"_s);
    copier.setProcessEnvironment(env);
    copier.start(QCoreApplication::applicationFilePath(), {u"--copy"_s, text});
    QVERIFY(copier.waitForStarted(5000));
    QVERIFY(copier.waitForReadyRead(10000));
    QCOMPARE(copier.readAll().trimmed(), QByteArray("copied"));
}

void ClipboardX11Test::stopCopier(QProcess& copier)
{
    // Whether X hands the selection back depends on server timestamps; do not wait for it.
    copier.terminate();
    if (!copier.waitForFinished(5000)) {
        copier.kill();
        copier.waitForFinished(5000);
    }
}

void ClipboardX11Test::copyInAnotherProgramIsReported()
{
    ClipboardMonitor monitor;
    monitor.setEnabled(true);
    QSignalSpy spy(&monitor, &ClipboardMonitor::textCopied);

    QProcess copier;
    copyInOtherProcess(u"  miza\n"_s, copier);
    QTRY_COMPARE_WITH_TIMEOUT(spy.count(), 1, 10000);
    QCOMPARE(spy.at(0).at(0).toString(), u"miza"_s);

    // This program copies in turn: reported as well.
    QApplication::clipboard()->setText(u"stol"_s);
    QTRY_COMPARE_WITH_TIMEOUT(spy.count(), 2, 10000);
    QCOMPARE(spy.at(1).at(0).toString(), u"stol"_s);
    stopCopier(copier);
}

void ClipboardX11Test::copyWhileOffIsIgnored()
{
    ClipboardMonitor monitor;
    QSignalSpy spy(&monitor, &ClipboardMonitor::textCopied);
    QSignalSpy changes(QApplication::clipboard(), &QClipboard::changed);

    QProcess copier;
    copyInOtherProcess(u"omara"_s, copier);
    QTRY_VERIFY_WITH_TIMEOUT(QApplication::clipboard()->text() == u"omara"_s, 10000);
    QVERIFY(!changes.isEmpty());
    QCOMPARE(spy.count(), 0);
    stopCopier(copier);
}

int main(int argc, char** argv)
{
    if (argc >= 3 && std::strcmp(argv[1], "--copy") == 0)
        return runCopier(argc, argv, argv[2]);

    const XvfbDisplay server;
    g_display = server.name();
    if (!g_display.isEmpty()) {
        qputenv("DISPLAY", g_display.toUtf8());
        qputenv("QT_QPA_PLATFORM", "xcb");
    }
    int result = 0;
    {
        QApplication app(argc, argv);
        ClipboardX11Test test;
        result = QTest::qExec(&test, argc, argv);
    }
    return result;
}

#include "tst_clipboardx11.moc"
