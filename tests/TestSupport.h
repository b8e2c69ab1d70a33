// Helpers shared by all test runners (standard C++).
#pragma once

#include <string>

namespace testing_support {

// Contents of a file in tests/data (binary); empty when the file is missing.
std::string ReadTestData(const std::string& relativePath);

// Builds a std::wstring of UTF-16 code units from UTF-8, whatever the width of wchar_t.
std::wstring Utf16(const std::string& utf8);

} // namespace testing_support
