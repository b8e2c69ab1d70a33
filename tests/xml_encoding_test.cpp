// Encoding decisions of the XML file reader: name table, byte-order marks,
// declared encodings, the UTF-8 rules and the decoding steps with their log.
#include "xml/XmlEncoding.h"

#include "TestCodePages.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

using testing_support::Utf16;

namespace {

std::vector<unsigned>& PagesSeen()
{
    static std::vector<unsigned> pages;
    return pages;
}

bool RecordingConverter(unsigned cp, const char* bytes, size_t n, std::wstring& out)
{
    PagesSeen().push_back(cp);
    return testing_support::TestConvertCodePage(cp, bytes, n, out);
}

XmlTextRead Decode(const std::string& bytes)
{
    PagesSeen().clear();
    return DecodeTextBuffer(bytes.data(), bytes.size(), RecordingConverter);
}

std::wstring Widen(const char* ascii)
{
    std::wstring out;
    for (; *ascii; ++ascii)
        out += static_cast<wchar_t>(static_cast<unsigned char>(*ascii));
    return out;
}

bool HasEvent(const CXmlLog& log, const std::wstring& event)
{
    const std::wstring& t = log.Text();
    for (size_t p = t.find(L"<" + event); p != std::wstring::npos; p = t.find(L"<" + event, p + 1)) {
        wchar_t next = p + 1 + event.size() < t.size() ? t[p + 1 + event.size()] : 0;
        if (next == L' ' || next == L'/')
            return true;
    }
    return false;
}

std::string Utf16LE(const std::wstring& units)
{
    std::string out;
    for (wchar_t u : units) {
        out += static_cast<char>(u & 0xFF);
        out += static_cast<char>((u >> 8) & 0xFF);
    }
    return out;
}

std::string Utf16BE(const std::wstring& units)
{
    std::string out;
    for (wchar_t u : units) {
        out += static_cast<char>((u >> 8) & 0xFF);
        out += static_cast<char>(u & 0xFF);
    }
    return out;
}

std::string Utf32LE(const std::vector<unsigned long>& values)
{
    std::string out;
    for (unsigned long v : values)
        for (int k = 0; k < 4; ++k)
            out += static_cast<char>((v >> (8 * k)) & 0xFF);
    return out;
}

std::vector<unsigned long> CodePoints(const char* ascii)
{
    std::vector<unsigned long> out;
    for (; *ascii; ++ascii)
        out.push_back(static_cast<unsigned char>(*ascii));
    return out;
}

} // namespace

// ---- the name table ----

TEST(XmlEncodingNames, DocumentedAliasesMapToTheirCodePages)
{
    struct Row { const char* name; unsigned cp; };
    const Row rows[] = {
        {"utf-8", 65001}, {"utf8", 65001}, {"unicode-1-1-utf-8", 65001},
        {"unicode-2-0-utf-8", 65001}, {"x-unicode-2-0-utf-8", 65001}, {"cp65001", 65001},
        {"utf-16", 1200}, {"utf-16le", 1200}, {"utf16le", 1200}, {"ucs-2", 1200},
        {"ucs-2le", 1200}, {"unicode", 1200}, {"utf16", 1200}, {"cp1200", 1200},
        {"utf-16be", 1201}, {"utf16be", 1201}, {"ucs-2be", 1201}, {"unicodefffe", 1201},
        {"cp1201", 1201},
        {"iso-8859-1", 28591}, {"latin1", 28591}, {"l1", 28591}, {"iso_8859-1", 28591},
        {"cp819", 28591},
        {"windows-1252", 1252}, {"cp1252", 1252}, {"ms-ansi", 1252}, {"x-ansi", 1252},
        {"us-ascii", 20127}, {"ascii", 20127}, {"iso646-us", 20127}, {"csascii", 20127},
        {"shift_jis", 932}, {"sjis", 932}, {"windows-31j", 932}, {"cp932", 932},
        {"ms_kanji", 932},
        {"gb2312", 936}, {"gbk", 936}, {"cp936", 936}, {"chinese", 936},
        {"euc-kr", 51949}, {"cseuckr", 51949},
        {"gb18030", 54936},
        // written the way documents usually spell them
        {"UTF-8", 65001}, {"Shift_JIS", 932}, {"ISO-8859-1", 28591}, {"Windows-1252", 1252},
        {"UnicodeFFFE", 1201}, {"EUC-KR", 51949}, {"GB18030", 54936},
    };
    for (const Row& row : rows)
        EXPECT_EQ(CodePageFromEncodingName(Widen(row.name)), row.cp) << row.name;
}

