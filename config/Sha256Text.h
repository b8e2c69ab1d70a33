// The text form of a SHA-256 digest as the manifest and the version document
// carry it (standard C++): exactly 64 hexadecimal digits, either letter case,
// nothing around them.
#pragma once

#include <array>
#include <cstdint>
#include <string>

using Sha256Digest = std::array<uint8_t, 32>;

// The value of a hexadecimal digit (either letter case), or -1.
int HexDigitValue(wchar_t c);

// True, with the digest, when text is exactly 64 hexadecimal digits.
bool ParseSha256Text(const std::wstring& text, Sha256Digest& digest);

// The digest as 64 lower-case hexadecimal digits.
std::wstring Sha256Text(const Sha256Digest& digest);
