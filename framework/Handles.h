// Owning wrappers for Windows handles, device-context scopes and COM pointers.
//
// One move-only template owns a handle; a traits type names the handle type, the value that
// means "no handle" and the function that closes it. Non-owning code keeps passing the raw
// handle types, so ownership is visible in the type.
#pragma once

#include <windows.h>
#include <unknwn.h>
#include <wininet.h>
#include <msi.h>

#include <utility>

template <typename Traits>
class CUniqueHandle
{
public:
    using Type = typename Traits::Type;

    CUniqueHandle() noexcept : m_h(Traits::Invalid()) {}
    explicit CUniqueHandle(Type h) noexcept : m_h(h) {}
    ~CUniqueHandle() { Close(); }

    CUniqueHandle(const CUniqueHandle&) = delete;
    CUniqueHandle& operator=(const CUniqueHandle&) = delete;
    CUniqueHandle(CUniqueHandle&& other) noexcept : m_h(other.Release()) {}
    CUniqueHandle& operator=(CUniqueHandle&& other) noexcept
    {
        if (this != &other)
            Reset(other.Release());
        return *this;
    }

    Type Get() const noexcept { return m_h; }
    bool IsValid() const noexcept { return m_h != Traits::Invalid(); }
    explicit operator bool() const noexcept { return IsValid(); }

    // Gives up ownership without closing.
    Type Release() noexcept
    {
        Type h = m_h;
        m_h = Traits::Invalid();
        return h;
    }

    // Closes the held handle (if any) and takes ownership of h.
    void Reset(Type h = Traits::Invalid()) noexcept
    {
        if (h == m_h)
            return;
        Close();
        m_h = h;
    }

    // For functions that return a handle through an out parameter: closes the held one first.
    Type* Receive() noexcept
    {
        Reset();
        return &m_h;
    }

private:
    void Close() noexcept
    {
        if (m_h != Traits::Invalid()) {
            Traits::Close(m_h);
            m_h = Traits::Invalid();
        }
    }

    Type m_h;
};

// Kernel objects whose creation returns null on failure (events, semaphores, processes).
struct KernelHandleTraits
{
    using Type = HANDLE;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type h) noexcept { ::CloseHandle(h); }
};

// Kernel objects whose creation returns INVALID_HANDLE_VALUE on failure (CreateFileW).
// Find handles use the same invalid value but close with FindClose: they need traits of their own.
struct FileHandleTraits
{
    using Type = HANDLE;
    static Type Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(Type h) noexcept { ::CloseHandle(h); }
};

struct RegKeyTraits
{
    using Type = HKEY;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type h) noexcept { ::RegCloseKey(h); }
};

struct InternetHandleTraits
{
    using Type = HINTERNET;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type h) noexcept { ::InternetCloseHandle(h); }
};

struct MsiHandleTraits
{
    using Type = MSIHANDLE;
    static Type Invalid() noexcept { return 0; }
    static void Close(Type h) noexcept { ::MsiCloseHandle(h); }
};

struct ModuleTraits
{
    using Type = HMODULE;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type h) noexcept { ::FreeLibrary(h); }
};

template <typename T>
struct GdiObjectTraits
{
    using Type = T;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type h) noexcept { ::DeleteObject(h); }
};

// Icons made with CreateIcon*/LoadImage without LR_SHARED; shared icons must not be destroyed.
struct IconTraits
{
    using Type = HICON;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type h) noexcept { ::DestroyIcon(h); }
};

using CHandle = CUniqueHandle<KernelHandleTraits>;
using CFileHandle = CUniqueHandle<FileHandleTraits>;
using CKeyHandle = CUniqueHandle<RegKeyTraits>;
using CInternetHandle = CUniqueHandle<InternetHandleTraits>;
using CMsiHandle = CUniqueHandle<MsiHandleTraits>;
using CModuleHandle = CUniqueHandle<ModuleTraits>;
using CIconHandle = CUniqueHandle<IconTraits>;
template <typename T>
using CGdiObject = CUniqueHandle<GdiObjectTraits<T>>;
using CFontHandle = CGdiObject<HFONT>;
using CBitmapHandle = CGdiObject<HBITMAP>;
using CBrushHandle = CGdiObject<HBRUSH>;
using CPenHandle = CGdiObject<HPEN>;
using CRegionHandle = CGdiObject<HRGN>;

