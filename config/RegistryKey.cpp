#include "config/RegistryKey.h"

#include "framework/RunLog.h"

#include <vector>

namespace {

bool IsStringType(DWORD type)
{
    return type == REG_SZ || type == REG_EXPAND_SZ;
}

// Longest key name the registry allows is 255 characters; the listing buffer
// starts smaller and doubles up to this bound when a name does not fit.
constexpr DWORD kMaxKeyNameChars = 32768;

const wchar_t* RootName(HKEY root)
{
    if (root == HKEY_LOCAL_MACHINE)
        return L"HKLM";
    if (root == HKEY_CURRENT_USER)
        return L"HKCU";
    if (root == HKEY_CLASSES_ROOT)
        return L"HKCR";
    if (root == HKEY_USERS)
        return L"HKU";
    return L"(key)";
}

// "Registry HKLM\Software\X\Name = data", and why it failed.
LONG LogWrite(const wchar_t* root, const std::wstring& path, const wchar_t* name, const std::wstring& data,
              LONG rc)
{
    std::wstring line = L"Registry " + std::wstring(root) + L"\\" + path;
    if (line.back() != L'\\')
        line += L'\\';
    line += (name ? name : L"(Default)") + std::wstring(L" = ") + data;
    if (rc != ERROR_SUCCESS)
        line += L" (not written: error " + std::to_wstring(rc) + L")";
    LogLine(line);
    return rc;
}

} // namespace

CRegistryKey::CRegistryKey(HKEY root, const std::wstring& path) : m_path(path), m_rootName(RootName(root))
{
    HKEY key = nullptr;
    LONG rc = RegCreateKeyExW(root, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                              KEY_READ | KEY_SET_VALUE | KEY_CREATE_SUB_KEY, nullptr, &key,
                              nullptr);
    if (rc == ERROR_SUCCESS) {
        m_hRead = key;
        m_hWrite = key;
        return;
    }
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) == ERROR_SUCCESS)
        m_hRead = key;
}

CRegistryKey::~CRegistryKey()
{
    Close();
}

void CRegistryKey::Close()
{
    if (m_hWrite && m_hWrite != m_hRead)
        RegCloseKey(m_hWrite);
    if (m_hRead)
        RegCloseKey(m_hRead);
    m_hRead = nullptr;
    m_hWrite = nullptr;
}

void CRegistryKey::Attach(HKEY key)
{
    Close();
    m_hRead = key;
}

std::optional<std::wstring> CRegistryKey::QueryString(const wchar_t* name) const
{
    if (!m_hRead)
        return std::nullopt;
    DWORD type = 0;
    DWORD size = 0;
    LONG rc = RegQueryValueExW(m_hRead, name, nullptr, &type, nullptr, &size);
    // The value may grow between asking for its size and reading it; then the
    // read reports the new size and is tried again, a few times at most.
    for (int attempt = 0; attempt < 4; ++attempt) {
        if (rc != ERROR_SUCCESS || !IsStringType(type))
            return std::nullopt;
        // One spare, zeroed code unit keeps the text terminated even when the
        // stored data lacks its null or has an odd byte count.
        std::vector<wchar_t> buffer(size / sizeof(wchar_t) + 2, L'\0');
        DWORD got = static_cast<DWORD>((buffer.size() - 1) * sizeof(wchar_t));
        rc = RegQueryValueExW(m_hRead, name, nullptr, &type,
                              reinterpret_cast<BYTE*>(buffer.data()), &got);
        if (rc == ERROR_MORE_DATA) {
            size = got;
            rc = ERROR_SUCCESS;
            continue;
        }
        if (rc != ERROR_SUCCESS || !IsStringType(type))
            return std::nullopt;
        std::wstring text(buffer.data(), got / sizeof(wchar_t));
        const std::wstring::size_type end = text.find(L'\0');
        if (end != std::wstring::npos)
            text.resize(end);
        return text;
    }
    return std::nullopt;
}

bool CRegistryKey::QueryDword(const wchar_t* name, DWORD& value) const
{
    if (!m_hRead)
        return false;
    DWORD type = 0;
    DWORD data = 0;
    DWORD size = sizeof data;
    if (RegQueryValueExW(m_hRead, name, nullptr, &type, reinterpret_cast<BYTE*>(&data), &size) !=
            ERROR_SUCCESS ||
        type != REG_DWORD || size != sizeof data)
        return false;
    value = data;
    return true;
}

LONG CRegistryKey::SetString(const wchar_t* name, const std::wstring& text)
{
    if (!m_hWrite)
        return LogWrite(m_rootName, m_path, name, text, ERROR_CANTWRITE);
    // (length + 1) code units including the terminating null must fit a DWORD
    // byte count.
    if (text.size() >= MAXDWORD / sizeof(wchar_t))
        return LogWrite(m_rootName, m_path, name, L"(too long)", ERROR_INVALID_PARAMETER);
    const DWORD bytes = static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t));
    return LogWrite(m_rootName, m_path, name, text,
                    RegSetValueExW(m_hWrite, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()), bytes));
}

LONG CRegistryKey::SetDword(const wchar_t* name, DWORD value)
{
    const std::wstring data = std::to_wstring(value) + L" (DWORD)";
    if (!m_hWrite)
        return LogWrite(m_rootName, m_path, name, data, ERROR_CANTWRITE);
    return LogWrite(m_rootName, m_path, name, data,
                    RegSetValueExW(m_hWrite, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                                   sizeof value));
}

LONG CRegistryKey::EnumSubkeys(Table<wchar_t, wchar_t*>& table) const
{
    if (!m_hRead)
        return ERROR_INVALID_HANDLE;
    std::vector<wchar_t> name(64);
    for (DWORD index = 0;;) {
        DWORD length = static_cast<DWORD>(name.size());
        const LONG rc = RegEnumKeyExW(m_hRead, index, name.data(), &length, nullptr, nullptr,
                                      nullptr, nullptr);
        if (rc == ERROR_NO_MORE_ITEMS)
            return ERROR_SUCCESS;
        if (rc == ERROR_MORE_DATA) {
            // A name longer than the buffer: grow and ask for the same index
            // again rather than cutting the name or ending the listing early.
            if (name.size() >= kMaxKeyNameChars)
                return rc;
            name.resize(name.size() * 2);
            continue;
        }
        if (rc != ERROR_SUCCESS)
            return rc;
        name[length < name.size() ? length : name.size() - 1] = L'\0';
        if (!table.Add(name.data()))
            return ERROR_OUTOFMEMORY;
        ++index;
    }
}
