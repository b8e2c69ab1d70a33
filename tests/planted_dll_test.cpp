// DLL planting: the installer runs elevated from a folder others can write to, so a DLL placed
// beside it under the name of a system DLL must never be loaded, neither for the installer's
// own imports nor for what system DLLs load on its behalf. The real installer is staged with
// such DLLs (tests/PlantedDlls.cmake; each leaves a marker file when loaded) and started with
// Wine told to prefer DLLs found beside it over its own ("native,builtin"), which is how Windows
// searches for every DLL it does not protect. Wine takes WINEDLLOVERRIDES from the Linux
// environment a process starts with, which this process cannot set for a child; the override is
// made per program instead (HKCU\Software\Wine\AppDefaults\<name>), for a copy of the installer
// under a name of its own, so it applies to that copy only: never to this runner, nor to an
// installer another test starts.
#include "E2eTestSupport.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cctype>
#include <cwctype>
#include <set>
#include <string>
#include <vector>

using namespace driver;

namespace {

const wchar_t kCopyName[] = L"PlantingTarget.exe";
const wchar_t kOverridesKey[] = L"Software\\Wine\\AppDefaults\\PlantingTarget.exe\\DllOverrides";

std::wstring Lower(std::wstring text)
{
    for (wchar_t& c : text)
        c = static_cast<wchar_t>(std::towlower(c));
    return text;
}

// The staged installer copied under kCopyName; empty when the copy failed.
std::wstring StageCopy(const e2e::CStage& stage)
{
    const std::wstring copy = stage.Folder() + L"\\" + kCopyName;
    return ::CopyFileW(stage.Exe().c_str(), copy.c_str(), FALSE) ? copy : std::wstring();
}

// Wine's DLL load order for the installer copy while this lives: each name to "native,builtin"
// (a DLL beside the program first, as Windows searches for one it does not protect) or to ""
// (never loaded).
class CInstallerDllOverrides
{
public:
    CInstallerDllOverrides(const std::vector<std::wstring>& names, const wchar_t* order)
        : m_key(HKEY_CURRENT_USER, kOverridesKey, 0)
    {
        const DWORD bytes = static_cast<DWORD>((wcslen(order) + 1) * sizeof(wchar_t));
        for (const std::wstring& name : names) {
            m_ok = m_ok && ::RegSetKeyValueW(HKEY_CURRENT_USER, kOverridesKey, name.c_str(),
                                             REG_SZ, order, bytes) == ERROR_SUCCESS;
        }
    }
    bool Ok() const { return m_ok; }

private:
    payload_test::CreatedKeyRemover m_key;
    bool m_ok = true;
};

std::vector<std::wstring> PlantedNames()
{
    std::vector<std::wstring> names;
    const std::string list = PEL_PLANTED_DLLS;
    size_t start = 0;
    for (size_t comma; (comma = list.find(',', start)) != std::string::npos; start = comma + 1)
        names.emplace_back(list.begin() + start, list.begin() + comma);
    names.emplace_back(list.begin() + start, list.end());
    return names;
}

// (lower-case file name, full path) of every module loaded in the process.
std::vector<std::pair<std::wstring, std::wstring>> Modules(DWORD pid)
{
    std::vector<std::pair<std::wstring, std::wstring>> modules;
    HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, pid);
    if (snapshot == INVALID_HANDLE_VALUE)
        return modules;
    MODULEENTRY32W entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Module32FirstW(snapshot, &entry); more;
         more = ::Module32NextW(snapshot, &entry))
        modules.emplace_back(Lower(entry.szModule), entry.szExePath);
    ::CloseHandle(snapshot);
    return modules;
}

// Names of the DLLs in the executable's import directory (static imports only).
std::vector<std::string> StaticImports(const std::wstring& exe)
{
    std::vector<std::string> names;
    HANDLE file = ::CreateFileW(exe.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return names;
    std::string image(::GetFileSize(file, nullptr), '\0');
    DWORD read = 0;
    const BOOL ok = ::ReadFile(file, &image[0], static_cast<DWORD>(image.size()), &read, nullptr);
    ::CloseHandle(file);
    if (!ok || read != image.size() || image.size() < sizeof(IMAGE_DOS_HEADER))
        return names;
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(image.data());
    if (static_cast<size_t>(dos->e_lfanew) + sizeof(IMAGE_NT_HEADERS64) > image.size())
        return names;
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS64*>(image.data() + dos->e_lfanew);
    const IMAGE_SECTION_HEADER* sections = IMAGE_FIRST_SECTION(nt);
    // File offset of a relative virtual address, or 0 when no section holds it.
    auto offset = [&](DWORD rva) -> size_t {
        for (WORD i = 0; i < nt->FileHeader.NumberOfSections; ++i) {
            const IMAGE_SECTION_HEADER& s = sections[i];
            if (rva >= s.VirtualAddress && rva < s.VirtualAddress + s.SizeOfRawData)
                return rva - s.VirtualAddress + s.PointerToRawData;
        }
        return 0;
    };
    const DWORD directory =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress;
    for (size_t at = offset(directory);
         at != 0 && at + sizeof(IMAGE_IMPORT_DESCRIPTOR) <= image.size();
         at += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
        const auto* d = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(image.data() + at);
        const size_t name = offset(d->Name);
        if (d->Name == 0 || name == 0)
            break;
        names.push_back(image.c_str() + name);
    }
    return names;
}

} // namespace

