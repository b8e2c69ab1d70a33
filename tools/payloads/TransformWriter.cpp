#include "tools/payloads/TransformWriter.h"

namespace transform {

namespace {

// Position of a character in the 64-letter alphabet of stream names, or -1.
int StreamNameDigit(wchar_t c)
{
    if (c >= L'0' && c <= L'9')
        return c - L'0';
    if (c >= L'A' && c <= L'Z')
        return c - L'A' + 10;
    if (c >= L'a' && c <= L'z')
        return c - L'a' + 36;
    if (c == L'.')
        return 62;
    if (c == L'_')
        return 63;
    return -1;
}

void Put16(Bytes& out, uint32_t value)
{
    out.push_back(static_cast<uint8_t>(value & 0xFF));
    out.push_back(static_cast<uint8_t>((value >> 8) & 0xFF));
}

void Put32(Bytes& out, uint32_t value)
{
    Put16(out, value & 0xFFFF);
    Put16(out, value >> 16);
}

void Set32(Bytes& out, size_t at, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        out[at + i] = static_cast<uint8_t>((value >> (8 * i)) & 0xFF);
}

const uint16_t kTypeI2 = 2;
const uint16_t kTypeI4 = 3;
const uint16_t kTypeText = 30; // VT_LPSTR

// One property value: its type word, two bytes of padding, then the value padded to 4 bytes.
struct Property
{
    uint32_t id;
    Bytes value;
};

Property NumberProperty(uint32_t id, uint16_t type, int32_t number)
{
    Property p{id, {}};
    Put16(p.value, type);
    Put16(p.value, 0);
    if (type == kTypeI2) {
        Put16(p.value, static_cast<uint16_t>(number));
        Put16(p.value, 0);
    } else {
        Put32(p.value, static_cast<uint32_t>(number));
    }
    return p;
}

Property TextProperty(uint32_t id, const std::string& text)
{
    Property p{id, {}};
    Put16(p.value, kTypeText);
    Put16(p.value, 0);
    Put32(p.value, static_cast<uint32_t>(text.size() + 1)); // the count includes the null
    p.value.insert(p.value.end(), text.begin(), text.end());
    p.value.push_back(0);
    while (p.value.size() % 4 != 0)
        p.value.push_back(0);
    return p;
}

// FMTID_SummaryInformation {F29F85E0-4FF9-1068-AB91-08002B27B3D9}, in its stored byte order.
const uint8_t kSummaryFormatId[16] = {0xE0, 0x85, 0x9F, 0xF2, 0xF9, 0x4F, 0x68, 0x10,
                                      0xAB, 0x91, 0x08, 0x00, 0x2B, 0x27, 0xB3, 0xD9};

} // namespace

std::wstring EncodeStreamName(const std::wstring& name, bool table)
{
    std::wstring out;
    if (table)
        out.push_back(static_cast<wchar_t>(0x4840));
    for (size_t i = 0; i < name.size(); ++i) {
        const int a = StreamNameDigit(name[i]);
        if (a < 0) {
            out.push_back(name[i]);
            continue;
        }
        const int b = i + 1 < name.size() ? StreamNameDigit(name[i + 1]) : -1;
        if (b >= 0) {
            out.push_back(static_cast<wchar_t>(0x3800 + a + (b << 6)));
            ++i;
        } else {
            out.push_back(static_cast<wchar_t>(0x4800 + a));
        }
    }
    return out;
}

uint16_t CStringPool::Reference(const std::string& text)
{
    if (text.size() > 0xFFFF)
        return 0;
    for (size_t i = 0; i < m_entries.size(); ++i) {
        if (m_entries[i].text == text) {
            if (m_entries[i].references < 0xFFFF)
                ++m_entries[i].references;
            return static_cast<uint16_t>(i + 1);
        }
    }
    if (m_entries.size() >= 0xFFFF)
        return 0;
    m_entries.push_back(Entry{text, 1});
    return static_cast<uint16_t>(m_entries.size());
}

Bytes CStringPool::PoolStream() const
{
    Bytes out;
    Put16(out, m_codepage);
    Put16(out, 0); // no three-byte references
    for (const Entry& entry : m_entries) {
        Put16(out, static_cast<uint32_t>(entry.text.size()));
        Put16(out, entry.references);
    }
    return out;
}

Bytes CStringPool::DataStream() const
{
    Bytes out;
    for (const Entry& entry : m_entries)
        out.insert(out.end(), entry.text.begin(), entry.text.end());
    return out;
}

Bytes PropertyUpdateStream(CStringPool& pool,
                           const std::vector<std::pair<std::string, std::string>>& changes)
{
    Bytes out;
    for (const auto& change : changes) {
        const uint16_t key = pool.Reference(change.first);
        const uint16_t value = pool.Reference(change.second);
        if (key == 0 || value == 0)
            return Bytes();
        Put16(out, 0x0002);
        Put16(out, key);
        Put16(out, value);
    }
    return out;
}

Bytes SummaryInformationStream(const SummaryInfo& info)
{
    std::vector<Property> properties;
    properties.push_back(NumberProperty(1, kTypeI2, info.codepage));
    const std::pair<uint32_t, const std::string*> texts[] = {
        {2, &info.title},        {3, &info.subject},        {4, &info.author},
        {5, &info.keywords},     {6, &info.comments},       {7, &info.templateText},
        {8, &info.lastAuthor},   {9, &info.revisionNumber}};
    for (const auto& text : texts) {
        if (!text.second->empty())
            properties.push_back(TextProperty(text.first, *text.second));
    }
    properties.push_back(NumberProperty(14, kTypeI4, info.pageCount));
    properties.push_back(NumberProperty(16, kTypeI4, info.characterCount));
    if (!info.applicationName.empty())
        properties.push_back(TextProperty(18, info.applicationName));

    Bytes out;
    Put16(out, 0xFFFE); // byte order mark
    Put16(out, 0);      // format version
    Put32(out, 0x00020006); // written on Win32, system version 6
    out.insert(out.end(), 16, 0); // class id: none
    Put32(out, 1);                // one property set
    out.insert(out.end(), kSummaryFormatId, kSummaryFormatId + 16);
    Put32(out, static_cast<uint32_t>(out.size() + 4)); // the section follows this offset

    const size_t section = out.size();
    Put32(out, 0); // section size, set below
    Put32(out, static_cast<uint32_t>(properties.size()));
    const size_t table = out.size();
    out.insert(out.end(), properties.size() * 8, 0);
    for (size_t i = 0; i < properties.size(); ++i) {
        Set32(out, table + i * 8, properties[i].id);
        Set32(out, table + i * 8 + 4, static_cast<uint32_t>(out.size() - section));
        out.insert(out.end(), properties[i].value.begin(), properties[i].value.end());
    }
    Set32(out, section, static_cast<uint32_t>(out.size() - section));
    return out;
}

} // namespace transform
