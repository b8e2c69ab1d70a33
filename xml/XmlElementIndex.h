// The element index of an XML document: one record per element, holding only
// positions into the document text, stored in pages so that growing the index
// never moves a full page.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

struct XmlElementRecord
{
    // Flags word: nesting level in the low 16 bits, then the marks.
    static constexpr uint32_t kLevelMask = 0xFFFF;
    static constexpr uint32_t kFirstChild = 0x80000;
    static constexpr uint32_t kUnended = 0x100000;
    static constexpr uint32_t kContainsError = 0x200000;
    static constexpr uint32_t kNotWellFormed = 0x800000;   // document record only

    // Tag lengths word: start-tag length in the low 22 bits, end-tag length above.
    static constexpr uint32_t kMaxStartTagLength = (1u << 22) - 1;
    static constexpr uint32_t kMaxEndTagLength = (1u << 10) - 1;

    int32_t start;          // offset of the '<' of the start tag
    int32_t length;         // start tag to end of end tag (the tag alone when empty)
    uint32_t tagLengths;
    uint32_t flags;
    int32_t parent;
    int32_t firstChild;
    int32_t nextSibling;
    int32_t prevSibling;    // for the first child: the last child of the parent

    uint32_t StartTagLength() const { return tagLengths & kMaxStartTagLength; }
    uint32_t EndTagLength() const { return tagLengths >> 22; }
    // Callers keep the lengths within their widths (checked when parsing).
    void SetTagLengths(uint32_t startTag, uint32_t endTag)
    {
        tagLengths = (startTag & kMaxStartTagLength) | ((endTag & kMaxEndTagLength) << 22);
    }
    uint32_t Level() const { return flags & kLevelMask; }
    bool IsEmpty() const { return static_cast<int64_t>(StartTagLength()) == length; }
};

static_assert(sizeof(XmlElementRecord) == 32, "eight 32-bit fields");

class CXmlElementIndex
{
public:
    static constexpr unsigned kPageBits = 16;
    static constexpr uint32_t kPageSize = 1u << kPageBits;
    static constexpr int32_t kMaxIndex = 0x7FFFFFFF;

    // Drops every record and makes room for `capacity` records (at least one),
    // then adds the zeroed document record at index 0. False when out of memory.
    bool Reset(size_t capacity);
    // Drops every record; the index is then empty (not even a document record).
    void Clear();

    // Adds a zeroed record at the next free index; -1 when the highest allowed
    // index is reached or memory runs out. Full index: capacity grows by half.
    int32_t Append();

    XmlElementRecord& operator[](int32_t index)
    {
        return m_pages[static_cast<uint32_t>(index) >> kPageBits][index & (kPageSize - 1)];
    }
    const XmlElementRecord& operator[](int32_t index) const
    {
        return m_pages[static_cast<uint32_t>(index) >> kPageBits][index & (kPageSize - 1)];
    }

    size_t Size() const { return m_size; }          // the next free index
    size_t Capacity() const { return m_capacity; }
    size_t PageCount() const { return m_pages.size(); }

    // Lowers the highest index Append hands out (tests of the limit).
    void SetMaxIndex(int32_t maxIndex) { m_maxIndex = maxIndex; }

private:
    bool Grow(size_t capacity);

    std::vector<std::unique_ptr<XmlElementRecord[]>> m_pages;
    std::vector<uint32_t> m_pageCapacity;   // records allocated in each page
    size_t m_capacity = 0;
    size_t m_size = 0;
    int32_t m_maxIndex = kMaxIndex;
};
