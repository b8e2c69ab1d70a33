#include "xml/XmlEntities.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

std::wstring Decode(const std::wstring& text)
{
    std::wstring out;
    AppendXmlDecoded(text.data(), text.data() + text.size(), out);
    return out;
}

uint32_t Lookup(const std::wstring& name)
{
    return LookupXmlEntity(name.data(), name.size());
}

std::wstring Units(std::initializer_list<unsigned> units)
{
    std::wstring s;
    for (unsigned u : units)
        s += static_cast<wchar_t>(u);
    return s;
}

unsigned SumMod130(const std::string& name)
{
    unsigned sum = 0;
    for (char c : name)
        sum += static_cast<unsigned>((c >= 'A' && c <= 'Z') ? c + 32 : c);
    return sum % 130;
}

} // namespace

TEST(XmlEntityTable, HoldsAllNamesOnceInTheirBuckets)
{
    EXPECT_EQ(XmlEntityCount(), 253u);
    size_t total = 0;
    std::set<std::string> names;
    std::set<uint32_t> codePoints;
    for (unsigned b = 0; b < kXmlEntityBucketCount; ++b) {
        for (size_t i = 0; i < XmlEntityBucketSize(b); ++i) {
            const XmlEntity& e = XmlEntityInBucket(b, i);
            EXPECT_EQ(SumMod130(e.name), b) << e.name;
            EXPECT_EQ(XmlEntityBucketOf(e.name), b) << e.name;
            names.insert(e.name);
            codePoints.insert(e.codePoint);
            // Every name is found again through the lookup, case as written.
            std::wstring wide(e.name, e.name + std::char_traits<char>::length(e.name));
            EXPECT_EQ(Lookup(wide), e.codePoint) << e.name;
            ++total;
        }
    }
    EXPECT_EQ(total, 253u);
    EXPECT_EQ(names.size(), 253u);
    EXPECT_EQ(codePoints.size(), 253u);   // no two names for one character
    EXPECT_EQ(XmlEntityBucketSize(kXmlEntityBucketCount), 0u);
}

TEST(XmlEntityTable, SampleNamesAndBuckets)
{
    EXPECT_EQ(Lookup(L"amp"), 38u);
    EXPECT_EQ(Lookup(L"apos"), 39u);
    EXPECT_EQ(Lookup(L"nbsp"), 0xA0u);
    EXPECT_EQ(Lookup(L"yuml"), 0xFFu);
    EXPECT_EQ(Lookup(L"Yuml"), 0x178u);
    EXPECT_EQ(Lookup(L"thetasym"), 977u);
    EXPECT_EQ(Lookup(L"euro"), 0x20ACu);
    EXPECT_EQ(Lookup(L"hearts"), 0x2665u);
    EXPECT_EQ(Lookup(L"alefsym"), 0x2135u);
    // "amp" is 97+109+112 = 318, bucket 58.
    EXPECT_EQ(XmlEntityBucketOf("amp"), 58u);
    EXPECT_EQ(XmlEntityBucketOf("AMP"), 58u);
    EXPECT_EQ(Lookup(L"unknown"), 0u);
    EXPECT_EQ(Lookup(L""), 0u);
    EXPECT_EQ(Lookup(L"amp;"), 0u);
    EXPECT_EQ(Lookup(L"am"), 0u);
}

TEST(XmlEntityTable, CaseRules)
{
    // Exact spelling decodes to its own character.
    EXPECT_EQ(Lookup(L"eacute"), 0xE9u);
    EXPECT_EQ(Lookup(L"Eacute"), 0xC9u);
    EXPECT_EQ(Lookup(L"larr"), 0x2190u);
    EXPECT_EQ(Lookup(L"lArr"), 0x21D0u);
    EXPECT_EQ(Lookup(L"prime"), 0x2032u);
    EXPECT_EQ(Lookup(L"Prime"), 0x2033u);
    // Other spellings of a case pair give the variant with capitals.
    EXPECT_EQ(Lookup(L"EACUTE"), 0xC9u);
    EXPECT_EQ(Lookup(L"eAcute"), 0xC9u);
    EXPECT_EQ(Lookup(L"LARR"), 0x21D0u);
    EXPECT_EQ(Lookup(L"Larr"), 0x21D0u);
    EXPECT_EQ(Lookup(L"DAGGER"), 0x2021u);
    EXPECT_EQ(Lookup(L"Eth"), 0xD0u);
    EXPECT_EQ(Lookup(L"aElig"), 0xC6u);
    // A name without a case partner matches in any case.
    EXPECT_EQ(Lookup(L"AMP"), 38u);
    EXPECT_EQ(Lookup(L"Hearts"), 0x2665u);
    EXPECT_EQ(Lookup(L"THETASYM"), 977u);
}

TEST(XmlEntityDecode, NamedReferences)
{
    EXPECT_EQ(Decode(L"&amp;&lt;&#65;&#x42;&AMP;"), L"&<AB&");
    EXPECT_EQ(Decode(L"&eacute;"), Units({0xE9}));
    EXPECT_EQ(Decode(L"&Eacute;"), Units({0xC9}));
    EXPECT_EQ(Decode(L"&EACUTE;"), Units({0xC9}));
    EXPECT_EQ(Decode(L"a&quot;b&apos;c&gt;"), L"a\"b'c>");
    EXPECT_EQ(Decode(L"x&thetasym;y"), Units({'x', 977, 'y'}));
}

