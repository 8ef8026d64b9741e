#include "service/resultcache.h"

ResultCache::ResultCache(size_t maxLists, size_t maxOrders) : m_maxLists(maxLists), m_maxOrders(maxOrders)
{
}

std::shared_ptr<const ResultCache::Orders> ResultCache::find(const std::string& key)
{
    std::lock_guard lock(m_mutex);
    const auto found = m_index.find(key);
    if (found == m_index.end())
        return nullptr;
    m_items.splice(m_items.begin(), m_items, found->second);
    return found->second->orders;
}

void ResultCache::insert(const std::string& key, std::shared_ptr<const Orders> orders)
{
    if (!orders || orders->size() > m_maxOrders || m_maxLists == 0)
        return;
    std::lock_guard lock(m_mutex);
    if (const auto found = m_index.find(key); found != m_index.end()) {
        m_orders -= found->second->orders->size();
        m_items.erase(found->second);
        m_index.erase(found);
    }
    m_orders += orders->size();
    m_items.push_front(Item{key, std::move(orders)});
    m_index.emplace(key, m_items.begin());
    while (m_items.size() > m_maxLists || m_orders > m_maxOrders) {
        m_orders -= m_items.back().orders->size();
        m_index.erase(m_items.back().key);
        m_items.pop_back();
    }
}
