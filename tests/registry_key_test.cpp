// CRegistryKey against Wine's real registry, in keys the tests create and
// delete again; and region detection reading the real "Nation" value.
#include "config/Region.h"
#include "config/RegistryKey.h"

#include "TestSupport.h"

#include <gtest/gtest.h>
#include <sddl.h>

#include <set>
#include <string>
#include <vector>

namespace {

const wchar_t kTestParent[] = L"Software\\PelTests";

// A key path of its own for every test; the whole tree is deleted at the end.
class ScratchKey
{
public:
    explicit ScratchKey(HKEY root) : m_root(root)
    {
        static int counter = 0;
        m_path = std::wstring(kTestParent) + L"\\RegistryKey-" +
                 std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++counter);
        RegDeleteTreeW(m_root, m_path.c_str());
    }
    ~ScratchKey()
    {
        RegDeleteTreeW(m_root, m_path.c_str());
        RegDeleteKeyW(m_root, kTestParent); // only succeeds once the parent is empty
    }
    ScratchKey(const ScratchKey&) = delete;
    ScratchKey& operator=(const ScratchKey&) = delete;

    const std::wstring& Path() const { return m_path; }
    HKEY Root() const { return m_root; }

    bool Exists() const
    {
        HKEY key = nullptr;
        if (RegOpenKeyExW(m_root, m_path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
            return false;
        RegCloseKey(key);
        return true;
    }

    // Writes raw bytes with a chosen type, bypassing CRegistryKey.
    LONG SetRaw(const wchar_t* name, DWORD type, const void* data, DWORD bytes) const
    {
        HKEY key = nullptr;
        LONG rc = RegCreateKeyExW(m_root, m_path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                                  &key, nullptr);
        if (rc != ERROR_SUCCESS)
            return rc;
        rc = RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), bytes);
        RegCloseKey(key);
        return rc;
    }

