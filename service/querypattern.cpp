#include "service/querypattern.h"

#include "service/sortkey.h"

#include <cstring>

QueryPattern::QueryPattern(std::string_view text)
{
    const std::u32string points = SortKey::codePoints(text);
    size_t end = points.size();
    while (end > 0 && points[end - 1] == U'*')
        --end;
    bool wildcard = false;
    for (size_t i = 0; i < end; ++i) {
        const char32_t c = points[i];
        if (c == U'*' || c == U'?') {
            wildcard = true;
            m_units.push_back(c == U'*' ? anyRun : anyOne);
            continue;
        }
        const uint32_t weight = SortKey::weight(c);
        if (!wildcard)
            SortKey::appendUnit(m_prefixKey, weight);
        m_units.push_back(weight);
    }
    if (!wildcard) {
        m_units.clear();
        return;
    }
    if (end < points.size())
        m_units.push_back(anyRun);
}

bool QueryPattern::matches(std::string_view key) const
{
    if (m_units.empty())
        return key.size() >= m_prefixKey.size() &&
               std::memcmp(key.data(), m_prefixKey.data(), m_prefixKey.size()) == 0;
    const size_t keyUnits = key.size() / SortKey::unitSize;
    const auto unitAt = [&key](size_t i) {
        const auto* p = reinterpret_cast<const unsigned char*>(key.data()) + i * SortKey::unitSize;
        return static_cast<int64_t>((uint32_t(p[0]) << 16) | (uint32_t(p[1]) << 8) | p[2]);
    };
    // Most keys fail on the part after the last star, which must end the key: try that first.
    size_t tail = m_units.size();
    while (tail > 0 && m_units[tail - 1] != anyRun)
        --tail;
    if (tail > 0) {
        const size_t tailLength = m_units.size() - tail;
        if (keyUnits < tailLength)
            return false;
        for (size_t i = 0; i < tailLength; ++i) {
            const int64_t unit = m_units[tail + i];
            if (unit != anyOne && unit != unitAt(keyUnits - tailLength + i))
                return false;
        }
    }
    // Greedy matching with one remembered star: linear in practice, and never worse than
    // query length times key length.
    size_t q = 0;
    size_t k = 0;
    size_t starQ = SIZE_MAX;
    size_t starK = 0;
    while (k < keyUnits) {
        if (q < m_units.size() && m_units[q] == anyRun) {
            starQ = q++;
            starK = k;
        } else if (q < m_units.size() && (m_units[q] == anyOne || m_units[q] == unitAt(k))) {
            ++q;
            ++k;
        } else if (starQ != SIZE_MAX) {
            q = starQ + 1;
            k = ++starK;
        } else {
            return false;
        }
    }
    while (q < m_units.size() && m_units[q] == anyRun)
        ++q;
    return q == m_units.size();
}

std::string QueryPattern::canonical() const
{
    if (m_units.empty())
        return "p" + m_prefixKey;
    std::string text = "g";
    for (const int64_t unit : m_units)
        SortKey::appendUnit(text, unit == anyRun   ? 0xFFFFFF
                                  : unit == anyOne ? 0xFFFFFE
                                                   : static_cast<uint32_t>(unit));
    return text;
}
