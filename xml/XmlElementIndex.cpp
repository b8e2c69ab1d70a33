#include "xml/XmlElementIndex.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace {

// Indexes run from 0 to kMaxIndex, so that many records at most.
constexpr size_t kMaxRecords = static_cast<size_t>(CXmlElementIndex::kMaxIndex) + 1;

} // namespace

void CXmlElementIndex::Clear()
{
    m_pages.clear();
    m_pageCapacity.clear();
    m_capacity = 0;
    m_size = 0;
}

bool CXmlElementIndex::Reset(size_t capacity)
{
    Clear();
    if (!Grow(std::max<size_t>(capacity, 1)))
        return false;
    std::memset(&(*this)[0], 0, sizeof(XmlElementRecord));
    m_size = 1;
    return true;
}

// Makes room for `capacity` records. Only the last, partly allocated page is
// ever reallocated (at most 65,536 records are copied); full pages stay put.
bool CXmlElementIndex::Grow(size_t capacity)
{
    capacity = std::min(capacity, kMaxRecords);
    while (m_capacity < capacity) {
        size_t page = m_capacity >> kPageBits;
        size_t pageFirst = page << kPageBits;
        uint32_t want = static_cast<uint32_t>(std::min<size_t>(kPageSize, capacity - pageFirst));
        if (page == m_pages.size()) {
            m_pages.emplace_back();
            m_pageCapacity.push_back(0);
        }
        uint32_t have = m_pageCapacity[page];
        std::unique_ptr<XmlElementRecord[]> bigger(new (std::nothrow) XmlElementRecord[want]);
        if (!bigger)
            return false;
        if (have != 0)
            std::memcpy(bigger.get(), m_pages[page].get(), have * sizeof(XmlElementRecord));
        m_pages[page] = std::move(bigger);
        m_pageCapacity[page] = want;
        m_capacity = pageFirst + want;
    }
    return true;
}

int32_t CXmlElementIndex::Append()
{
    // An empty index has no document record to hang elements on.
    if (m_size == 0 || m_size > static_cast<size_t>(m_maxIndex))
        return -1;
    if (m_size == m_capacity && !Grow(m_capacity + std::max<size_t>(m_capacity / 2, 1)))
        return -1;
    int32_t index = static_cast<int32_t>(m_size);
    std::memset(&(*this)[index], 0, sizeof(XmlElementRecord));
    ++m_size;
    return index;
}
