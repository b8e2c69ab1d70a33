// The control gallery: one window with every custom-drawn control of the installer in its
// states, on the installer's own frame. It can save a PNG of itself and count its GDI objects
// around a number of full repaints.
//
// Usage: Gallery [--png <file>] [--repaints N] [--stay]
//   --png       saves the gallery (frame included) after it has been drawn
//   --repaints  repaints the whole window N times and prints the GDI object count before and after
//   --stay      keeps the window open until it is closed (for looking at it)
//
// States that only one control can hold at a time (a pressed button holds the mouse capture)
// are put on one control after the other; each control's picture is taken into the saved
// image while it holds its state.
#include "controls/Dpi.h"
#include "controls/Fonts.h"
#include "controls/Images.h"
#include "controls/Palette.h"
#include "controls/PelButton.h"
#include "controls/PelComboBox.h"
#include "controls/PelDialog.h"
#include "controls/PelEdit.h"
#include "controls/PelProgress.h"
#include "controls/PelSliderShowCtrl.h"
#include "controls/PelStatic.h"
#include "controls/PelTextButton.h"
#include "controls/SlideShowMath.h"
#include "res/resource.h"

#include <windows.h>
#include <commctrl.h>
#include <objidl.h>
#include <gdiplus.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace {

// Slide-show clock stopped in the middle of the first push (7.5 s + 0.3 s of 0.6 s).
std::int64_t MidTransitionClock()
{
    static std::int64_t calls = 0;
    return calls++ == 0 ? 0 : 7800;
}

struct Template
{
    DLGTEMPLATE dlg;
    WORD menu, cls, title;
};

// A solid picture with a caption, as a stand-in slide.
HBITMAP MakeSlide(int width, int height, COLORREF top, COLORREF bottom, const wchar_t* caption)
{
    HDC screen = ::GetDC(nullptr);
    HDC dc = ::CreateCompatibleDC(screen);
    HBITMAP bitmap = ::CreateCompatibleBitmap(screen, width, height);
    ::ReleaseDC(nullptr, screen);
    HGDIOBJ old = ::SelectObject(dc, bitmap);
    TRIVERTEX v[2] = {{0, 0, static_cast<COLOR16>(GetRValue(top) << 8), static_cast<COLOR16>(GetGValue(top) << 8),
                       static_cast<COLOR16>(GetBValue(top) << 8), 0},
                      {width, height, static_cast<COLOR16>(GetRValue(bottom) << 8),
                       static_cast<COLOR16>(GetGValue(bottom) << 8), static_cast<COLOR16>(GetBValue(bottom) << 8), 0}};
    GRADIENT_RECT r = {0, 1};
    ::GradientFill(dc, v, 2, &r, 1, GRADIENT_FILL_RECT_V);
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, RGB(255, 255, 255));
    HGDIOBJ font = ::SelectObject(dc, HeadingFont());
    RECT rc = {0, 0, width, height};
    ::DrawTextW(dc, caption, -1, &rc, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    ::SelectObject(dc, font);
    ::SelectObject(dc, old);
    ::DeleteDC(dc);
    return bitmap;
}

class CGalleryDialog : public CPelDialog
{
public:
    CGalleryDialog() : CPelDialog(0) {}

    std::vector<std::unique_ptr<CWnd>> controls;
    std::vector<HBITMAP> slides;
    CPelButton* pressImage = nullptr;
    CPelTextButton* pressText = nullptr;
    CPelEdit* activeEdit = nullptr;
    CPelComboBox* hotCombo = nullptr;
    CPelStatic* focusLink = nullptr;

protected:
    BOOL OnInitDialog() override
    {
        CPelDialog::OnInitDialog();
        SetWindowText(L"Control gallery");
        auto icon = static_cast<HICON>(::LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_PEL_MAIN),
                                                    IMAGE_ICON, 0, 0, LR_DEFAULTSIZE | LR_SHARED));
        SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
        SetTitleVisible(true);
        ::SetWindowPos(m_hWnd, nullptr, 20, 20, DpiScaleX(820), DpiScaleY(600), SWP_NOZORDER);
        Build();
        return TRUE;
    }