    // Reads raw bytes and type, bypassing CRegistryKey; false when missing.
    // RegQueryValueExW, unlike RegGetValueW, adds no terminator of its own.
    bool GetRaw(const wchar_t* name, DWORD* type, std::vector<BYTE>* data) const
    {
        HKEY key = nullptr;
        if (RegOpenKeyExW(m_root, m_path.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
            return false;
        DWORD size = 0;
        LONG rc = RegQueryValueExW(key, name, nullptr, type, nullptr, &size);
        if (rc == ERROR_SUCCESS) {
            data->resize(size);
            rc = RegQueryValueExW(key, name, nullptr, type, data->data(), &size);
            data->resize(size);
        }
        RegCloseKey(key);
        return rc == ERROR_SUCCESS;
    }

private:
    HKEY m_root;
    std::wstring m_path;
};

std::wstring BytesAsText(const std::vector<BYTE>& bytes)
{
    std::wstring text(bytes.size() / 2, L'\0');
    for (size_t i = 0; i < text.size(); ++i)
        text[i] = static_cast<wchar_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
    return text;
}

class RegistryKeyBothRoots : public ::testing::TestWithParam<HKEY>
{
};

TEST_P(RegistryKeyBothRoots, OpeningAMissingKeyCreatesIt)
{
    ScratchKey scratch(GetParam());
    ASSERT_FALSE(scratch.Exists());
    CRegistryKey key(scratch.Root(), scratch.Path());
    EXPECT_TRUE(key.IsOpen());
    EXPECT_TRUE(key.CanWrite());
    EXPECT_EQ(scratch.Path(), key.Path());
    EXPECT_TRUE(scratch.Exists());
    EXPECT_FALSE(key.QueryString(L"WebInstallerManifest").has_value());
}

TEST_P(RegistryKeyBothRoots, StringsAreWrittenWithTheirNullAndReadBack)
{
    ScratchKey scratch(GetParam());
    CRegistryKey key(scratch.Root(), scratch.Path());
    const std::wstring text = testing_support::Utf16("C:\\Program Files\\Pel Syst\xC3\xA9ms");
    ASSERT_EQ(ERROR_SUCCESS, key.SetString(L"InstallDir", text));

    DWORD type = 0;
    std::vector<BYTE> raw;
    ASSERT_TRUE(scratch.GetRaw(L"InstallDir", &type, &raw));
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
    ASSERT_EQ((text.size() + 1) * 2, raw.size());
    EXPECT_EQ(text + L'\0', BytesAsText(raw));

    const auto read = key.QueryString(L"InstallDir");
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(text, *read);

    ASSERT_EQ(ERROR_SUCCESS, key.SetString(L"Empty", L""));
    const auto empty = key.QueryString(L"Empty");
    ASSERT_TRUE(empty.has_value()); // present but empty is not "none"
    EXPECT_EQ(L"", *empty);
}

TEST_P(RegistryKeyBothRoots, DwordsAreWrittenAsFourBytes)
{
    ScratchKey scratch(GetParam());
    CRegistryKey key(scratch.Root(), scratch.Path());
    ASSERT_EQ(ERROR_SUCCESS, key.SetDword(L"InitialLangID", 1031));
    DWORD type = 0;
    std::vector<BYTE> raw;
    ASSERT_TRUE(scratch.GetRaw(L"InitialLangID", &type, &raw));
    EXPECT_EQ(static_cast<DWORD>(REG_DWORD), type);
    ASSERT_EQ(4u, raw.size());
    DWORD value = 0;
    ASSERT_TRUE(key.QueryDword(L"InitialLangID", value));
    EXPECT_EQ(1031u, value);
    // A DWORD read straight from the read handle sees the same value.
    DWORD direct = 0;
    DWORD size = sizeof direct;
    ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExW(key.ReadHandle(), L"InitialLangID", nullptr,
                                              nullptr, reinterpret_cast<BYTE*>(&direct), &size));
    EXPECT_EQ(1031u, direct);
}

TEST_P(RegistryKeyBothRoots, ThirtyThreeSubkeysGrowTheTableOnce)
{
    ScratchKey scratch(GetParam());
    CRegistryKey key(scratch.Root(), scratch.Path());
    std::set<std::wstring> expected;
    for (int i = 0; i < 33; ++i) {
        const std::wstring name = std::to_wstring(1000 + i);
        CRegistryKey sub(scratch.Root(), scratch.Path() + L"\\" + name);
        ASSERT_TRUE(sub.CanWrite());
        expected.insert(name);
    }
    Table<wchar_t, wchar_t*> table;
    EXPECT_EQ(ERROR_SUCCESS, key.EnumSubkeys(table));
    ASSERT_EQ(33, table.Count());
    EXPECT_EQ(96, table.Capacity());
    std::set<std::wstring> seen;
    for (int i = 0; i < table.Count(); ++i)
        seen.insert(table.Get(i));
    EXPECT_EQ(expected, seen);
}

INSTANTIATE_TEST_SUITE_P(Roots, RegistryKeyBothRoots,
                         ::testing::Values(HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE),
                         [](const ::testing::TestParamInfo<HKEY>& info) {
                             return info.param == HKEY_CURRENT_USER ? std::string("CurrentUser")
                                                                    : std::string("LocalMachine");
                         });

TEST(RegistryKeyStrings, OnlyStringTypesAreReturned)
{
    ScratchKey scratch(HKEY_CURRENT_USER);
    CRegistryKey key(scratch.Root(), scratch.Path());
    const DWORD number = 0x00410041; // would read as "AA" if taken for text
    ASSERT_EQ(ERROR_SUCCESS, scratch.SetRaw(L"dword", REG_DWORD, &number, sizeof number));
    const BYTE binary[] = {'p', 0, 'v', 0, 0, 0};
    ASSERT_EQ(ERROR_SUCCESS, scratch.SetRaw(L"binary", REG_BINARY, binary, sizeof binary));
    const wchar_t multi[] = L"one\0two\0";
    ASSERT_EQ(ERROR_SUCCESS, scratch.SetRaw(L"multi", REG_MULTI_SZ, multi, sizeof multi));
    const wchar_t expand[] = L"%TEMP%\\x";
    ASSERT_EQ(ERROR_SUCCESS, scratch.SetRaw(L"expand", REG_EXPAND_SZ, expand, sizeof expand));

    EXPECT_FALSE(key.QueryString(L"dword").has_value());
    EXPECT_FALSE(key.QueryString(L"binary").has_value());
    EXPECT_FALSE(key.QueryString(L"multi").has_value());
    const auto expanded = key.QueryString(L"expand");
    ASSERT_TRUE(expanded.has_value());
    EXPECT_EQ(L"%TEMP%\\x", *expanded); // returned as stored, not expanded

    DWORD value = 0;
    EXPECT_FALSE(key.QueryDword(L"binary", value));
    EXPECT_FALSE(key.QueryDword(L"expand", value));
}

TEST(RegistryKeyStrings, UnterminatedAndOddSizedDataIsTerminated)
{
    ScratchKey scratch(HKEY_CURRENT_USER);
    CRegistryKey key(scratch.Root(), scratch.Path());
    const wchar_t text[] = L"abcdef";
    ASSERT_EQ(ERROR_SUCCESS, scratch.SetRaw(L"noNull", REG_SZ, text, 3 * sizeof(wchar_t)));
    ASSERT_EQ(ERROR_SUCCESS, scratch.SetRaw(L"odd", REG_SZ, text, 3 * sizeof(wchar_t) + 1));
    const wchar_t inner[] = L"ab\0cd";
    ASSERT_EQ(ERROR_SUCCESS, scratch.SetRaw(L"inner", REG_SZ, inner, sizeof inner));
    ASSERT_EQ(ERROR_SUCCESS, scratch.SetRaw(L"zero", REG_SZ, text, 0));

    EXPECT_EQ(L"abc", key.QueryString(L"noNull").value_or(L"<none>"));
    EXPECT_EQ(L"abc", key.QueryString(L"odd").value_or(L"<none>"));
    EXPECT_EQ(L"ab", key.QueryString(L"inner").value_or(L"<none>"));
    EXPECT_EQ(L"", key.QueryString(L"zero").value_or(L"<none>"));
}

TEST(RegistryKeyStrings, LongValuesAreNotCut)
{
    ScratchKey scratch(HKEY_CURRENT_USER);
    CRegistryKey key(scratch.Root(), scratch.Path());
    std::wstring text;
    for (int i = 0; i < 20000; ++i)
        text += static_cast<wchar_t>(L'a' + i % 26);
    ASSERT_EQ(ERROR_SUCCESS, key.SetString(L"long", text));
    EXPECT_EQ(text, key.QueryString(L"long").value_or(L""));
}

TEST(RegistryKeySubkeys, LongNamesAreListedWhole)
{
    ScratchKey scratch(HKEY_CURRENT_USER);
    CRegistryKey key(scratch.Root(), scratch.Path());
    const std::wstring longName(255, L'k'); // the longest name the registry allows
    const std::wstring shortName = L"1031";
    { CRegistryKey sub(scratch.Root(), scratch.Path() + L"\\" + longName); ASSERT_TRUE(sub.CanWrite()); }
    { CRegistryKey sub(scratch.Root(), scratch.Path() + L"\\" + shortName); ASSERT_TRUE(sub.CanWrite()); }
    Table<wchar_t, wchar_t*> table;
    EXPECT_EQ(ERROR_SUCCESS, key.EnumSubkeys(table));
    ASSERT_EQ(2, table.Count());
    std::set<std::wstring> seen = {table.Get(0), table.Get(1)};
    EXPECT_EQ((std::set<std::wstring>{longName, shortName}), seen);
}

TEST(RegistryKeySubkeys, EmptyKeyListsNothing)
{
    ScratchKey scratch(HKEY_CURRENT_USER);
    CRegistryKey key(scratch.Root(), scratch.Path());
    Table<wchar_t, wchar_t*> table;
    EXPECT_EQ(ERROR_SUCCESS, key.EnumSubkeys(table));
    EXPECT_EQ(0, table.Count());
}

TEST(RegistryKeyHandles, WithoutAnyHandleEveryOperationFails)
{
    CRegistryKey key(nullptr, L"Software\\PelTests\\Nowhere");
    EXPECT_FALSE(key.IsOpen());
    EXPECT_FALSE(key.CanWrite());
    EXPECT_FALSE(key.QueryString(L"x").has_value());
    DWORD value = 0;
    EXPECT_FALSE(key.QueryDword(L"x", value));
    EXPECT_EQ(ERROR_CANTWRITE, key.SetString(L"x", L"y"));
    EXPECT_EQ(ERROR_CANTWRITE, key.SetDword(L"x", 1));
    Table<wchar_t, wchar_t*> table;
    EXPECT_NE(ERROR_SUCCESS, key.EnumSubkeys(table));
    EXPECT_EQ(0, table.Count());

    CRegistryKey empty;
    EXPECT_FALSE(empty.IsOpen());
    EXPECT_EQ(1013, empty.SetString(L"x", L"y"));
}

TEST(RegistryKeyHandles, AttachedKeyIsReadOnlyAndClosedByTheObject)
{
    ScratchKey scratch(HKEY_LOCAL_MACHINE);
    {
        CRegistryKey writer(scratch.Root(), scratch.Path());
        ASSERT_EQ(ERROR_SUCCESS, writer.SetString(L"pv", L"120.0.2210.91"));
    }
    HKEY opened = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(scratch.Root(), scratch.Path().c_str(), 0, KEY_READ,
                                           &opened));
    {
        CRegistryKey key;
        key.Attach(opened);
        EXPECT_TRUE(key.IsOpen());
        EXPECT_FALSE(key.CanWrite());
        EXPECT_EQ(L"120.0.2210.91", key.QueryString(L"pv").value_or(L""));
        EXPECT_EQ(ERROR_CANTWRITE, key.SetString(L"pv", L"1.0.0.0"));
        EXPECT_EQ(ERROR_CANTWRITE, key.SetDword(L"other", 1));
    }
    // The object closed the handle: it no longer answers.
    DWORD size = 0;
    EXPECT_EQ(ERROR_INVALID_HANDLE,
              RegQueryValueExW(opened, L"pv", nullptr, nullptr, nullptr, &size));
    DWORD type = 0;
    std::vector<BYTE> raw;
    ASSERT_TRUE(scratch.GetRaw(L"pv", &type, &raw));
    EXPECT_STREQ(L"120.0.2210.91", BytesAsText(raw).c_str());
}

