// Reading decimal numbers out of registry and version texts (standard C++).
#pragma once

#include <string>

// Reads a leading decimal integer the way the C runtime's _wtoi does: skips
// leading white space (space, tab, CR, LF, VT, FF), takes an optional sign and
// then as many digits 0-9 as follow; anything else ends the number. A text
// without digits gives 0. Values beyond the int range saturate at INT_MAX or
// INT_MIN (as the C runtime reports them) instead of overflowing.
int WtoiLike(const wchar_t* first, const wchar_t* last);
int WtoiLike(const std::wstring& text);