TEST(XmlEncodingNames, Utf32NamesAndUnknownNames)
{
    EXPECT_EQ(CodePageFromEncodingName(L"UTF-32"), kCodePageUtf32LE);
    EXPECT_EQ(CodePageFromEncodingName(L"UTF-32LE"), kCodePageUtf32LE);
    EXPECT_EQ(CodePageFromEncodingName(L"UTF-32BE"), kCodePageUtf32BE);
    EXPECT_EQ(CodePageFromEncodingName(L"UTF-32 and more"), kCodePageUtf32LE);
    EXPECT_EQ(CodePageFromEncodingName(L"Utf-32x"), kCodePageDefault);

    EXPECT_EQ(CodePageFromEncodingName(L""), kCodePageDefault);
    EXPECT_EQ(CodePageFromEncodingName(L"klingon"), kCodePageDefault);
    EXPECT_EQ(CodePageFromEncodingName(L"utf-8 "), kCodePageDefault);
    EXPECT_EQ(CodePageFromEncodingName(L"utf-"), kCodePageDefault);
    EXPECT_EQ(CodePageFromEncodingName(L"utf-8" + std::wstring(95, L' ')), kCodePageDefault);
    EXPECT_EQ(CodePageFromEncodingName(std::wstring(5000, L'z')), kCodePageDefault);
    // Only A-Z are folded: a non-ASCII letter never matches an ASCII row.
    EXPECT_EQ(CodePageFromEncodingName(std::wstring(1, static_cast<wchar_t>(0x0130)) + L"so-8859-1"),
              kCodePageDefault);
}

TEST(XmlEncodingNames, RowsSitInTheBucketOfTheirCharacterSum)
{
    EXPECT_EQ(EncodingNameBucket(L"utf-8"), 436u % 155u);
    EXPECT_EQ(EncodingNameBucket(L"UTF-8"), 436u % 155u);

    size_t count = 0;
    const EncodingAlias* rows = EncodingAliasRows(count);
    ASSERT_GE(count, 350u);
    std::set<std::string> names;
    std::set<unsigned> pages;
    size_t seenInBuckets = 0;
    for (size_t b = 0; b < kEncodingBucketCount; ++b) {
        size_t n = 0;
        const EncodingAlias* bucket = EncodingBucketRows(b, n);
        seenInBuckets += n;
        for (size_t i = 0; i < n; ++i) {
            unsigned sum = 0;
            for (const char* p = bucket[i].name; *p; ++p)
                sum += static_cast<unsigned char>(*p);
            EXPECT_EQ(sum % 155, b) << bucket[i].name;
            EXPECT_EQ(EncodingNameBucket(Widen(bucket[i].name)), b) << bucket[i].name;
        }
    }
    EXPECT_EQ(seenInBuckets, count);
    for (size_t i = 0; i < count; ++i) {
        EXPECT_TRUE(names.insert(rows[i].name).second) << "duplicate " << rows[i].name;
        pages.insert(rows[i].codePage);
        EXPECT_EQ(CodePageFromEncodingName(Widen(rows[i].name)), rows[i].codePage) << rows[i].name;
    }
    EXPECT_GE(pages.size(), 100u);
    size_t n = 0;
    EXPECT_EQ(EncodingBucketRows(kEncodingBucketCount, n), nullptr);
    EXPECT_EQ(n, 0u);
}

// ---- byte-order marks ----

TEST(XmlByteOrderMark, Utf8MarkWinsOverDeclaration)
{
    XmlTextRead r = Decode("\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"windows-1252\"?><a>\xC3\xA9</a>");
    EXPECT_TRUE(r.success);
    EXPECT_EQ(r.encoding, L"UTF-8");
    EXPECT_EQ(r.text, Utf16("<?xml version=\"1.0\" encoding=\"windows-1252\"?><a>\xC3\xA9</a>"));
    EXPECT_EQ(r.log.Text().compare(0, 6, L"<bom/>"), 0) << std::string(r.log.Text().begin(), r.log.Text().end());
    EXPECT_EQ(PagesSeen(), std::vector<unsigned>{kCodePageUtf8});
}

