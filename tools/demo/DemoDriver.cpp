// Drives the installer under Wine for the demo, the way a person would, and prints what it
// sees. scripts/demo.sh stages the installer, lays out the download site and starts the
// server first.
//
// Usage: DemoDriver <scenario> <installer.exe> [--shots <folder>] [--msi <fresh package>]
//                   [--browser-log <file the web-address stand-in writes>]
//   install      normal run: settings panel, Install, progress, success panel, Start Now
//   silent       /s: no window, installs and ends by itself
//   german       /lang 1031: German texts, transform and language pack
//   update       the product is installed already: the status panel comes first
//   outdated     the server wants a newer installer: it is downloaded and started with /n
//   server-down  the download server cannot be reached: message, exit code 1603
//   watch        start the installer and wait for a person to click through it
#include "tools/demo/InstallerDriver.h"

#include <windows.h>
#include <msi.h>
#include <shlwapi.h>

#include <cstdio>
#include <string>

using namespace driver;

namespace {

const wchar_t kProductCode[] = L"{6A3C1F0E-7B1D-4E3B-9C55-2F7A0D9B7001}";
const wchar_t kProductKey[] = L"SOFTWARE\\Pel Systems\\VARO Pro\\070";
const wchar_t kEditorSemaphore[] = L"QuilloVaroInstance_70";
const wchar_t kEditorWindowClass[] = L"VaroProVideoEditor7Window";

int g_failures = 0;
std::wstring g_shots;
std::wstring g_browserLog; // written by the stand-in the demo registers for web addresses

std::string Narrow(const std::wstring& w)
{
    int n = WideCharToMultiByte(CP_UTF8, 0, w.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string s(n > 0 ? n - 1 : 0, '\0');
    if (n > 1)
        WideCharToMultiByte(CP_UTF8, 0, w.c_str(), -1, &s[0], n, nullptr, nullptr);
    return s;
}

void Check(bool ok, const std::string& what)
{
    std::printf("%s  %s\n", ok ? "ok  " : "FAIL", what.c_str());
    std::fflush(stdout);
    g_failures += !ok;
}

void Note(const std::string& what)
{
    std::printf("      %s\n", what.c_str());
    std::fflush(stdout);
}

void Shot(HWND hwnd, const wchar_t* name)
{
    if (g_shots.empty() || !hwnd)
        return;
    std::wstring path = g_shots + L"\\" + name + L".png";
    bool saved = SaveWindowPng(hwnd, path);
    Check(saved, "screenshot " + Narrow(name) + ".png");
}

std::wstring ProductVersion()
{
    wchar_t version[64] = L"";
    DWORD size = 64;
    if (MsiGetProductInfoW(kProductCode, INSTALLPROPERTY_VERSIONSTRING, version, &size) !=
        ERROR_SUCCESS)
        return std::wstring();
    return version;
}

std::wstring RegistryString(const wchar_t* key, const wchar_t* value)
{
    wchar_t data[1024] = L"";
    DWORD size = sizeof data;
    if (RegGetValueW(HKEY_LOCAL_MACHINE, key, value, RRF_RT_REG_SZ | RRF_SUBKEY_WOW6464KEY, nullptr,
                     data, &size) != ERROR_SUCCESS)
        return std::wstring();
    return data;
}

DWORD RegistryDword(HKEY root, const wchar_t* key, const wchar_t* value)
{
    DWORD data = 0;
    DWORD size = sizeof data;
    if (RegGetValueW(root, key, value, RRF_RT_REG_DWORD | RRF_SUBKEY_WOW6464KEY, nullptr, &data,
                     &size) != ERROR_SUCCESS)
        return 0xFFFFFFFF;
    return data;
}

void RemoveProduct()
{
    if (ProductVersion().empty())
        return;
    MsiSetInternalUI(INSTALLUILEVEL_NONE, nullptr);
    UINT result = MsiConfigureProductW(kProductCode, INSTALLLEVEL_DEFAULT, INSTALLSTATE_ABSENT);
    Note("removed an earlier installation of the product (result " + std::to_string(result) + ")");
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, kProductKey);
}

void ReportInstallation(const std::wstring& expectVersion)
{
    std::wstring version = ProductVersion();
    Check(version == expectVersion, "product registered with Windows Installer, version " +
                                        (version.empty() ? std::string("(none)") : Narrow(version)));
    std::wstring folder = RegistryString(kProductKey, L"InstallDir");
    std::wstring exe = RegistryString(kProductKey, L"exe");
    Check(!folder.empty(), "registry InstallDir = " + Narrow(folder));
    Check(!exe.empty() && PathFileExistsW(exe.c_str()), "registry exe = " + Narrow(exe) + " (file present)");
    DWORD lang = RegistryDword(HKEY_LOCAL_MACHINE, (std::wstring(kProductKey) + L"\\LanguagePacks").c_str(),
                               L"InitialLangID");
    Note("registry LanguagePacks\\InitialLangID = " +
         (lang == 0xFFFFFFFF ? std::string("(not written in this run)") : std::to_string(lang)));
}

// The product started by Start Now holds its semaphore; close its window again and wait
// until it has ended, so that the next scenario does not find it running.
bool WaitProductStartedAndClose(DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    bool running = false;
    while (!(running = SemaphoreExists(kEditorSemaphore)) && GetTickCount() - start < timeoutMs)
        Sleep(100);
    if (!running)
        return false;
    HWND product = nullptr;
    for (start = GetTickCount(); !product && GetTickCount() - start < 10000; Sleep(100))
        product = FindWindowW(kEditorWindowClass, nullptr);
    if (product)
        PostMessageW(product, WM_CLOSE, 0, 0);
    for (start = GetTickCount(); SemaphoreExists(kEditorSemaphore) && GetTickCount() - start < 10000;)
        Sleep(100);
    return true;
}

// The address the last "browser" start was given, waiting up to timeoutMs for it.
std::wstring OpenedAddress(DWORD timeoutMs)
{
    if (g_browserLog.empty())
        return std::wstring();
    for (DWORD start = GetTickCount();; Sleep(100)) {
        HANDLE file = CreateFileW(g_browserLog.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            wchar_t text[2048] = L"";
            DWORD bytes = 0;
            ReadFile(file, text, sizeof text - sizeof(wchar_t), &bytes, nullptr);
            CloseHandle(file);
            std::wstring lines(text, bytes / sizeof(wchar_t));
            size_t first = lines.find(L'\n');
            if (first != std::wstring::npos) {
                std::wstring address = lines.substr(first + 1);
                return address.substr(0, address.find(L'\n'));
            }
        }
        if (GetTickCount() - start > timeoutMs)
            return std::wstring();
    }
}

long FinishRun(CProgram& installer, DWORD timeoutMs, long expected)
{
    long code = installer.WaitExit(timeoutMs);
    Check(code == expected, "installer ended with exit code " + std::to_string(code) +
                                " (expected " + std::to_string(expected) + ")");
    return code;
}

// Clicks through the settings panel: the licence box when Install is not enabled yet, then
// Install. Returns the main window.
HWND RunSettingsPanel(CProgram& installer, const wchar_t* shotName)
{
    HWND main = WaitMainWindow(installer.Pid(), 60000);
    Check(main != nullptr, "main window shown: \"" + Narrow(WindowText(main)) + "\"");
    if (!main)
        return nullptr;
    Check(WaitForPanel(main, SettingsPanel, 10000, installer.Process()), "settings panel shown");
    Note("licence line: \"" + Narrow(WindowText(PanelControl(main, 135))) + "\" + link \"" +
         Narrow(WindowText(PanelControl(main, 152))) + "\"");
    Note("install folder: " + Narrow(WindowText(PanelControl(main, 143))));
    Shot(main, shotName);
    HWND install = PanelControl(main, 133);
    Click(install);
    if (!WaitForPanel(main, StatusPanel, 10000, installer.Process())) {
        Note("Install is not enabled yet: ticking the licence check box");
        Click(PanelControl(main, 134));
        Sleep(300);
        Click(install);
    }
    return main;
}

bool RunStatusToSuccess(CProgram& installer, HWND main, const wchar_t* statusShot,
                        const wchar_t* successShot)
{
    bool status = WaitForPanel(main, StatusPanel, 10000, installer.Process());
    Check(status, "status panel shown");
    if (!status)
        return false;
    Sleep(4500); // the worker starts after three seconds; let the slide show and bar move
    Note("status: \"" + Narrow(WindowText(PanelControl(main, 122))) + "\" " +
         Narrow(WindowText(PanelControl(main, 123))) + " \"" +
         Narrow(WindowText(PanelControl(main, 173))) + "\"");
    Shot(main, statusShot);
    DWORD start = GetTickCount();
    bool success = WaitForPanel(main, SuccessPanel, 300000, installer.Process());
    Check(success, "success panel shown after " + std::to_string((GetTickCount() - start) / 1000) +
                       " s of downloading and installing");
    if (success)
        Shot(main, successShot);
    return success;
}

void ScenarioInstall(const std::wstring& exe, const std::wstring& args, const std::wstring& expectVersion,
                     const wchar_t* prefix)
{
    CProgram installer;
    Check(installer.Start(exe, args), "installer started" + (args.empty() ? "" : " with " + Narrow(args)));
    std::wstring shot = prefix;
    HWND main = RunSettingsPanel(installer, (shot + L"settings").c_str());
    if (!main)
        return;
    if (!RunStatusToSuccess(installer, main, (shot + L"status").c_str(), (shot + L"success").c_str()))
        return;
    if (!g_browserLog.empty())
        DeleteFileW(g_browserLog.c_str());
    Click(PanelControl(main, 1));
    std::wstring page = OpenedAddress(5000);
    Check(!page.empty(), "Start Now opened the home page the package reported: " + Narrow(page));
    FinishRun(installer, 20000, 0);
    Check(WaitProductStartedAndClose(15000), "the product (VARO Pro Video Editor 7) was started");
    ReportInstallation(expectVersion);
}

void ScenarioSilent(const std::wstring& exe)
{
    CProgram installer;
    Check(installer.Start(exe, L"/s"), "installer started with /s");
    bool everVisible = false;
    long code = -1;
    for (DWORD start = GetTickCount(); GetTickCount() - start < 300000;) {
        if (!TopWindows(installer.Pid(), nullptr, true).empty())
            everVisible = true;
        code = installer.WaitExit(200);
        if (code != -1)
            break;
    }
    Check(!everVisible, "no window of the installer became visible");
    Check(code == 0, "installer ended by itself with exit code " + std::to_string(code));
    ReportInstallation(L"7.0.0.1");
}

void ScenarioUpdate(const std::wstring& exe, const std::wstring& freshMsi)
{
    if (ProductVersion().empty()) {
        MsiSetInternalUI(INSTALLUILEVEL_NONE, nullptr);
        UINT result = MsiInstallProductW(freshMsi.c_str(), L"");
        Check(result == ERROR_SUCCESS, "product 7.0.0.1 installed beforehand (result " +
                                           std::to_string(result) + ")");
    }
    // An installed client marks itself with the subkey LClient; the installer then takes the
    // update package (patch_url) instead of the full one.
    HKEY client = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, (std::wstring(kProductKey) + L"\\LClient").c_str(), 0, nullptr, 0,
                        KEY_WRITE | KEY_WOW64_64KEY, nullptr, &client, nullptr) == ERROR_SUCCESS)
        RegCloseKey(client);
    Note("product key marked with LClient: the update package will be used");
    CProgram installer;
    Check(installer.Start(exe, L""), "installer started over the installed product");
    HWND main = WaitMainWindow(installer.Pid(), 60000);
    Check(main != nullptr, "main window shown");
    if (!main)
        return;
    Check(WaitForPanel(main, StatusPanel, 10000, installer.Process()),
          "the status panel comes first (nothing to choose for an installed product)");
    Check(!WindowText(main).empty(), "caption shows the product name \"" + Narrow(WindowText(main)) + "\"");
    Sleep(1500);
    Shot(main, L"update-status");
    bool success = WaitForPanel(main, SuccessPanel, 300000, installer.Process());
    Check(success, "success panel shown");
    if (success)
        Click(PanelControl(main, 1));
    FinishRun(installer, 20000, 0);
    WaitProductStartedAndClose(15000);
    ReportInstallation(L"7.1.0.5");
}

