#include "service/searchengine.h"

namespace {

// At most this many wildcard result lists, holding at most this many entries together
// (4 bytes each).
constexpr size_t cachedLists = 64;
constexpr size_t cachedOrders = 8 * 1024 * 1024;

} // namespace

SearchEngine::SearchEngine(const Catalogue& catalogue)
    : m_catalogue(catalogue), m_cache(cachedLists, cachedOrders)
{
}

ResultList SearchEngine::resultList(const QueryPattern& query, const std::vector<int>& dictionaries) const
{
    const auto [first, last] = m_catalogue.prefixRange(query.prefixKey());
    const bool all = dictionaries.empty() || dictionaries.size() == m_catalogue.dictionaries().size();
    if (query.isPrefix()) {
        if (all)
            return ResultList::range(first, last);
        std::vector<const ResultList::Orders*> orders;
        for (const int index : dictionaries)
            orders.push_back(&m_catalogue.dictionaries()[static_cast<size_t>(index)].orders);
        return ResultList::range(first, last, orders);
    }

    std::string cacheKey = query.canonical();
    cacheKey += '|';
    if (!all)
        for (const int index : dictionaries)
            cacheKey += std::to_string(index) + ',';
    if (auto cached = m_cache.find(cacheKey))
        return ResultList::list(std::move(cached));

    std::vector<bool> wanted(m_catalogue.dictionaries().size(), all);
    for (const int index : dictionaries)
        wanted[static_cast<size_t>(index)] = true;
    auto orders = std::make_shared<ResultList::Orders>();
    for (uint32_t order = first; order < last; ++order)
        if (wanted[static_cast<size_t>(m_catalogue.dictionaryIndexOf(order))] &&
            query.matches(m_catalogue.key(order)))
            orders->push_back(order);
    orders->shrink_to_fit();
    std::shared_ptr<const ResultList::Orders> shared = std::move(orders);
    m_cache.insert(cacheKey, shared);
    return ResultList::list(std::move(shared));
}

SearchEngine::HeadwordPlace SearchEngine::headwordPlace(const ResultList& list,
                                                        const QueryPattern& headword) const
{
    const std::string& prefix = headword.prefixKey();
    size_t position = list.rankOf(m_catalogue.lowerBound(prefix));
    // Entries beginning with the literal prefix are contiguous; for a plain prefix the first
    // one is the answer, for a pattern the first one in that run that matches.
    constexpr size_t step = 1024;
    while (position < list.total()) {
        const ResultList::Orders page = list.page(position, headword.isPrefix() ? 1 : step);
        for (size_t i = 0; i < page.size(); ++i) {
            const std::string_view key = m_catalogue.key(page[i]);
            if (key.substr(0, prefix.size()) != prefix)
                return {};
            if (headword.matches(key))
                return {static_cast<int64_t>(position + i), page[i]};
        }
        position += page.size();
    }
    return {};
}
