// The pieces of a Windows Installer transform file (.mst), built as bytes: the encoded stream
// names, the transform's own string pool, the rows of a changed Property table and the summary
// information stream. MakeTransform puts them into a structured-storage file. Standard C++
// only: the layout is the published file format, independent of any Windows call.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace transform {

using Bytes = std::vector<uint8_t>;

// The name under which a database or transform stores a stream. Table streams (the string
// pool and data included) start with the mark 0x4840; letters, digits, '.' and '_' are packed
// two to a code unit (0x3800 + a + (b << 6)) or one (0x4800 + a); other characters stay.
std::wstring EncodeStreamName(const std::wstring& name, bool table);

// The transform's strings. Rows refer to strings by their 1-based index in this pool, two
// bytes per reference (the pool never grows past 65535 strings).
class CStringPool
{
public:
    explicit CStringPool(uint16_t codepage) : m_codepage(codepage) {}

    // The index of text (bytes in the pool's code page), added on first use; every call
    // counts one reference. 0 when the pool is full or the text is longer than 65535 bytes.
    uint16_t Reference(const std::string& text);

    // "_StringPool": the code page word and a flags word, then (length, references) pairs.
    Bytes PoolStream() const;
    // "_StringData": the strings back to back, without terminators.
    Bytes DataStream() const;

private:
    struct Entry
    {
        std::string text;
        uint16_t references;
    };
    uint16_t m_codepage;
    std::vector<Entry> m_entries;
};

// The "Property" table stream of a transform that changes existing rows: per row the column
// mask 0x0002 (the Value column; the key column is always present), then the string
// references of the key and the new value. Empty when a string cannot be added.
Bytes PropertyUpdateStream(CStringPool& pool,
                           const std::vector<std::pair<std::string, std::string>>& changes);

// Summary information of a transform; texts are in the property set's code page.
struct SummaryInfo
{
    int16_t codepage = 1252;
    std::string title;            // PID 2
    std::string subject;          // PID 3
    std::string author;           // PID 4
    std::string keywords;         // PID 5
    std::string comments;         // PID 6
    std::string templateText;     // PID 7: platform and language of the base package
    std::string lastAuthor;       // PID 8: platform and language after the transform
    std::string revisionNumber;   // PID 9: "{old code}old version;{new code}new version;{upgrade}"
    int32_t pageCount = 200;      // PID 14: the Windows Installer version needed
    int32_t characterCount = 0;   // PID 16: validation flags (high word), error flags (low word)
    std::string applicationName;  // PID 18
};

// The "\005SummaryInformation" stream: one property set (FMTID_SummaryInformation) in the
// little-endian serialized property set format. Empty texts are left out.
Bytes SummaryInformationStream(const SummaryInfo& info);

// Validation (high word) and error-condition (low word) flags of the Character Count property.
enum : int32_t
{
    kValidateLanguage = 0x0001 << 16,
    kValidateProduct = 0x0002 << 16,
    kValidatePlatform = 0x0004 << 16,
    kValidateUpgradeCode = 0x0800 << 16,
    kErrorUpdateMissingRow = 0x0010,
    kErrorChangeCodepage = 0x0020,
};

} // namespace transform
