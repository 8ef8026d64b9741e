#include "app/clipboardmonitor.h"
#include "core/settings.h"
#include "tests/support/tempconfig.h"

#include <QApplication>
#include <QClipboard>
#include <QImage>
#include <QMimeData>
#include <QSignalSpy>
#include <QTest>
#include <memory>

using namespace Qt::StringLiterals;

class ClipboardMonitorTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void copiedText_data();
    void copiedText();
    void offReportsNothing();
    void nonTextIgnored();
    void onlyExactlyOneIsOn();
    void startupSearchOfWhatIsThere();
    void repeats_data();
    void repeats();

private:
    QClipboard* clipboard() { return QApplication::clipboard(); }

    std::unique_ptr<TempConfig> m_config;
};

void ClipboardMonitorTest::init()
{
    m_config = std::make_unique<TempConfig>();
    clipboard()->clear();
}

void ClipboardMonitorTest::cleanup()
{
    m_config.reset();
}

void ClipboardMonitorTest::copiedText_data()
{
    QTest::addColumn<QString>("copied");
    QTest::addColumn<QStringList>("reported");

    QTest::newRow("a word") << u"miza"_s << QStringList{u"miza"_s};
    QTest::newRow("two leading spaces and a trailing line break")
        << u"  miza\r\n"_s << QStringList{u"miza"_s};
    QTest::newRow("inner white space kept") << u"\t dobro  jutro \n"_s << QStringList{u"dobro  jutro"_s};
    QTest::newRow("Slovenian letters") << u" čšž ČŠŽ "_s << QStringList{u"čšž ČŠŽ"_s};
    QTest::newRow("no-break spaces around") << u"\u00a0kruh\u00a0"_s << QStringList{u"kruh"_s};
    QTest::newRow("only spaces and line breaks") << u"  \r\n\t \n"_s << QStringList{};
    QTest::newRow("empty") << QString() << QStringList{};
    // A sentence or a paragraph copied whole would find nothing: its first word is looked up.
    QTest::newRow("a sentence: its first word") << u"Hiša stoji na hribu."_s << QStringList{u"Hiša"_s};
    QTest::newRow("two words and a full stop") << u"Dober dan."_s << QStringList{u"Dober"_s};
    QTest::newRow("several lines: the first word") << u"miza\nstol"_s << QStringList{u"miza"_s};
    QTest::newRow("quotes and a comma trimmed") << u"„Kruh,“ je rekla mati."_s << QStringList{u"Kruh"_s};
    QTest::newRow("a dash before the first word") << u"— miza je tu\n"_s << QStringList{u"miza"_s};
    QTest::newRow("a short phrase stays whole") << u"ad hoc"_s << QStringList{u"ad hoc"_s};
    QTest::newRow("a pattern stays whole") << u"hiš*"_s << QStringList{u"hiš*"_s};
    QTest::newRow("lines of punctuation only") << u"...\n---"_s << QStringList{};
}

void ClipboardMonitorTest::copiedText()
{
    QFETCH(QString, copied);
    QFETCH(QStringList, reported);

    ClipboardMonitor monitor;
    monitor.setEnabled(true);
    QSignalSpy spy(&monitor, &ClipboardMonitor::textCopied);
    clipboard()->setText(copied);
    QCoreApplication::processEvents();

    QStringList seen;
    for (const QList<QVariant>& args : spy)
        seen.append(args.at(0).toString());
    QCOMPARE(seen, reported);
}

void ClipboardMonitorTest::offReportsNothing()
{
    ClipboardMonitor monitor;
    QVERIFY(!monitor.isEnabled());
    QSignalSpy spy(&monitor, &ClipboardMonitor::textCopied);
    clipboard()->setText(u"miza"_s);
    QCoreApplication::processEvents();
    QCOMPARE(spy.count(), 0);

    // Turning it on does not act on what the clipboard already holds; the next copy counts.
    monitor.setEnabled(true);
    QCoreApplication::processEvents();
    QCOMPARE(spy.count(), 0);
    clipboard()->setText(u"stol"_s);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).toString(), u"stol"_s);

    monitor.setEnabled(false);
    clipboard()->setText(u"omara"_s);
    QCOMPARE(spy.count(), 1);
}

