// Fuzzes the decoding of file bytes into text: marks, declared encodings,
// html meta elements, UTF-16/32 units and the UTF-8 test, with the portable
// code page converter standing in for the system's.
#include "xml/XmlEncoding.h"

#include "tests/TestCodePages.h"

#include <cstdint>
#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const char* bytes = reinterpret_cast<const char*>(data);
    XmlTextRead read = DecodeTextBuffer(bytes, size, testing_support::TestConvertCodePage);
    if (!read.success)
        std::abort();
    // No decoding gives more than one unit per input byte, and every unit is
    // a UTF-16 code unit even where wchar_t is wider.
    if (read.text.size() > size)
        std::abort();
    for (wchar_t unit : read.text)
        if (static_cast<unsigned long>(unit) > 0xFFFF || unit == 0)
            std::abort();
    // The log stays bounded: events stop at 1,000 characters, and the one
    // that crosses it quotes at most a declared name from the sniffed bytes
    // (escaped, so up to five characters per byte).
    if (read.log.Text().size() > CXmlLog::kMaxLength + 5 * kSniffLength + 200)
        std::abort();

    // The sniffer on an exactly sized copy, so that any read past the sniffed
    // bytes is caught by the address sanitizer.
    size_t headLength = size < kSniffLength ? size : kSniffLength;
    std::vector<unsigned char> head(data, data + headLength);
    std::wstring declared = FindDeclaredEncoding(head.data(), head.size());
    CodePageFromEncodingName(declared);

    std::vector<char> exact(data, data + size);
    IsWellFormedUtf8(exact.data(), exact.size());
    return 0;
}
