// The entry-index reader on arbitrary bytes: a value is stored only when its element is
// there, and what is absent leaves the caller's value alone.
#include "core/answerreaders.h"
#include "tests/fuzz/fuzzchecks.h"
#include "core/xml/xmlanswer.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));

    // Two runs with different starting values: a value that depends on them was not read.
    int selectedA = 123456, relativeA = -777;
    int selectedB = -4242, relativeB = 98765;
    readEntryIndexAnswer(bytes, selectedA, relativeA);
    readEntryIndexAnswer(bytes, selectedB, relativeB);

    const bool selectedRead = selectedA == selectedB;
    const bool relativeRead = relativeA == relativeB;
    FUZZ_CHECK(selectedRead || (selectedA == 123456 && selectedB == -4242));
    FUZZ_CHECK(relativeRead || (relativeA == -777 && relativeB == 98765));

    if (fuzzchecks::startTagBound(bytes, "selected_order") == 0)
        FUZZ_CHECK(!selectedRead);
    if (fuzzchecks::startTagBound(bytes, "relative_index") == 0)
        FUZZ_CHECK(!relativeRead);
    if (XmlAnswer::fromBytes(bytes).isEmpty())
        FUZZ_CHECK(!selectedRead && !relativeRead);
    return 0;
}
