#include "service/utf8text.h"

#include <unicode/utf8.h>

namespace utf8text {

namespace {

bool isXmlChar(UChar32 c)
{
    if (c < 0x20)
        return c == 0x09 || c == 0x0A || c == 0x0D;
    return !(c == 0xFFFE || c == 0xFFFF);
}

} // namespace

bool isValid(std::string_view text)
{
    const auto* s = reinterpret_cast<const uint8_t*>(text.data());
    const int32_t length = static_cast<int32_t>(text.size());
    if (text.size() > static_cast<size_t>(INT32_MAX))
        return false;
    int32_t i = 0;
    while (i < length) {
        UChar32 c;
        U8_NEXT(s, i, length, c);
        if (c < 0)
            return false;
    }
    return true;
}

std::string sanitized(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    const auto* s = reinterpret_cast<const uint8_t*>(text.data());
    const int32_t length = static_cast<int32_t>(std::min<size_t>(text.size(), INT32_MAX));
    int32_t i = 0;
    while (i < length) {
        const int32_t start = i;
        UChar32 c;
        U8_NEXT(s, i, length, c);
        if (c < 0) {
            out += "\xEF\xBF\xBD";
            continue;
        }
        if (!isXmlChar(c))
            continue;
        out.append(text.data() + start, static_cast<size_t>(i - start));
    }
    return out;
}

std::string_view trimmed(std::string_view text)
{
    const auto isSpace = [](char ch) { return ch == ' ' || ch == '\t' || ch == '\r' || ch == '\n'; };
    while (!text.empty() && isSpace(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isSpace(text.back()))
        text.remove_suffix(1);
    return text;
}

size_t codePointCount(std::string_view text)
{
    size_t count = 0;
    for (const char ch : text)
        if ((static_cast<unsigned char>(ch) & 0xC0) != 0x80)
            ++count;
    return count;
}

} // namespace utf8text
