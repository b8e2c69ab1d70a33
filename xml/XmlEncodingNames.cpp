// The encoding-name table: the charset names registered with IANA and the
// names Windows itself uses, for the code pages Windows can convert. It is
// grouped into hash buckets at compile time so that a lookup compares only
// the few names whose character sum matches.
//
// EBCDIC code pages are left out on purpose: in them neither '<' nor the
// letters of a declaration are ASCII bytes, so a file can never name one.
#include "xml/XmlEncoding.h"

#include <iterator>

namespace {

constexpr EncodingAlias kAliases[] = {
    // Unicode
    {"utf-8", 65001}, {"utf8", 65001}, {"unicode-1-1-utf-8", 65001}, {"unicode-2-0-utf-8", 65001},
    {"x-unicode-2-0-utf-8", 65001}, {"cp65001", 65001}, {"x-unicode-1-1-utf-8", 65001},
    {"utf-7", 65000}, {"utf7", 65000}, {"unicode-1-1-utf-7", 65000}, {"unicode-2-0-utf-7", 65000},
    {"x-unicode-1-1-utf-7", 65000}, {"x-unicode-2-0-utf-7", 65000}, {"csunicode11utf7", 65000},
    {"cp65000", 65000},
    {"utf-16", 1200}, {"utf-16le", 1200}, {"utf16le", 1200}, {"ucs-2", 1200}, {"ucs-2le", 1200},
    {"unicode", 1200}, {"utf16", 1200}, {"cp1200", 1200}, {"iso-10646-ucs-2", 1200},
    {"csunicode", 1200},
    {"utf-16be", 1201}, {"utf16be", 1201}, {"ucs-2be", 1201}, {"unicodefffe", 1201},
    {"cp1201", 1201},
    {"utf-32", 12000}, {"utf-32le", 12000}, {"utf32", 12000}, {"cp12000", 12000},
    {"utf-32be", 12001}, {"cp12001", 12001},
    // ISO 8859
    {"iso-8859-1", 28591}, {"latin1", 28591}, {"l1", 28591}, {"iso_8859-1", 28591},
    {"cp819", 28591}, {"iso-ir-100", 28591}, {"iso_8859-1:1987", 28591}, {"ibm819", 28591},
    {"csisolatin1", 28591}, {"iso8859-1", 28591},
    {"iso-8859-2", 28592}, {"iso_8859-2", 28592}, {"iso_8859-2:1987", 28592},
    {"iso-ir-101", 28592}, {"latin2", 28592}, {"l2", 28592}, {"csisolatin2", 28592},
    {"iso-8859-3", 28593}, {"iso_8859-3", 28593}, {"iso_8859-3:1988", 28593},
    {"iso-ir-109", 28593}, {"latin3", 28593}, {"l3", 28593}, {"csisolatin3", 28593},
    {"iso-8859-4", 28594}, {"iso_8859-4", 28594}, {"iso_8859-4:1988", 28594},
    {"iso-ir-110", 28594}, {"latin4", 28594}, {"l4", 28594}, {"csisolatin4", 28594},
    {"iso-8859-5", 28595}, {"iso_8859-5", 28595}, {"iso_8859-5:1988", 28595},
    {"iso-ir-144", 28595}, {"cyrillic", 28595}, {"csisolatincyrillic", 28595},
    {"iso-8859-6", 28596}, {"iso_8859-6", 28596}, {"iso_8859-6:1987", 28596},
    {"iso-ir-127", 28596}, {"ecma-114", 28596}, {"arabic", 28596}, {"csisolatinarabic", 28596},
    {"iso-8859-7", 28597}, {"iso_8859-7", 28597}, {"iso_8859-7:1987", 28597},
    {"iso-ir-126", 28597}, {"elot_928", 28597}, {"ecma-118", 28597}, {"greek", 28597},
    {"greek8", 28597}, {"csisolatingreek", 28597},
    {"iso-8859-8", 28598}, {"iso_8859-8", 28598}, {"iso_8859-8:1988", 28598},
    {"iso-ir-138", 28598}, {"hebrew", 28598}, {"csisolatinhebrew", 28598}, {"visual", 28598},
    {"iso-8859-8-i", 38598}, {"iso_8859-8-i", 38598}, {"csiso88598i", 38598}, {"logical", 38598},
    {"iso-8859-9", 28599}, {"iso_8859-9", 28599}, {"iso_8859-9:1989", 28599},
    {"iso-ir-148", 28599}, {"latin5", 28599}, {"l5", 28599}, {"csisolatin5", 28599},
    {"iso-8859-13", 28603}, {"iso_8859-13", 28603}, {"csiso885913", 28603},
    {"iso-8859-15", 28605}, {"iso_8859-15", 28605}, {"latin-9", 28605}, {"latin9", 28605},
    {"csiso885915", 28605}, {"l9", 28605},
    // Windows
    {"windows-1250", 1250}, {"cp1250", 1250}, {"x-cp1250", 1250}, {"cswindows1250", 1250},
    {"windows-1251", 1251}, {"cp1251", 1251}, {"x-cp1251", 1251}, {"cswindows1251", 1251},
    {"windows-1252", 1252}, {"cp1252", 1252}, {"ms-ansi", 1252}, {"x-ansi", 1252},
    {"cswindows1252", 1252},
    {"windows-1253", 1253}, {"cp1253", 1253}, {"cswindows1253", 1253},
    {"windows-1254", 1254}, {"cp1254", 1254}, {"cswindows1254", 1254},
    {"windows-1255", 1255}, {"cp1255", 1255}, {"cswindows1255", 1255},
    {"windows-1256", 1256}, {"cp1256", 1256}, {"cswindows1256", 1256},
    {"windows-1257", 1257}, {"cp1257", 1257}, {"cswindows1257", 1257},
    {"windows-1258", 1258}, {"cp1258", 1258}, {"cswindows1258", 1258},
    {"windows-874", 874}, {"cp874", 874}, {"dos-874", 874}, {"tis-620", 874},
    {"iso-8859-11", 874}, {"cstis620", 874},
    {"us-ascii", 20127}, {"ascii", 20127}, {"iso646-us", 20127}, {"csascii", 20127},
    {"us", 20127}, {"iso-ir-6", 20127}, {"ansi_x3.4-1968", 20127}, {"ansi_x3.4-1986", 20127},
    {"iso_646.irv:1991", 20127}, {"ibm367", 20127}, {"cp367", 20127}, {"cp20127", 20127},
    // East Asian
    {"shift_jis", 932}, {"sjis", 932}, {"windows-31j", 932}, {"cp932", 932}, {"ms_kanji", 932},
    {"csshiftjis", 932}, {"cswindows31j", 932}, {"x-sjis", 932}, {"shift-jis", 932},
    {"x-ms-cp932", 932},
    {"gb2312", 936}, {"gbk", 936}, {"cp936", 936}, {"chinese", 936}, {"csgb2312", 936},
    {"gb_2312-80", 936}, {"iso-ir-58", 936}, {"csiso58gb231280", 936}, {"ms936", 936},
    {"windows-936", 936}, {"csgbk", 936}, {"x-gbk", 936},
    {"ks_c_5601-1987", 949}, {"ks_c_5601-1989", 949}, {"ks_c_5601", 949}, {"ksc_5601", 949},
    {"korean", 949}, {"csksc56011987", 949}, {"iso-ir-149", 949}, {"ks_c_5601_1987", 949},
    {"ksc5601", 949}, {"cp949", 949}, {"windows-949", 949},
    {"big5", 950}, {"big5-hkscs", 950}, {"cn-big5", 950}, {"csbig5", 950}, {"x-x-big5", 950},
    {"cp950", 950},
    {"johab", 1361}, {"cp1361", 1361},
    {"euc-kr", 51949}, {"cseuckr", 51949},
    {"gb18030", 54936},
    {"euc-jp", 51932}, {"extended_unix_code_packed_format_for_japanese", 51932},
    {"cseucpkdfmtjapanese", 51932}, {"x-euc-jp", 51932}, {"x-euc", 51932},
    {"cp20932", 20932},
    {"euc-cn", 51936}, {"x-euc-cn", 51936}, {"cp51936", 51936},
    {"iso-2022-jp", 50220}, {"cp50220", 50220}, {"csiso2022jp", 50221}, {"cp50221", 50221},
    {"cp50222", 50222},
    {"iso-2022-kr", 50225}, {"csiso2022kr", 50225}, {"cp50225", 50225},
    {"x-cp50227", 50227}, {"cp50227", 50227},
    {"hz-gb-2312", 52936}, {"cp52936", 52936},
    {"x-chinese-cns", 20000}, {"x-chinese_cns", 20000}, {"x-cp20001", 20001},
    {"x-chinese-eten", 20002}, {"x_chinese-eten", 20002}, {"x-cp20003", 20003},
    {"x-cp20004", 20004}, {"x-cp20005", 20005}, {"x-cp20936", 20936}, {"x-cp20949", 20949},
    // Cyrillic
    {"koi8-r", 20866}, {"cskoi8r", 20866}, {"koi", 20866}, {"koi8", 20866}, {"koi8r", 20866},
    {"cp20866", 20866},
    {"koi8-u", 21866}, {"koi8-ru", 21866}, {"cp21866", 21866},
    // DOS
    {"ibm437", 437}, {"cp437", 437}, {"437", 437}, {"cspc8codepage437", 437},
    {"ibm850", 850}, {"cp850", 850}, {"850", 850}, {"cspc850multilingual", 850},
    {"ibm852", 852}, {"cp852", 852}, {"852", 852}, {"cspcp852", 852},
    {"ibm855", 855}, {"cp855", 855}, {"855", 855}, {"csibm855", 855},
    {"ibm857", 857}, {"cp857", 857}, {"857", 857}, {"csibm857", 857},
    {"ibm00858", 858}, {"ccsid00858", 858}, {"cp00858", 858}, {"pc-multilingual-850+euro", 858},
    {"cp858", 858},
    {"ibm860", 860}, {"cp860", 860}, {"860", 860}, {"csibm860", 860},
    {"ibm861", 861}, {"cp861", 861}, {"861", 861}, {"cp-is", 861}, {"csibm861", 861},
    {"ibm862", 862}, {"cp862", 862}, {"862", 862}, {"dos-862", 862}, {"cspc862latinhebrew", 862},
    {"ibm863", 863}, {"cp863", 863}, {"863", 863}, {"csibm863", 863},
    {"ibm864", 864}, {"cp864", 864}, {"csibm864", 864},
    {"ibm865", 865}, {"cp865", 865}, {"865", 865}, {"csibm865", 865},
    {"ibm866", 866}, {"cp866", 866}, {"866", 866}, {"csibm866", 866},
    {"ibm869", 869}, {"cp869", 869}, {"869", 869}, {"cp-gr", 869}, {"csibm869", 869},
    {"ibm737", 737}, {"cp737", 737}, {"ibm775", 775}, {"cp775", 775}, {"cspc775baltic", 775},
    {"dos-720", 720}, {"cp720", 720}, {"asmo-708", 708}, {"cp708", 708},
    // Macintosh
    {"macintosh", 10000}, {"mac", 10000}, {"csmacintosh", 10000}, {"x-mac-roman", 10000},
    {"x-mac-japanese", 10001}, {"x-mac-chinesetrad", 10002}, {"x-mac-korean", 10003},
    {"x-mac-arabic", 10004}, {"x-mac-hebrew", 10005}, {"x-mac-greek", 10006},
    {"x-mac-cyrillic", 10007}, {"x-mac-chinesesimp", 10008}, {"x-mac-romanian", 10010},
    {"x-mac-ukrainian", 10017}, {"x-mac-thai", 10021}, {"x-mac-ce", 10029},
    {"x-mac-icelandic", 10079}, {"x-mac-turkish", 10081}, {"x-mac-croatian", 10082},
    // Others Windows converts
    {"x-ia5", 20105}, {"x-ia5-german", 20106}, {"x-ia5-swedish", 20107},
    {"x-ia5-norwegian", 20108}, {"x-cp20261", 20261}, {"x-cp20269", 20269},
    {"x-europa", 29001},
    {"x-iscii-de", 57002}, {"x-iscii-be", 57003}, {"x-iscii-ta", 57004}, {"x-iscii-te", 57005},
    {"x-iscii-as", 57006}, {"x-iscii-or", 57007}, {"x-iscii-ka", 57008}, {"x-iscii-ma", 57009},
    {"x-iscii-gu", 57010}, {"x-iscii-pa", 57011},
};

constexpr size_t kAliasCount = std::size(kAliases);

constexpr size_t BucketOfLowerCase(const char* name)
{
    size_t sum = 0;
    for (; *name; ++name)
        sum += static_cast<unsigned char>(*name);
    return sum % kEncodingBucketCount;
}

constexpr bool AllRowsLowerCase()
{
    for (const EncodingAlias& row : kAliases)
        for (const char* p = row.name; *p; ++p)
            if (*p >= 'A' && *p <= 'Z')
                return false;
    return true;
}
static_assert(AllRowsLowerCase(), "lookups lower-case the name, so rows must be lower case");

// The rows regrouped by bucket (a counting sort done by the compiler); the
// rows of bucket b are rows[start[b]] up to rows[start[b + 1]].
struct BucketIndex
{
    unsigned short start[kEncodingBucketCount + 1];
    EncodingAlias rows[kAliasCount];
};

constexpr BucketIndex BuildBucketIndex()
{
    BucketIndex index{};
    for (const EncodingAlias& row : kAliases)
        ++index.start[BucketOfLowerCase(row.name) + 1];
    for (size_t b = 1; b <= kEncodingBucketCount; ++b)
        index.start[b] = static_cast<unsigned short>(index.start[b] + index.start[b - 1]);
    unsigned short fill[kEncodingBucketCount] = {};
    for (const EncodingAlias& row : kAliases) {
        size_t b = BucketOfLowerCase(row.name);
        index.rows[index.start[b] + fill[b]++] = row;
    }
    return index;
}

constexpr BucketIndex kBuckets = BuildBucketIndex();

wchar_t LowerAscii(wchar_t c)
{
    return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}

bool EqualsLowerCased(const char* row, const std::wstring& name)
{
    size_t i = 0;
    for (; row[i]; ++i) {
        if (i == name.size() ||
            LowerAscii(name[i]) != static_cast<wchar_t>(static_cast<unsigned char>(row[i])))
            return false;
    }
    return i == name.size();
}

} // namespace

