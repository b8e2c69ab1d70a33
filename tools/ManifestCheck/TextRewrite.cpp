#include "TextRewrite.h"

#include "framework/Handles.h"
#include "xml/XmlTextFile.h"

#include <windows.h>

#include <algorithm>
#include <climits>

namespace {

std::wstring SystemMessage(DWORD error)
{
    wchar_t buffer[512];
    DWORD n = ::FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                               nullptr, error, 0, buffer, ARRAYSIZE(buffer), nullptr);
    while (n > 0 && (buffer[n - 1] == L'\r' || buffer[n - 1] == L'\n' || buffer[n - 1] == L' '))
        --n;
    std::wstring text(buffer, n);
    return (text.empty() ? L"system error" : text) + L" (" + std::to_wstring(error) + L")";
}

void PutUnit(std::string& out, unsigned long value, unsigned size, bool bigEndian)
{
    for (unsigned i = 0; i < size; ++i) {
        const unsigned shift = 8 * (bigEndian ? size - 1 - i : i);
        out += static_cast<char>((value >> shift) & 0xFF);
    }
}

// Text in the encoding the reader decoded the file from: UTF-16 and UTF-32 units in their
// byte order, otherwise the bytes of the code page the reader converted.
bool Encode(const XmlTextFormat& format, const std::wstring& text, std::string& out)
{
    const bool bigEndian = (format.flags & (kXmlTextUtf16BE | kXmlTextUtf32BE)) != 0;
    if (format.unitSize == 2) {
        for (wchar_t c : text)
            PutUnit(out, static_cast<unsigned long>(c) & 0xFFFF, 2, bigEndian);
        return true;
    }
    if (format.unitSize == 4) {
        for (size_t i = 0; i < text.size(); ++i) {
            unsigned long c = static_cast<unsigned long>(text[i]) & 0xFFFF;
            if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
                text[i + 1] <= 0xDFFF)
                c = 0x10000 + ((c - 0xD800) << 10) + ((text[++i] & 0xFFFF) - 0xDC00);
            else if (c >= 0xD800 && c <= 0xDFFF)
                return false;
            PutUnit(out, c, 4, bigEndian);
        }
        return true;
    }
    if (text.empty())
        return true;
    if (text.size() > static_cast<size_t>(INT_MAX / 4))
        return false;
    unsigned codePage = CodePageFromEncodingName(format.encoding);
    if (codePage == kCodePageUtf16LE || codePage == kCodePageUtf16BE ||
        codePage == kCodePageUtf32LE || codePage == kCodePageUtf32BE)
        codePage = kCodePageDefault;
    const int length = static_cast<int>(text.size());
    const int bytes =
        ::WideCharToMultiByte(codePage, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0)
        return false;
    const size_t base = out.size();
    out.resize(base + static_cast<size_t>(bytes));
    return ::WideCharToMultiByte(codePage, 0, text.data(), length, &out[base], bytes, nullptr,
                                 nullptr) == bytes;
}

// Encodes a piece of the original text and checks that it gives the file's bytes at pos.
bool MatchesOriginal(const DecodedFile& file, const std::wstring& piece, size_t& pos)
{
    std::string encoded;
    if (!Encode(file.format, piece, encoded) || file.bytes.compare(pos, encoded.size(), encoded))
        return false;
    pos += encoded.size();
    return true;
}

} // namespace

