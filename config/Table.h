// A growable array of UTF-16 strings, as filled with the names of a registry
// key's subkeys (standard C++).
#pragma once

#include <new>
#include <string>

// T is the character type, P the item pointer type (Table<wchar_t, wchar_t*>).
// The table starts with room for 32 items and grows by 64 whenever it is full
// (32, 96, 160, ...). An owning table stores a private copy of every string it
// is given and frees the copies when it is destroyed; a non-owning table keeps
// the caller's pointers and frees nothing (storing copies it never frees would
// leak them). Allocation failures are reported by Add, never thrown.
template <typename T, typename P>
class Table
{
public:
    explicit Table(bool ownsItems = true) : m_ownsItems(ownsItems)
    {
        m_items = new (std::nothrow) P[kInitialCapacity];
        m_capacity = m_items ? kInitialCapacity : 0;
    }

    virtual ~Table() { Clear(); delete[] m_items; }

    Table(const Table&) = delete;
    Table& operator=(const Table&) = delete;

    // Appends a string; false when text is null or memory ran out (the table
    // is then unchanged).
    bool Add(const T* text)
    {
        if (!text)
            return false;
        if (m_count == m_capacity && !Grow())
            return false;
        P item;
        if (m_ownsItems) {
            const std::size_t length = std::char_traits<T>::length(text);
            item = new (std::nothrow) T[length + 1];
            if (!item)
                return false;
            std::char_traits<T>::copy(item, text, length + 1);
        } else {
            // The table never writes through its items; the cast only lets a
            // borrowed constant string share the item type.
            item = const_cast<P>(text);
        }
        m_items[m_count++] = item;
        return true;
    }

    // The item at index, or null outside 0 .. Count() - 1.
    P Get(int index) const
    {
        return (index >= 0 && index < m_count) ? m_items[index] : nullptr;
    }

    int Count() const { return m_count; }
    int Capacity() const { return m_capacity; }
    bool OwnsItems() const { return m_ownsItems; }
    int GrowthStep() const { return m_growBy; }

    // Removes every item (freeing owned copies); the capacity stays.
    void Clear()
    {
        if (m_ownsItems) {
            for (int i = 0; i < m_count; ++i)
                delete[] m_items[i];
        }
        m_count = 0;
    }

private:
    static constexpr int kInitialCapacity = 32;
    static constexpr int kMaxCapacity = 0x3FFFFFFF;

    bool Grow()
    {
        const int step = m_capacity == 0 ? kInitialCapacity : m_growBy;
        if (m_capacity > kMaxCapacity - step)
            return false;
        const int capacity = m_capacity + step;
        P* items = new (std::nothrow) P[capacity];
        if (!items)
            return false;
        for (int i = 0; i < m_count; ++i)
            items[i] = m_items[i];
        delete[] m_items;
        m_items = items;
        m_capacity = capacity;
        return true;
    }

    P* m_items = nullptr;
    int m_count = 0;
    int m_capacity = 0;
    bool m_ownsItems = true;
    int m_growBy = 64;
};
