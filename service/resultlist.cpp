#include "service/resultlist.h"

#include <algorithm>

ResultList ResultList::range(uint32_t first, uint32_t last)
{
    ResultList result;
    result.m_kind = Kind::Range;
    result.m_first = first;
    result.m_last = std::max(first, last);
    result.m_total = result.m_last - result.m_first;
    return result;
}

ResultList ResultList::range(uint32_t first, uint32_t last, const std::vector<const Orders*>& dictionaries)
{
    ResultList result;
    result.m_kind = Kind::Slices;
    result.m_first = first;
    result.m_last = std::max(first, last);
    for (const Orders* orders : dictionaries) {
        const uint32_t* begin = std::lower_bound(orders->data(), orders->data() + orders->size(), first);
        const uint32_t* end = std::lower_bound(begin, orders->data() + orders->size(), result.m_last);
        if (begin != end) {
            result.m_slices.push_back(Slice{begin, end});
            result.m_total += static_cast<size_t>(end - begin);
        }
    }
    return result;
}

ResultList ResultList::list(std::shared_ptr<const Orders> orders)
{
    ResultList result;
    result.m_kind = Kind::List;
    result.m_total = orders ? orders->size() : 0;
    result.m_list = std::move(orders);
    return result;
}

size_t ResultList::rankOf(uint32_t order) const
{
    switch (m_kind) {
    case Kind::Range:
        return std::clamp(order, m_first, m_last) - m_first;
    case Kind::Slices: {
        size_t rank = 0;
        for (const Slice& slice : m_slices)
            rank += static_cast<size_t>(std::lower_bound(slice.begin, slice.end, order) - slice.begin);
        return rank;
    }
    case Kind::List:
        return static_cast<size_t>(std::lower_bound(m_list->begin(), m_list->end(), order) - m_list->begin());
    }
    return 0;
}

ResultList::Orders ResultList::page(size_t position, size_t rows) const
{
    Orders out;
    if (position >= m_total || rows == 0)
        return out;
    rows = std::min(rows, m_total - position);
    out.reserve(rows);
    switch (m_kind) {
    case Kind::Range:
        for (size_t i = 0; i < rows; ++i)
            out.push_back(static_cast<uint32_t>(m_first + position + i));
        break;
    case Kind::List:
        out.assign(m_list->begin() + static_cast<std::ptrdiff_t>(position),
                   m_list->begin() + static_cast<std::ptrdiff_t>(position + rows));
        break;
    case Kind::Slices: {
        // The entry at the position is the smallest order with more than `position` entries
        // at or below it.
        uint32_t low = m_first;
        uint32_t high = m_last - 1;
        while (low < high) {
            const uint32_t middle = low + (high - low) / 2;
            if (rankOf(middle + 1) > position)
                high = middle;
            else
                low = middle + 1;
        }
        std::vector<const uint32_t*> cursors;
        cursors.reserve(m_slices.size());
        for (const Slice& slice : m_slices)
            cursors.push_back(std::lower_bound(slice.begin, slice.end, low));
        while (out.size() < rows) {
            size_t best = m_slices.size();
            for (size_t i = 0; i < m_slices.size(); ++i)
                if (cursors[i] != m_slices[i].end &&
                    (best == m_slices.size() || *cursors[i] < *cursors[best]))
                    best = i;
            if (best == m_slices.size())
                break;
            out.push_back(*cursors[best]++);
        }
        break;
    }
    }
    return out;
}