void ScenarioOutdated(const std::wstring& exe)
{
    CProgram installer;
    Check(installer.Start(exe, L""), "installer started (the server asks for installer 7.0.0.11)");
    DWORD start = GetTickCount();
    HWND validator = nullptr;
    while (!validator && installer.Running() && GetTickCount() - start < 10000) {
        validator = FindValidatorWindow(installer.Pid());
        Sleep(20);
    }
    if (validator && IsWindowVisible(validator)) {
        Note("self-check window: \"" + Narrow(WindowText(validator)) + "\"");
        Shot(validator, L"validation");
    }
    FinishRun(installer, 60000, 0);
    // The successor: another PelWebInstaller process with its own main window.
    HWND successor = nullptr;
    for (start = GetTickCount(); !successor && GetTickCount() - start < 30000; Sleep(100)) {
        HWND found = FindWindowW(kMainClass, nullptr);
        if (found && IsWindowVisible(found))
            successor = found;
    }
    Check(successor != nullptr, "the downloaded newer installer started and shows its window");
    if (!successor)
        return;
    DWORD pid = 0;
    GetWindowThreadProcessId(successor, &pid);
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE, FALSE, pid);
    wchar_t image[MAX_PATH] = L"";
    DWORD size = MAX_PATH;
    if (process)
        QueryFullProcessImageNameW(process, 0, image, &size);
    Check(wcsstr(image, L"PelWebInstaller_") != nullptr, "successor runs from " + Narrow(image));
    Check(WaitForPanel(successor, SettingsPanel, 10000, process),
          "successor skipped its self-check (/n) and shows the settings panel");
    PostMessageW(successor, WM_CLOSE, 0, 0);
    MessageBoxInfo box;
    if (WaitMessageBox(pid, 5000, &box)) {
        Note("close asked: \"" + Narrow(box.text) + "\" -> Yes");
        AnswerMessageBox(box, IDYES);
    }
    DWORD code = 0;
    bool ended = process && WaitForSingleObject(process, 20000) == WAIT_OBJECT_0 &&
                 GetExitCodeProcess(process, &code);
    Check(ended && code == 1602, "successor closed by the user: exit code " + std::to_string(code));
    if (process)
        CloseHandle(process);
}