TEST(RegistryKeyHandles, AttachReplacesWhatTheObjectHeld)
{
    ScratchKey first(HKEY_CURRENT_USER);
    ScratchKey second(HKEY_CURRENT_USER);
    { CRegistryKey create(second.Root(), second.Path()); ASSERT_TRUE(create.CanWrite()); }
    CRegistryKey key(first.Root(), first.Path());
    ASSERT_TRUE(key.CanWrite());
    HKEY held = key.ReadHandle();
    HKEY opened = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(second.Root(), second.Path().c_str(), 0, KEY_READ,
                                           &opened));
    key.Attach(opened);
    EXPECT_FALSE(key.CanWrite());
    EXPECT_EQ(opened, key.ReadHandle());
    DWORD size = 0;
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegQueryValueExW(held, L"x", nullptr, nullptr, nullptr, &size));
}

// Replaces a key's access list; restores full access before the key is removed.
bool SetKeyAccess(HKEY root, const std::wstring& path, const wchar_t* sddl)
{
    PSECURITY_DESCRIPTOR sd = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &sd, nullptr))
        return false;
    HKEY key = nullptr;
    LONG rc = RegOpenKeyExW(root, path.c_str(), 0, WRITE_DAC, &key);
    if (rc == ERROR_SUCCESS) {
        rc = RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, sd);
        RegCloseKey(key);
    }
    LocalFree(sd);
    return rc == ERROR_SUCCESS;
}

