#include "core/answerreaders.h"
#include "core/xml/xmlanswer.h"

#include <QTest>

using namespace Qt::StringLiterals;

// Reading answers: the XML layer (lookup by name at any depth, text as received, inner
// markup raw) and the pure readers of each answer built on it.
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

    void searchAnswer();
    void searchAnswerWithMissingParts_data();
    void searchAnswerWithMissingParts();
    void entryIndexAnswer_data();
    void entryIndexAnswer();
    void entryAnswer_data();
    void entryAnswer();
    void entryEmptyElementsForHtml_data();
    void entryEmptyElementsForHtml();
    void dictionaryListAnswer();
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

void TestAnswers::searchAnswer()
{
    const QByteArray xml =
        "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<result>\n  <total> 523</total>\n"
        "  <entries>\n"
        "    <entry><headword> miza </headword><dictionary_id>70</dictionary_id>"
        "<entry_id>12</entry_id><order>1597</order></entry>\n"
        "    <entry><order>8</order><entry_id>3</entry_id><dictionary_id>58</dictionary_id>"
        "<headword>mi&amp;za \xc4\x8d</headword></entry>\n"
        "  </entries>\n</result>";
    QList<CZadetek> hits{CZadetek{1, 1, QStringLiteral("kept"), 1, 9}};
    QCOMPARE(readSearchAnswer(xml, hits), 523);
    QCOMPARE(hits.size(), 3); // appended to what was there
    QCOMPARE(hits.at(1).headword, QStringLiteral(" miza "));
    QCOMPARE(hits.at(1).dictionaryId, 70);
    QCOMPARE(hits.at(1).entryId, 12);
    QCOMPARE(hits.at(1).order, 1597);
    QCOMPARE(hits.at(1).position, 0);
    QCOMPARE(hits.at(2).headword, QStringLiteral("mi&za \u010D"));
    QCOMPARE(hits.at(2).dictionaryId, 58);
    QCOMPARE(hits.at(2).entryId, 3);
    QCOMPARE(hits.at(2).order, 8);
}

void TestAnswers::searchAnswerWithMissingParts_data()
{
    QTest::addColumn<QByteArray>("xml");
    QTest::addColumn<int>("total");
    QTest::addColumn<int>("entries");
    QTest::addColumn<QString>("headword");
    QTest::addColumn<int>("order");

    QTest::newRow("no total, entries still read")
        << QByteArray("<r><entry><headword>a</headword><order>4</order></entry></r>") << 0 << 1
        << QStringLiteral("a") << 4;
    QTest::newRow("entry without headword or order kept as empty and 0")
        << QByteArray("<r><total>1</total><entry><entry_id>7</entry_id></entry></r>") << 1 << 1 << QString()
        << 0;
    QTest::newRow("total of letters") << QByteArray("<r><total>many</total></r>") << 0 << 0 << QString() << 0;
    QTest::newRow("truncated answer")
        << QByteArray("<r><total>523</total><entry><headword>a</headword>") << 0 << 0 << QString() << 0;
    QTest::newRow("HTML error page")
        << QByteArray("<html><head><title>500</title></head><body>Internal error<br></body></html>") << 0 << 0
        << QString() << 0;
}

void TestAnswers::searchAnswerWithMissingParts()
{
    QFETCH(QByteArray, xml);
    QFETCH(int, total);
    QFETCH(int, entries);
    QFETCH(QString, headword);
    QFETCH(int, order);
    QList<CZadetek> hits;
    QCOMPARE(readSearchAnswer(xml, hits), total);
    QCOMPARE(hits.size(), entries);
    if (entries > 0) {
        QCOMPARE(hits.first().headword, headword);
        QCOMPARE(hits.first().order, order);
    }
}

void TestAnswers::entryIndexAnswer_data()
{
    QTest::addColumn<QByteArray>("xml");
    QTest::addColumn<int>("selectedOrder");
    QTest::addColumn<int>("relativeIndex");
    // Values absent from the answer keep what the caller had: 11 and 22.
    QTest::newRow("both")
        << QByteArray("<r><selected_order>1597</selected_order><relative_index>57</relative_index></r>")
        << 1597 << 57;
    QTest::newRow("no match is -1") << QByteArray("<r><relative_index>-1</relative_index></r>") << 11 << -1;
    QTest::newRow("only selected_order")
        << QByteArray("<r><selected_order>3</selected_order></r>") << 3 << 22;
    QTest::newRow("malformed") << QByteArray("<r><relative_index>5") << 11 << 22;
}

void TestAnswers::entryIndexAnswer()
{
    QFETCH(QByteArray, xml);
    QFETCH(int, selectedOrder);
    QFETCH(int, relativeIndex);
    int selected = 11;
    int relative = 22;
    readEntryIndexAnswer(xml, selected, relative);
    QCOMPARE(selected, selectedOrder);
    QCOMPARE(relative, relativeIndex);
}

