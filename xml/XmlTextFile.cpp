#include "xml/XmlTextFile.h"

#include <windows.h>

#include <climits>
#include <cstdio>
#include <new>

static_assert(kCodePageDefault == CP_ACP, "the default code page is the system's ANSI page");

namespace {

// The runtime's file calls do not always set the thread's last error (ftell
// overflowing, a short fread); a failure still needs a number and a message.
DWORD LastErrorOr(DWORD fallback)
{
    DWORD error = GetLastError();
    return error != 0 ? error : fallback;
}

void LogSystemError(CXmlLog& log, DWORD error)
{
    wchar_t buffer[512];
    DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                             error, 0, buffer, ARRAYSIZE(buffer), nullptr);
    LogFileError(log, std::wstring(buffer, n), error);
}

// The state of one read: the open file, its length and the bytes consumed.
// It closes the file on every path; Close reports whether that worked.
class XmlTextFile
{
public:
    explicit XmlTextFile(CXmlLog& log) : m_log(log) {}
    ~XmlTextFile()
    {
        if (m_file)
            std::fclose(m_file);
    }
    XmlTextFile(const XmlTextFile&) = delete;
    XmlTextFile& operator=(const XmlTextFile&) = delete;

    bool Open(const std::wstring& path)
    {
        SetLastError(0);
        m_file = _wfopen(path.c_str(), L"rb");
        return m_file ? true : Fail(ERROR_OPEN_FAILED);
    }

    // Determines the length and reads the first min(1024, length) bytes.
    bool ReadHead(unsigned char (&head)[kSniffLength], size_t& n)
    {
        SetLastError(0);
        if (std::fseek(m_file, 0, SEEK_END) != 0)
            return Fail(ERROR_SEEK);
        // ftell answers -1 for a file longer than its long can count (2 GB
        // on Windows): such a file cannot become a document text anyway.
        long length = std::ftell(m_file);
        if (length < 0)
            return Fail(ERROR_FILE_TOO_LARGE);
        m_length = length;
        if (std::fseek(m_file, 0, SEEK_SET) != 0)
            return Fail(ERROR_SEEK);
        n = static_cast<unsigned long long>(m_length) < kSniffLength ? static_cast<size_t>(m_length)
                                                                      : kSniffLength;
        if (std::fread(head, 1, n, m_file) != n)
            return Fail(ERROR_READ_FAULT);
        return true;
    }

    // Reads everything after the byte-order mark in one read.
    bool ReadRest(const XmlTextFormat& format, std::string& bytes)
    {
        SetLastError(0);
        if (!IsReadableLength(m_length, format.offset, format.unitSize))
            return Fail(ERROR_FILE_TOO_LARGE);
        if (std::fseek(m_file, static_cast<long>(format.offset), SEEK_SET) != 0)
            return Fail(ERROR_SEEK);
        size_t toRead = static_cast<size_t>(m_length) - format.offset;
        bytes.resize(toRead);
        if (toRead != 0 && std::fread(&bytes[0], 1, toRead, m_file) != toRead)
            return Fail(ERROR_READ_FAULT);
        return true;
    }

    bool Close()
    {
        SetLastError(0);
        FILE* file = m_file;
        m_file = nullptr;
        return std::fclose(file) == 0 ? true : Fail(ERROR_WRITE_FAULT);
    }

    bool Fail(DWORD fallback)
    {
        LogSystemError(m_log, LastErrorOr(fallback));
        return false;
    }

private:
    CXmlLog& m_log;
    FILE* m_file = nullptr;
    long long m_length = 0;
};

// The rest of the file into text. Buffers of up to 2 GB bytes and 4 GB text
// may not be available: running out of memory is a read error, not a crash.
bool ReadAndDecode(XmlTextFile& file, XmlTextFormat& format, XmlTextRead& result)
{
    try {
        std::string bytes;
        if (!file.ReadRest(format, bytes))
            return false;
        DecodeText(format, bytes, ConvertCodePageBytes, result.text, result.log);
    } catch (const std::bad_alloc&) {
        result.text.clear();
        result.text.shrink_to_fit();
        return file.Fail(ERROR_NOT_ENOUGH_MEMORY);
    }
    if (result.text.size() > kMaxTextUnits) {
        result.text.clear();
        result.text.shrink_to_fit();
        return file.Fail(ERROR_FILE_TOO_LARGE);
    }
    result.encoding = format.encoding;
    return true;
}

} // namespace

bool ConvertCodePageBytes(unsigned codePage, const char* bytes, size_t n, std::wstring& out)
{
    if (n == 0)
        return true;
    if (n > static_cast<size_t>(INT_MAX))
        return false;
    const int length = static_cast<int>(n);
    int needed = MultiByteToWideChar(codePage, 0, bytes, length, nullptr, 0);
    if (needed <= 0)
        return false;
    const size_t base = out.size();
    out.resize(base + static_cast<size_t>(needed));
    int written = MultiByteToWideChar(codePage, 0, bytes, length, &out[base], needed);
    out.resize(base + static_cast<size_t>(written > 0 ? written : 0));
    return written > 0;
}

XmlTextRead ReadTextFile(const std::wstring& path)
{
    XmlTextRead result;
    XmlTextFile file(result.log);
    unsigned char head[kSniffLength];
    size_t headLength = 0;
    if (!file.Open(path) || !file.ReadHead(head, headLength))
        return result;
    if (headLength == 0) {
        result.log.Add(L"read", L"encoding", std::wstring(), L"length", 0);
        result.success = file.Close();
        return result;
    }
    XmlTextFormat format = DetectTextFormat(head, headLength, result.log);
    if (!ReadAndDecode(file, format, result))
        return result;
    if (!file.Close()) {
        result.text.clear();
        return result;
    }
    result.success = true;
    return result;
}
