#include "controls/Images.h"

#include "controls/Dpi.h"
#include "controls/Premultiply.h"

#include <objidl.h>
#include <shlwapi.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <utility>

// Microsoft's GDI+ headers use min and max unqualified, which NOMINMAX takes away.
namespace Gdiplus {
using std::max;
using std::min;
} // namespace Gdiplus
#include <gdiplus.h>

using namespace Gdiplus;
using namespace Gdiplus::DllExports;

namespace {

// ---- GDI+ start-up state ------------------------------------------------------------------

class CCriticalSection
{
public:
    CCriticalSection() { ::InitializeCriticalSection(&m_cs); }
    ~CCriticalSection() { ::DeleteCriticalSection(&m_cs); }
    CCriticalSection(const CCriticalSection&) = delete;
    CCriticalSection& operator=(const CCriticalSection&) = delete;
    void Enter() { ::EnterCriticalSection(&m_cs); }
    void Leave() { ::LeaveCriticalSection(&m_cs); }

private:
    CRITICAL_SECTION m_cs;
};

class CLock
{
public:
    explicit CLock(CCriticalSection& cs) : m_cs(cs) { m_cs.Enter(); }
    ~CLock() { m_cs.Leave(); }
    CLock(const CLock&) = delete;
    CLock& operator=(const CLock&) = delete;

private:
    CCriticalSection& m_cs;
};

struct GdiplusState
{
    CCriticalSection lock;
    ULONG_PTR token = 0;
    int uses = 0;
};

GdiplusState& StartState()
{
    static GdiplusState state;
    return state;
}

// ---- owners of the decoding resources ------------------------------------------------------

struct GlobalMemoryTraits
{
    using Type = HGLOBAL;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type h) noexcept { ::GlobalFree(h); }
};
using CGlobalMemory = CUniqueHandle<GlobalMemoryTraits>;

struct GdipImageTraits
{
    using Type = GpBitmap*;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type h) noexcept { GdipDisposeImage(h); }
};
using CGdipBitmap = CUniqueHandle<GdipImageTraits>;

// Copies a decoded GDI+ bitmap into a new top-down 32-bit DIB section (BGRA, straight alpha;
// opaque pictures get alpha 255). The section is handed out only when the whole copy worked.
CImageWrapper ToDibSection(GpBitmap* source)
{
    UINT width = 0, height = 0;
    if (GdipGetImageWidth(source, &width) != Ok || GdipGetImageHeight(source, &height) != Ok ||
        width == 0 || height == 0 || width > 0x7FFF || height > 0x7FFF)
        return CImageWrapper();

    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = static_cast<LONG>(width);
    info.bmiHeader.biHeight = -static_cast<LONG>(height);
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    CBitmapHandle dib(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!dib || !bits)
        return CImageWrapper();

    // GDI+ writes straight into the section's memory (a user-supplied lock buffer).
    GpRect rect(0, 0, static_cast<INT>(width), static_cast<INT>(height));
    BitmapData data = {};
    data.Width = width;
    data.Height = height;
    data.Stride = static_cast<INT>(width * 4);
    data.PixelFormat = PixelFormat32bppARGB;
    data.Scan0 = bits;
    if (GdipBitmapLockBits(source, &rect, ImageLockModeRead | ImageLockModeUserInputBuf,
                           PixelFormat32bppARGB, &data) != Ok)
        return CImageWrapper();
    if (GdipBitmapUnlockBits(source, &data) != Ok)
        return CImageWrapper();
    return CImageWrapper(std::move(dib), static_cast<int>(width), static_cast<int>(height));
}

// Premultiplies the bitmap's pixels in place, for AlphaBlend with per-pixel alpha.
void Premultiply(const CImageWrapper& image)
{
    DIBSECTION section = {};
    if (!image.HasBitmap() || ::GetObjectW(image.Bitmap(), sizeof(section), &section) != sizeof(section))
        return;
    ::GdiFlush();
    PremultiplyBgra(static_cast<std::uint8_t*>(section.dsBm.bmBits),
                    static_cast<std::size_t>(image.Width()) * static_cast<std::size_t>(image.Height()));
}

