#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// A search query as the service understands it: text without wildcards matches the
// headwords that begin with it; "*" (any run of characters, also none) and "?" (exactly one
// character) make it a pattern that must match the whole headword. A pattern whose only
// wildcards are trailing stars is the plain prefix before them, so "*" matches everything.
// Letter case is ignored throughout (see SortKey).
class QueryPattern
{
public:
    // text must be valid UTF-8.
    explicit QueryPattern(std::string_view text);

    // True when the query is a plain prefix (no "?" and no "*" before the end).
    bool isPrefix() const { return m_units.empty(); }
    // The key of the literal text before the first wildcard: every match begins with it.
    const std::string& prefixKey() const { return m_prefixKey; }
    // Whether a headword key matches the query.
    bool matches(std::string_view key) const;
    // A stable text of the query's meaning, for cache keys.
    std::string canonical() const;

private:
    static constexpr int64_t anyRun = -1;
    static constexpr int64_t anyOne = -2;

    std::string m_prefixKey;
    // For patterns: every unit of the query (weights and wildcards); empty for prefixes.
    std::vector<int64_t> m_units;
};
