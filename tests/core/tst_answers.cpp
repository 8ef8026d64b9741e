#include "xmlanswer.h"

#include <QTest>

// Reading answers: lookup by name at any depth, text as received, inner markup raw.
class TestAnswers : public QObject
{
    Q_OBJECT

private slots:
    void lookupIsDocumentOrderAtAnyDepth();
    void textKeepsWhiteSpaceAndJoinsDescendants();
    void innerXmlIsRawMarkupOfChildren();
    void integers_data();
    void integers();
    void malformedGivesEmptyDocument_data();
    void malformedGivesEmptyDocument();
    void declaredEntitiesAreNotExpanded();
};

void TestAnswers::lookupIsDocumentOrderAtAnyDepth()
{
    const XmlAnswer answer = XmlAnswer::fromBytes("<r><a><x>1</x></a><x>2<x>3</x></x><b><x>4</x></b></r>");
    QVERIFY(!answer.isEmpty());
    QStringList texts;
    for (const XmlElement& x : answer.all(QStringLiteral("x")))
        texts << x.text();
    QCOMPARE(texts, (QStringList{QStringLiteral("1"), QStringLiteral("23"), QStringLiteral("3"),
                                 QStringLiteral("4")}));
    QCOMPARE(answer.textOf(QStringLiteral("x")), QStringLiteral("1"));
    // The root element itself is found by a lookup on the document, not on itself.
    QCOMPARE(answer.all(QStringLiteral("r")).size(), 1);
    QVERIFY(answer.first(QStringLiteral("r")).first(QStringLiteral("r")).isNull());
    // Lookup on an element stays inside it.
    QCOMPARE(answer.first(QStringLiteral("b")).textOf(QStringLiteral("x")), QStringLiteral("4"));
    QVERIFY(answer.first(QStringLiteral("missing")).isNull());
    QCOMPARE(answer.textOf(QStringLiteral("missing")), QString());
    QCOMPARE(answer.intOf(QStringLiteral("missing")), 0);
}

void TestAnswers::textKeepsWhiteSpaceAndJoinsDescendants()
{
    const XmlAnswer answer =
        XmlAnswer::fromBytes("<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<r><h>  mi\xc5\xbe"
                             "a\t</h><w> </w>"
                             "<m>a<b>b<i>c</i></b><![CDATA[<d>]]>&amp;&lt;&#x10d;<!-- no --></m></r>");
    QCOMPARE(answer.textOf(QStringLiteral("h")), QStringLiteral("  mi\u017Ea\t"));
    QCOMPARE(answer.textOf(QStringLiteral("w")), QStringLiteral(" "));
    QCOMPARE(answer.textOf(QStringLiteral("m")), QStringLiteral("abc<d>&<\u010D"));
}

void TestAnswers::innerXmlIsRawMarkupOfChildren()
{
    const XmlAnswer answer =
        XmlAnswer::fromBytes("<r><c>\n  <p class=\"x\">a &amp; b<br/></p>  &lt;b&gt;\n</c><c>second</c></r>");
    QCOMPARE(answer.first(QStringLiteral("c")).innerXml(),
             QStringLiteral("\n  <p class=\"x\">a &amp; b<br/></p>  &lt;b&gt;\n"));
    QCOMPARE(XmlElement().innerXml(), QString());
}

void TestAnswers::integers_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("value");
    QTest::newRow("plain") << QStringLiteral("523") << 523;
    QTest::newRow("space then 42") << QStringLiteral(" 42") << 42;
    QTest::newRow("white space and sign") << QStringLiteral("\n\t-17") << -17;
    QTest::newRow("plus sign") << QStringLiteral("+8") << 8;
    QTest::newRow("digits then letters") << QStringLiteral("12ab") << 12;
    QTest::newRow("letters only") << QStringLiteral("abc") << 0;
    QTest::newRow("empty") << QString() << 0;
    QTest::newRow("sign alone") << QStringLiteral("-") << 0;
    QTest::newRow("too large clamps") << QStringLiteral("99999999999") << std::numeric_limits<int>::max();
    QTest::newRow("too small clamps") << QStringLiteral("-99999999999") << std::numeric_limits<int>::min();
    QTest::newRow("minus one") << QStringLiteral("-1") << -1;
}

void TestAnswers::integers()
{
    QFETCH(QString, text);
    QFETCH(int, value);
    QCOMPARE(XmlElement::parseInt(text), value);
    const XmlAnswer answer = XmlAnswer::fromBytes("<r><n>" + text.toUtf8() + "</n></r>");
    QCOMPARE(answer.intOf(QStringLiteral("n")), value);
}

void TestAnswers::malformedGivesEmptyDocument_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("truncated") << QByteArray("<r><total>523</total><entry><headword>a</head");
    QTest::newRow("unclosed root") << QByteArray("<r><total>523</total>");
    QTest::newRow("mismatched tags") << QByteArray("<r><total>1</r></total>");
    QTest::newRow("plain text") << QByteArray("total 523");
}

void TestAnswers::malformedGivesEmptyDocument()
{
    QFETCH(QByteArray, bytes);
    const XmlAnswer answer = XmlAnswer::fromBytes(bytes);
    QVERIFY(answer.isEmpty());
    QVERIFY(!answer.errorText().isEmpty());
    QVERIFY(answer.first(QStringLiteral("total")).isNull());
    QVERIFY(answer.all(QStringLiteral("r")).isEmpty());
}

void TestAnswers::declaredEntitiesAreNotExpanded()
{
    // An entity bomb must not grow: declared entities stay unexpanded text.
    const XmlAnswer answer = XmlAnswer::fromBytes(
        "<!DOCTYPE r [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\">]>"
        "<r><t>&b;</t></r>");
    QVERIFY(answer.textOf(QStringLiteral("t")).size() < 10);
}

QTEST_GUILESS_MAIN(TestAnswers)
#include "tst_answers.moc"
