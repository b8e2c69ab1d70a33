// End-to-end runs of the real installer executable: a download site served on 127.0.0.1, the
// installer staged in a temporary folder with config\manifest.xml and the sample language
// folders beside it, started and driven from outside (tools/demo/InstallerDriver.h).
#pragma once

#include "PayloadTestSupport.h"
#include "TestServer.h"
#include "WinTestSupport.h"
#include "tools/demo/InstallerDriver.h"

#include <windows.h>

#include <memory>
#include <string>

namespace e2e {

inline constexpr wchar_t kProductCode[] = L"{6A3C1F0E-7B1D-4E3B-9C55-2F7A0D9B7001}";

// The staged installer and its site.
class CStage
{
public:
    // Lays out a site served by a fresh server and stages the installer; `siteOptions` are
    // make_site.py options. False (with the reason in Error()) when anything failed.
    bool Prepare(const std::string& siteOptions = std::string());

    const std::wstring& Exe() const { return m_exe; }
    const std::wstring& Folder() const { return m_app.Path(); }
    // The folder the server serves (the site's files as downloads must deliver them).
    const std::wstring& SiteFolder() const { return m_site.Path(); }
    std::wstring ManifestPath() const { return m_app.Path() + L"\\config\\manifest.xml"; }
    testing_support::CTestServer& Server() { return m_server; }
    const std::string& Error() const { return m_error; }

    // Inserts XML text right before the first occurrence of `before` in the staged manifest.
    bool EditManifest(const std::string& before, const std::string& insert);

private:
    testing_support::TempFolder m_site;
    testing_support::TempFolder m_app;
    testing_support::CTestServer m_server;
    std::wstring m_exe;
    std::string m_error;
};

// Everything an installation by the installer leaves behind is removed when this goes: the
// product (through Windows Installer), its registry keys. Holds the Windows Installer test lock.
class CProductCleanup
{
public:
    CProductCleanup();
    ~CProductCleanup();
    bool Held() const { return m_lock.Held(); }

private:
    testing_support::WindowsInstallerTestLock m_lock;
    std::unique_ptr<payload_test::CreatedKeyRemover> m_machineKey;
    std::unique_ptr<payload_test::CreatedKeyRemover> m_userKey;
};

void RemoveProduct();
// The installed version of the demo product, or empty.
std::wstring ProductVersion();
// A string value below the product's machine key (64-bit view), or empty.
std::wstring ProductRegistryString(const wchar_t* name);

// Removes what the prerequisites' stand-ins register, so that the next run downloads and runs
// them again.
void ForgetPrerequisites();

// Web addresses the installer opens are written to a file while this lives (the prefix's
// default handler does nothing with them).
class CBrowserRecorder
{
public:
    CBrowserRecorder();
    ~CBrowserRecorder();
    // The last address opened, waiting up to timeoutMs; empty when none was.
    std::wstring LastAddress(DWORD timeoutMs);
    void Clear();

private:
    testing_support::TempFolder m_folder;
    std::wstring m_record;
};

// A product program of the demo (its semaphore held while it runs).
std::wstring ProductProgramPath(const wchar_t* fileName);

// Sets an environment variable of this process (inherited by the programs it starts) and
// restores the earlier value.
class CScopedEnvironment
{
public:
    CScopedEnvironment(const wchar_t* name, const std::wstring& value) : m_name(name)
    {
        wchar_t old[1024];
        const DWORD n = ::GetEnvironmentVariableW(name, old, 1024);
        m_had = n > 0 && n < 1024;
        if (m_had)
            m_old.assign(old, n);
        ::SetEnvironmentVariableW(name, value.c_str());
    }
    ~CScopedEnvironment() { ::SetEnvironmentVariableW(m_name, m_had ? m_old.c_str() : nullptr); }
    CScopedEnvironment(const CScopedEnvironment&) = delete;
    CScopedEnvironment& operator=(const CScopedEnvironment&) = delete;

private:
    const wchar_t* m_name;
    std::wstring m_old;
    bool m_had = false;
};

} // namespace e2e