TEST(XmlByteOrderMark, Utf16LittleEndianLosesZeroUnits)
{
    std::wstring units = Utf16("<a>x");
    units += L'\0';
    units += Utf16("\xC3\xA9</a>");
    XmlTextRead r = Decode("\xFF\xFE" + Utf16LE(units));
    EXPECT_EQ(r.encoding, L"UTF-16LE");
    EXPECT_EQ(r.text, Utf16("<a>x\xC3\xA9</a>"));
    CXmlLog expected;
    expected.Add(L"bom");
    expected.Add(L"read", L"encoding", L"UTF-16LE", L"length", static_cast<long long>(units.size()));
    expected.Add(L"nulls_removed", nullptr, std::wstring(), L"count", 1);
    EXPECT_EQ(r.log.Text(), expected.Text());
    EXPECT_TRUE(PagesSeen().empty());
}

TEST(XmlByteOrderMark, Utf16BigEndianIsSwapped)
{
    std::wstring units = Utf16("<a>\xC3\xA9\xF0\x9F\x98\x80</a>");
    XmlTextRead r = Decode("\xFE\xFF" + Utf16BE(units));
    EXPECT_EQ(r.encoding, L"UTF-16BE");
    EXPECT_EQ(r.text, units);
    EXPECT_TRUE(HasEvent(r.log, L"endian_swap"));
    EXPECT_FALSE(HasEvent(r.log, L"converted_to"));
}

TEST(XmlByteOrderMark, OddUtf16ByteCountEndsInReplacement)
{
    XmlTextRead r = Decode(std::string("\xFF\xFE<\0a\0b", 7));
    EXPECT_EQ(r.text, Utf16("<a\xEF\xBF\xBD"));
    r = Decode(std::string("\xFE\xFF\0<\0a\0", 7));
    EXPECT_EQ(r.text, Utf16("<a\xEF\xBF\xBD"));
}

TEST(XmlByteOrderMark, Utf32MarksDecodePairsAndRejectBadValues)
{
    std::vector<unsigned long> values = CodePoints("<a>");
    values.insert(values.end(), {0x1F600, 0xE9, 0x110000, 0xD800, 0xDC00, 0xFFFFFFFF});
    std::vector<unsigned long> tail = CodePoints("</a>");
    values.insert(values.end(), tail.begin(), tail.end());
    const std::wstring expected = Utf16("<a>\xF0\x9F\x98\x80\xC3\xA9\xEF\xBF\xBD\xEF\xBF\xBD"
                                        "\xEF\xBF\xBD\xEF\xBF\xBD</a>");

    XmlTextRead le = Decode(std::string("\xFF\xFE\0\0", 4) + Utf32LE(values));
    EXPECT_EQ(le.encoding, L"UTF-32");
    EXPECT_EQ(le.text, expected);
    EXPECT_TRUE(HasEvent(le.log, L"converted_to"));

    std::string be = Utf32LE(values);
    for (size_t i = 0; i < be.size(); i += 4)
        std::swap(be[i], be[i + 3]), std::swap(be[i + 1], be[i + 2]);
    XmlTextRead rb = Decode(std::string("\0\0\xFE\xFF", 4) + be);
    EXPECT_EQ(rb.text, expected);
    EXPECT_TRUE(HasEvent(rb.log, L"endian_swap"));
}

// ---- declared encodings ----

TEST(XmlDeclaredEncoding, Windows1252DeclarationTurnsE9IntoEAcute)
{
    XmlTextRead r = Decode("<?xml version=\"1.0\" encoding=\"windows-1252\"?><a>\xE9\x80</a>");
    EXPECT_EQ(r.encoding, L"windows-1252");
    EXPECT_EQ(r.text, Utf16("<?xml version=\"1.0\" encoding=\"windows-1252\"?><a>\xC3\xA9\xE2\x82\xAC</a>"));
    EXPECT_EQ(PagesSeen(), std::vector<unsigned>{1252});
    EXPECT_FALSE(HasEvent(r.log, L"bom"));
    EXPECT_FALSE(HasEvent(r.log, L"utf8_detection"));
}

