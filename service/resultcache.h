#pragma once

#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

// The result lists of recent wildcard queries, least recently used out first. Bounded both in
// the number of lists and in the orders they hold together, so no sequence of queries can
// make it grow past its budget. Thread-safe.
class ResultCache
{
public:
    using Orders = std::vector<uint32_t>;

    ResultCache(size_t maxLists, size_t maxOrders);

    std::shared_ptr<const Orders> find(const std::string& key);
    // Lists larger than the whole budget are not kept.
    void insert(const std::string& key, std::shared_ptr<const Orders> orders);

private:
    struct Item
    {
        std::string key;
        std::shared_ptr<const Orders> orders;
    };

    const size_t m_maxLists;
    const size_t m_maxOrders;
    std::mutex m_mutex;
    std::list<Item> m_items; // most recent first
    std::unordered_map<std::string, std::list<Item>::iterator> m_index;
    size_t m_orders = 0;
};