TEST(RegistryKeyHandles, KeyWithoutWriteAccessOpensReadOnly)
{
    ScratchKey scratch(HKEY_CURRENT_USER);
    ASSERT_EQ(ERROR_SUCCESS, scratch.SetRaw(L"exe", REG_SZ, L"C:\\a.exe", sizeof L"C:\\a.exe"));
    // Everyone may read, change the access list and delete; nobody may set values.
    ASSERT_TRUE(SetKeyAccess(scratch.Root(), scratch.Path(), L"D:P(A;;KRWDSD;;;WD)"));
    HKEY probe = nullptr;
    const LONG writable =
        RegOpenKeyExW(scratch.Root(), scratch.Path().c_str(), 0, KEY_SET_VALUE, &probe);
    if (probe)
        RegCloseKey(probe);
    {
        CRegistryKey key(scratch.Root(), scratch.Path());
        EXPECT_TRUE(key.IsOpen());
        if (writable == ERROR_ACCESS_DENIED) {
            EXPECT_FALSE(key.CanWrite());
            EXPECT_EQ(L"C:\\a.exe", key.QueryString(L"exe").value_or(L""));
            EXPECT_EQ(1013, key.SetString(L"InstallDir", L"C:\\x"));
            EXPECT_EQ(1013, key.SetDword(L"InitialLangID", 1031));
            DWORD type = 0;
            std::vector<BYTE> raw;
            EXPECT_FALSE(scratch.GetRaw(L"InstallDir", &type, &raw));
            EXPECT_FALSE(scratch.GetRaw(L"InitialLangID", &type, &raw));
        } else {
            ADD_FAILURE() << "the registry granted KEY_SET_VALUE despite the access list (error "
                          << writable << "); the read-only fallback could not be exercised";
        }
    }
    EXPECT_TRUE(SetKeyAccess(scratch.Root(), scratch.Path(), L"D:P(A;;KA;;;WD)"));
}