void TestAnswers::entryAnswer_data()
{
    QTest::addColumn<QByteArray>("xml");
    QTest::addColumn<QString>("html");

    QTest::newRow("markup children arrive as markup")
        << QByteArray("<r><html_content><div class=\"geslo\"><b>miza</b> <i>ž</i></div></html_content></r>")
        << QStringLiteral("<div class=\"geslo\"><b>miza</b> <i>\u017E</i></div>");
    QTest::newRow("first html_content only")
        << QByteArray("<r><html_content><p>one</p></html_content><html_content><p>two</p></html_content></r>")
        << QStringLiteral("<p>one</p>");
    // A text node is given in its XML form: escaped markup stays escaped.
    QTest::newRow("escaped text node stays escaped")
        << QByteArray("<r><html_content>&lt;b&gt;miza&lt;/b&gt; &amp; stol</html_content></r>")
        << QStringLiteral("&lt;b&gt;miza&lt;/b&gt; &amp; stol");
    QTest::newRow("white space kept")
        << QByteArray("<r><html_content>\n  <p>  a  </p>\n\t</html_content></r>")
        << QStringLiteral("\n  <p>  a  </p>\n\t");
    QTest::newRow("nested deeper") << QByteArray("<r><data><html_content>x<br/>y</html_content></data></r>")
                                   << QStringLiteral("x<br/>y");
    QTest::newRow("no html_content") << QByteArray("<r><entry/></r>") << QString();
    QTest::newRow("empty html_content") << QByteArray("<r><html_content/></r>") << QString();
    QTest::newRow("truncated") << QByteArray("<r><html_content><p>one</p>") << QString();
}

void TestAnswers::entryEmptyElementsForHtml_data()
{
    QTest::addColumn<QByteArray>("content"); // inside html_content
    QTest::addColumn<QString>("html");

    // Regression: <i/> is an open <i> to an HTML parser; the rest of the entry went italic.
    QTest::newRow("empty i, written either way") << QByteArray("a<i/>b<i></i>c") << u"a<i></i>b<i></i>c"_s;
    // An open <script> hid the rest, an open <textarea> showed it as raw markup.
    QTest::newRow("empty script") << QByteArray("<script/>after") << u"<script></script>after"_s;
    QTest::newRow("empty textarea") << QByteArray("<textarea/>after") << u"<textarea></textarea>after"_s;
    QTest::newRow("empty with attributes") << QByteArray("<span class=\"x\" title=\"a&amp;b\"/>")
                                           << u"<span class=\"x\" title=\"a&amp;b\"></span>"_s;
    QTest::newRow("nested") << QByteArray("<div><p/><b><u/></b></div>")
                            << u"<div><p></p><b><u></u></b></div>"_s;
    QTest::newRow("upper-case name") << QByteArray("<I/>x") << u"<I></I>x"_s;
    QTest::newRow("void elements stay empty-element tags")
        << QByteArray("<area/><base/><br/><col/><embed/><hr/><img src=\"a.png\"/><input/><link/><meta/>"
                      "<source/><track/><wbr/>")
        << u"<area/><base/><br/><col/><embed/><hr/><img src=\"a.png\"/><input/><link/><meta/>"
           "<source/><track/><wbr/>"_s;
    QTest::newRow("void element in upper case") << QByteArray("a<BR/>b") << u"a<BR/>b"_s;
    QTest::newRow("markup in text and CDATA untouched")
        << QByteArray("&lt;i/&gt;<![CDATA[<i/>]]>") << u"&lt;i/&gt;<![CDATA[<i/>]]>"_s;
}

void TestAnswers::entryEmptyElementsForHtml()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, html);
    QCOMPARE(readEntryAnswer("<r><html_content>" + content + "</html_content></r>"), html);
}

void TestAnswers::entryAnswer()
{
    QFETCH(QByteArray, xml);
    QFETCH(QString, html);
    QCOMPARE(readEntryAnswer(xml), html);
}

void TestAnswers::dictionaryListAnswer()
{
    const QByteArray xml =
        "<dictionaries>"
        "<dictionary><id>70</id><name>Slovar  slovenskega jezika</name><author>In\xc5\xa1titut"
        "</author><type>1</type><lingualism>1</lingualism><languages><language>sl</language>"
        "</languages></dictionary>"
        "<dictionary><language>en</language><language>de</language><name>Angle\xc5\xa1ko</name>"
        "<id> 58</id><lingualism>2</lingualism><type>3</type></dictionary>"
        "<dictionary><name>Brez</name></dictionary>"
        "</dictionaries>";
    const QList<CSlovar> list = readDictionaryListAnswer(xml);
    QCOMPARE(list.size(), 3);
    QCOMPARE(list.at(0).id, 70);
    QCOMPARE(list.at(0).name, QStringLiteral("Slovar  slovenskega jezika"));
    QCOMPARE(list.at(0).author, QStringLiteral("In\u0161titut"));
    QCOMPARE(list.at(0).type, 1);
    QCOMPARE(list.at(0).lingualism, 1);
    QCOMPARE(*list.at(0).languages, QList<QString>{QStringLiteral("sl")});
    QCOMPARE(list.at(1).id, 58);
    QCOMPARE(*list.at(1).languages, (QList<QString>{QStringLiteral("en"), QStringLiteral("de")}));
    QCOMPARE(list.at(1).author, QString());
    QCOMPARE(list.at(1).type, 3);
    QCOMPARE(list.at(1).lingualism, 2);
    // Missing parts read as empty text and 0; the language list exists but is empty.
    QCOMPARE(list.at(2).id, 0);
    QVERIFY(list.at(2).languages);
    QVERIFY(list.at(2).languages->isEmpty());
    QVERIFY(list.at(0).languages != list.at(1).languages);

    QVERIFY(readDictionaryListAnswer("<dictionaries><dictionary><id>1</id>").isEmpty());
}

QTEST_GUILESS_MAIN(TestAnswers)
#include "tst_answers.moc"
