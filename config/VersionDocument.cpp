#include "config/VersionDocument.h"

#include "xml/XmlDocument.h"

namespace {

// Finds the next child called name, steps into it, takes its data and steps out, so that
// the next child search continues after it.
bool ReadChild(CXmlDocument& doc, const wchar_t* name, std::wstring& value)
{
    if (!doc.FindChildElement(name))
        return false;
    doc.EnterElement();
    value = doc.GetElementData();
    doc.LeaveElement();
    return true;
}

} // namespace

void ReadVersionDocumentData(CXmlDocument& doc, ManifestInfo& info)
{
    if (!doc.FindElement(L"pelwebinstaller"))
        return;
    ReadChild(doc, L"product_code", info.serverProductCode);
    // The releases are sibling searches after product_code (from the first child when it is
    // absent).
    doc.EnterElement();
    if (doc.FindElement(L"fresh_install")) {
        ReadChild(doc, L"product_version", info.freshInstall.productVersion);
        ReadChild(doc, L"min_web_installer_version", info.freshInstall.minWebInstallerVersion);
        ReadChild(doc, L"web_installer_download_url", info.freshInstall.webInstallerDownloadUrl);
        ReadChild(doc, L"web_installer_sha256", info.freshInstall.webInstallerSha256);
    }
    if (doc.FindElement(L"patch_install")) {
        if (ReadChild(doc, L"product_version", info.patchInstall.productVersion))
            info.standaloneVersion = info.patchInstall.productVersion;
        ReadChild(doc, L"min_web_installer_version", info.patchInstall.minWebInstallerVersion);
        ReadChild(doc, L"web_installer_download_url", info.patchInstall.webInstallerDownloadUrl);
        ReadChild(doc, L"web_installer_sha256", info.patchInstall.webInstallerSha256);
    }
}
