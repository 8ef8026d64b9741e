// The get-entry reader on arbitrary bytes: the fragment is the markup of the first
// html_content's children written for an HTML page (empty elements closed by an end tag),
// which is still XML: it must read back as XML content with the same text, and reading it
// and writing it again must give it unchanged.
#include "core/answerreaders.h"
#include "tests/fuzz/fuzzchecks.h"
#include "core/xml/xmlanswer.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const QString fragment = readEntryAnswer(bytes);

    if (fuzzchecks::startTagBound(bytes, "html_content") == 0)
        FUZZ_CHECK(fragment.isEmpty());

    const XmlAnswer answer = XmlAnswer::fromBytes(bytes);
    if (answer.isEmpty()) {
        FUZZ_CHECK(fragment.isEmpty());
        return 0;
    }
    const XmlElement content = answer.first(QStringLiteral("html_content"));
    if (content.isNull()) {
        FUZZ_CHECK(fragment.isEmpty());
        return 0;
    }

    // Wrapped in an element of its own, the fragment parses and carries the same text.
    const QByteArray wrapped = "<w>" + fragment.toUtf8() + "</w>";
    const XmlAnswer reread = XmlAnswer::fromBytes(wrapped);
    FUZZ_CHECK(!reread.isEmpty());
    QString before = content.text();
    QString after = reread.first(QStringLiteral("w")).text();
    // Line ends written raw read back as XML normalises them: CR LF and a lone CR as LF.
    for (QString* text : {&before, &after}) {
        text->replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        text->replace(QLatin1Char('\r'), QLatin1Char('\n'));
    }
    FUZZ_CHECK(before == after);
    // The written form is stable: read and written again, nothing is closed or opened
    // differently (line ends aside, as above).
    QString again = reread.first(QStringLiteral("w")).innerHtml();
    QString first = fragment;
    for (QString* text : {&first, &again}) {
        text->replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        text->replace(QLatin1Char('\r'), QLatin1Char('\n'));
    }
    FUZZ_CHECK(again == first);
    return 0;
}