void ScenarioServerDown(const std::wstring& exe)
{
    CProgram installer;
    Check(installer.Start(exe, L""), "installer started (nothing listens at the manifest's server)");
    MessageBoxInfo box;
    bool shown = WaitMessageBox(installer.Pid(), 60000, &box);
    Check(shown, "message \"" + Narrow(box.text) + "\" captioned \"" + Narrow(box.caption) + "\"");
    if (shown) {
        Shot(box.hwnd, L"server-down");
        AnswerMessageBox(box, IDOK);
    }
    Check(WaitMainWindow(installer.Pid(), 500) == nullptr, "no wizard was shown");
    FinishRun(installer, 20000, 1603);
}

void ScenarioWatch(const std::wstring& exe)
{
    CProgram installer;
    Check(installer.Start(exe, L""), "installer started: click through it");
    long code = installer.WaitExit(INFINITE);
    Note("installer ended with exit code " + std::to_string(code));
    if (!ProductVersion().empty())
        ReportInstallation(ProductVersion());
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: DemoDriver <scenario> <installer.exe> [--shots <folder>] "
                             "[--msi <fresh package>]\n");
        return 2;
    }
    std::wstring scenario = argv[1];
    std::wstring exe = argv[2];
    std::wstring msi;
    for (int i = 3; i + 1 < argc; i += 2) {
        if (std::wstring(argv[i]) == L"--shots")
            g_shots = argv[i + 1];
        else if (std::wstring(argv[i]) == L"--msi")
            msi = argv[i + 1];
        else if (std::wstring(argv[i]) == L"--browser-log")
            g_browserLog = argv[i + 1];
    }
    if (!g_shots.empty())
        CreateDirectoryW(g_shots.c_str(), nullptr);
    std::printf("== scenario %s\n", Narrow(scenario).c_str());

    if (scenario == L"install") {
        RemoveProduct();
        ScenarioInstall(exe, L"", L"7.0.0.1", L"");
    } else if (scenario == L"german") {
        RemoveProduct();
        ScenarioInstall(exe, L"/lang 1031", L"7.0.0.1", L"german-");
        HKEY pack = nullptr;
        bool present = RegOpenKeyExW(HKEY_LOCAL_MACHINE,
                                     (std::wstring(kProductKey) + L"\\LanguagePacks\\1031").c_str(), 0,
                                     KEY_READ | KEY_WOW64_64KEY, &pack) == ERROR_SUCCESS;
        if (pack)
            RegCloseKey(pack);
        Check(present, "German language pack registered (LanguagePacks\\1031)");
    } else if (scenario == L"silent") {
        RemoveProduct();
        ScenarioSilent(exe);
    } else if (scenario == L"update") {
        ScenarioUpdate(exe, msi);
    } else if (scenario == L"outdated") {
        ScenarioOutdated(exe);
    } else if (scenario == L"server-down") {
        ScenarioServerDown(exe);
    } else if (scenario == L"watch") {
        ScenarioWatch(exe);
    } else {
        std::fprintf(stderr, "unknown scenario\n");
        return 2;
    }
    std::printf("%s %s\n", Narrow(scenario).c_str(), g_failures ? "FAILED" : "PASSED");
    return g_failures ? 1 : 0;
}