TEST(DllPlanting, InstallerLoadsNoDllPlantedBesideIt)
{
    e2e::CStage stage;
    ASSERT_TRUE(stage.Prepare()) << stage.Error();
    const std::wstring exe = StageCopy(stage);
    ASSERT_FALSE(exe.empty());
    const std::wstring plantedDir = testing_support::WinePath(PEL_PLANTED_DLL_DIR);
    const std::vector<std::wstring> names = PlantedNames();
    for (const std::wstring& name : names) {
        ASSERT_TRUE(::CopyFileW((plantedDir + L"\\" + name + L".dll").c_str(),
                                (stage.Folder() + L"\\" + name + L".dll").c_str(), FALSE))
            << "planting " << testing::PrintToString(name);
    }
    CInstallerDllOverrides overrides(names, L"native,builtin");
    ASSERT_TRUE(overrides.Ok());

    // A normal start: the self-check downloads the version document, the main window shows
    // the settings panel with its pictures and text. Then the installer is ended.
    CProgram installer;
    ASSERT_TRUE(installer.Start(exe, L"", stage.Folder()));
    const HWND main = WaitMainWindow(installer.Pid(), 60000);
    EXPECT_TRUE(main && WaitForPanel(main, SettingsPanel, 30000, installer.Process()))
        << "the installer did not reach its settings panel";
    const auto modules = Modules(installer.Pid());
    installer.Kill();

    std::wstring markers;
    for (const std::wstring& name : names) {
        if (::GetFileAttributesW((stage.Folder() + L"\\" + name + L".dll.loaded").c_str()) !=
            INVALID_FILE_ATTRIBUTES)
            markers += L" " + name;
    }
    EXPECT_EQ(L"", markers) << "planted DLLs that were loaded";

    // No module but the installer itself came from its folder, and the installer's own imports
    // are among the modules: the run above bound them all.
    const std::wstring folder = Lower(stage.Folder() + L"\\");
    std::wstring fromFolder;
    std::set<std::wstring> loaded;
    for (const auto& [name, path] : modules) {
        if (name != Lower(kCopyName) && Lower(path).rfind(folder, 0) == 0)
            fromFolder += L" " + name;
        loaded.insert(name);
    }
    EXPECT_EQ(L"", fromFolder) << "modules loaded from the installer's folder";
    std::wstring missing;
    for (const wchar_t* own : {L"d2d1.dll", L"dwrite.dll", L"msi.dll", L"msimg32.dll",
                               L"wininet.dll", L"comctl32.dll", L"gdiplus.dll", L"oleacc.dll"}) {
        if (!loaded.count(own))
            missing += L" " + std::wstring(own);
    }
    EXPECT_EQ(L"", missing) << "imports of the installer that were not loaded";
}

// A system DLL that cannot be loaded (here: Wine told never to load msi.dll) ends the run
// before any window with a message naming it and the exit code of a failed run, not a crash.
TEST(DllPlanting, UnloadableSystemDllEndsTheRunWithAMessage)
{
    e2e::CStage stage;
    ASSERT_TRUE(stage.Prepare()) << stage.Error();
    const std::wstring exe = StageCopy(stage);
    ASSERT_FALSE(exe.empty());
    CInstallerDllOverrides overrides({L"msi"}, L"");
    ASSERT_TRUE(overrides.Ok());
    CProgram installer;
    ASSERT_TRUE(installer.Start(exe, L"", stage.Folder()));
    MessageBoxInfo box;
    ASSERT_TRUE(WaitMessageBox(installer.Pid(), 30000, &box));
    EXPECT_NE(std::wstring::npos, Lower(box.text).find(L"msi.dll"))
        << testing::PrintToString(box.text);
    EXPECT_TRUE(TopWindows(installer.Pid(), kMainClass, false).empty());
    EXPECT_TRUE(AnswerMessageBox(box, IDOK));
    EXPECT_EQ(1603, installer.WaitExit(10000));

    // A quiet run ends the same way without showing anything.
    CProgram quiet;
    ASSERT_TRUE(quiet.Start(exe, L"/quiet", stage.Folder()));
    EXPECT_EQ(1603, quiet.WaitExit(20000));
    EXPECT_FALSE(WaitMessageBox(quiet.Pid(), 0, &box));
}

// Static imports are resolved before the installer's first line, with the installer's folder
// searched first. Only kernel32 and msvcrt (the C runtime's start-up needs them) and advapi32
// are imported that way: protected DLLs that load nothing but other protected ones. Everything
// else is delay-imported and bound once DLL loading is restricted to the system folder
// (app/WinMain.cpp).
TEST(DllPlanting, InstallerImportsOnlyStartUpDllsStatically)
{
    const std::set<std::string> allowed = {"advapi32.dll", "kernel32.dll", "msvcrt.dll"};
    const std::vector<std::string> imports = StaticImports(testing_support::InstallerExePath());
    ASSERT_FALSE(imports.empty()) << "no import directory read";
    std::string others;
    for (std::string name : imports) {
        std::transform(name.begin(), name.end(), name.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        if (!allowed.count(name))
            others += " " + name;
    }
    EXPECT_EQ("", others) << "DLLs imported statically";
}
