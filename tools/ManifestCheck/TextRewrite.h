// Changing a few places of an XML file and writing it back in its own encoding, with every
// other byte as it was, through a temporary file that replaces the original in one step.
#pragma once

#include "xml/XmlEncoding.h"

#include <string>
#include <vector>

// A file as the installer's reader decodes it, with the bytes it came from.
struct DecodedFile
{
    std::string bytes;      // the whole file, byte-order mark included
    XmlTextFormat format;   // mark, unit size and encoding (after the UTF-8 test)
    XmlTextRead read;       // text, encoding name and log, as ReadTextFile gives them
};

// False, with the system's reason, when the file cannot be read.
bool ReadDecodedFile(const std::wstring& path, DecodedFile& file, std::wstring& problem);

// One change of the text: [begin, end) becomes replacement.
struct TextEdit
{
    size_t begin = 0;
    size_t end = 0;
    std::wstring replacement;
};

// The text with the edits made; edits are sorted by begin, those at one offset keep their
// order, and none may overlap another.
std::wstring ApplyEdits(const std::wstring& text, std::vector<TextEdit> edits);

// The file's bytes with the edits made in the file's encoding. False, with the reason, when
// the file is not exactly its text in that encoding (bytes the reader replaced or dropped, a
// code page that does not give the same bytes back): writing it would change other places,
// so nothing is written.
bool RewriteBytes(const DecodedFile& file, const std::vector<TextEdit>& edits,
                  std::string& result, std::wstring& problem);

// Writes bytes to a new file beside path, then moves it over path in one step; path is
// untouched when anything fails. False with the system's reason.
bool ReplaceFileBytes(const std::wstring& path, const std::string& bytes, std::wstring& problem);