// BeginPaint in the constructor, EndPaint in the destructor: only for WM_PAINT handlers.
class CPaintDC
{
public:
    explicit CPaintDC(HWND hwnd) : m_hwnd(hwnd), m_ps(), m_hdc(::BeginPaint(hwnd, &m_ps)) {}
    ~CPaintDC()
    {
        if (m_hdc)
            ::EndPaint(m_hwnd, &m_ps);
    }
    CPaintDC(const CPaintDC&) = delete;
    CPaintDC& operator=(const CPaintDC&) = delete;

    HDC Get() const { return m_hdc; }
    operator HDC() const { return m_hdc; }
    const PAINTSTRUCT& PaintStruct() const { return m_ps; }

private:
    HWND m_hwnd;
    PAINTSTRUCT m_ps;
    HDC m_hdc;
};

// The client-area DC of a window (GetDC/ReleaseDC), or of the screen for a null window.
class CClientDC
{
public:
    explicit CClientDC(HWND hwnd) : m_hwnd(hwnd), m_hdc(::GetDC(hwnd)) {}
    ~CClientDC()
    {
        if (m_hdc)
            ::ReleaseDC(m_hwnd, m_hdc);
    }
    CClientDC(const CClientDC&) = delete;
    CClientDC& operator=(const CClientDC&) = delete;

    HDC Get() const { return m_hdc; }
    operator HDC() const { return m_hdc; }

private:
    HWND m_hwnd;
    HDC m_hdc;
};

// A memory DC compatible with another DC (or the screen for null); deleted with DeleteDC.
class CMemoryDC
{
public:
    explicit CMemoryDC(HDC compatibleWith) : m_hdc(::CreateCompatibleDC(compatibleWith)) {}
    ~CMemoryDC()
    {
        if (m_hdc)
            ::DeleteDC(m_hdc);
    }
    CMemoryDC(const CMemoryDC&) = delete;
    CMemoryDC& operator=(const CMemoryDC&) = delete;

    HDC Get() const { return m_hdc; }
    operator HDC() const { return m_hdc; }

private:
    HDC m_hdc;
};

// Selects an object into a DC and puts the previous one back on destruction, so a DC is
// never deleted or released with one of our objects still selected.
class CSelectObject
{
public:
    CSelectObject(HDC hdc, HGDIOBJ obj) : m_hdc(hdc), m_old(obj ? ::SelectObject(hdc, obj) : nullptr) {}
    ~CSelectObject()
    {
        if (m_old && m_old != HGDI_ERROR)
            ::SelectObject(m_hdc, m_old);
    }
    CSelectObject(const CSelectObject&) = delete;
    CSelectObject& operator=(const CSelectObject&) = delete;

private:
    HDC m_hdc;
    HGDIOBJ m_old;
};

// Reference-counted COM interface pointer.
template <typename T>
class ComPtr
{
public:
    ComPtr() noexcept = default;
    ComPtr(std::nullptr_t) noexcept {}
    // Takes a new reference to p.
    explicit ComPtr(T* p) noexcept : m_p(p)
    {
        if (m_p)
            m_p->AddRef();
    }
    ComPtr(const ComPtr& other) noexcept : ComPtr(other.m_p) {}
    ComPtr(ComPtr&& other) noexcept : m_p(std::exchange(other.m_p, nullptr)) {}
    ~ComPtr() { Reset(); }

    ComPtr& operator=(ComPtr other) noexcept
    {
        std::swap(m_p, other.m_p);
        return *this;
    }

    T* Get() const noexcept { return m_p; }
    T* operator->() const noexcept { return m_p; }
    explicit operator bool() const noexcept { return m_p != nullptr; }

    void Reset() noexcept
    {
        if (T* p = std::exchange(m_p, nullptr))
            p->Release();
    }

    // Adopts a reference the caller already owns (no AddRef).
    void Attach(T* p) noexcept
    {
        Reset();
        m_p = p;
    }

    // Gives the reference to the caller (no Release).
    T* Detach() noexcept { return std::exchange(m_p, nullptr); }

    // For creation functions with a T** out parameter: releases the held pointer first.
    T** Receive() noexcept
    {
        Reset();
        return &m_p;
    }

    // For functions with a void** out parameter (QueryInterface, CoCreateInstance).
    void** ReceiveVoid() noexcept { return reinterpret_cast<void**>(Receive()); }

private:
    T* m_p = nullptr;
};
