// Decoded pictures: the PNG resources of the program (decoded once, premultiplied, kept in a
// process-wide cache) and picture files read from disk (the slide show's JPEGs).
#pragma once

#include "framework/Handles.h"

#include <windows.h>

#include <memory>
#include <string>

// A decoded picture. It owns its 32-bit DIB section; drawing code copies the handle and size
// and keeps the wrapper (or the cache) alive while it draws. A wrapper without bitmap stands
// for a picture that could not be decoded, and users treat it as absent.
class CImageWrapper
{
public:
    CImageWrapper() = default;
    CImageWrapper(CBitmapHandle bitmap, int width, int height)
        : m_bitmap(std::move(bitmap)), m_width(width), m_height(height)
    {
    }

    HBITMAP Bitmap() const { return m_bitmap.Get(); }
    bool HasBitmap() const { return m_bitmap.IsValid(); }
    // Size of the whole bitmap; 0 x 0 without bitmap.
    int Width() const { return m_width; }
    int Height() const { return m_height; }
    // Frames the bitmap holds and how they lie; pictures load as one frame. A user that
    // needs a strip (the combo box arrow) keeps its own frame count.
    int FrameCount() const { return m_frameCount; }
    bool FramesHorizontal() const { return m_framesHorizontal; }

private:
    CBitmapHandle m_bitmap;
    int m_width = 0;
    int m_height = 0;
    int m_frameCount = 1;
    bool m_framesHorizontal = true;
};

// The PNG resource (type "PNG") with this id, decoded into a premultiplied 32-bit bitmap for
// AlphaBlend with AC_SRC_ALPHA. The first load decodes and caches it; later loads of the same
// id and module return the same wrapper. A resource that is missing or unreadable gives
// nothing and is not cached; one that does not decode is cached without bitmap. A null module
// means the program's own resources. Cached pictures live until the process ends.
std::shared_ptr<const CImageWrapper> LoadPngResource(int id, HMODULE module = nullptr);

// The resource id of a four-picture group for the current display: 200 % at 192 dpi and
// above, 150 % from 144, 125 % (id100 + 1) from 120, otherwise 100 %.
int PngResourceForScale(int id100, int id150, int id200);

// A picture file decoded into an opaque 32-bit bitmap owned by the returned wrapper; nothing
// when the file does not exist or cannot be decoded.
std::unique_ptr<CImageWrapper> LoadImageFile(const std::wstring& path);

// GDI+ is started on first need and shut down when its last user is gone. The resource cache
// counts as one user from its first decode on, so its pictures never pay for a restart;
// each file load takes a use for the time of its decode.
class CGdiplusUse
{
public:
    CGdiplusUse();
    ~CGdiplusUse();
    CGdiplusUse(const CGdiplusUse&) = delete;
    CGdiplusUse& operator=(const CGdiplusUse&) = delete;

    // Whether GDI+ started; decoding is only possible while it runs.
    bool IsRunning() const { return m_running; }

private:
    bool m_running;
};

// Tests: the number of current GDI+ users (0 when it is not running).
int GdiplusUseCountForTesting();
