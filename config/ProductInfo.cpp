#include "config/ProductInfo.h"

#include <msi.h>

#include <vector>

UINT QueryProductInfo(const std::wstring& productCode, const wchar_t* attribute, std::wstring& value)
{
    value.clear();
    std::vector<wchar_t> buffer(kProductInfoChars, L'\0');
    // A value longer than the buffer is reported as ERROR_MORE_DATA with its
    // length; it is read again with that room rather than shown cut. The value
    // may change between the calls, hence the loop (bounded, for safety).
    for (int attempt = 0; attempt < 4; ++attempt) {
        DWORD chars = static_cast<DWORD>(buffer.size());
        const UINT result = ::MsiGetProductInfoW(productCode.c_str(), attribute, buffer.data(), &chars);
        if (result == ERROR_SUCCESS) {
            if (chars > buffer.size() - 1)
                chars = static_cast<DWORD>(buffer.size() - 1);
            value.assign(buffer.data(), chars);
            return result;
        }
        if (result != ERROR_MORE_DATA)
            return result;
        buffer.assign(static_cast<size_t>(chars) + 1, L'\0');
    }
    return ERROR_MORE_DATA;
}
