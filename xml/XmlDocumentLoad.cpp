// Loading a document from a file: the reader turns the file into text and
// its log becomes the start of the document's result log.
#include "xml/XmlDocument.h"
#include "xml/XmlTextFile.h"

#include <utility>

bool CXmlDocument::Load(const std::wstring& path)
{
    XmlTextRead read = ReadTextFile(path);
    // A file that could not be read still replaces the document: its text is
    // empty and the log holds the reader's error.
    bool wellFormed = ParseLoaded(std::move(read.text), read.log);
    return read.success && wellFormed;
}
