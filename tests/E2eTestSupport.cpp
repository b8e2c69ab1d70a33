#include "E2eTestSupport.h"

#include <msi.h>


namespace e2e {

namespace {

bool CopyTree(const std::wstring& from, const std::wstring& to)
{
    ::CreateDirectoryW(to.c_str(), nullptr);
    WIN32_FIND_DATAW data;
    HANDLE find = ::FindFirstFileW((from + L"\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return false;
    bool ok = true;
    do {
        std::wstring name = data.cFileName;
        if (name == L"." || name == L"..")
            continue;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            ok = CopyTree(from + L"\\" + name, to + L"\\" + name) && ok;
        else
            ok = ::CopyFileW((from + L"\\" + name).c_str(), (to + L"\\" + name).c_str(), FALSE) && ok;
    } while (::FindNextFileW(find, &data));
    ::FindClose(find);
    return ok;
}

const wchar_t kProductKey[] = L"SOFTWARE\\Pel Systems\\VARO Pro\\070";

void SetUrlHandler(const std::wstring& command)
{
    for (const wchar_t* scheme : {L"http", L"https"}) {
        std::wstring key = std::wstring(scheme) + L"\\shell\\open\\command";
        ::RegSetKeyValueW(HKEY_CLASSES_ROOT, key.c_str(), nullptr, REG_SZ, command.c_str(),
                          static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t)));
    }
}

const wchar_t kQuietUrlHandler[] =
    L"\"C:\\windows\\system32\\rundll32.exe\" user32.dll,GetDesktopWindow \"%1\"";

} // namespace

bool CStage::Prepare(const std::string& siteOptions)
{
    if (!m_server.Start(m_site.Path())) {
        m_error = "the download server did not start";
        return false;
    }
    ::CreateDirectoryW((m_app.Path() + L"\\config").c_str(), nullptr);
    if (!payload_test::MakeDemoSite(m_site.Path(), m_server.Port(), ManifestPath(), siteOptions)) {
        m_error = "the demo site was not made";
        return false;
    }
    m_exe = m_app.File(L"PelWebInstaller.exe");
    if (!::CopyFileW(testing_support::InstallerExePath().c_str(), m_exe.c_str(), FALSE)) {
        m_error = "the installer could not be copied";
        return false;
    }
    std::wstring languages = testing_support::WinePath(PEL_SOURCE_DIR) + L"\\sample\\language";
    if (!CopyTree(languages, m_app.File(L"language"))) {
        m_error = "the language folders could not be copied";
        return false;
    }
    return true;
}

bool CStage::EditManifest(const std::string& before, const std::string& insert)
{
    const std::wstring path = ManifestPath();
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    std::string xml(::GetFileSize(file, nullptr), '\0');
    DWORD read = 0;
    BOOL ok = ::ReadFile(file, &xml[0], static_cast<DWORD>(xml.size()), &read, nullptr);
    ::CloseHandle(file);
    size_t at = xml.find(before);
    if (!ok || read != xml.size() || at == std::string::npos)
        return false;
    xml.insert(at, insert);
    return testing_support::WriteFileBytes(path, xml);
}

CProductCleanup::CProductCleanup()
{
    RemoveProduct();
    m_machineKey = std::make_unique<payload_test::CreatedKeyRemover>(HKEY_LOCAL_MACHINE, kProductKey,
                                                                     KEY_WOW64_64KEY);
    m_userKey = std::make_unique<payload_test::CreatedKeyRemover>(HKEY_CURRENT_USER, kProductKey,
                                                                  KEY_WOW64_64KEY);
}

CProductCleanup::~CProductCleanup()
{
    RemoveProduct();
}

void RemoveProduct()
{
    if (ProductVersion().empty())
        return;
    ::MsiSetInternalUI(INSTALLUILEVEL_NONE, nullptr);
    ::MsiConfigureProductW(kProductCode, INSTALLLEVEL_DEFAULT, INSTALLSTATE_ABSENT);
}

std::wstring ProductVersion()
{
    wchar_t version[64] = L"";
    DWORD size = 64;
    if (::MsiGetProductInfoW(kProductCode, INSTALLPROPERTY_VERSIONSTRING, version, &size) !=
        ERROR_SUCCESS)
        return std::wstring();
    return version;
}

std::wstring ProductRegistryString(const wchar_t* name)
{
    wchar_t data[1024] = L"";
    DWORD size = sizeof data;
    if (::RegGetValueW(HKEY_LOCAL_MACHINE, kProductKey, name, RRF_RT_REG_SZ | RRF_SUBKEY_WOW6464KEY,
                       nullptr, data, &size) != ERROR_SUCCESS)
        return std::wstring();
    return data;
}

void ForgetPrerequisites()
{
    const wchar_t* keys[] = {
        L"SOFTWARE\\Microsoft\\VisualStudio\\14.0\\VC\\Runtimes\\x64",
        L"SOFTWARE\\Microsoft\\EdgeUpdate\\Clients\\{F3017226-FE2A-4295-8BDF-00C3A9A7E4C5}"};
    for (const wchar_t* key : keys)
        ::RegDeleteKeyExW(HKEY_LOCAL_MACHINE, key, KEY_WOW64_32KEY, 0);
}

CBrowserRecorder::CBrowserRecorder() : m_record(m_folder.File(L"browser.txt"))
{
    // The installer has the desktop shell open addresses, so the handler runs with the
    // shell's environment, not the installer's: a script names the record file itself.
    const std::wstring script = m_folder.File(L"browser.bat");
    const std::wstring body = L"@set PEL_RECORD_ARGS_FILE=" + m_record + L"\r\n@\"" +
                              testing_support::RecordArgsExePath() + L"\" %1\r\n";
    testing_support::WriteFileBytes(script, std::string(body.begin(), body.end()));
    SetUrlHandler(L"\"" + script + L"\" \"%1\"");
}

CBrowserRecorder::~CBrowserRecorder()
{
    SetUrlHandler(kQuietUrlHandler);
}

void CBrowserRecorder::Clear()
{
    ::DeleteFileW(m_record.c_str());
}

std::wstring CBrowserRecorder::LastAddress(DWORD timeoutMs)
{
    for (DWORD start = ::GetTickCount();; ::Sleep(100)) {
        HANDLE file = ::CreateFileW(m_record.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            wchar_t text[2048] = L"";
            DWORD bytes = 0;
            ::ReadFile(file, text, sizeof text - sizeof(wchar_t), &bytes, nullptr);
            ::CloseHandle(file);
            std::wstring lines(text, bytes / sizeof(wchar_t));
            size_t first = lines.find(L'\n');
            if (first != std::wstring::npos) {
                std::wstring address = lines.substr(first + 1);
                return address.substr(0, address.find(L'\n'));
            }
        }
        if (::GetTickCount() - start > timeoutMs)
            return std::wstring();
    }
}

std::wstring ProductProgramPath(const wchar_t* fileName)
{
    return payload_test::PayloadPath(std::wstring(L"product\\") + fileName);
}

} // namespace e2e
