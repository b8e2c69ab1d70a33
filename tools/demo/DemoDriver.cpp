// Drives the installer under Wine for the demo, the way a person would, and prints what it
// sees. scripts/demo.sh stages the installer, lays out the download site and starts the
// server first.
//
// Usage: DemoDriver <scenario> <installer.exe> [--shots <folder>] [--msi <fresh package>]
//                   [--browser-log <file the web-address stand-in writes>]
//                   [--server <the download server, http://127.0.0.1:PORT>]
//   install      normal run: settings panel, Install, progress, success panel, Start Now
//   silent       /s: no window, installs and ends by itself
//   german       /lang 1031: German texts, transform and language pack
//   update       the product is installed already: the status panel comes first
//   outdated     the server wants a newer installer: it is downloaded and started with /n
//   server-down  the download server cannot be reached: message, exit code 1603
//   flaky        install while the server fails: a 503 with Retry-After, then a cut
//                connection; the status panel counts down and the download resumes
//   watch        start the installer and wait for a person to click through it
#include "tools/demo/InstallerDriver.h"

#include <windows.h>
#include <msi.h>
#include <shlwapi.h>
#include <wininet.h>

#include <cstdio>
#include <regex>
#include <string>

using namespace driver;

namespace {

const wchar_t kProductCode[] = L"{6A3C1F0E-7B1D-4E3B-9C55-2F7A0D9B7001}";
const wchar_t kProductKey[] = L"SOFTWARE\\Pel Systems\\VARO Pro\\070";
const wchar_t kEditorSemaphore[] = L"QuilloVaroInstance_70";
const wchar_t kEditorWindowClass[] = L"VaroProVideoEditor7Window";
const wchar_t kPackagePath[] = L"/msi/varo_pro_70.msi"; // the product's package on the demo site

int g_failures = 0;
std::wstring g_shots;
std::wstring g_browserLog; // written by the stand-in the demo registers for web addresses
std::wstring g_server;     // the download server's address, for its control interface

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
    if (g_shots.empty() || !hwnd || !name)
        return;
    std::wstring path = g_shots + L"\\" + name + L".png";
    bool saved = SaveWindowPng(hwnd, path);
    Check(saved, "screenshot " + Narrow(name) + ".png");
}

