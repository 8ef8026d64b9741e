// The verbolix-service program as a user or a script starts it: the start-up line, the
// bundled sample, its options and their errors.
#include "tests/service/servicefixture.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>
#include <httplib.h>

class ServiceProgramTest : public QObject
{
    Q_OBJECT

private:
    QString m_program;

    // Starts the program and answers its port from the start-up line, or -1.
    int start(QProcess& process, const QStringList& arguments)
    {
        process.start(m_program, arguments);
        if (!process.waitForStarted(10000))
            return -1;
        QByteArray output;
        while (!output.contains('\n')) {
            if (!process.waitForReadyRead(30000))
                return -1;
            output += process.readAllStandardOutput();
        }
        const QRegularExpression line(QStringLiteral("^listening on http://127\\.0\\.0\\.1:(\\d+)\n"));
        const QRegularExpressionMatch match = line.match(QString::fromUtf8(output));
        return match.hasMatch() ? match.captured(1).toInt() : -1;
    }

    static QByteArray get(int port, const QByteArray& target, int* status = nullptr)
    {
        httplib::Client client("127.0.0.1", port);
        client.set_read_timeout(10, 0);
        const httplib::Result result = client.Get(target.toStdString());
        if (status)
            *status = result ? result->status : 0;
        return result ? QByteArray::fromStdString(result->body) : QByteArray();
    }

    static void finish(QProcess& process)
    {
        process.kill();
        process.waitForFinished(10000);
    }

private slots:
    void initTestCase()
    {
        m_program = qEnvironmentVariable("VERBOLIX_SERVICE");
        QVERIFY2(QFile::exists(m_program), "VERBOLIX_SERVICE must name the built program");
    }

    void bundledSample()
    {
        QProcess process;
        const int port = start(process, {QStringLiteral("--port"), QStringLiteral("0")});
        auto cleanup = qScopeGuard([&] { finish(process); });
        QVERIFY(port > 0);

        const QByteArray list = get(port, "/1.0/dictionary/list?licenceKey=" + ServiceFixture::key);
        pugi::xml_document xml;
        QVERIFY(xml.load_buffer(list.constData(), static_cast<size_t>(list.size())));
        QList<int> ids;
        for (const pugi::xpath_node& node : xml.select_nodes("//dictionary/id"))
            ids.append(node.node().text().as_int());
        QVERIFY(ids.contains(70));
        QVERIFY(ids.contains(58));
        QVERIFY(ids.size() >= 3);
        for (const int id : ids) {
            int status = 0;
            const QByteArray icon = get(port,
                                        "/1.0/dictionary/icon?licenceKey=" + ServiceFixture::key +
                                            "&dictionaryId=" + QByteArray::number(id),
                                        &status);
            QCOMPARE(status, 200);
            QVERIFY(icon.startsWith("\x89PNG\r\n\x1a\n"));
            QCOMPARE(icon.mid(16, 8), QByteArray::fromHex("0000001000000010")); // 16 x 16
        }

        // A few hundred entries: more than one page.
        const QByteArray all =
            get(port, "/1.0/search?licenceKey=" + ServiceFixture::key + "&query=%2a&start=0&rows=200");
        pugi::xml_document search;
        QVERIFY(search.load_buffer(all.constData(), static_cast<size_t>(all.size())));
        QVERIFY(search.select_node("//total").node().text().as_int() > 200);
        QCOMPARE(search.select_nodes("//entry").size(), size_t(200));

        // The preset filter's two dictionaries share headwords.
        const QByteArray miza = get(port, "/1.0/search?licenceKey=" + ServiceFixture::key +
                                              "&query=miza&dictionaryId=70&dictionaryId=58&start=0&rows=200");
        QVERIFY(miza.contains("<dictionary_id>70</dictionary_id>"));
        QVERIFY(miza.contains("<dictionary_id>58</dictionary_id>"));
    }

    void synthetic()
    {
        QProcess process;
        const int port = start(
            process, {QStringLiteral("--port=0"), QStringLiteral("--synthetic"), QStringLiteral("5000")});
        auto cleanup = qScopeGuard([&] { finish(process); });
        QVERIFY(port > 0);
        const QByteArray answer = get(port, "/1.0/search?licenceKey=" + ServiceFixture::key +
                                                "&query=%2a&dictionaryId=9000&start=4990&rows=200");
        QVERIFY2(answer.contains("<total>5000</total>"), answer.constData());
        QCOMPARE(answer.count("<entry>"), 10);
    }