// Decodes PNG bytes. The stream, its memory block and the GDI+ bitmap are released on every
// path; a failure at any step gives a wrapper without bitmap.
CImageWrapper DecodePngBytes(const void* bytes, DWORD size)
{
    CGlobalMemory block(::GlobalAlloc(GMEM_MOVEABLE, size));
    if (!block)
        return CImageWrapper();
    void* target = ::GlobalLock(block.Get());
    if (!target)
        return CImageWrapper();
    std::memcpy(target, bytes, size);
    ::GlobalUnlock(block.Get());

    // The stream does not free the block: the block's owner above does, after the stream.
    ComPtr<IStream> stream;
    if (FAILED(::CreateStreamOnHGlobal(block.Get(), FALSE, stream.Receive())))
        return CImageWrapper();
    CGdipBitmap decoded;
    if (GdipCreateBitmapFromStream(stream.Get(), decoded.Receive()) != Ok)
        return CImageWrapper();
    CImageWrapper image = ToDibSection(decoded.Get());
    Premultiply(image);
    return image;
}

// The cache's own use of GDI+, taken at its first decode and kept for the process.
bool EnsureCacheGdiplus()
{
    static CGdiplusUse use;
    return use.IsRunning();
}

using CacheKey = std::pair<HMODULE, int>;
using ImageCache = std::map<CacheKey, std::shared_ptr<const CImageWrapper>>;

ImageCache& Cache()
{
    static ImageCache cache;
    return cache;
}

} // namespace

CGdiplusUse::CGdiplusUse() : m_running(false)
{
    GdiplusState& state = StartState();
    CLock lock(state.lock);
    if (state.uses == 0) {
        GdiplusStartupInput input = {};
        input.GdiplusVersion = 1;
        ULONG_PTR token = 0;
        if (GdiplusStartup(&token, &input, nullptr) != Ok)
            return;
        state.token = token;
    }
    ++state.uses;
    m_running = true;
}

CGdiplusUse::~CGdiplusUse()
{
    if (!m_running)
        return;
    GdiplusState& state = StartState();
    CLock lock(state.lock);
    if (--state.uses == 0) {
        GdiplusShutdown(state.token);
        state.token = 0;
    }
}

int GdiplusUseCountForTesting()
{
    GdiplusState& state = StartState();
    CLock lock(state.lock);
    return state.uses;
}

std::shared_ptr<const CImageWrapper> LoadPngResource(int id, HMODULE module)
{
    if (!module)
        module = ::GetModuleHandleW(nullptr);
    const CacheKey key(module, id);
    ImageCache& cache = Cache();
    auto found = cache.find(key);
    if (found != cache.end())
        return found->second;

    HRSRC info = ::FindResourceW(module, MAKEINTRESOURCEW(id), L"PNG");
    if (!info)
        return nullptr;
    HGLOBAL loaded = ::LoadResource(module, info);
    const void* bytes = loaded ? ::LockResource(loaded) : nullptr;
    const DWORD size = ::SizeofResource(module, info);
    if (!bytes || size == 0)
        return nullptr;

    // Without GDI+ nothing is cached, so a later load can try again.
    if (!EnsureCacheGdiplus())
        return nullptr;
    auto image = std::make_shared<const CImageWrapper>(DecodePngBytes(bytes, size));
    cache.emplace(key, image);
    return image;
}

int PngResourceForScale(int id100, int id150, int id200)
{
    const int dpi = SnappedDpi();
    if (dpi >= 192)
        return id200;
    if (dpi >= 144)
        return id150;
    if (dpi >= 120)
        return id100 + 1;
    return id100;
}

std::unique_ptr<CImageWrapper> LoadImageFile(const std::wstring& path)
{
    if (path.empty() || !::PathFileExistsW(path.c_str()))
        return nullptr;
    CGdiplusUse use;
    if (!use.IsRunning())
        return nullptr;
    CImageWrapper image;
    {
        CGdipBitmap decoded;
        if (GdipCreateBitmapFromFile(path.c_str(), decoded.Receive()) != Ok)
            return nullptr;
        image = ToDibSection(decoded.Get());
    }
    if (!image.HasBitmap())
        return nullptr;
    return std::make_unique<CImageWrapper>(std::move(image));
}
