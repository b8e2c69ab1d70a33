// Writes a language transform (.mst) for a Windows Installer package.
//
//   MakeTransform <base.msi> <out.mst> <language id> [Name=Value ...]
//
// The transform sets ProductLanguage to the language id and every named property to its
// value. It only changes rows the base package has (a transform that updates a missing row
// fails to apply), so every name must be a property of the package. The file is written
// directly as structured storage because the service's own transform generation is not
// available everywhere the build runs (Wine). Its summary information asks the service to
// check the product and upgrade codes, so it applies to every version of this product.
#include "tools/payloads/TransformWriter.h"

#include "framework/Handles.h"

#include <windows.h>
#include <msi.h>
#include <msiquery.h>
#include <objbase.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <utility>
#include <vector>

namespace {

// {000C1082-0000-0000-C000-000000000046}: the class of a transform's root storage.
const CLSID kTransformClass = {
    0x000C1082, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

int Fail(const wchar_t* what, const std::wstring& detail, unsigned long code)
{
    fwprintf(stderr, L"MakeTransform: %ls %ls (error %lu)\n", what, detail.c_str(), code);
    return 2;
}

// What the transform needs to know about its base package.
struct BasePackage
{
    uint16_t codepage = 0;
    std::wstring platform;
    int32_t pageCount = 200;
    std::wstring productCode, productVersion, upgradeCode, productLanguage, productName,
        manufacturer;
};

// The code page of the package's strings: the first word of its string pool stream. The
// transform's strings must use the same one.
HRESULT ReadCodepage(const std::wstring& path, uint16_t& codepage)
{
    ComPtr<IStorage> storage;
    HRESULT hr = StgOpenStorage(path.c_str(), nullptr, STGM_READ | STGM_SHARE_DENY_WRITE,
                                nullptr, 0, storage.Receive());
    if (FAILED(hr))
        return hr;
    ComPtr<IStream> pool;
    hr = storage->OpenStream(transform::EncodeStreamName(L"_StringPool", true).c_str(),
                                   nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, 0, pool.Receive());
    if (FAILED(hr))
        return hr;
    uint8_t header[2] = {};
    ULONG read = 0;
    hr = pool->Read(header, sizeof header, &read);
    if (FAILED(hr) || read != sizeof header)
        return FAILED(hr) ? hr : STG_E_READFAULT;
    codepage = static_cast<uint16_t>(header[0] | (header[1] << 8));
    return S_OK;
}

// A property of the package, or nothing when the package has no such row.
bool QueryProperty(MSIHANDLE database, const std::wstring& name, std::wstring& value)
{
    CMsiHandle view, record, query(MsiCreateRecord(1));
    MsiRecordSetStringW(query.Get(), 1, name.c_str());
    if (MsiDatabaseOpenViewW(database, L"SELECT `Value` FROM `Property` WHERE `Property` = ?",
                             view.Receive()) != ERROR_SUCCESS ||
        MsiViewExecute(view.Get(), query.Get()) != ERROR_SUCCESS ||
        MsiViewFetch(view.Get(), record.Receive()) != ERROR_SUCCESS)
        return false;
    std::vector<wchar_t> buffer(1024, L'\0');
    DWORD chars = static_cast<DWORD>(buffer.size());
    if (MsiRecordGetStringW(record.Get(), 1, buffer.data(), &chars) != ERROR_SUCCESS)
        return false;
    value.assign(buffer.data(), chars);
    return true;
}

std::wstring SummaryText(MSIHANDLE summary, UINT id)
{
    UINT type = 0;
    INT number = 0;
    FILETIME time = {};
    wchar_t buffer[512] = {};
    DWORD chars = 512;
    if (MsiSummaryInfoGetPropertyW(summary, id, &type, &number, &time, buffer, &chars) !=
        ERROR_SUCCESS)
        return std::wstring();
    return buffer;
}

int ReadBase(const std::wstring& path, const std::vector<std::wstring>& changed,
             BasePackage& base)
{
    const HRESULT hr = ReadCodepage(path, base.codepage);
    if (FAILED(hr))
        return Fail(L"cannot read the string pool of", path, static_cast<unsigned long>(hr));
    CMsiHandle database;
    UINT result = MsiOpenDatabaseW(path.c_str(), MSIDBOPEN_READONLY, database.Receive());
    if (result != ERROR_SUCCESS)
        return Fail(L"cannot open", path, result);
    const std::pair<const wchar_t*, std::wstring*> wanted[] = {
        {L"ProductCode", &base.productCode},       {L"ProductVersion", &base.productVersion},
        {L"UpgradeCode", &base.upgradeCode},       {L"ProductLanguage", &base.productLanguage},
        {L"ProductName", &base.productName},       {L"Manufacturer", &base.manufacturer}};
    for (const auto& item : wanted) {
        if (!QueryProperty(database.Get(), item.first, *item.second))
            return Fail(L"the package has no property", item.first, ERROR_NOT_FOUND);
    }
    for (const std::wstring& name : changed) {
        std::wstring ignored;
        if (!QueryProperty(database.Get(), name, ignored))
            return Fail(L"the package has no property", name, ERROR_NOT_FOUND);
    }
    CMsiHandle summary;
    result = MsiGetSummaryInformationW(database.Get(), nullptr, 0, summary.Receive());
    if (result != ERROR_SUCCESS)
        return Fail(L"cannot read the summary information of", path, result);
    const std::wstring templateText = SummaryText(summary.Get(), PIDSI_TEMPLATE);
    base.platform = templateText.substr(0, templateText.find(L';'));
    UINT type = 0;
    INT pages = 0;
    FILETIME time = {};
    DWORD chars = 0;
    if (MsiSummaryInfoGetPropertyW(summary.Get(), PIDSI_PAGECOUNT, &type, &pages, &time, nullptr,
                                   &chars) == ERROR_SUCCESS &&
        type == VT_I4)
        base.pageCount = pages;
    return 0;
}

// Text in the package's code page; code page 0 (neutral) holds plain ASCII only.
bool ToCodepage(const std::wstring& text, uint16_t codepage, std::string& out)
{
    out.clear();
    if (codepage == 0) {
        for (wchar_t c : text) {
            if (c >= 0x80)
                return false;
            out.push_back(static_cast<char>(c));
        }
        return true;
    }
    if (text.empty())
        return true;
    BOOL lossy = FALSE;
    const int size = WideCharToMultiByte(codepage, WC_NO_BEST_FIT_CHARS, text.data(),
                                         static_cast<int>(text.size()), nullptr, 0, nullptr,
                                         &lossy);
    if (size <= 0 || lossy)
        return false;
    out.resize(size);
    WideCharToMultiByte(codepage, WC_NO_BEST_FIT_CHARS, text.data(),
                        static_cast<int>(text.size()), &out[0], size, nullptr, nullptr);
    return true;
}

std::string Ascii(const std::wstring& text)
{
    std::string out;
    for (wchar_t c : text)
        out.push_back(c < 0x80 ? static_cast<char>(c) : '?');
    return out;
}

HRESULT WriteStream(IStorage* storage, const std::wstring& name, const transform::Bytes& bytes)
{
    ComPtr<IStream> stream;
    HRESULT hr = storage->CreateStream(name.c_str(),
                                       STGM_CREATE | STGM_WRITE | STGM_SHARE_EXCLUSIVE, 0, 0,
                                       stream.Receive());
    if (FAILED(hr))
        return hr;
    ULONG written = 0;
    hr = stream->Write(bytes.data(), static_cast<ULONG>(bytes.size()), &written);
    if (SUCCEEDED(hr) && written != bytes.size())
        hr = STG_E_WRITEFAULT;
    return hr;
}

HRESULT WriteTransform(const std::wstring& path, const transform::CStringPool& pool,
                       const transform::Bytes& propertyRows, const transform::Bytes& summary)
{
    ComPtr<IStorage> storage;
    HRESULT hr = StgCreateDocfile(path.c_str(),
                                  STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0,
                                  storage.Receive());
    if (FAILED(hr))
        return hr;
    IStorage* root = storage.Get();
    if (FAILED(hr = root->SetClass(kTransformClass)) ||
        FAILED(hr = WriteStream(root, L"\005SummaryInformation", summary)) ||
        FAILED(hr = WriteStream(root, transform::EncodeStreamName(L"_StringPool", true),
                                pool.PoolStream())) ||
        FAILED(hr = WriteStream(root, transform::EncodeStreamName(L"_StringData", true),
                                pool.DataStream())) ||
        FAILED(hr = WriteStream(root, transform::EncodeStreamName(L"Property", true),
                                propertyRows)))
        return hr;
    return root->Commit(STGC_DEFAULT);
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 4) {
        fwprintf(stderr, L"usage: MakeTransform <base.msi> <out.mst> <language id> "
                         L"[Name=Value ...]\n");
        return 1;
    }
    const std::wstring basePath = argv[1], outPath = argv[2], language = argv[3];
    const long languageId = wcstol(language.c_str(), nullptr, 10);
    if (languageId <= 0 || languageId > 0xFFFF || std::to_wstring(languageId) != language)
        return Fail(L"not a language id:", language, ERROR_INVALID_PARAMETER);

    std::vector<std::pair<std::wstring, std::wstring>> changes = {
        {L"ProductLanguage", language}};
    std::vector<std::wstring> names;
    for (int i = 4; i < argc; ++i) {
        const std::wstring pair = argv[i];
        const size_t equals = pair.find(L'=');
        if (equals == 0 || equals == std::wstring::npos)
            return Fail(L"not Name=Value:", pair, ERROR_INVALID_PARAMETER);
        changes.emplace_back(pair.substr(0, equals), pair.substr(equals + 1));
        names.push_back(pair.substr(0, equals));
    }

    BasePackage base;
    if (int failed = ReadBase(basePath, names, base))
        return failed;

    transform::CStringPool pool(base.codepage);
    std::vector<std::pair<std::string, std::string>> rows;
    for (const auto& change : changes) {
        std::string key, value;
        if (!ToCodepage(change.first, base.codepage, key) ||
            !ToCodepage(change.second, base.codepage, value))
            return Fail(L"not representable in the package's code page:", change.second,
                        ERROR_NO_UNICODE_TRANSLATION);
        rows.emplace_back(key, value);
    }
    const transform::Bytes propertyRows = transform::PropertyUpdateStream(pool, rows);
    if (propertyRows.empty())
        return Fail(L"too many or too long strings for", outPath, ERROR_INVALID_DATA);

    transform::SummaryInfo summary;
    summary.title = "Transform";
    summary.subject = Ascii(base.productName) + " " + Ascii(language);
    summary.author = Ascii(base.manufacturer);
    summary.templateText = Ascii(base.platform + L";" + base.productLanguage);
    summary.lastAuthor = Ascii(base.platform + L";" + language);
    const std::wstring product = base.productCode + base.productVersion;
    summary.revisionNumber = Ascii(product + L";" + product + L";" + base.upgradeCode);
    summary.pageCount = base.pageCount;
    summary.characterCount = transform::kValidateProduct | transform::kValidateUpgradeCode;
    summary.applicationName = "Pel Systems MakeTransform";

    // Written aside and renamed, so a failed run never leaves a half-written transform.
    const std::wstring partPath = outPath + L".part";
    const HRESULT hr =
        WriteTransform(partPath, pool, propertyRows, transform::SummaryInformationStream(summary));
    if (FAILED(hr)) {
        DeleteFileW(partPath.c_str());
        return Fail(L"cannot write", partPath, static_cast<unsigned long>(hr));
    }
    if (!MoveFileExW(partPath.c_str(), outPath.c_str(), MOVEFILE_REPLACE_EXISTING))
        return Fail(L"cannot move the transform to", outPath, GetLastError());
    return 0;
}