size_t EncodingNameBucket(const std::wstring& name)
{
    // Each unit is below 2^32 and names are short, so the sum cannot overflow.
    unsigned long long sum = 0;
    for (wchar_t c : name)
        sum += static_cast<unsigned long long>(LowerAscii(c)) & 0xFFFFFFFFULL;
    return static_cast<size_t>(sum % kEncodingBucketCount);
}

const EncodingAlias* EncodingBucketRows(size_t bucket, size_t& count)
{
    if (bucket >= kEncodingBucketCount) {
        count = 0;
        return nullptr;
    }
    count = kBuckets.start[bucket + 1] - kBuckets.start[bucket];
    return kBuckets.rows + kBuckets.start[bucket];
}

const EncodingAlias* EncodingAliasRows(size_t& count)
{
    count = kAliasCount;
    return kBuckets.rows;
}

unsigned CodePageFromEncodingName(const std::wstring& name)
{
    if (name.compare(0, 6, L"UTF-32") == 0)
        return name.compare(0, 8, L"UTF-32BE") == 0 ? kCodePageUtf32BE : kCodePageUtf32LE;
    if (name.empty() || name.size() >= kMaxEncodingNameLength)
        return kCodePageDefault;
    size_t count = 0;
    const EncodingAlias* rows = EncodingBucketRows(EncodingNameBucket(name), count);
    for (size_t i = 0; i < count; ++i) {
        if (EqualsLowerCased(rows[i].name, name))
            return rows[i].codePage;
    }
    return kCodePageDefault;
}
