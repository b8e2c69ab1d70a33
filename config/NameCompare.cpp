#include "config/NameCompare.h"

#include <windows.h>

#include <climits>

bool EqualNamesIgnoringCase(const std::wstring& a, const std::wstring& b)
{
    if (a.size() > static_cast<std::wstring::size_type>(INT_MAX) ||
        b.size() > static_cast<std::wstring::size_type>(INT_MAX))
        return false;
    return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                                static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}