// A GET of pathAndQuery on the download server (its control interface), the body in *body.
// WinINet is bound at run time so that the driver needs no import library for it.
bool ServerGet(const std::wstring& pathAndQuery, std::string* body = nullptr)
{
    static HMODULE wininet = LoadLibraryW(L"wininet.dll");
    if (!wininet || g_server.empty())
        return false;
    auto bind = [](const char* name) { return reinterpret_cast<void*>(GetProcAddress(wininet, name)); };
    auto open = reinterpret_cast<decltype(&InternetOpenW)>(bind("InternetOpenW"));
    auto openUrl = reinterpret_cast<decltype(&InternetOpenUrlW)>(bind("InternetOpenUrlW"));
    auto read = reinterpret_cast<decltype(&InternetReadFile)>(bind("InternetReadFile"));
    auto close = reinterpret_cast<decltype(&InternetCloseHandle)>(bind("InternetCloseHandle"));
    if (!open || !openUrl || !read || !close)
        return false;
    HINTERNET session = open(L"DemoDriver", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    HINTERNET request = session ? openUrl(session, (g_server + pathAndQuery).c_str(), nullptr, 0,
                                          INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE, 0)
                                : nullptr;
    bool ok = request != nullptr;
    char buffer[4096];
    DWORD got = 0;
    while (ok && (ok = read(request, buffer, sizeof buffer, &got) != FALSE) && got > 0)
        if (body)
            body->append(buffer, got);
    if (request)
        close(request);
    if (session)
        close(session);
    return ok;
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

// Presses Start Now on the success panel and reports the home page, exit code, started
// product and installation.
void StartNowAndReport(CProgram& installer, HWND main, const std::wstring& expectVersion)
{
    if (!g_browserLog.empty())
        DeleteFileW(g_browserLog.c_str());
    Click(PanelControl(main, 1));
    std::wstring page = OpenedAddress(5000);
    Check(!page.empty(), "Start Now opened the home page the package reported: " + Narrow(page));
    FinishRun(installer, 20000, 0);
    Check(WaitProductStartedAndClose(15000), "the product (VARO Pro Video Editor 7) was started");
    ReportInstallation(expectVersion);
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
    StartNowAndReport(installer, main, expectVersion);
}

bool StartsWith(const std::wstring& text, const std::wstring& prefix)
{
    return text.compare(0, prefix.size(), prefix) == 0;
}

// The status panel's state text once its start is (or, with want false, is no longer)
// prefix; the last text read when that did not happen within timeoutMs.
std::wstring WaitStateText(CProgram& installer, HWND main, const std::wstring& prefix, bool want,
                           DWORD timeoutMs)
{
    std::wstring text;
    for (DWORD start = GetTickCount(); installer.Running() && GetTickCount() - start < timeoutMs;
         Sleep(50)) {
        text = WindowText(PanelControl(main, 122));
        if (StartsWith(text, prefix) == want)
            break;
    }
    return text;
}

// The package's first request is answered 503 with Retry-After: 4 and the next one breaks
// off at about 40 %: the status panel counts down to the next try, and the download is
// resumed with a range request.
void ScenarioFlaky(const std::wstring& exe, const std::wstring& package)
{
    const std::wstring rule = L"/__control/set?path=" + std::wstring(kPackagePath);
    Check(ServerGet(rule + L"&status=503&nobody=1&retryafter=4&times=1"),
          "the server will answer the package's first request with 503, Retry-After: 4");
    CProgram installer;
    Check(installer.Start(exe, L""), "installer started");
    HWND main = RunSettingsPanel(installer, nullptr);
    if (!main)
        return;
    Check(WaitForPanel(main, StatusPanel, 10000, installer.Process()), "status panel shown");
    const std::wstring retrying = L"Connection lost. Retrying in";
    std::wstring text = WaitStateText(installer, main, retrying, true, 60000);
    bool seen = StartsWith(text, retrying);
    Check(seen, "status panel reads \"" + Narrow(text) + "\"");
    if (!seen)
        return;
    Shot(main, L"status-retrying");
    // The 503 has been answered, so this rule meets the next try.
    WIN32_FILE_ATTRIBUTE_DATA file = {};
    DWORD size = GetFileAttributesExW(package.c_str(), GetFileExInfoStandard, &file) ? file.nFileSizeLow : 0;
    DWORD cut = size / 5 * 2;
    Check(cut > 0 && ServerGet(rule + L"&cut=" + std::to_wstring(cut) + L"&times=1"),
          "the next response of the package will break off after " + std::to_string(cut) + " of " +
              std::to_string(size) + " bytes");
    Note("after the wait the state text reads \"" +
         Narrow(WaitStateText(installer, main, retrying, false, 30000)) + "\"");
    DWORD start = GetTickCount();
    bool success = WaitForPanel(main, SuccessPanel, 300000, installer.Process());
    Check(success, "success panel shown after " + std::to_string((GetTickCount() - start) / 1000) + " s more");
    if (!success)
        return;
    StartNowAndReport(installer, main, L"7.0.0.1");

    std::string log;
    Check(ServerGet(L"/__control/log", &log), "the server's request log read");
    // "GET PATH STATUS BYTES UA=... RANGE=... IFRANGE=..." for each request of the package.
    const std::regex request("GET " + Narrow(kPackagePath) + " (\\d+) (\\d+) [^\\n]* (RANGE=[^ \\n]*)");
    bool refused = false;
    bool resumed = false;
    for (std::sregex_iterator it(log.begin(), log.end(), request), end; it != end; ++it) {
        const std::smatch& m = *it;
        Note("GET " + Narrow(kPackagePath) + " " + m.str(1) + ", " + m.str(2) + " bytes, " + m.str(3));
        refused |= m.str(1) == "503";
        resumed |= std::regex_match(m.str(3), std::regex("RANGE=bytes=\\d+-"));
    }
    Check(refused, "the package was refused once with 503");
    Check(resumed, "the package was resumed with a request for RANGE=bytes=<n>-");
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
        else if (std::wstring(argv[i]) == L"--server")
            g_server = argv[i + 1];
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
    } else if (scenario == L"flaky") {
        RemoveProduct();
        ScenarioFlaky(exe, msi);
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