TEST(XmlDeclaredEncoding, DeclarationForms)
{
    struct Case { const char* head; const char* expected; };
    const Case cases[] = {
        {"<?xml version='1.0' encoding = 'ISO-8859-1' ?>", "ISO-8859-1"},
        {"<?xml\tencoding=\"us-ascii\"?>", "us-ascii"},
        {"<?xml version=\"encoding='x'\" encoding=\"cp1252\"?>", "cp1252"},
        {"<?xml version=\"1.0\"?><a encoding=\"cp1252\"/>", ""},
        {"<?xml-stylesheet encoding=\"cp1252\"?>", ""},
        {" <?xml version=\"1.0\" encoding=\"cp1252\"?>", ""},
        {"<?XML version=\"1.0\" encoding=\"cp1252\"?>", ""},
        {"<?xml version=\"1.0\" Encoding=\"cp1252\"?>", ""},
        {"<?xml version=\"1.0\" encoding=cp1252?>", ""},
        {"<?xml version=\"1.0\" encoding=\"windows-125", ""},
        {"<?xml version=\"1.0\" encoding=\"", ""},
        {"<?xml version=\"1.0\" encoding", ""},
    };
    for (const Case& c : cases) {
        // An exactly sized heap copy lets the sanitizer catch any read past the end.
        std::vector<unsigned char> bytes(c.head, c.head + std::string(c.head).size());
        EXPECT_EQ(FindDeclaredEncoding(bytes.data(), bytes.size()), Widen(c.expected)) << c.head;
    }
}

TEST(XmlDeclaredEncoding, ValueCutOffBySniffLimitIsIgnored)
{
    std::string doc = "<?xml version=\"1.0\"" + std::string(990, ' ') + "encoding=\"windows-1252\"?><a>\xE9</a>";
    ASSERT_LT(doc.find("windows"), kSniffLength);
    ASSERT_GT(doc.find("\"?>"), kSniffLength);
    XmlTextRead r = Decode(doc);
    EXPECT_EQ(r.encoding, L"UTF-8");
    EXPECT_EQ(PagesSeen(), std::vector<unsigned>{kCodePageUtf8});
    const std::wstring tail = Utf16("<a>\xEF\xBF\xBD</a>");
    ASSERT_GE(r.text.size(), tail.size());
    EXPECT_EQ(r.text.substr(r.text.size() - tail.size()), tail);
}

TEST(XmlDeclaredEncoding, HtmlMetaContentTypeCharset)
{
    XmlTextRead r = Decode("<!DOCTYPE html>\n<!-- x --><html><head><title>t</title>"
                           "<meta name=\"x\"><meta http-equiv=\"Content-Type\" "
                           "content=\"text/html; charset=windows-1252\"></head><body>\xE9</body></html>");
    EXPECT_EQ(r.encoding, L"windows-1252");
    EXPECT_NE(r.text.find(static_cast<wchar_t>(0xE9)), std::wstring::npos);

    struct Case { const char* doc; const char* expected; };
    const Case cases[] = {
        {"<HTML><HEAD><META HTTP-EQUIV=content-type CONTENT=\"text/html;charset=ISO-8859-1\">", "ISO-8859-1"},
        {"<html lang=en><meta content='text/html; charset = \"koi8-r\"' http-equiv='Content-Type'/>", "koi8-r"},
        {"<html><head></head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=cp1252\">", ""},
        {"<page><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=cp1252\">", ""},
        {"<html><head><meta content=\"text/html; charset=cp1252\"></head>", ""},
        {"<html><head><meta http-equiv=\"refresh\" content=\"text/html; charset=cp1252\">", ""},
        {"<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=cp12", ""},
        {"<html><head><meta http-equiv=\"Content-Type\" content=\"text/html\"></head>", ""},
        {"<htmlx><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=cp1252\">", ""},
    };
    for (const Case& c : cases) {
        std::vector<unsigned char> bytes(c.doc, c.doc + std::string(c.doc).size());
        EXPECT_EQ(FindDeclaredEncoding(bytes.data(), bytes.size()), Widen(c.expected)) << c.doc;
    }
}