bool ReadDecodedFile(const std::wstring& path, DecodedFile& file, std::wstring& problem)
{
    CFileHandle handle(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                     OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size = {};
    if (!handle.IsValid() || !::GetFileSizeEx(handle.Get(), &size)) {
        problem = SystemMessage(::GetLastError());
        return false;
    }
    if (size.QuadPart > INT_MAX / 2) {
        problem = L"the file is too large";
        return false;
    }
    file.bytes.assign(static_cast<size_t>(size.QuadPart), '\0');
    DWORD got = 0;
    if (!file.bytes.empty() &&
        (!::ReadFile(handle.Get(), &file.bytes[0], static_cast<DWORD>(file.bytes.size()), &got,
                     nullptr) ||
         got != file.bytes.size())) {
        problem = SystemMessage(::GetLastError());
        return false;
    }
    // The steps of ReadTextFile, keeping the format for writing back.
    file.read = XmlTextRead();
    file.read.success = true;
    file.format = XmlTextFormat();
    if (file.bytes.empty()) {
        file.read.log.Add(L"read", L"encoding", std::wstring(), L"length", 0);
        return true;
    }
    const unsigned char* head = reinterpret_cast<const unsigned char*>(file.bytes.data());
    file.format =
        DetectTextFormat(head, std::min(file.bytes.size(), kSniffLength), file.read.log);
    std::string body = file.bytes.substr(file.format.offset);
    DecodeText(file.format, body, ConvertCodePageBytes, file.read.text, file.read.log);
    file.read.encoding = file.format.encoding;
    return true;
}

std::wstring ApplyEdits(const std::wstring& text, std::vector<TextEdit> edits)
{
    std::stable_sort(edits.begin(), edits.end(),
                     [](const TextEdit& a, const TextEdit& b) { return a.begin < b.begin; });
    std::wstring result;
    size_t pos = 0;
    for (const TextEdit& edit : edits) {
        result.append(text, pos, edit.begin - pos);
        result += edit.replacement;
        pos = edit.end;
    }
    result.append(text, pos, std::wstring::npos);
    return result;
}

bool RewriteBytes(const DecodedFile& file, const std::vector<TextEdit>& unsorted,
                  std::string& result, std::wstring& problem)
{
    std::vector<TextEdit> edits = unsorted;
    std::stable_sort(edits.begin(), edits.end(),
                     [](const TextEdit& a, const TextEdit& b) { return a.begin < b.begin; });
    const std::wstring& text = file.read.text;
    const std::wstring encoding =
        file.format.encoding.empty() ? L"the system's ANSI code page" : file.format.encoding;
    problem = L"it is not written exactly in its encoding (" + encoding +
              L"): writing it back would change other places; re-save it as UTF-8 and run "
              L"again";
    // Every unchanged piece is copied from the file, after checking that it is exactly the
    // encoding of its text; only the edits are encoded anew.
    result = file.bytes.substr(0, file.format.offset);
    size_t bytePos = file.format.offset;
    size_t pos = 0;
    for (const TextEdit& edit : edits) {
        const size_t keptFrom = bytePos;
        if (!MatchesOriginal(file, text.substr(pos, edit.begin - pos), bytePos))
            return false;
        result.append(file.bytes, keptFrom, bytePos - keptFrom);
        if (!MatchesOriginal(file, text.substr(edit.begin, edit.end - edit.begin), bytePos) ||
            !Encode(file.format, edit.replacement, result))
            return false;
        pos = edit.end;
    }
    const size_t keptFrom = bytePos;
    if (!MatchesOriginal(file, text.substr(pos), bytePos) || bytePos != file.bytes.size())
        return false;
    result.append(file.bytes, keptFrom, bytePos - keptFrom);

    // The new bytes must read back, the way the installer reads them, as the edited text.
    XmlTextRead reread = DecodeTextBuffer(result.data(), result.size(), ConvertCodePageBytes);
    if (reread.text != ApplyEdits(text, edits))
        return false;
    problem.clear();
    return true;
}

bool ReplaceFileBytes(const std::wstring& path, const std::string& bytes, std::wstring& problem)
{
    const std::wstring temporary =
        path + L".fill-" + std::to_wstring(::GetCurrentProcessId()) + L".tmp";
    bool written = false;
    {
        CFileHandle file(::CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file.IsValid()) {
            problem = SystemMessage(::GetLastError());
            return false;
        }
        DWORD put = 0;
        written = (bytes.empty() || (::WriteFile(file.Get(), bytes.data(),
                                                 static_cast<DWORD>(bytes.size()), &put,
                                                 nullptr) &&
                                     put == bytes.size())) &&
                  ::FlushFileBuffers(file.Get());
        if (!written)
            problem = SystemMessage(::GetLastError());
    }
    if (written && !::MoveFileExW(temporary.c_str(), path.c_str(),
                                  MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        problem = SystemMessage(::GetLastError());
        written = false;
    }
    if (!written)
        ::DeleteFileW(temporary.c_str());
    return written;
}