    void latency()
    {
        QProcess process;
        const int port = start(process, {QStringLiteral("--port"), QStringLiteral("0"),
                                         QStringLiteral("--latency-ms"), QStringLiteral("300")});
        auto cleanup = qScopeGuard([&] { finish(process); });
        QVERIFY(port > 0);
        QElapsedTimer timer;
        timer.start();
        int status = 0;
        get(port, "/1.0/messages?language=sl&version=2.0&lastMessageId=0", &status);
        QCOMPARE(status, 200);
        QVERIFY(timer.elapsed() >= 300);
    }

    // The program as the client starts it finds the user's dictionaries with no config, says
    // on stderr which one it skipped, and finds none where it is told not to look.
    void discovery_data()
    {
        QTest::addColumn<QStringList>("arguments"); // "DIR" stands for the temporary folder
        QTest::addColumn<QByteArrayList>("found");
        QTest::addColumn<bool>("warned");
        QTest::newRow("default: $XDG_DATA_HOME/verbolix/dictd")
            << QStringList{} << QByteArrayList{"Moj slovar"} << true;
        QTest::newRow("--dictd-dir instead")
            << QStringList{QStringLiteral("--dictd-dir"), QStringLiteral("DIR/other")}
            << QByteArrayList{"Drugi slovar"} << false;
        QTest::newRow("--dictd-dir twice")
            << QStringList{QStringLiteral("--dictd-dir=DIR/other"),
                           QStringLiteral("--dictd-dir=DIR/data/verbolix/dictd")}
            << QByteArrayList{"Drugi slovar", "Moj slovar"} << true;
        QTest::newRow("--no-discovery")
            << QStringList{QStringLiteral("--no-discovery")} << QByteArrayList{} << false;
        QTest::newRow("own --config")
            << QStringList{QStringLiteral("--config"), QStringLiteral("DIR/config.json")} << QByteArrayList{}
            << false;
    }