private:
    int X(int v) const { return DpiScaleX(v); }
    int Y(int v) const { return DpiScaleY(v); }

    HWND Child(const wchar_t* cls, const wchar_t* text, DWORD style, int x, int y, int w, int h, UINT id,
               DWORD exStyle = 0)
    {
        return ::CreateWindowExW(exStyle, cls, text, WS_CHILD | WS_VISIBLE | style, X(x), Y(y), X(w), Y(h), m_hWnd,
                                 reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), ::GetModuleHandleW(nullptr),
                                 nullptr);
    }

    template <typename T>
    T* Keep(std::unique_ptr<T> control)
    {
        T* raw = control.get();
        controls.push_back(std::move(control));
        return raw;
    }

    CPelStatic* Label(const wchar_t* text, int x, int y, int w, int h, UINT id, bool link = false)
    {
        auto label = std::make_unique<CPelStatic>();
        label->SubclassWindow(Child(L"STATIC", text, link ? SS_NOTIFY : 0, x, y, w, h, id));
        label->SetText(text);
        label->SetTextFont(link ? LinkFont() : TextFont());
        label->SetTextColor(link ? RGB(89, 134, 178) : Palette().LabelText);
        label->SetBackgroundColor(Palette().WindowBackground);
        label->SetTextFormat(DT_SINGLELINE | DT_WORDBREAK | DT_VCENTER);
        label->SetLink(link);
        return Keep(std::move(label));
    }

    CPelTextButton* TextButton(const wchar_t* text, int x, int y, UINT id, bool enabled)
    {
        auto button = std::make_unique<CPelTextButton>();
        button->SubclassWindow(Child(L"BUTTON", text, WS_TABSTOP, x, y, 150, 34, id));
        button->SetButtonText(text);
        button->SetButtonEnabled(enabled);
        return Keep(std::move(button));
    }

    CPelButton* ImageButton(int pictureId, const wchar_t* caption, COLORREF background, int x, int y, int w, int h,
                            UINT id)
    {
        auto button = std::make_unique<CPelButton>();
        button->SubclassWindow(Child(L"BUTTON", L"", WS_TABSTOP, x, y, w, h, id));
        button->SetColorsAndText(background, Palette().CaptionButtonHover, Palette().CaptionButtonDown,
                                 Palette().FrameBorder, caption);
        if (pictureId) {
            auto picture = LoadPngResource(PngResourceForScale(pictureId, pictureId + 2, pictureId + 3));
            if (picture)
                button->SetButtonImage(*picture);
        }
        return Keep(std::move(button));
    }

    void Build()
    {
        const COLORREF bg = Palette().WindowBackground;
        UINT id = 1000;
        // Row 1: text buttons.
        Label(L"Text buttons: normal, hover, pressed, disabled", 20, 8, 600, 20, id++);
        TextButton(L"Install", 20, 32, id++, true);
        auto* hover = TextButton(L"Hover", 185, 32, id++, true);
        ::SendMessageW(*hover, WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
        pressText = TextButton(L"Pressed", 350, 32, id++, true);
        TextButton(L"Disabled", 515, 32, id++, false);

        // Row 2: image buttons.
        Label(L"Image buttons: ticked, unticked, hover, pressed, caption, toggles", 20, 78, 600, 20, id++);
        ImageButton(IDB_CHECK_TICKED_100, L"", bg, 20, 102, 24, 24, id++);
        ImageButton(IDB_CHECK_UNTICKED_100, L"", bg, 60, 102, 24, 24, id++);
        auto* hoverImage = ImageButton(IDB_CHECK_TICKED_100, L"", bg, 100, 102, 24, 24, id++);
        ::SendMessageW(*hoverImage, WM_MOUSEHOVER, 0, 0);
        pressImage = ImageButton(IDB_CHECK_UNTICKED_100, L"", bg, 140, 102, 24, 24, id++);
        ImageButton(0, L"...", Palette().FieldButtonBackground, 180, 102, 24, 24, id++);
        ImageButton(IDB_TOGGLE_UNFOLDED_100, L"", bg, 220, 102, 24, 24, id++);
        ImageButton(IDB_TOGGLE_FOLDED_100, L"", bg, 260, 102, 24, 24, id++);
        ImageButton(0, L"", bg, 300, 102, 24, 24, id++);

        // Row 3: labels.
        Label(L"Labels: plain, link, focused link, no font", 20, 140, 600, 20, id++);
        Label(L"I accept the", 20, 164, 110, 20, id++);
        Label(L"License Terms", 130, 164, 130, 20, id++, true);
        focusLink = Label(L"Focused link", 270, 164, 130, 20, id++, true);
        auto* plain = Label(L"Fallback Arial", 410, 164, 150, 20, id++);
        plain->SetTextFont(nullptr);

        // Row 4: progress bars.
        Label(L"Progress: 0 %, 37 %, 100 %", 20, 196, 600, 20, id++);
        for (int i = 0; i < 3; ++i) {
            auto bar = std::make_unique<CPelProgress>();
            RECT rc = {X(20), Y(224 + i * 18), X(20 + 500), Y(224 + i * 18) + DpiScaleY(8)};
            bar->Create(WS_CHILD | WS_VISIBLE, rc, m_hWnd, id++);
            bar->SetMaximum(1000);
            bar->SetPos(i == 0 ? 0 : i == 1 ? 370 : 1000);
            bar->SetBackgroundColor(bg);
            bar->SetTrackColor(Palette().ProgressTrack);
            bar->SetFillColor(Palette().ProgressFill);
            bar->SetTrackRect({0, 0, rc.right - rc.left, rc.bottom - rc.top});
            Keep(std::move(bar));
        }

        // Row 5: combo boxes and edit fields.
        Label(L"Combo box (normal, hot) and edit fields (normal, active, read-only)", 20, 284, 600, 20, id++);
        for (int i = 0; i < 2; ++i) {
            auto combo = std::make_unique<CPelComboBox>();
            RECT rc = {X(20 + i * 250), Y(310), X(20 + i * 250 + 230), Y(310 + 200)};
            combo->Create(WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWN | CBS_OWNERDRAWFIXED |
                              CBS_HASSTRINGS,
                          rc, m_hWnd, id++);
            combo->SetBackgroundColor(Palette().FieldBackground);
            combo->SetBorderColor(Palette().FieldBackground);
            combo->SetArrowBackgroundColor(Palette().FieldButtonBackground);
            combo->SetFont(TextFont());
            combo->SetListFont(TextFont());
            combo->SetReadOnly(true);
            combo->SetItemHeight(-1, ScreenDpiY() * 24 / 96);
            for (const wchar_t* item : {L"English", L"Deutsch", L"Fran\u00e7ais"})
                combo->AddString(item);
            combo->SetCurSel(i);
            if (i == 1)
                hotCombo = combo.get();
            Keep(std::move(combo));
        }
        for (int i = 0; i < 3; ++i) {
            auto edit = std::make_unique<CPelEdit>();
            // A dialog template's bordered edit field becomes a client-edge one, as here.
            edit->SubclassWindow(Child(L"EDIT", L"C:\\Program Files\\Pel Systems\\VARO Pro 7",
                                       ES_AUTOHSCROLL | (i == 2 ? ES_READONLY : 0), 20 + i * 260, 350, 240, 24,
                                       id++, WS_EX_CLIENTEDGE));
            edit->SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(TextFont()), TRUE);
            edit->SetBackgroundColor(Palette().FieldBackground);
            edit->SetBorderColor(Palette().FieldBackground);
            if (i == 1)
                activeEdit = edit.get();
            Keep(std::move(edit));
        }

        // Row 6: the slide show in the middle of a push from one picture to the next.
        Label(L"Slide show, half-way through a transition", 20, 388, 600, 20, id++);
        SetSlideShowClockForTesting(&MidTransitionClock);
        auto show = std::make_unique<CPelSliderShowCtrl>();
        RECT rc = {X(20), Y(412), X(20 + 560), Y(412 + 140)};
        show->Create(WS_CHILD | WS_VISIBLE, rc, m_hWnd, id++);
        show->SetBackgroundColor(Palette().WindowBackground);
        slides.push_back(MakeSlide(X(400), Y(120), RGB(40, 70, 120), RGB(15, 25, 45), L"Picture 1"));
        slides.push_back(MakeSlide(X(400), Y(120), RGB(120, 60, 40), RGB(45, 20, 15), L"Picture 2"));
        for (HBITMAP slide : slides)
            show->AddSlide(slide, X(400), Y(120));
        Keep(std::move(show));
    }
};

