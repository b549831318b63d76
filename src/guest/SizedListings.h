// The folder listings a copy's sizing pass read, kept for when the copy enters those folders, so
// that a tree is read once and the copy sends what it counted. Bounded: the folders of a tree too
// large to keep are listed again when entered.
#pragma once

#include <cstddef>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

template <typename TItem>
class TSizedListings {
public:
    explicit TSizedListings(std::size_t nMostEntries) : m_nMostEntries(nMostEntries) {}

    // Keeps sFolder's items unless the listings kept hold too many entries already.
    void Keep(const std::string& sFolder, std::vector<TItem> items)
    {
        if (m_nEntries + items.size() > m_nMostEntries)
            return;
        m_nEntries += items.size();
        m_folders[sFolder] = std::move(items);
    }
    // Hands over (and forgets) sFolder's items; false when they were not kept.
    bool Take(const std::string& sFolder, std::vector<TItem>* pItems)
    {
        const auto it = m_folders.find(sFolder);
        if (it == m_folders.end())
            return false;
        *pItems = std::move(it->second);
        m_folders.erase(it);
        return true;
    }
    void Clear()
    {
        m_folders.clear();
        m_nEntries = 0;
    }

private:
    std::size_t m_nMostEntries;
    std::unordered_map<std::string, std::vector<TItem>> m_folders;
    std::size_t m_nEntries = 0;
};
