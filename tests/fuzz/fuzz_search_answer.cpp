// The search / entries-after reader on arbitrary bytes: no crash, sanitizer-clean, and what
// it reports is backed by the answer.
#include "core/answerreaders.h"
#include "tests/fuzz/fuzzchecks.h"
#include "core/xml/xmlanswer.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));

    // The out array is appended to, never cleared: what the caller held stays in front.
    CZadetek earlier;
    earlier.headword = QStringLiteral("earlier");
    earlier.order = 7;
    QList<CZadetek> hits{earlier};
    const int total = readSearchAnswer(bytes, hits);

    FUZZ_CHECK(!hits.isEmpty() && hits.first().headword == QLatin1String("earlier") &&
               hits.first().order == 7);
    const qsizetype read = hits.size() - 1;
    FUZZ_CHECK(read <= fuzzchecks::startTagBound(bytes, "entry"));
    if (fuzzchecks::startTagBound(bytes, "total") == 0)
        FUZZ_CHECK(total == 0);

    const bool anyDictionaryId = fuzzchecks::startTagBound(bytes, "dictionary_id") > 0;
    const bool anyEntryId = fuzzchecks::startTagBound(bytes, "entry_id") > 0;
    const bool anyOrder = fuzzchecks::startTagBound(bytes, "order") > 0;
    const bool anyHeadword = fuzzchecks::startTagBound(bytes, "headword") > 0;
    for (qsizetype i = 1; i < hits.size(); ++i) {
        const CZadetek& hit = hits.at(i);
        FUZZ_CHECK(hit.position == 0);
        FUZZ_CHECK(anyDictionaryId || hit.dictionaryId == 0);
        FUZZ_CHECK(anyEntryId || hit.entryId == 0);
        FUZZ_CHECK(anyOrder || hit.order == 0);
        FUZZ_CHECK(anyHeadword || hit.headword.isEmpty());
    }

    // An answer that does not parse is the empty result.
    if (XmlAnswer::fromBytes(bytes).isEmpty())
        FUZZ_CHECK(total == 0 && read == 0);

    // Reading is a function of the bytes alone.
    QList<CZadetek> again;
    FUZZ_CHECK(readSearchAnswer(bytes, again) == total && again.size() == read);
    for (qsizetype i = 0; i < again.size(); ++i) {
        const CZadetek& a = again.at(i);
        const CZadetek& b = hits.at(i + 1);
        FUZZ_CHECK(a.headword == b.headword && a.dictionaryId == b.dictionaryId && a.entryId == b.entryId &&
                   a.order == b.order);
    }
    return 0;
}
