// Whether the product is installed already, in which version and language, and where its
// program is.
#include "config/InstallConfig.h"

#include "config/ModelLogText.h"
#include "config/RegistryKey.h"
#include "config/Table.h"
#include "config/TextNumber.h"
#include "config/UIStringTable.h"
#include "framework/RunLog.h"

#include <msi.h>

namespace {

std::wstring LanguagePacksKey(const std::wstring& productKey)
{
    return productKey + L"\\LanguagePacks";
}

std::wstring IdList(const std::vector<int>& ids)
{
    std::wstring text;
    for (int id : ids)
        text += (text.empty() ? L"" : L", ") + std::to_wstring(id);
    return text.empty() ? L"none" : text;
}

} // namespace

InstalledProductInfo CInstallConfig::GetInstalledProductInfo(const std::wstring& productCode) const
{
    InstalledProductInfo info;
    // A product without a version string still counts by its name, so this result is not used.
    m_queryProductInfo(productCode, INSTALLPROPERTY_VERSIONSTRING, info.version);
    const UINT result =
        m_queryProductInfo(productCode, INSTALLPROPERTY_INSTALLEDPRODUCTNAME, info.productName);
    if (result != ERROR_SUCCESS) {
        if (result == ERROR_UNKNOWN_PRODUCT) {
            LogLine(L"Installed product: none under product code " + LogQuoted(productCode));
        } else {
            LogLine(L"Installed product: the query for product code " + LogQuoted(productCode) +
                    L" failed (error " + std::to_wstring(result) + L")");
            m_reportMessage(L"Failed to get installed product info, error code: " +
                            std::to_wstring(static_cast<int>(result)));
        }
        return InstalledProductInfo();
    }
    LogLine(L"Installed product: " + LogQuoted(info.productName) + L" version " +
            LogQuoted(info.version) + L" under product code " + LogQuoted(productCode));
    return info;
}

void CInstallConfig::DetectInstalledProduct()
{
    m_installedProduct = GetInstalledProductInfo(m_manifest.productCode);
    if (m_installedProduct.version.empty() && m_installedProduct.productName.empty())
        return;
    *m_pProductInstalled = 1;
    // What an earlier run of this installer recorded under the product's key.
    CRegistryKey product(HKEY_LOCAL_MACHINE, m_manifest.registry);
    LogLine(L"Installed product: folder " +
            LogQuoted(product.QueryString(L"InstallDir").value_or(std::wstring())) +
            L", program " + LogQuoted(product.QueryString(L"exe").value_or(std::wstring())) +
            L", language packs " + IdList(GetInstalledLanguagePacks()));
    // The language chosen when the product was installed wins over the command line and the
    // user's UI language; 1033 stands for "none chosen" and leaves the choice made so far.
    CRegistryKey key(HKEY_LOCAL_MACHINE, LanguagePacksKey(m_manifest.registry));
    DWORD initial = kDefaultLanguageId;
    if (!key.QueryDword(L"InitialLangID", initial))
        initial = kDefaultLanguageId;
    if (initial != static_cast<DWORD>(kDefaultLanguageId)) {
        m_uiStrings.m_nLanguageId = static_cast<int>(initial);
        LogLine(L"Language chosen: " + std::to_wstring(initial) +
                L" (the installed product's language, InitialLangID)");
    }
}

std::vector<int> CInstallConfig::GetInstalledLanguagePacks() const
{
    CRegistryKey key(HKEY_LOCAL_MACHINE, LanguagePacksKey(m_manifest.registry));
    Table<wchar_t, wchar_t*> names;
    key.EnumSubkeys(names);
    std::vector<int> ids;
    ids.reserve(static_cast<size_t>(names.Count()));
    for (int i = 0; i < names.Count(); ++i) {
        const wchar_t* name = names.Get(i);
        ids.push_back(name ? WtoiLike(std::wstring(name)) : 0);
    }
    return ids;
}

// Only a file is offered for launching: a folder would open in the shell instead.
std::wstring CInstallConfig::GetInstalledExecutable() const
{
    CRegistryKey key(HKEY_LOCAL_MACHINE, m_manifest.registry);
    const std::optional<std::wstring> exe = key.QueryString(L"exe");
    if (!exe || exe->empty() || !IsExistingFile(*exe))
        return std::wstring();
    return *exe;
}
