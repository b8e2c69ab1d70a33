#include "xml/XmlEntities.h"

namespace {

// The character entity references of HTML 4.01 (Latin-1, symbols and Greek,
// special characters) plus the XML name "apos".
constexpr XmlEntity kEntities[] = {
    // Latin-1, U+00A0 to U+00FF
    {"nbsp", 160}, {"iexcl", 161}, {"cent", 162}, {"pound", 163}, {"curren", 164},
    {"yen", 165}, {"brvbar", 166}, {"sect", 167}, {"uml", 168}, {"copy", 169},
    {"ordf", 170}, {"laquo", 171}, {"not", 172}, {"shy", 173}, {"reg", 174},
    {"macr", 175}, {"deg", 176}, {"plusmn", 177}, {"sup2", 178}, {"sup3", 179},
    {"acute", 180}, {"micro", 181}, {"para", 182}, {"middot", 183}, {"cedil", 184},
    {"sup1", 185}, {"ordm", 186}, {"raquo", 187}, {"frac14", 188}, {"frac12", 189},
    {"frac34", 190}, {"iquest", 191}, {"Agrave", 192}, {"Aacute", 193}, {"Acirc", 194},
    {"Atilde", 195}, {"Auml", 196}, {"Aring", 197}, {"AElig", 198}, {"Ccedil", 199},
    {"Egrave", 200}, {"Eacute", 201}, {"Ecirc", 202}, {"Euml", 203}, {"Igrave", 204},
    {"Iacute", 205}, {"Icirc", 206}, {"Iuml", 207}, {"ETH", 208}, {"Ntilde", 209},
    {"Ograve", 210}, {"Oacute", 211}, {"Ocirc", 212}, {"Otilde", 213}, {"Ouml", 214},
    {"times", 215}, {"Oslash", 216}, {"Ugrave", 217}, {"Uacute", 218}, {"Ucirc", 219},
    {"Uuml", 220}, {"Yacute", 221}, {"THORN", 222}, {"szlig", 223}, {"agrave", 224},
    {"aacute", 225}, {"acirc", 226}, {"atilde", 227}, {"auml", 228}, {"aring", 229},
    {"aelig", 230}, {"ccedil", 231}, {"egrave", 232}, {"eacute", 233}, {"ecirc", 234},
    {"euml", 235}, {"igrave", 236}, {"iacute", 237}, {"icirc", 238}, {"iuml", 239},
    {"eth", 240}, {"ntilde", 241}, {"ograve", 242}, {"oacute", 243}, {"ocirc", 244},
    {"otilde", 245}, {"ouml", 246}, {"divide", 247}, {"oslash", 248}, {"ugrave", 249},
    {"uacute", 250}, {"ucirc", 251}, {"uuml", 252}, {"yacute", 253}, {"thorn", 254},
    {"yuml", 255},
    // Symbols, mathematical symbols and Greek letters
    {"fnof", 402},
    {"Alpha", 913}, {"Beta", 914}, {"Gamma", 915}, {"Delta", 916}, {"Epsilon", 917},
    {"Zeta", 918}, {"Eta", 919}, {"Theta", 920}, {"Iota", 921}, {"Kappa", 922},
    {"Lambda", 923}, {"Mu", 924}, {"Nu", 925}, {"Xi", 926}, {"Omicron", 927},
    {"Pi", 928}, {"Rho", 929}, {"Sigma", 931}, {"Tau", 932}, {"Upsilon", 933},
    {"Phi", 934}, {"Chi", 935}, {"Psi", 936}, {"Omega", 937},
    {"alpha", 945}, {"beta", 946}, {"gamma", 947}, {"delta", 948}, {"epsilon", 949},
    {"zeta", 950}, {"eta", 951}, {"theta", 952}, {"iota", 953}, {"kappa", 954},
    {"lambda", 955}, {"mu", 956}, {"nu", 957}, {"xi", 958}, {"omicron", 959},
    {"pi", 960}, {"rho", 961}, {"sigmaf", 962}, {"sigma", 963}, {"tau", 964},
    {"upsilon", 965}, {"phi", 966}, {"chi", 967}, {"psi", 968}, {"omega", 969},
    {"thetasym", 977}, {"upsih", 978}, {"piv", 982},
    {"bull", 8226}, {"hellip", 8230}, {"prime", 8242}, {"Prime", 8243}, {"oline", 8254},
    {"frasl", 8260},
    {"weierp", 8472}, {"image", 8465}, {"real", 8476}, {"trade", 8482}, {"alefsym", 8501},
    {"larr", 8592}, {"uarr", 8593}, {"rarr", 8594}, {"darr", 8595}, {"harr", 8596},
    {"crarr", 8629}, {"lArr", 8656}, {"uArr", 8657}, {"rArr", 8658}, {"dArr", 8659},
    {"hArr", 8660},
    {"forall", 8704}, {"part", 8706}, {"exist", 8707}, {"empty", 8709}, {"nabla", 8711},
    {"isin", 8712}, {"notin", 8713}, {"ni", 8715}, {"prod", 8719}, {"sum", 8721},
    {"minus", 8722}, {"lowast", 8727}, {"radic", 8730}, {"prop", 8733}, {"infin", 8734},
    {"ang", 8736}, {"and", 8743}, {"or", 8744}, {"cap", 8745}, {"cup", 8746},
    {"int", 8747}, {"there4", 8756}, {"sim", 8764}, {"cong", 8773}, {"asymp", 8776},
    {"ne", 8800}, {"equiv", 8801}, {"le", 8804}, {"ge", 8805}, {"sub", 8834},
    {"sup", 8835}, {"nsub", 8836}, {"sube", 8838}, {"supe", 8839}, {"oplus", 8853},
    {"otimes", 8855}, {"perp", 8869}, {"sdot", 8901},
    {"lceil", 8968}, {"rceil", 8969}, {"lfloor", 8970}, {"rfloor", 8971}, {"lang", 9001},
    {"rang", 9002}, {"loz", 9674},
    {"spades", 9824}, {"clubs", 9827}, {"hearts", 9829}, {"diams", 9830},
    // Special characters
    {"quot", 34}, {"amp", 38}, {"lt", 60}, {"gt", 62},
    {"OElig", 338}, {"oelig", 339}, {"Scaron", 352}, {"scaron", 353}, {"Yuml", 376},
    {"circ", 710}, {"tilde", 732},
    {"ensp", 8194}, {"emsp", 8195}, {"thinsp", 8201}, {"zwnj", 8204}, {"zwj", 8205},
    {"lrm", 8206}, {"rlm", 8207}, {"ndash", 8211}, {"mdash", 8212}, {"lsquo", 8216},
    {"rsquo", 8217}, {"sbquo", 8218}, {"ldquo", 8220}, {"rdquo", 8221}, {"bdquo", 8222},
    {"dagger", 8224}, {"Dagger", 8225}, {"permil", 8240}, {"lsaquo", 8249},
    {"rsaquo", 8250}, {"euro", 8364},
    // XML
    {"apos", 39},
};

constexpr size_t kEntityCount = sizeof(kEntities) / sizeof(kEntities[0]);
static_assert(kEntityCount == 253, "252 HTML 4.01 references plus apos");

// Longest candidate name between '&' and ';' ("thetasym" needs 8).
constexpr size_t kMaxReferenceName = 9;

constexpr unsigned LowerAscii(unsigned c)
{
    return (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c;
}

constexpr unsigned BucketOfName(const char* name)
{
    unsigned sum = 0;
    for (; *name; ++name)
        sum += LowerAscii(static_cast<unsigned char>(*name));
    return sum % kXmlEntityBucketCount;
}

// Entries grouped by bucket (counting sort at compile time): the names of
// bucket b are order[first[b]] .. order[first[b + 1] - 1], in table order.
struct BucketTable
{
    uint16_t first[kXmlEntityBucketCount + 1];
    uint16_t order[kEntityCount];
};

constexpr BucketTable BuildBuckets()
{
    BucketTable table{};
    for (size_t i = 0; i < kEntityCount; ++i)
        ++table.first[BucketOfName(kEntities[i].name) + 1];
    for (unsigned b = 0; b < kXmlEntityBucketCount; ++b)
        table.first[b + 1] = static_cast<uint16_t>(table.first[b + 1] + table.first[b]);
    uint16_t filled[kXmlEntityBucketCount]{};
    for (size_t i = 0; i < kEntityCount; ++i) {
        unsigned b = BucketOfName(kEntities[i].name);
        table.order[table.first[b] + filled[b]] = static_cast<uint16_t>(i);
        ++filled[b];
    }
    return table;
}

constexpr BucketTable kBuckets = BuildBuckets();

bool HasCapital(const char* name)
{
    for (; *name; ++name)
        if (*name >= 'A' && *name <= 'Z')
            return true;
    return false;
}

// Compares a table name with a candidate; `foldCase` ignores A-Z case.
bool NameEquals(const char* entry, const wchar_t* name, size_t length, bool foldCase)
{
    for (size_t i = 0; i < length; ++i, ++entry) {
        if (*entry == '\0')
            return false;
        unsigned a = static_cast<unsigned char>(*entry);
        unsigned b = static_cast<unsigned>(name[i]);
        if (foldCase ? LowerAscii(a) != LowerAscii(b) : a != b)
            return false;
    }
    return *entry == '\0';
}

bool IsSpace(unsigned c)
{
    // The white space wcstol skips in the C locale.
    return c == ' ' || (c >= '\t' && c <= '\r');
}

int DigitValue(unsigned c, unsigned base)
{
    int v = -1;
    if (c >= '0' && c <= '9')
        v = static_cast<int>(c - '0');
    else if (LowerAscii(c) >= 'a' && LowerAscii(c) <= 'z')
        v = static_cast<int>(LowerAscii(c) - 'a') + 10;
    return (v >= 0 && static_cast<unsigned>(v) < base) ? v : -1;
}

void AppendCodePoint(uint32_t cp, std::wstring& out)
{
    if (cp <= 0xFFFF) {
        out += static_cast<wchar_t>(cp);
    } else {
        cp -= 0x10000;
        out += static_cast<wchar_t>(0xD800 | (cp >> 10));
        out += static_cast<wchar_t>(0xDC00 | (cp & 0x3FF));
    }
}

// Decodes the reference whose '&' is at `amp`; returns the position after its
// ';', or nullptr when it is left as it stands.
const wchar_t* DecodeReference(const wchar_t* amp, const wchar_t* end, std::wstring& out)
{
    const wchar_t* name = amp + 1;
    size_t length = 0;
    for (;; ++length) {
        if (length > kMaxReferenceName || name + length >= end)
            return nullptr;
        unsigned c = static_cast<unsigned>(name[length]);
        if (c == ';')
            break;
        if (c >= 0x80)
            return nullptr;
    }
    uint32_t cp = 0;
    if (length > 0 && name[0] == L'#') {
        if (!ParseXmlNumericReference(name, length, cp))
            return nullptr;
    } else {
        cp = LookupXmlEntity(name, length);
        if (cp == 0)
            return nullptr;
    }
    AppendCodePoint(cp, out);
    return name + length + 1;
}

} // namespace

unsigned XmlEntityBucketOf(const char* name)
{
    return BucketOfName(name);
}

size_t XmlEntityCount()
{
    return kEntityCount;
}

size_t XmlEntityBucketSize(unsigned bucket)
{
    if (bucket >= kXmlEntityBucketCount)
        return 0;
    return static_cast<size_t>(kBuckets.first[bucket + 1] - kBuckets.first[bucket]);
}

const XmlEntity& XmlEntityInBucket(unsigned bucket, size_t position)
{
    return kEntities[kBuckets.order[kBuckets.first[bucket] + position]];
}

uint32_t LookupXmlEntity(const wchar_t* name, size_t length)
{
    if (length == 0 || length > kMaxReferenceName)
        return 0;
    unsigned sum = 0;
    for (size_t i = 0; i < length; ++i) {
        unsigned c = static_cast<unsigned>(name[i]);
        if (c >= 0x80)
            return 0;
        sum += LowerAscii(c);
    }
    unsigned bucket = sum % kXmlEntityBucketCount;
    const XmlEntity* folded = nullptr;
    for (size_t i = 0, n = XmlEntityBucketSize(bucket); i < n; ++i) {
        const XmlEntity& e = XmlEntityInBucket(bucket, i);
        if (NameEquals(e.name, name, length, false))
            return e.codePoint;
        // Of a case pair (Eacute/eacute, lArr/larr) the capital form wins.
        if (NameEquals(e.name, name, length, true) && (!folded || HasCapital(e.name)))
            folded = &e;
    }
    return folded ? folded->codePoint : 0;
}

bool ParseXmlNumericReference(const wchar_t* name, size_t length, uint32_t& codePoint)
{
    if (length == 0 || name[0] != L'#')
        return false;
    size_t i = 1;
    unsigned base = 10;
    if (i < length && LowerAscii(static_cast<unsigned>(name[i])) == 'x') {
        base = 16;
        ++i;
    }
    // From here on the rules of wcstol: white space, a sign, for base 16 an
    // optional 0x prefix, then digits up to the first other character.
    while (i < length && IsSpace(static_cast<unsigned>(name[i])))
        ++i;
    bool negative = false;
    if (i < length && (name[i] == L'+' || name[i] == L'-')) {
        negative = name[i] == L'-';
        ++i;
    }
    if (base == 16 && i + 2 < length && name[i] == L'0' &&
        LowerAscii(static_cast<unsigned>(name[i + 1])) == 'x' &&
        DigitValue(static_cast<unsigned>(name[i + 2]), 16) >= 0)
        i += 2;
    // The value saturates instead of overflowing; anything above U+10FFFF is
    // refused below, so the saturated value never reaches the text.
    const uint64_t kCap = 0x110000;
    uint64_t value = 0;
    bool digits = false;
    for (; i < length; ++i) {
        int d = DigitValue(static_cast<unsigned>(name[i]), base);
        if (d < 0)
            break;
        digits = true;
        value = value * base + static_cast<unsigned>(d);
        if (value > kCap)
            value = kCap;
    }
    if (!digits || value == 0 || negative || value > 0x10FFFF)
        return false;
    // A surrogate code point would put a lone half of a pair into the text,
    // which is not valid UTF-16; such a reference stays as written.
    if (value >= 0xD800 && value <= 0xDFFF)
        return false;
    codePoint = static_cast<uint32_t>(value);
    return true;
}

void AppendXmlDecoded(const wchar_t* begin, const wchar_t* end, std::wstring& out)
{
    const wchar_t* run = begin;
    const wchar_t* p = begin;
    while (p < end) {
        if (*p != L'&') {
            ++p;
            continue;
        }
        out.append(run, static_cast<size_t>(p - run));
        const wchar_t* next = DecodeReference(p, end, out);
        if (next) {
            p = next;
        } else {
            out += L'&';
            ++p;
        }
        run = p;
    }
    out.append(run, static_cast<size_t>(p - run));
}