TEST(XmlDeclaredEncoding, Utf16AndUtf32DeclarationsWithoutMarkFollowTheByteLayout)
{
    const std::wstring doc = Utf16("<?xml version=\"1.0\" encoding=\"UTF-16\"?><a>\xC3\xA9</a>");
    XmlTextRead le = Decode(Utf16LE(doc));
    EXPECT_EQ(le.text, doc);
    EXPECT_FALSE(HasEvent(le.log, L"nulls_removed"));
    XmlTextRead be = Decode(Utf16BE(doc));
    EXPECT_EQ(be.text, doc);
    EXPECT_TRUE(HasEvent(be.log, L"endian_swap"));

    std::vector<unsigned long> values = CodePoints("<?xml version=\"1.0\" encoding=\"UTF-32\"?><a>");
    values.push_back(0x10348);
    XmlTextRead u32 = Decode(Utf32LE(values));
    EXPECT_EQ(u32.encoding, L"UTF-32");
    EXPECT_EQ(u32.text, Utf16("<?xml version=\"1.0\" encoding=\"UTF-32\"?><a>\xF0\x90\x8D\x88"));

    // Single bytes that claim to be UTF-16 or UTF-32 prove the claim wrong.
    XmlTextRead wrong = Decode("<?xml version=\"1.0\" encoding=\"UTF-32\"?><a>\xC3\xA9</a>");
    EXPECT_EQ(wrong.encoding, L"UTF-8");
    EXPECT_EQ(wrong.text, Utf16("<?xml version=\"1.0\" encoding=\"UTF-32\"?><a>\xC3\xA9</a>"));
    wrong = Decode("<?xml version=\"1.0\" encoding=\"utf-16\"?><a/>");
    EXPECT_EQ(wrong.encoding, L"UTF-8");
    EXPECT_EQ(PagesSeen(), std::vector<unsigned>{kCodePageUtf8});
}

// ---- UTF-8 rules, nulls and the log ----

TEST(XmlUtf8Rules, LessThanFirstMeansUtf8EvenWhenInvalid)
{
    XmlTextRead r = Decode("<a>\xE9</a>");
    EXPECT_EQ(r.encoding, L"UTF-8");
    EXPECT_EQ(r.text, Utf16("<a>\xEF\xBF\xBD</a>"));
    EXPECT_FALSE(HasEvent(r.log, L"utf8_detection"));
    CXmlLog expected;
    expected.Add(L"read", L"encoding", L"UTF-8", L"length", 8);
    expected.Add(L"converted_to", L"encoding", L"UTF-16", L"length", 8);
    EXPECT_EQ(r.log.Text(), expected.Text());
}

TEST(XmlUtf8Rules, NoMarkNoLessThanChoosesBySniffingUtf8)
{
    XmlTextRead invalid = Decode("\xE9t\xE9");
    EXPECT_EQ(invalid.encoding, L"");
    EXPECT_EQ(PagesSeen(), std::vector<unsigned>{kCodePageDefault});
    EXPECT_EQ(invalid.text, Utf16("\xC3\xA9t\xC3\xA9"));
    EXPECT_TRUE(HasEvent(invalid.log, L"utf8_detection"));

    XmlTextRead valid = Decode("  <a>\xC3\xA9</a>");
    EXPECT_EQ(valid.encoding, L"UTF-8");
    EXPECT_EQ(PagesSeen(), std::vector<unsigned>{kCodePageUtf8});
    EXPECT_EQ(valid.text, Utf16("  <a>\xC3\xA9</a>"));
    EXPECT_TRUE(HasEvent(valid.log, L"utf8_detection"));
}

TEST(XmlUtf8Rules, WellFormednessTest)
{
    struct Case { std::string bytes; bool ok; };
    const Case cases[] = {
        {"", true},
        {"plain", true},
        {"\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80", true},
        {std::string("a\0\xFF", 3), true},   // the test ends at a zero byte
        {"\xC3", false},                     // cut off at the end
        {"\xE2\x82", false},
        {"\xF0\x9F\x98", false},
        {"\x80", false},                     // continuation without lead
        {"\xC3(", false},
        {"\xF8\x88\x80\x80\x80", false},     // five-byte lead
        {"\xFF", false},
    };
    for (const Case& c : cases) {
        std::vector<char> exact(c.bytes.begin(), c.bytes.end());
        EXPECT_EQ(IsWellFormedUtf8(exact.data(), exact.size()), c.ok) << c.bytes;
    }
}

TEST(XmlUtf8Rules, ZeroBytesAreRemovedAndCounted)
{
    XmlTextRead r = Decode(std::string("<a>\0x\0</a>\0", 11));
    EXPECT_EQ(r.text, Utf16("<a>x</a>"));
    CXmlLog expected;
    expected.Add(L"read", L"encoding", L"UTF-8", L"length", 11);
    expected.Add(L"nulls_removed", nullptr, std::wstring(), L"count", 3);
    expected.Add(L"converted_to", L"encoding", L"UTF-16", L"length", 8);
    EXPECT_EQ(r.log.Text(), expected.Text());
}