TEST(XmlEntityDecode, UndecodableReferencesStayAsWritten)
{
    EXPECT_EQ(Decode(L"&unknown;&#0;&"), L"&unknown;&#0;&");
    EXPECT_EQ(Decode(L"&amp"), L"&amp");             // no ';' before the end
    EXPECT_EQ(Decode(L"&;"), L"&;");
    EXPECT_EQ(Decode(L"&#;&#x;&# ;"), L"&#;&#x;&# ;");   // no digits
    EXPECT_EQ(Decode(L"&#xZ1;"), L"&#xZ1;");
    // A unit at or above U+0080 ends the candidate name.
    std::wstring nonAscii = Units({'&', 'a', 0xE9, ';'});
    EXPECT_EQ(Decode(nonAscii), nonAscii);
    // After a failed reference, copying goes on with the next character,
    // so a reference inside the candidate still decodes.
    EXPECT_EQ(Decode(L"&a&amp;"), L"&a&");
    EXPECT_EQ(Decode(L"&&lt;"), L"&<");
}

TEST(XmlEntityDecode, CandidateNameHasAtMostNineUnits)
{
    EXPECT_EQ(Decode(L"&#00000065;"), L"A");          // nine units
    EXPECT_EQ(Decode(L"&#000000065;"), L"&#000000065;");   // ten units
    EXPECT_EQ(Decode(L"&thetasym;"), Units({977}));
    EXPECT_EQ(Decode(L"&abcdefghij;"), L"&abcdefghij;");
    // The search for ';' stops at the end of the text being decoded.
    std::wstring text = L"&amp;x";
    std::wstring out;
    AppendXmlDecoded(text.data(), text.data() + 4, out);
    EXPECT_EQ(out, L"&amp");
}

TEST(XmlEntityDecode, NumericReferencesReadLikeWcstol)
{
    EXPECT_EQ(Decode(L"&#65;&#X41;&#x61;&#xA;"), L"AAa\n");
    EXPECT_EQ(Decode(L"&# 65;&#\t66;"), L"AB");     // leading white space
    EXPECT_EQ(Decode(L"&#+67;"), L"C");
    EXPECT_EQ(Decode(L"&#65xyz;"), L"A");           // digits end at the first other unit
    EXPECT_EQ(Decode(L"&#x41g;"), L"A");
    EXPECT_EQ(Decode(L"&#x0x41;"), L"A");           // wcstol's 0x prefix in base 16
    EXPECT_EQ(Decode(L"&#x0x;"), L"&#x0x;");        // reads "0": zero stays
    EXPECT_EQ(Decode(L"&#xFFFF;"), Units({0xFFFF}));
}

TEST(XmlEntityDecode, CodePointsAboveFFFFBecomeSurrogatePairs)
{
    EXPECT_EQ(Decode(L"&#x1F600;"), Units({0xD83D, 0xDE00}));
    EXPECT_EQ(Decode(L"&#65536;"), Units({0xD800, 0xDC00}));
    EXPECT_EQ(Decode(L"&#x10FFFF;"), Units({0xDBFF, 0xDFFF}));
}

TEST(XmlEntityDecode, OutOfRangeNumbersStayAsWritten)
{
    EXPECT_EQ(Decode(L"&#-65;"), L"&#-65;");
    EXPECT_EQ(Decode(L"&#x-41;"), L"&#x-41;");
    EXPECT_EQ(Decode(L"&#x110000;"), L"&#x110000;");
    EXPECT_EQ(Decode(L"&#1114112;"), L"&#1114112;");
    EXPECT_EQ(Decode(L"&#999999999;"), L"&#999999999;");
    EXPECT_EQ(Decode(L"&#xFFFFFFF;"), L"&#xFFFFFFF;");
    // Surrogate code points would leave half a pair in the text.
    EXPECT_EQ(Decode(L"&#xD800;&#xDFFF;&#55296;"), L"&#xD800;&#xDFFF;&#55296;");
    EXPECT_EQ(Decode(L"&#xD7FF;&#xE000;"), Units({0xD7FF, 0xE000}));
}

TEST(XmlEntityDecode, NumericParserSaturatesInsteadOfOverflowing)
{
    // Longer than any reference in text, to reach the saturation path directly.
    std::wstring name = L"#99999999999999999999999999999";
    uint32_t cp = 12345;
    EXPECT_FALSE(ParseXmlNumericReference(name.data(), name.size(), cp));
    name = L"#xFFFFFFFFFFFFFFFFFFFFFFFFFFFF";
    EXPECT_FALSE(ParseXmlNumericReference(name.data(), name.size(), cp));
    EXPECT_EQ(cp, 12345u);
    name = L"#x10FFFF";
    EXPECT_TRUE(ParseXmlNumericReference(name.data(), name.size(), cp));
    EXPECT_EQ(cp, 0x10FFFFu);
}