// Sets or removes HKCU\Control Panel\International\Geo "Nation" and puts the
// original back afterwards.
class NationValue
{
public:
    NationValue()
    {
        HKEY key = nullptr;
        if (RegCreateKeyExW(HKEY_CURRENT_USER, kGeo, 0, nullptr, 0, KEY_READ | KEY_SET_VALUE,
                            nullptr, &key, nullptr) != ERROR_SUCCESS)
            return;
        m_key = key;
        DWORD size = sizeof m_saved;
        m_hadValue = RegQueryValueExW(m_key, L"Nation", nullptr, &m_savedType,
                                      reinterpret_cast<BYTE*>(m_saved), &size) == ERROR_SUCCESS;
        m_savedSize = size;
    }
    ~NationValue()
    {
        if (!m_key)
            return;
        if (m_hadValue)
            RegSetValueExW(m_key, L"Nation", 0, m_savedType, reinterpret_cast<BYTE*>(m_saved),
                           m_savedSize);
        else
            RegDeleteValueW(m_key, L"Nation");
        RegCloseKey(m_key);
    }
    NationValue(const NationValue&) = delete;
    NationValue& operator=(const NationValue&) = delete;

    bool Ready() const { return m_key != nullptr; }
    bool Set(const std::wstring& text)
    {
        return RegSetValueExW(m_key, L"Nation", 0, REG_SZ,
                              reinterpret_cast<const BYTE*>(text.c_str()),
                              static_cast<DWORD>((text.size() + 1) * 2)) == ERROR_SUCCESS;
    }
    bool Remove()
    {
        const LONG rc = RegDeleteValueW(m_key, L"Nation");
        return rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND;
    }

private:
    static constexpr const wchar_t* kGeo = L"Control Panel\\International\\Geo";
    HKEY m_key = nullptr;
    bool m_hadValue = false;
    DWORD m_savedType = 0;
    wchar_t m_saved[64] = {};
    DWORD m_savedSize = 0;
};

TEST(RegionRegistry, ReadsTheNationValue)
{
    NationValue nation;
    ASSERT_TRUE(nation.Ready());
    ASSERT_TRUE(nation.Set(L"94"));
    EXPECT_TRUE(IsListedCountry());   // Germany: the acceptance box starts unticked
    ASSERT_TRUE(nation.Set(L"244"));
    EXPECT_FALSE(IsListedCountry());  // not listed: starts ticked
    ASSERT_TRUE(nation.Set(L"122"));
    EXPECT_TRUE(IsListedCountry());
    ASSERT_TRUE(nation.Remove());
    EXPECT_FALSE(IsListedCountry());  // absent value counts as 0
}

} // namespace
