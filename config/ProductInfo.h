// What Windows Installer knows of an installed product: the query the install
// model asks whether, in which version and under which name the product is
// installed.
#pragma once

#include <windows.h>

#include <string>

// Characters of the first product-information buffer.
constexpr DWORD kProductInfoChars = 260;

// Reads one attribute ("VersionString", "InstalledProductName", ...) of an
// installed product. Returns ERROR_SUCCESS with the whole value,
// ERROR_UNKNOWN_PRODUCT (1605) when the product is not installed, or another
// error; value is empty unless the result is ERROR_SUCCESS.
UINT QueryProductInfo(const std::wstring& productCode, const wchar_t* attribute, std::wstring& value);
