// Owning handle wrappers, DC scopes and ComPtr against real Windows objects.
#include "framework/Handles.h"

#include <gtest/gtest.h>

#include <msiquery.h>
#include <objidl.h>

#include <string>
#include <utility>

namespace {

bool IsOpen(HANDLE h)
{
    DWORD flags = 0;
    return ::GetHandleInformation(h, &flags) != FALSE;
}

HANDLE NewEvent()
{
    return ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
}

TEST(UniqueHandle, ClosesOnDestructionAndDefaultsToInvalid)
{
    CHandle empty;
    EXPECT_FALSE(empty.IsValid());
    EXPECT_EQ(nullptr, empty.Get());

    HANDLE raw = NewEvent();
    ASSERT_NE(nullptr, raw);
    {
        CHandle owner(raw);
        EXPECT_TRUE(owner);
        EXPECT_TRUE(IsOpen(raw));
    }
    EXPECT_FALSE(IsOpen(raw));
}

TEST(UniqueHandle, MoveTransfersOwnershipAndAssignmentClosesTheOldHandle)
{
    HANDLE first = NewEvent();
    HANDLE second = NewEvent();
    ASSERT_TRUE(first && second);
    CHandle a(first);
    CHandle b(std::move(a));
    EXPECT_FALSE(a.IsValid());
    EXPECT_EQ(first, b.Get());
    EXPECT_TRUE(IsOpen(first));

    CHandle c(second);
    c = std::move(b);
    EXPECT_FALSE(IsOpen(second)); // the target's own handle went
    EXPECT_TRUE(IsOpen(first));
    EXPECT_EQ(first, c.Get());

    c = std::move(c); // self-move keeps the handle
    EXPECT_TRUE(IsOpen(first));
    c.Reset();
    EXPECT_FALSE(IsOpen(first));
}

TEST(UniqueHandle, ReleaseResetAndReceive)
{
    HANDLE raw = NewEvent();
    CHandle owner(raw);
    owner.Reset(raw); // the same handle again must not close it
    EXPECT_TRUE(IsOpen(raw));
    EXPECT_EQ(raw, owner.Release());
    EXPECT_FALSE(owner.IsValid());
    EXPECT_TRUE(IsOpen(raw));

    CHandle dup(NewEvent());
    HANDLE before = dup.Get();
    HANDLE* out = dup.Receive();
    EXPECT_FALSE(IsOpen(before)); // Receive closed what it held
    EXPECT_EQ(nullptr, *out);
    ASSERT_TRUE(::DuplicateHandle(::GetCurrentProcess(), raw, ::GetCurrentProcess(), out, 0,
                                  FALSE, DUPLICATE_SAME_ACCESS));
    EXPECT_TRUE(dup.IsValid());
    EXPECT_TRUE(IsOpen(dup.Get()));
    ::CloseHandle(raw);
}

TEST(UniqueHandle, FileHandleUsesInvalidHandleValue)
{
    CFileHandle missing(::CreateFileW(L"Z:\\no\\such\\folder\\file.bin", GENERIC_READ, 0, nullptr,
                                      OPEN_EXISTING, 0, nullptr));
    EXPECT_FALSE(missing.IsValid());
    EXPECT_EQ(INVALID_HANDLE_VALUE, CFileHandle().Get());

    wchar_t dir[MAX_PATH + 1];
    ASSERT_NE(0u, ::GetTempPathW(MAX_PATH + 1, dir));
    wchar_t path[MAX_PATH + 1];
    ASSERT_NE(0u, ::GetTempFileNameW(dir, L"pel", 0, path));
    {
        CFileHandle exclusive(::CreateFileW(path, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(exclusive.IsValid());
        CFileHandle second(::CreateFileW(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        EXPECT_FALSE(second.IsValid());
    }
    CFileHandle again(::CreateFileW(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    EXPECT_TRUE(again.IsValid()); // the exclusive handle was closed
    again.Reset();
    ::DeleteFileW(path);
}

TEST(UniqueHandle, RegistryKeyIsClosed)
{
    const wchar_t* subkey = L"Software\\PelTests\\Handles";
    HKEY raw = nullptr;
    {
        CKeyHandle key;
        ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExW(HKEY_CURRENT_USER, subkey, 0, nullptr, 0,
                                                  KEY_ALL_ACCESS, nullptr, key.Receive(), nullptr));
        raw = key.Get();
        DWORD one = 1;
        EXPECT_EQ(ERROR_SUCCESS, ::RegSetValueExW(raw, L"v", 0, REG_DWORD,
                                                 reinterpret_cast<const BYTE*>(&one), sizeof one));
    }
    DWORD values = 0;
    EXPECT_NE(ERROR_SUCCESS, ::RegQueryInfoKeyW(raw, nullptr, nullptr, nullptr, nullptr, nullptr,
                                                nullptr, &values, nullptr, nullptr, nullptr, nullptr));
    ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\PelTests");
}

TEST(UniqueHandle, MsiAndInternetHandlesAreClosed)
{
    MSIHANDLE record = ::MsiCreateRecord(2);
    ASSERT_NE(0u, record);
    {
        CMsiHandle owner(record);
        EXPECT_EQ(2u, ::MsiRecordGetFieldCount(owner.Get()));
    }
    EXPECT_EQ(static_cast<UINT>(-1), ::MsiRecordGetFieldCount(record));

    HINTERNET root = ::InternetOpenW(L"PelTests", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    ASSERT_NE(nullptr, root);
    {
        CInternetHandle owner(root);
        DWORD type = 0, size = sizeof type;
        EXPECT_TRUE(::InternetQueryOptionW(owner.Get(), INTERNET_OPTION_HANDLE_TYPE, &type, &size));
    }
    DWORD type = 0, size = sizeof type;
    EXPECT_FALSE(::InternetQueryOptionW(root, INTERNET_OPTION_HANDLE_TYPE, &type, &size));
}

TEST(UniqueHandle, ModuleIsFreed)
{
    // A system library this process has not loaded yet, so that freeing it unloads it.
    const wchar_t* dll = nullptr;
    HMODULE probe = nullptr;
    for (const wchar_t* candidate : {L"dbghelp.dll", L"mscms.dll", L"wtsapi32.dll", L"cabinet.dll"}) {
        if (!::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT, candidate, &probe)) {
            dll = candidate;
            break;
        }
    }
    if (!dll)
        GTEST_SKIP() << "every candidate library is loaded already";
    {
        CModuleHandle module(::LoadLibraryW(dll));
        ASSERT_TRUE(module.IsValid());
        EXPECT_TRUE(::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT, dll, &probe));
    }
    EXPECT_FALSE(::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT, dll, &probe));
}

TEST(GdiScopes, GdiObjectsAndMemoryDcAreDeleted)
{
    HFONT rawFont = ::CreateFontW(-12, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0,
                                  L"Tahoma");
    HBRUSH rawBrush = ::CreateSolidBrush(RGB(1, 2, 3));
    HDC rawDc = nullptr;
    {
        CFontHandle font(rawFont);
        CBrushHandle brush(rawBrush);
        CMemoryDC dc(nullptr);
        rawDc = dc.Get();
        ASSERT_NE(nullptr, rawDc);
        EXPECT_EQ(static_cast<DWORD>(OBJ_FONT), ::GetObjectType(font.Get()));
        EXPECT_EQ(static_cast<DWORD>(OBJ_MEMDC), ::GetObjectType(rawDc));
    }
    EXPECT_EQ(0u, ::GetObjectType(rawFont));
    EXPECT_EQ(0u, ::GetObjectType(rawBrush));
    EXPECT_EQ(0u, ::GetObjectType(rawDc));
}

TEST(GdiScopes, SelectObjectPutsThePreviousObjectBack)
{
    CMemoryDC dc(nullptr);
    CBrushHandle brush(::CreateSolidBrush(RGB(10, 20, 30)));
    CPenHandle pen(::CreatePen(PS_SOLID, 1, RGB(1, 1, 1)));
    HGDIOBJ originalBrush = ::GetCurrentObject(dc, OBJ_BRUSH);
    HGDIOBJ originalPen = ::GetCurrentObject(dc, OBJ_PEN);
    {
        CSelectObject selectBrush(dc, brush.Get());
        CSelectObject selectPen(dc, pen.Get());
        EXPECT_EQ(brush.Get(), ::GetCurrentObject(dc, OBJ_BRUSH));
        EXPECT_EQ(pen.Get(), ::GetCurrentObject(dc, OBJ_PEN));
    }
    EXPECT_EQ(originalBrush, ::GetCurrentObject(dc, OBJ_BRUSH));
    EXPECT_EQ(originalPen, ::GetCurrentObject(dc, OBJ_PEN));
}

// The reference count a COM object reports after one more AddRef/Release pair.
ULONG RefCount(IUnknown* p)
{
    p->AddRef();
    return p->Release();
}

TEST(ComPointer, CountsReferences)
{
    IStream* raw = nullptr;
    ASSERT_EQ(S_OK, ::CreateStreamOnHGlobal(nullptr, TRUE, &raw));
    ComPtr<IStream> owner;
    owner.Attach(raw); // adopts the creation reference
    EXPECT_EQ(1u, RefCount(raw));
    {
        ComPtr<IStream> copy(owner);
        EXPECT_EQ(2u, RefCount(raw));
        ComPtr<IStream> moved(std::move(copy));
        EXPECT_FALSE(copy);
        EXPECT_EQ(2u, RefCount(raw));
        ComPtr<IStream> assigned;
        assigned = moved;
        EXPECT_EQ(3u, RefCount(raw));
    }
    EXPECT_EQ(1u, RefCount(raw));

    ComPtr<IUnknown> unknown;
    ASSERT_EQ(S_OK, owner->QueryInterface(IID_IUnknown, unknown.ReceiveVoid()));
    EXPECT_EQ(2u, RefCount(raw));
    unknown.Reset();
    EXPECT_EQ(1u, RefCount(raw));

    IStream* detached = owner.Detach();
    EXPECT_FALSE(owner);
    EXPECT_EQ(1u, RefCount(detached)); // Detach gave the reference away untouched
    ComPtr<IStream> again(detached);   // takes a new reference
    EXPECT_EQ(2u, RefCount(detached));
    detached->Release();
    EXPECT_EQ(1u, RefCount(again.Get()));
}

} // namespace