void ClipboardMonitorTest::nonTextIgnored()
{
    ClipboardMonitor monitor;
    monitor.setEnabled(true);
    QSignalSpy spy(&monitor, &ClipboardMonitor::textCopied);

    QImage picture(8, 8, QImage::Format_RGB32);
    picture.fill(Qt::red);
    clipboard()->setImage(picture);
    auto* data = new QMimeData;
    data->setData(u"application/octet-stream"_s, QByteArray("\0miza", 5));
    clipboard()->setMimeData(data);
    QCoreApplication::processEvents();
    QCOMPARE(spy.count(), 0);
    monitor.checkNow();
    QCOMPARE(spy.count(), 0);
}

void ClipboardMonitorTest::onlyExactlyOneIsOn()
{
    ClipboardMonitor monitor;
    QSignalSpy spy(&monitor, &ClipboardMonitor::textCopied);
    for (int value : {0, 2, -1, 11}) {
        monitor.setCheckClipboard(value);
        QVERIFY(!monitor.isEnabled());
        clipboard()->setText(u"miza"_s + QString::number(value));
    }
    QCOMPARE(spy.count(), 0);
    monitor.setCheckClipboard(1);
    QVERIFY(monitor.isEnabled());
    clipboard()->setText(u"miza"_s);
    QCOMPARE(spy.count(), 1);
}

void ClipboardMonitorTest::startupSearchOfWhatIsThere()
{
    clipboard()->setText(u"  kruh\n"_s);

    ClipboardMonitor off;
    QSignalSpy offSpy(&off, &ClipboardMonitor::textCopied);
    off.checkNow();
    QCOMPARE(offSpy.count(), 0);

    ClipboardMonitor on;
    on.setEnabled(true);
    QSignalSpy onSpy(&on, &ClipboardMonitor::textCopied);
    on.checkNow();
    QCOMPARE(onSpy.count(), 1);
    QCOMPARE(onSpy.at(0).at(0).toString(), u"kruh"_s);

    // Whitespace only on the clipboard at start: nothing is searched.
    clipboard()->setText(u" \n "_s);
    onSpy.clear();
    on.checkNow();
    QCOMPARE(onSpy.count(), 0);
}

void ClipboardMonitorTest::repeats_data()
{
    QTest::addColumn<bool>("ignoreRepeats");
    QTest::addColumn<QStringList>("reported");

    // Copying the same word again searches it again...
    QTest::newRow("reported every time") << false << QStringList{u"miza"_s, u"miza"_s, u"stol"_s, u"miza"_s};
    // ...except where a focus change hands the same clipboard over again (Wayland).
    QTest::newRow("repeats passed over") << true << QStringList{u"miza"_s, u"stol"_s, u"miza"_s};
}

void ClipboardMonitorTest::repeats()
{
    QFETCH(bool, ignoreRepeats);
    QFETCH(QStringList, reported);

    ClipboardMonitor monitor;
    QCOMPARE(monitor.ignoresRepeats(), QGuiApplication::platformName().startsWith(u"wayland"_s));
    monitor.setIgnoreRepeats(ignoreRepeats);
    monitor.setEnabled(true);
    QSignalSpy spy(&monitor, &ClipboardMonitor::textCopied);
    for (const QString& text : {u"miza"_s, u" miza\n"_s, u"stol"_s, u"miza"_s})
        clipboard()->setText(text);

    QStringList seen;
    for (const QList<QVariant>& args : spy)
        seen.append(args.at(0).toString());
    QCOMPARE(seen, reported);
}

QTEST_MAIN(ClipboardMonitorTest)
#include "tst_clipboardmonitor.moc"
