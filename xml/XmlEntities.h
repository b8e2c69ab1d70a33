// Named character references (the 252 of HTML 4.01 plus apos) and the
// decoding of character references in element data.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

struct XmlEntity
{
    const char* name;     // as written in the standard, case preserved
    uint32_t codePoint;
};

// The table is held as hash buckets so that a lookup compares only a few names.
constexpr unsigned kXmlEntityBucketCount = 130;

// Bucket of a name: sum of its character codes, A-Z lower-cased, modulo 130.
unsigned XmlEntityBucketOf(const char* name);

// Read access to the table, for checks of its contents.
size_t XmlEntityCount();
size_t XmlEntityBucketSize(unsigned bucket);
const XmlEntity& XmlEntityInBucket(unsigned bucket, size_t position);

// Code point of a named reference (units of `name` must be ASCII), or 0 when
// the name is unknown. An exact spelling wins; otherwise letter case is
// ignored, and of two names that differ only in case the one written with
// capitals is chosen (so "EACUTE" gives U+00C9).
uint32_t LookupXmlEntity(const wchar_t* name, size_t length);

// Value of a numeric reference name ("#65", "#x41", after the '&' and before
// the ';'), read the way wcstol reads it. Returns false for references that are
// left in the text as they stand: no digits, zero, negative, above U+10FFFF, or
// a surrogate code point.
bool ParseXmlNumericReference(const wchar_t* name, size_t length, uint32_t& codePoint);

// Appends [begin, end) to `out`, replacing character references. A reference
// that cannot be decoded leaves its '&' in place and copying goes on after it.
void AppendXmlDecoded(const wchar_t* begin, const wchar_t* end, std::wstring& out);
