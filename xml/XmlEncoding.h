// Turning the bytes of an XML file into one UTF-16 text: the encoding-name
// table, byte-order marks, the declared encoding, the UTF-8 test and the
// decoding steps, with the events of the reader's log.
//
// Everything here is standard C++ so that the decisions can be tested and
// fuzzed natively. The one platform service, converting bytes of a code page,
// is passed in as a CodePageConverter; the Windows reader passes
// MultiByteToWideChar. Texts hold UTF-16 code units whatever the width of
// wchar_t.
#pragma once

#include "xml/XmlLog.h"

#include <cstddef>
#include <string>

// Code page numbers as Windows numbers them. 0 is the system's default (ANSI)
// code page, which the converter resolves.
constexpr unsigned kCodePageDefault = 0;
constexpr unsigned kCodePageUtf16LE = 1200;
constexpr unsigned kCodePageUtf16BE = 1201;
constexpr unsigned kCodePageUtf32LE = 12000;
constexpr unsigned kCodePageUtf32BE = 12001;
constexpr unsigned kCodePageUtf8 = 65001;

// Names this long or longer are never looked up.
constexpr size_t kMaxEncodingNameLength = 100;
// The alias table is stored as this many hash buckets.
constexpr size_t kEncodingBucketCount = 155;
// Bytes looked at for a byte-order mark and a declared encoding.
constexpr size_t kSniffLength = 1024;
// Document offsets are 32-bit signed, so no text may be longer than this.
constexpr size_t kMaxTextUnits = 0x7FFFFFFF;

// Converts n bytes in a code page into UTF-16 code units (appended to out).
// Returns false when the code page is unknown or the conversion fails.
using CodePageConverter = bool (*)(unsigned codePage, const char* bytes, size_t n,
                                   std::wstring& out);

// One row of the alias table.
struct EncodingAlias
{
    const char* name; // lower case
    unsigned codePage;
};

// Code page for an encoding name: UTF-32 for a name beginning "UTF-32",
// otherwise the table entry of the lower-cased name; kCodePageDefault for an
// empty, over-long or unknown name.
unsigned CodePageFromEncodingName(const std::wstring& name);

// Bucket of a name: the sum of its lower-cased code units modulo 155.
size_t EncodingNameBucket(const std::wstring& name);
// The rows of one bucket (count set to their number), for inspection.
const EncodingAlias* EncodingBucketRows(size_t bucket, size_t& count);
// All rows, in bucket order.
const EncodingAlias* EncodingAliasRows(size_t& count);

enum XmlTextFlags : unsigned
{
    kXmlTextUtf16LE = 0x1,
    kXmlTextUtf16BE = 0x2,
    kXmlTextUtf8Bom = 0x4,
    kXmlTextUtf32LE = 0x8,
    kXmlTextUtf32BE = 0x10,
};

// What the first bytes of a file tell about the rest.
struct XmlTextFormat
{
    std::wstring encoding; // empty while not known
    unsigned unitSize = 1; // 1 byte-oriented, 2 UTF-16, 4 UTF-32
    unsigned flags = 0;    // XmlTextFlags
    size_t offset = 0;     // length of the byte-order mark
};

// Result of reading a file (or a buffer) as text.
struct XmlTextRead
{
    bool success = false;
    std::wstring text;
    std::wstring encoding;
    CXmlLog log;
};

// Decides the format from the first min(1024, length) bytes: byte-order mark
// (logging "bom"), else the declared encoding, else UTF-8 when the first byte
// is '<'.
XmlTextFormat DetectTextFormat(const unsigned char* head, size_t n, CXmlLog& log);

// The encoding named by an XML declaration at the very first character or by
// the Content-Type meta element of an html document; empty when none is found
// complete inside the n bytes given.
std::wstring FindDeclaredEncoding(const unsigned char* head, size_t n);

// Turns the bytes after the mark into text, logging "read", "nulls_removed",
// "endian_swap", "utf8_detection" and "converted_to". Works in place on bytes;
// format.encoding is set when UTF-8 is detected.
void DecodeText(XmlTextFormat& format, std::string& bytes, CodePageConverter convert,
                std::wstring& text, CXmlLog& log);

// The whole reading of an in-memory file, the same way the file reader does it.
XmlTextRead DecodeTextBuffer(const char* data, size_t n, CodePageConverter convert);

// Structural UTF-8 test: every lead byte followed by its continuation bytes;
// stops successfully at the end or at a zero byte.
bool IsWellFormedUtf8(const char* bytes, size_t n);

// Removes every unit that is all zero bytes; a partial unit at the end is
// kept. Returns the number of units removed.
size_t RemoveZeroUnits(std::string& bytes, unsigned unitSize);

// Reverses the bytes of every whole unit (big-endian to little-endian).
void SwapUnitBytes(std::string& bytes, unsigned unitSize);

// Little-endian UTF-16 units to text; a trailing odd byte becomes U+FFFD.
void AppendUtf16Units(const std::string& bytes, std::wstring& out);

// Little-endian UTF-32 values to text: above U+FFFF as surrogate pairs;
// surrogates, values above U+10FFFF and a partial unit become U+FFFD.
void AppendUtf32Units(const std::string& bytes, std::wstring& out);

// Whether a file of this length (ftell's answer) can be read as text whose
// body starts at offset: false for a failed ftell and for more units than a
// document can address.
bool IsReadableLength(long long fileLength, size_t offset, unsigned unitSize);

// Logs "file_error" with the first line of the system's message (at most 100
// code units, never splitting a surrogate pair) and the error number.
void LogFileError(CXmlLog& log, const std::wstring& systemMessage, unsigned long error);
