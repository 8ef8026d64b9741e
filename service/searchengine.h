#pragma once

#include "service/catalogue.h"
#include "service/querypattern.h"
#include "service/resultcache.h"
#include "service/resultlist.h"

#include <vector>

// Answers result lists and headword places over a finished catalogue. Plain prefixes cost a
// few binary searches; wildcard patterns scan the range of their literal prefix once and are
// then served from a bounded cache.
class SearchEngine
{
public:
    struct HeadwordPlace
    {
        int64_t position = -1; // in the result list
        int64_t order = -1;
    };

    explicit SearchEngine(const Catalogue& catalogue);

    // dictionaries: catalogue indices, ascending and without repeats; empty means all.
    ResultList resultList(const QueryPattern& query, const std::vector<int>& dictionaries) const;
    // The first entry of the list that the headword pattern matches (a pattern meant as
    // "begins with", that is ending in "*").
    HeadwordPlace headwordPlace(const ResultList& list, const QueryPattern& headword) const;

private:
    const Catalogue& m_catalogue;
    mutable ResultCache m_cache;
};
