// The integer reading every answer reader uses, against the C library's strtoll on the same
// text: leading white space, an optional sign, digits up to the first other character,
// clamped to the int range.
#include "tests/fuzz/fuzzchecks.h"
#include "core/xml/xmlelement.h"

#include <cerrno>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const int value = XmlElement::parseInt(QString::fromUtf8(bytes));

    // The C library knows only ASCII; compare where the text is ASCII without NUL.
    for (const char c : bytes) {
        if (c == '\0' || static_cast<unsigned char>(c) >= 0x80)
            return 0;
    }
    const std::string text(bytes.constData(), size_t(bytes.size()));
    errno = 0;
    const long long expected = std::strtoll(text.c_str(), nullptr, 10);
    const long long clamped = expected > INT_MAX ? INT_MAX : expected < INT_MIN ? INT_MIN : expected;
    FUZZ_CHECK(value == int(clamped));
    return 0;
}
