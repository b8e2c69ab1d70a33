// Reading real XML files under Windows: every encoding the reader knows,
// loaded end to end through CXmlDocument, and the file errors.
#include "xml/XmlDocument.h"
#include "xml/XmlTextFile.h"

#include "TestSupport.h"
#include "WinTestSupport.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

using testing_support::TempFolder;
using testing_support::Utf16;
using testing_support::WriteFileBytes;

namespace {

std::string ToUtf16LE(const std::wstring& units)
{
    std::string out;
    for (wchar_t u : units) {
        out += static_cast<char>(u & 0xFF);
        out += static_cast<char>((u >> 8) & 0xFF);
    }
    return out;
}

std::string ToUtf16BE(const std::wstring& units)
{
    std::string out;
    for (wchar_t u : units) {
        out += static_cast<char>((u >> 8) & 0xFF);
        out += static_cast<char>(u & 0xFF);
    }
    return out;
}

std::string ToUtf32LE(const std::wstring& units)
{
    std::string out;
    for (size_t i = 0; i < units.size(); ++i) {
        unsigned long v = units[i];
        if (v >= 0xD800 && v < 0xDC00 && i + 1 < units.size())
            v = 0x10000 + ((v - 0xD800) << 10) + (units[++i] - 0xDC00);
        for (int k = 0; k < 4; ++k)
            out += static_cast<char>((v >> (8 * k)) & 0xFF);
    }
    return out;
}

std::wstring SystemMessageFirstLine(DWORD error)
{
    wchar_t buffer[512];
    DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                             error, 0, buffer, ARRAYSIZE(buffer), nullptr);
    std::wstring text(buffer, n);
    return text.substr(0, text.find_first_of(L"\r\n"));
}

std::string Narrow(const std::wstring& s)
{
    std::string out;
    for (wchar_t c : s)
        out += c < 0x80 ? static_cast<char>(c) : '?';
    return out;
}

// Loads a file and returns the data of <product><name>, or a note of what failed.
std::wstring LoadName(const std::wstring& path, std::wstring* log = nullptr)
{
    CXmlDocument doc;
    bool loaded = doc.Load(path);
    if (log)
        *log = doc.GetResultLog();
    if (!loaded)
        return L"(load failed) " + doc.GetResultLog();
    if (!doc.FindElement(L"product") || !doc.FindChildElement(L"name") || !doc.EnterElement())
        return L"(element missing)";
    return doc.GetElementData();
}

} // namespace

TEST(XmlTextFileLoad, EveryEncodingLoadsEndToEnd)
{
    TempFolder folder;
    const std::wstring name = Utf16("Caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80");
    const std::wstring utf8Doc = Utf16("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<product><name>") +
                                 name + L"</name></product>";
    const std::string utf8Bytes = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<product><name>"
                                  "Caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80</name></product>";
    const std::wstring utf32Doc = Utf16("<?xml version=\"1.0\" encoding=\"UTF-32\"?><product><name>") +
                                  name + L"</name></product>";
    struct Case { const wchar_t* file; std::string bytes; const wchar_t* encoding; };
    const Case cases[] = {
        {L"utf8.xml", utf8Bytes, L"UTF-8"},
        {L"utf8-nodecl.xml", "<product><name>Caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80</name></product>", L"UTF-8"},
        {L"utf8-bom.xml", "\xEF\xBB\xBF" + utf8Bytes, L"UTF-8"},
        {L"utf16le.xml", "\xFF\xFE" + ToUtf16LE(utf8Doc), L"UTF-16LE"},
        {L"utf16be.xml", "\xFE\xFF" + ToUtf16BE(utf8Doc), L"UTF-16BE"},
        {L"utf32-bom.xml", std::string("\xFF\xFE\0\0", 4) + ToUtf32LE(utf8Doc), L"UTF-32"},
        {L"utf32-decl.xml", ToUtf32LE(utf32Doc), L"UTF-32"},
    };
    for (const Case& c : cases) {
        std::wstring path = folder.File(c.file);
        ASSERT_TRUE(WriteFileBytes(path, c.bytes));
        XmlTextRead read = ReadTextFile(path);
        EXPECT_TRUE(read.success) << Narrow(c.file);
        EXPECT_EQ(read.encoding, c.encoding) << Narrow(c.file);
        EXPECT_EQ(LoadName(path), name) << Narrow(c.file);
    }
}

TEST(XmlTextFileLoad, DeclaredByteCodePagesUseTheSystemConverter)
{
    TempFolder folder;
    std::wstring path = folder.File(L"cp1252.xml");
    ASSERT_TRUE(WriteFileBytes(path, "<?xml version=\"1.0\" encoding=\"windows-1252\"?>"
                                     "<product><name>Caf\xE9 \x80</name></product>"));
    EXPECT_EQ(LoadName(path), Utf16("Caf\xC3\xA9 \xE2\x82\xAC"));

    if (!IsValidCodePage(932)) {
        GTEST_SKIP() << "code page 932 is not installed here";
    }
    path = folder.File(L"sjis.xml");
    ASSERT_TRUE(WriteFileBytes(path, "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>"
                                     "<product><name>\x93\xFA\x96\x7B</name></product>"));
    XmlTextRead read = ReadTextFile(path);
    EXPECT_EQ(read.encoding, L"Shift_JIS");
    std::wstring expected;
    expected += static_cast<wchar_t>(0x65E5);
    expected += static_cast<wchar_t>(0x672C);
    EXPECT_EQ(LoadName(path), expected);
}

