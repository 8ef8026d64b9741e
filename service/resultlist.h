#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

// One query's result list over the master ordering, as ascending orders: either a range of
// the master ordering narrowed to some dictionaries (answered by binary searches in each
// dictionary's orders, no copying), or an explicit list (for wildcard patterns).
class ResultList
{
public:
    using Orders = std::vector<uint32_t>;

    ResultList() = default;
    // Every order in [first, last).
    static ResultList range(uint32_t first, uint32_t last);
    // The orders in [first, last) that occur in any of the given ascending lists.
    static ResultList range(uint32_t first, uint32_t last, const std::vector<const Orders*>& dictionaries);
    static ResultList list(std::shared_ptr<const Orders> orders);

    size_t total() const { return m_total; }
    // How many entries of the list have an order below the given one: the list position of
    // the first entry at or after it.
    size_t rankOf(uint32_t order) const;
    // Up to rows orders from the list position on.
    Orders page(size_t position, size_t rows) const;

private:
    struct Slice
    {
        const uint32_t* begin;
        const uint32_t* end;
    };
    enum class Kind
    {
        Range,
        Slices,
        List
    };

    Kind m_kind = Kind::Range;
    uint32_t m_first = 0;
    uint32_t m_last = 0;
    std::vector<Slice> m_slices;
    std::shared_ptr<const Orders> m_list;
    size_t m_total = 0;
};