    void discovery()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QByteArrayList, found);
        QFETCH(bool, warned);
        ServiceFixture files;
        files.writeDictd(
            QStringLiteral("data/verbolix/dictd/freedict-slv-eng"),
            {{"00-database-short", "00-database-short\nMoj slovar\n"}, {"beseda", "beseda\nword\n"}});
        files.writeFile(QStringLiteral("data/verbolix/dictd/broken.index"), "beseda\tA\tB\n");
        files.writeFile(QStringLiteral("data/verbolix/dictd/broken.dict.dz"), "not gzip at all");
        files.writeDictd(
            QStringLiteral("other/eng-deu"),
            {{"00-database-short", "00-database-short\nDrugi slovar\n"}, {"word", "word\nWort\n"}});
        files.writeFile(QStringLiteral("config.json"), R"({"dictionaries": []})");
        for (QString& argument : arguments)
            argument.replace(QStringLiteral("DIR"), files.dir());

        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_DATA_HOME"), files.dir() + QStringLiteral("/data"));
        process.setProcessEnvironment(env);
        const int port =
            start(process, QStringList{QStringLiteral("--port"), QStringLiteral("0")} + arguments);
        auto cleanup = qScopeGuard([&] { finish(process); });
        QVERIFY(port > 0);
        pugi::xml_document xml;
        const QByteArray list = get(port, "/1.0/dictionary/list?licenceKey=" + ServiceFixture::key);
        QVERIFY(xml.load_buffer(list.constData(), static_cast<size_t>(list.size())));
        QByteArrayList names;
        for (const pugi::xpath_node& node : xml.select_nodes("//dictionary/name"))
            names.append(node.node().text().get());
        for (const QByteArray& name : {QByteArray("Moj slovar"), QByteArray("Drugi slovar")})
            QCOMPARE(names.contains(name), found.contains(name));
        cleanup.dismiss();
        finish(process); // all it wrote is read by then
        const QByteArray errors = process.readAllStandardError();
        QCOMPARE(errors.contains("broken skipped"), warned);
    }

    void help()
    {
        QProcess process;
        process.start(m_program, {QStringLiteral("--help")});
        QVERIFY(process.waitForFinished(10000));
        QCOMPARE(process.exitCode(), 0);
        const QByteArray usage = process.readAllStandardOutput();
        for (const char* option : {"--port", "--bind", "--config", "--latency-ms", "--synthetic", "--help",
                                   "--no-discovery", "--dictd-dir"})
            QVERIFY2(usage.contains(option), option);
    }

    void badCommandLine_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QByteArray>("message");
        QTest::newRow("unknown option")
            << QStringList{QStringLiteral("--verbose")} << QByteArray("unknown option");
        QTest::newRow("port out of range")
            << QStringList{QStringLiteral("--port"), QStringLiteral("70000")} << QByteArray("--port");
        QTest::newRow("port not a number")
            << QStringList{QStringLiteral("--port"), QStringLiteral("80a")} << QByteArray("--port");
        QTest::newRow("port without value")
            << QStringList{QStringLiteral("--port")} << QByteArray("needs a value");
        QTest::newRow("negative latency")
            << QStringList{QStringLiteral("--latency-ms=-1")} << QByteArray("--latency-ms");
        QTest::newRow("synthetic too large")
            << QStringList{QStringLiteral("--synthetic"), QStringLiteral("999999999")}
            << QByteArray("--synthetic");
        QTest::newRow("missing config")
            << QStringList{QStringLiteral("--config"), QStringLiteral("/nonexistent/x.json")}
            << QByteArray("cannot read config");
        QTest::newRow("address that cannot be bound")
            << QStringList{QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--bind"),
                           QStringLiteral("192.0.2.99")}
            << QByteArray("cannot listen");
    }

    void badCommandLine()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QByteArray, message);
        QProcess process;
        process.start(m_program, arguments);
        QVERIFY(process.waitForFinished(20000));
        QVERIFY(process.exitCode() != 0);
        const QByteArray errors = process.readAllStandardError();
        QVERIFY2(errors.contains(message), errors.constData());
        QVERIFY(process.readAllStandardOutput().isEmpty());
    }

    // Regression: a client that accepts br got every text answer compressed at br's slowest
    // setting, a few hundred milliseconds for one page. Answers go out as they are.
    void answersAreNeverCompressed_data()
    {
        QTest::addColumn<QByteArray>("target");
        QTest::addColumn<int>("status");
        const QByteArray key = "licenceKey=" + ServiceFixture::key;
        QTest::newRow("search page") << "/1.0/search?" + key + "&query=%2a&start=0&rows=200" << 200;
        QTest::newRow("dictionary list") << "/1.0/dictionary/list?" + key << 200;
        QTest::newRow("refused request") << QByteArray("/1.0/search?query=a") << 403;
        QTest::newRow("unknown address") << QByteArray("/1.0/nothing") << 404;
        QTest::newRow("stats") << QByteArray("/stats") << 200;
    }

    void answersAreNeverCompressed()
    {
        QFETCH(QByteArray, target);
        QFETCH(int, status);
        QProcess process;
        const int port = start(process, {QStringLiteral("--port=0"), QStringLiteral("--stats")});
        auto cleanup = qScopeGuard([&] { finish(process); });
        QVERIFY(port > 0);
        for (const char* accepted : {"br", "gzip", "deflate, gzip, br, zstd"}) {
            httplib::Client client("127.0.0.1", port);
            client.set_read_timeout(10, 0);
            client.set_decompress(false);
            const httplib::Result result = client.Get(target.toStdString(), {{"Accept-Encoding", accepted}});
            QVERIFY2(result, accepted);
            QCOMPARE(result->status, status);
            QVERIFY2(!result->has_header("Content-Encoding"),
                     result->get_header_value("Content-Encoding").c_str());
            QVERIFY(result->body.size() > 10);
            QVERIFY2(result->body.rfind(status == 200 && target == "/stats" ? "requests" : "<?xml", 0) == 0,
                     result->body.c_str());
        }
    }
};

QTEST_GUILESS_MAIN(ServiceProgramTest)
#include "tst_serviceprogram.moc"