TEST(XmlTextFileLoad, UndeclaredNonUtf8UsesSystemCodePage)
{
    TempFolder folder;
    std::wstring path = folder.File(L"ansi.txt");
    const std::string bytes = "\xE9t\xE9 <product/>";
    ASSERT_TRUE(WriteFileBytes(path, bytes));
    XmlTextRead read = ReadTextFile(path);
    ASSERT_TRUE(read.success);
    EXPECT_EQ(read.encoding, L"");
    wchar_t expected[64];
    int n = MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), expected, 64);
    ASSERT_GT(n, 0);
    EXPECT_EQ(read.text, std::wstring(expected, n));
    EXPECT_NE(read.log.Text().find(L"<utf8_detection/>"), std::wstring::npos);
}

TEST(XmlTextFileLoad, EmptyFileReadsButDocumentFailsWithoutParseEvent)
{
    TempFolder folder;
    std::wstring path = folder.File(L"empty.xml");
    ASSERT_TRUE(WriteFileBytes(path, ""));
    XmlTextRead read = ReadTextFile(path);
    EXPECT_TRUE(read.success);
    EXPECT_TRUE(read.text.empty());
    CXmlLog expected;
    expected.Add(L"read", L"encoding", std::wstring(), L"length", 0);
    EXPECT_EQ(read.log.Text(), expected.Text());

    CXmlDocument doc;
    EXPECT_FALSE(doc.Load(path));
    EXPECT_EQ(doc.GetResultLog(), expected.Text());
}

TEST(XmlTextFileErrors, MissingFileLogsSystemMessage)
{
    TempFolder folder;
    struct Case { std::wstring path; DWORD error; };
    const Case cases[] = {
        {folder.File(L"missing.xml"), ERROR_FILE_NOT_FOUND},
        {folder.File(L"no-such-folder\\missing.xml"), ERROR_PATH_NOT_FOUND},
    };
    for (const Case& c : cases) {
        XmlTextRead read = ReadTextFile(c.path);
        EXPECT_FALSE(read.success);
        EXPECT_TRUE(read.text.empty());
        CXmlLog expected;
        expected.Add(L"file_error", L"msg", SystemMessageFirstLine(c.error).substr(0, 100), L"n",
                     static_cast<long long>(c.error));
        EXPECT_EQ(read.log.Text(), expected.Text());
        EXPECT_FALSE(SystemMessageFirstLine(c.error).empty());

        CXmlDocument doc;
        EXPECT_FALSE(doc.Load(c.path));
        EXPECT_EQ(doc.GetResultLog().compare(0, expected.Text().size(), expected.Text()), 0)
            << Narrow(doc.GetResultLog());
    }
}

TEST(XmlTextFileErrors, FileLockedByAnotherOpenFails)
{
    TempFolder folder;
    std::wstring path = folder.File(L"locked.xml");
    ASSERT_TRUE(WriteFileBytes(path, "<product/>"));
    HANDLE lock = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    XmlTextRead read = ReadTextFile(path);
    CloseHandle(lock);
    EXPECT_FALSE(read.success);
    EXPECT_NE(read.log.Text().find(L"n=\"32\""), std::wstring::npos) << Narrow(read.log.Text());
    EXPECT_TRUE(ReadTextFile(path).success);
}

TEST(XmlTextFileErrors, FileBeyondTwoGigabytesFailsCleanly)
{
    TempFolder folder;
    std::wstring path = folder.File(L"huge.xml");
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(h, "<a>", 3, &written, nullptr));
    // A sparse file: only its length is large.
    LARGE_INTEGER size;
    size.QuadPart = 0x80000000LL + 16;
    bool sized = SetFilePointerEx(h, size, nullptr, FILE_BEGIN) && SetEndOfFile(h);
    CloseHandle(h);
    if (!sized)
        GTEST_SKIP() << "no room for a sparse 2 GB file here";

    XmlTextRead read = ReadTextFile(path);
    EXPECT_FALSE(read.success);
    EXPECT_TRUE(read.text.empty());
    EXPECT_EQ(read.log.Text().compare(0, 12, L"<file_error "), 0) << Narrow(read.log.Text());
    EXPECT_EQ(read.log.Text().find(L"<read "), std::wstring::npos);
    std::printf("2 GB file: %s\n", Narrow(read.log.Text()).c_str());
    CXmlDocument doc;
    EXPECT_FALSE(doc.Load(path));
}

TEST(XmlTextFileConverter, MultiByteToWideCharWithoutFlags)
{
    std::wstring out;
    EXPECT_TRUE(ConvertCodePageBytes(1252, "\xE9\x80", 2, out));
    EXPECT_EQ(out, Utf16("\xC3\xA9\xE2\x82\xAC"));
    out.clear();
    EXPECT_TRUE(ConvertCodePageBytes(CP_UTF8, "a\xE9<b>", 5, out));
    EXPECT_EQ(out, Utf16("a\xEF\xBF\xBD<b>"));
    // A lead byte whose sequence is cut off by the end of the input: Windows
    // gives U+FFFD and keeps the bytes after it; Wine 8 drops them.
    out.clear();
    EXPECT_TRUE(ConvertCodePageBytes(CP_UTF8, "a\xE9z", 3, out));
    EXPECT_EQ(out.substr(0, 2), Utf16("a\xEF\xBF\xBD"));
    if (out.size() == 2)
        std::printf("note: truncated UTF-8 sequence at the end swallowed the bytes after it (Wine)\n");
    else
        EXPECT_EQ(out, Utf16("a\xEF\xBF\xBDz"));
    out = L"keep";
    EXPECT_TRUE(ConvertCodePageBytes(CP_UTF8, "", 0, out));
    EXPECT_EQ(out, L"keep");
    out.clear();
    EXPECT_FALSE(ConvertCodePageBytes(1200, "a\0", 2, out));
    EXPECT_FALSE(ConvertCodePageBytes(12345, "abc", 3, out));
    EXPECT_TRUE(out.empty());
}
