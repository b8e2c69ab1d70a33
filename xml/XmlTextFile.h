// Reading an XML file from disk as one UTF-16 text (Windows).
#pragma once

#include "xml/XmlEncoding.h"

#include <string>

// Opens, sniffs, reads and converts the file. Open, read and close errors are
// the only failures; they are logged as "file_error" and leave the text empty.
XmlTextRead ReadTextFile(const std::wstring& path);

// The converter the reader uses: MultiByteToWideChar with the code page and
// no flags (invalid UTF-8 becomes U+FFFD); false for inputs longer than an
// int or a code page the system cannot convert.
bool ConvertCodePageBytes(unsigned codePage, const char* bytes, size_t n, std::wstring& out);
