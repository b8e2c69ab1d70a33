#include "PayloadFolder.h"

#include "config/FileNameRules.h"
#include "config/Sha256Text.h"
#include "engine/Sha256.h"

#include <windows.h>

#include <algorithm>

namespace {

bool AppendUtf8(const std::wstring& text, std::string& out)
{
    if (text.empty())
        return true;
    const int length = static_cast<int>(text.size());
    const int bytes = ::WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, text.data(), length,
                                            nullptr, 0, nullptr, nullptr);
    if (bytes <= 0)
        return false;
    const size_t base = out.size();
    out.resize(base + static_cast<size_t>(bytes));
    return ::WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, text.data(), length, &out[base],
                                 bytes, nullptr, nullptr) == bytes;
}

// %XX escapes become bytes, which together with the other characters must form UTF-8 (as
// browsers and servers read a path). A '%' without two hexadecimal digits stays as written.
bool PercentDecode(const std::wstring& segment, std::wstring& decoded)
{
    std::string bytes;
    std::wstring run;
    for (size_t i = 0; i < segment.size(); ++i) {
        const int high =
            segment[i] == L'%' && i + 2 < segment.size() ? HexDigitValue(segment[i + 1]) : -1;
        const int low = high >= 0 ? HexDigitValue(segment[i + 2]) : -1;
        if (low < 0) {
            run += segment[i];
            continue;
        }
        if (!AppendUtf8(run, bytes))
            return false;
        run.clear();
        bytes += static_cast<char>(high * 16 + low);
        i += 2;
    }
    if (!AppendUtf8(run, bytes))
        return false;
    decoded.clear();
    if (bytes.empty())
        return true;
    const int length = static_cast<int>(bytes.size());
    const int chars = ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(), length,
                                            nullptr, 0);
    if (chars <= 0)
        return false;
    decoded.resize(static_cast<size_t>(chars));
    return ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(), length,
                                 &decoded[0], chars) == chars;
}

bool IsFile(const std::wstring& path)
{
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

} // namespace

AddressPath SplitAddress(const std::wstring& url)
{
    AddressPath result;
    std::wstring rest = url.substr(0, std::min(url.find(L'#'), url.find(L'?')));
    // Past "scheme://host": the path starts at the next slash; an address without a scheme
    // is taken as a path.
    const size_t scheme = rest.find(L"://");
    if (scheme != std::wstring::npos) {
        const size_t slash = rest.find(L'/', scheme + 3);
        rest = slash == std::wstring::npos ? std::wstring() : rest.substr(slash);
    }
    size_t begin = 0;
    while (begin <= rest.size()) {
        size_t end = rest.find(L'/', begin);
        if (end == std::wstring::npos)
            end = rest.size();
        std::wstring decoded;
        if (!PercentDecode(rest.substr(begin, end - begin), decoded)) {
            result.problem = L"its path is not UTF-8 once percent-decoded";
            return result;
        }
        if (begin > 0 || !decoded.empty())
            result.segments.push_back(decoded);
        begin = end + 1;
    }
    if (result.segments.empty() || result.segments.back().empty())
        result.problem = L"it ends without a file name";
    else if (!IsSafeFileName(result.segments.back()))
        result.problem = L"its last segment \"" + result.segments.back() +
                         L"\" cannot be a file name on Windows";
    return result;
}

std::wstring DownloadKey(const AddressPath& path)
{
    std::wstring key;
    for (const std::wstring& segment : path.segments)
        key += L"/" + segment;
    return key;
}

PayloadLookup FindPayload(const std::wstring& folder, const AddressPath& path)
{
    PayloadLookup lookup;
    const size_t n = path.segments.size();
    // The trailing parts made of plain file names, shortest first.
    std::vector<std::wstring> parts;
    std::wstring part;
    for (size_t k = n; k-- > 0;) {
        if (!IsSafeFileName(path.segments[k]))
            break;
        part = part.empty() ? path.segments[k] : path.segments[k] + L"\\" + part;
        parts.push_back(part);
    }
    for (size_t k = parts.size(); k-- > 0;) {
        lookup.tried.push_back(parts[k]);
        if (IsFile(folder + parts[k])) {
            lookup.file = folder + parts[k];
            lookup.relative = parts[k];
            break;
        }
    }
    return lookup;
}

bool CPayloadHashes::Get(const std::wstring& file, Sha256Digest& digest)
{
    const auto known = m_known.find(file);
    if (known != m_known.end()) {
        digest = known->second;
        return true;
    }
    if (!Sha256OfFile(file, digest))
        return false;
    m_known[file] = digest;
    return true;
}