// The window (frame included) as the screen shows it, copied into a bitmap of its own.
struct Shot
{
    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ old = nullptr;
    int width = 0, height = 0;
};

void CopyWindowArea(HWND window, Shot& shot, const RECT* area)
{
    RECT wr;
    ::GetWindowRect(window, &wr);
    RECT r = area ? *area : RECT{wr.left, wr.top, wr.right, wr.bottom};
    HDC screen = ::GetDC(nullptr);
    ::BitBlt(shot.dc, r.left - wr.left, r.top - wr.top, r.right - r.left, r.bottom - r.top, screen, r.left, r.top,
             SRCCOPY);
    ::ReleaseDC(nullptr, screen);
}

void Pump(DWORD ms)
{
    DWORD start = ::GetTickCount();
    do {
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        ::Sleep(5);
    } while (::GetTickCount() - start < ms);
}

bool SavePng(HBITMAP bitmap, const std::wstring& path)
{
    const CLSID png = {0x557cf406, 0x1a04, 0x11d3, {0x9a, 0x73, 0x00, 0x00, 0xf8, 0x1e, 0xf3, 0x2e}};
    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    if (Gdiplus::GdiplusStartup(&token, &input, nullptr) != Gdiplus::Ok)
        return false;
    bool saved = false;
    Gdiplus::GpBitmap* image = nullptr;
    if (Gdiplus::DllExports::GdipCreateBitmapFromHBITMAP(bitmap, nullptr, &image) == Gdiplus::Ok) {
        saved = Gdiplus::DllExports::GdipSaveImageToFile(image, path.c_str(), &png, nullptr) == Gdiplus::Ok;
        Gdiplus::DllExports::GdipDisposeImage(image);
    }
    Gdiplus::GdiplusShutdown(token);
    return saved;
}