TEST(XmlUtf8Rules, EmptyInputsGiveEmptyTextAndSuccess)
{
    XmlTextRead r = Decode("");
    EXPECT_TRUE(r.success);
    EXPECT_TRUE(r.text.empty());
    CXmlLog expected;
    expected.Add(L"read", L"encoding", std::wstring(), L"length", 0);
    EXPECT_EQ(r.log.Text(), expected.Text());

    r = Decode("\xEF\xBB\xBF");
    EXPECT_TRUE(r.success);
    EXPECT_TRUE(r.text.empty());
    EXPECT_TRUE(PagesSeen().empty());
    r = Decode(std::string(3, '\0'));
    EXPECT_TRUE(r.success);
    EXPECT_TRUE(r.text.empty());
}

TEST(XmlUtf8Rules, UnconvertibleCodePageFallsBackToDefault)
{
    XmlTextRead r = Decode("<?xml version=\"1.0\" encoding=\"shift_jis\"?><a>\xE9</a>");
    EXPECT_EQ(r.encoding, L"shift_jis");
    EXPECT_EQ((PagesSeen()), (std::vector<unsigned>{932, kCodePageDefault}));
    EXPECT_EQ(r.text, Utf16("<?xml version=\"1.0\" encoding=\"shift_jis\"?><a>\xC3\xA9</a>"));
}

// ---- unit helpers, limits, file errors ----

TEST(XmlTextUnits, RemoveAndSwapWholeUnitsOnly)
{
    std::string b("\0\0a\0\0\0b\0\x01", 9);
    EXPECT_EQ(RemoveZeroUnits(b, 2), 2u);
    EXPECT_EQ(b, std::string("a\0b\0\x01", 5));
    SwapUnitBytes(b, 2);
    EXPECT_EQ(b, std::string("\0a\0b\x01", 5));

    std::string w("\0\0\0\0\x01\0\0\0\0\0", 10);
    EXPECT_EQ(RemoveZeroUnits(w, 4), 1u);
    EXPECT_EQ(w, std::string("\x01\0\0\0\0\0", 6));
    SwapUnitBytes(w, 4);
    EXPECT_EQ(w, std::string("\0\0\0\x01\0\0", 6));

    std::string one("a\0b\0", 4);
    EXPECT_EQ(RemoveZeroUnits(one, 1), 2u);
    EXPECT_EQ(one, "ab");
}

TEST(XmlTextUnits, ReadableLengthLimits)
{
    EXPECT_FALSE(IsReadableLength(-1, 0, 1));
    EXPECT_TRUE(IsReadableLength(0, 0, 1));
    EXPECT_TRUE(IsReadableLength(0x7FFFFFFFLL, 0, 1));
    EXPECT_FALSE(IsReadableLength(0x80000000LL, 0, 1));
    EXPECT_TRUE(IsReadableLength(0x80000002LL, 3, 1));
    EXPECT_FALSE(IsReadableLength(2, 3, 1));
    EXPECT_TRUE(IsReadableLength(2LL * 0x7FFFFFFF + 2, 2, 2));
    EXPECT_FALSE(IsReadableLength(2LL * 0x7FFFFFFF + 3, 2, 2));
    EXPECT_TRUE(IsReadableLength(4LL * (0x7FFFFFFF / 2) + 4, 4, 4));
    EXPECT_FALSE(IsReadableLength(4LL * (0x7FFFFFFF / 2) + 5, 4, 4));
    EXPECT_FALSE(IsReadableLength(0x7FFFFFFFFFFFFFFFLL, 0, 1));
}

TEST(XmlTextUnits, FileErrorKeepsFirstLineOfAtMost100Units)
{
    CXmlLog log;
    LogFileError(log, L"The system cannot find the file specified.\r\nSecond line", 2);
    CXmlLog expected;
    expected.Add(L"file_error", L"msg", L"The system cannot find the file specified.", L"n", 2);
    EXPECT_EQ(log.Text(), expected.Text());

    CXmlLog longLog;
    LogFileError(longLog, std::wstring(150, L'm'), 5);
    CXmlLog longExpected;
    longExpected.Add(L"file_error", L"msg", std::wstring(100, L'm'), L"n", 5);
    EXPECT_EQ(longLog.Text(), longExpected.Text());

    std::wstring pair = std::wstring(99, L'p') + Utf16("\xF0\x9F\x98\x80") + L"tail";
    CXmlLog pairLog;
    LogFileError(pairLog, pair, 7);
    CXmlLog pairExpected;
    pairExpected.Add(L"file_error", L"msg", std::wstring(99, L'p'), L"n", 7);
    EXPECT_EQ(pairLog.Text(), pairExpected.Text());
}
