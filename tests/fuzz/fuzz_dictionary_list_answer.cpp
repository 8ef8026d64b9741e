// The dictionary-list reader on arbitrary bytes: one record per dictionary element at
// most, every record with its own language list, nothing read from an answer that lacks it.
#include "core/answerreaders.h"
#include "tests/fuzz/fuzzchecks.h"
#include "core/xml/xmlanswer.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const QList<CSlovar> list = readDictionaryListAnswer(bytes);

    FUZZ_CHECK(list.size() <= fuzzchecks::startTagBound(bytes, "dictionary"));
    if (XmlAnswer::fromBytes(bytes).isEmpty())
        FUZZ_CHECK(list.isEmpty());

    const qsizetype languageTags = fuzzchecks::startTagBound(bytes, "language");
    const bool anyId = fuzzchecks::startTagBound(bytes, "id") > 0;
    const bool anyName = fuzzchecks::startTagBound(bytes, "name") > 0;
    const bool anyAuthor = fuzzchecks::startTagBound(bytes, "author") > 0;
    const bool anyType = fuzzchecks::startTagBound(bytes, "type") > 0;
    const bool anyLingualism = fuzzchecks::startTagBound(bytes, "lingualism") > 0;
    for (const CSlovar& d : list) {
        FUZZ_CHECK(d.languages != nullptr);
        FUZZ_CHECK(d.languages->size() <= languageTags);
        FUZZ_CHECK(anyId || d.id == 0);
        FUZZ_CHECK(anyName || d.name.isEmpty());
        FUZZ_CHECK(anyAuthor || d.author.isEmpty());
        FUZZ_CHECK(anyType || d.type == 0);
        FUZZ_CHECK(anyLingualism || d.lingualism == 0);
    }
    for (qsizetype i = 1; i < list.size(); ++i)
        FUZZ_CHECK(list.at(i).languages != list.at(i - 1).languages);
    return 0;
}