// Live GDI objects of this process. GetGuiResources answers on Windows; under Wine it answers
// 0, and there a handle value below 0x10000 names its table slot, so asking each slot's object
// type counts the live ones.
int CountGdiObjects()
{
    DWORD count = ::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS);
    if (count != 0)
        return static_cast<int>(count);
    int live = 0;
    for (UINT_PTR slot = 1; slot < 0x10000; ++slot)
        if (::GetObjectType(reinterpret_cast<HGDIOBJ>(slot)) != 0)
            ++live;
    return live;
}

RECT ScreenRect(HWND hwnd)
{
    RECT r;
    ::GetWindowRect(hwnd, &r);
    return r;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    std::wstring png;
    int repaints = 0;
    bool stay = false;
    for (int i = 1; i < argc; ++i) {
        std::wstring a = argv[i];
        if (a == L"--png" && i + 1 < argc)
            png = argv[++i];
        else if (a == L"--repaints" && i + 1 < argc)
            repaints = _wtoi(argv[++i]);
        else if (a == L"--stay")
            stay = true;
    }
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&icc);
    InitThemePalette();
    CreateSharedFonts();

    Template tpl = {{WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN | DS_MODALFRAME, 0, 0, 0,
                     0, 400, 300},
                    0,
                    0,
                    0};
    CGalleryDialog gallery;
    gallery.InitModalIndirect(&tpl.dlg);
    if (!gallery.Create(nullptr)) {
        std::printf("the gallery window could not be created\n");
        return 1;
    }
    gallery.ShowWindow(SW_SHOW);
    ::SetForegroundWindow(gallery);
    Pump(800);
    RECT wr = ScreenRect(gallery);
    std::printf("gallery at %d dpi: %ld x %ld pixels\n", ScreenDpiY(), wr.right - wr.left, wr.bottom - wr.top);
    std::fflush(stdout);

    Shot shot;
    shot.width = wr.right - wr.left;
    shot.height = wr.bottom - wr.top;
    HDC screen = ::GetDC(nullptr);
    shot.dc = ::CreateCompatibleDC(screen);
    shot.bitmap = ::CreateCompatibleBitmap(screen, shot.width, shot.height);
    ::ReleaseDC(nullptr, screen);
    shot.old = ::SelectObject(shot.dc, shot.bitmap);
    CopyWindowArea(gallery, shot, nullptr);

    // One state after the other, each control's picture taken while it holds it.
    ::SendMessageW(*gallery.pressImage, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
    Pump(150);
    RECT r = ScreenRect(*gallery.pressImage);
    CopyWindowArea(gallery, shot, &r);
    ::ReleaseCapture();
    ::SendMessageW(*gallery.pressText, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
    Pump(150);
    r = ScreenRect(*gallery.pressText);
    CopyWindowArea(gallery, shot, &r);
    ::ReleaseCapture();
    ::SendMessageW(*gallery.hotCombo, WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
    Pump(150);
    r = ScreenRect(*gallery.hotCombo);
    CopyWindowArea(gallery, shot, &r);
    ::SendMessageW(*gallery.activeEdit, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    ::SendMessageW(*gallery.activeEdit, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    Pump(150);
    r = ScreenRect(*gallery.activeEdit);
    CopyWindowArea(gallery, shot, &r);
    ::SetFocus(*gallery.focusLink);
    Pump(150);
    r = ScreenRect(*gallery.focusLink);
    CopyWindowArea(gallery, shot, &r);
    ::SelectObject(shot.dc, shot.old);
    if (!png.empty()) {
        bool saved = SavePng(shot.bitmap, png);
        std::printf("%s %ls\n", saved ? "saved" : "could not save", png.c_str());
    }
    ::DeleteObject(shot.bitmap);
    ::DeleteDC(shot.dc);

    if (repaints > 0) {
        Pump(200);
        int before = CountGdiObjects();
        DWORD start = ::GetTickCount();
        for (int i = 0; i < repaints; ++i) {
            ::RedrawWindow(gallery, nullptr, nullptr,
                           RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
            MSG msg;
            while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
                ::TranslateMessage(&msg);
                ::DispatchMessageW(&msg);
            }
        }
        DWORD elapsed = ::GetTickCount() - start;
        Pump(200);
        int after = CountGdiObjects();
        std::printf("GDI objects before %d full repaints: %d, after: %d (%lu ms of painting)\n", repaints,
                    before, after, elapsed);
        std::fflush(stdout);
    }
    if (stay) {
        MSG msg;
        while (gallery.IsWindow() && ::GetMessageW(&msg, nullptr, 0, 0) > 0) {
            if (!CWnd::WalkPreTranslateTree(gallery, &msg) && !::IsDialogMessageW(gallery, &msg)) {
                ::TranslateMessage(&msg);
                ::DispatchMessageW(&msg);
            }
        }
    }
    gallery.DestroyWindow();
    for (HBITMAP slide : gallery.slides)
        ::DeleteObject(slide);
    DeleteSharedFonts();
    return 0;
}
