#include "controls/PelDialog.h"

#include "controls/Theme.h"
#include "res/resource.h"

#include <windowsx.h>

namespace {

// The caption band and the border, in 96-dpi pixels.
constexpr int kCaptionHeight = 28;
constexpr int kBorder = 1;
constexpr int kButtonSize = 30;
constexpr int kIconSize = 18;
// The part of a maximised window that lies outside the monitor, in raw pixels.
constexpr int kMaximisedOverhang = 8;
constexpr BYTE kDisabledAlpha = 50;

struct ButtonSpec
{
    const wchar_t* name;
    int image100;
    bool close;
    bool visible;
    bool disabled;
};

// List order is id order: Close, Maximize, Restore, Minimize.
const ButtonSpec kButtonSpecs[] = {
    {L"Close", IDB_CLOSE_100, true, true, false},
    {L"Maximize", IDB_MAXIMIZE_100, false, true, true},
    {L"Restore", IDB_RESTORE_100, false, false, false},
    {L"Minimize", IDB_MINIMIZE_100, false, true, false},
};

// The whole-window DC (GetWindowDC/ReleaseDC).
class CWindowDC
{
public:
    explicit CWindowDC(HWND hwnd) : m_hwnd(hwnd), m_hdc(::GetWindowDC(hwnd)) {}
    ~CWindowDC()
    {
        if (m_hdc)
            ::ReleaseDC(m_hwnd, m_hdc);
    }
    CWindowDC(const CWindowDC&) = delete;
    CWindowDC& operator=(const CWindowDC&) = delete;
    HDC Get() const { return m_hdc; }

private:
    HWND m_hwnd;
    HDC m_hdc;
};

void FillSolid(HDC dc, const RECT& rect, COLORREF colour)
{
    // ETO_OPAQUE fills with the background colour and needs no brush object; the DC's own
    // background colour is put back for whoever draws into it next.
    COLORREF old = ::SetBkColor(dc, colour);
    ::ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &rect, nullptr, 0, nullptr);
    if (old != CLR_INVALID)
        ::SetBkColor(dc, old);
}

bool IsMaximised(HWND hwnd)
{
    return (::GetWindowLongPtrW(hwnd, GWL_STYLE) & WS_MAXIMIZE) != 0;
}

// The caption button's colours from the palette; Close has a hover and press of its own.
void TakeCaptionButtonColours(CaptionButton& button)
{
    const ThemePalette& palette = Palette();
    const bool close = kButtonSpecs[button.id].close;
    button.normalColour = palette.FrameBackground;
    button.hoverColour = close ? palette.CloseHover : palette.CaptionButtonHover;
    button.pressedColour = close ? palette.CloseDown : palette.CaptionButtonDown;
}

BOOL CALLBACK PassSysColourChange(HWND child, LPARAM)
{
    ::SendMessageW(child, WM_SYSCOLORCHANGE, 0, 0);
    return TRUE;
}

} // namespace

CPelDialog::CPelDialog(UINT templateId, HWND parent) : CDialogEx(templateId, parent)
{
    LOGFONTW lf = {};
    lf.lfHeight = DpiScaleY(15);
    lf.lfWeight = FW_NORMAL;
    lf.lfCharSet = ANSI_CHARSET;
    lf.lfOutPrecision = OUT_STROKE_PRECIS;
    lf.lfClipPrecision = CLIP_STROKE_PRECIS;
    lf.lfQuality = PROOF_QUALITY;
    ::lstrcpynW(lf.lfFaceName, L"Arial", LF_FACESIZE);
    m_captionFont.Reset(::CreateFontIndirectW(&lf));
}

CPelDialog::~CPelDialog() = default;

RECT CPelDialog::FrameInsets(bool maximised)
{
    int caption = DpiScaleY(kCaptionHeight) + DpiScaleY(kBorder);
    if (maximised)
        return RECT{kMaximisedOverhang, caption + kMaximisedOverhang, kMaximisedOverhang,
                    kMaximisedOverhang};
    return RECT{DpiScaleX(kBorder), caption, DpiScaleX(kBorder), DpiScaleY(kBorder)};
}

void CPelDialog::SetTitleVisible(bool visible)
{
    m_bTitleVisible = visible;
    RepaintFrame();
}

void CPelDialog::SetCaptionButtonDisabled(int id, bool disabled)
{
    if (id < 0 || id >= static_cast<int>(m_buttons.size()))
        return;
    m_buttons[static_cast<size_t>(id)].disabled = disabled;
    RepaintFrame();
}

void CPelDialog::RepaintFrame()
{
    if (!m_hWnd || !::IsWindow(m_hWnd))
        return;
    CWindowDC dc(m_hWnd);
    if (dc.Get())
        PaintFrame(dc.Get());
}

BOOL CPelDialog::OnInitDialog()
{
    CDialogEx::OnInitDialog();
    return TRUE;
}

void CPelDialog::OnClientAreaSized(const RECT&) {}

void CPelDialog::PreSubclassWindow()
{
    CDialogEx::PreSubclassWindow();
    if (!m_buttons.empty())
        return;
    BuildCaptionButtons();
    ::SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0,
                   SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CPelDialog::BuildCaptionButtons()
{
    m_buttons.clear();
    m_images.clear();
    bool maximised = IsMaximised(m_hWnd);
    for (int id = 0; id < 4; ++id) {
        const ButtonSpec& spec = kButtonSpecs[id];
        CaptionButton b;
        b.owner = this;
        b.id = id;
        b.name = spec.name;
        b.visible = spec.visible;
        b.disabled = spec.disabled;
        TakeCaptionButtonColours(b);
        int resource = PngResourceForScale(spec.image100, spec.image100 + 2, spec.image100 + 3);
        std::shared_ptr<const CImageWrapper> image = LoadPngResource(resource, m_hImageModule);
        if (image && image->HasBitmap()) {
            b.image = image->Bitmap();
            b.imageWidth = image->Width();
            b.imageHeight = image->Height();
            b.frameCount = image->FrameCount();
            b.framesHorizontal = image->FramesHorizontal();
        }
        m_images.push_back(std::move(image));
        b.buttonRect = RECT{0, 0, DpiScaleX(kButtonSize), DpiScaleY(kButtonSize)};
        CentreCaptionButtonImage(b);
        // Without a maximised window at creation, Maximize and Restore take no room and are
        // never drawn or hit.
        if (!maximised && (id == kCaptionMaximize || id == kCaptionRestore)) {
            b.buttonRect = RECT{};
            b.imageRect = RECT{};
        }
        m_buttons.push_back(std::move(b));
    }
}

int CPelDialog::HitTestCaptionButton(POINT screenPoint) const
{
    RECT window = {};
    if (!m_hWnd || !::GetWindowRect(m_hWnd, &window))
        return -1;
    POINT p = {screenPoint.x - window.left, screenPoint.y - window.top};
    return HitTestCaptionButtons(m_buttons, p);
}

void CPelDialog::PaintFrame(HDC windowDc)
{
    RECT window = {};
    if (!::GetWindowRect(m_hWnd, &window))
        return;
    bool maximised = IsMaximised(m_hWnd);
    int dx = 0;
    int dy = 0;
    if (maximised) {
        MONITORINFO mi = {};
        mi.cbSize = sizeof(mi);
        HMONITOR monitor = ::MonitorFromWindow(m_hWnd, MONITOR_DEFAULTTONEAREST);
        if (monitor && ::GetMonitorInfoW(monitor, &mi) && window.left - mi.rcWork.left < 0) {
            dx = mi.rcWork.left - window.left;
            dy = mi.rcWork.top - window.top;
        }
    }
    int width = window.right - window.left;
    int height = window.bottom - window.top;
    if (width <= 0 || height <= 0)
        return;
    RECT paint = maximised ? RECT{dx, dy, width - dx, height - dy} : RECT{0, 0, width, height};
    if (m_bLayoutPending) {
        LayoutCaptionButtons(m_buttons, paint, DpiScaleX(kBorder), DpiScaleY(kBorder));
        m_bLayoutPending = false;
    }

    // The client area keeps what the dialog drew there. Its real position is used, which is
    // where the frame insets put it in every window state.
    RECT client = {};
    POINT origin = {0, 0};
    ::GetClientRect(m_hWnd, &client);
    ::ClientToScreen(m_hWnd, &origin);
    ::OffsetRect(&client, origin.x - window.left, origin.y - window.top);
    ::ExcludeClipRect(windowDc, client.left, client.top, client.right, client.bottom);

    CMemoryDC memory(windowDc);
    CBitmapHandle bitmap(::CreateCompatibleBitmap(windowDc, width, height));
    if (!memory.Get() || !bitmap)
        return;
    CSelectObject selectBitmap(memory.Get(), bitmap.Get());

    const ThemePalette& palette = Palette();
    FillSolid(memory.Get(), RECT{0, 0, width, height}, palette.FrameBackground);
    int bx = DpiScaleX(kBorder);
    int by = DpiScaleY(kBorder);
    FillSolid(memory.Get(), RECT{0, 0, width, by}, palette.FrameBorder);
    FillSolid(memory.Get(), RECT{0, height - by, width, height}, palette.FrameBorder);
    FillSolid(memory.Get(), RECT{0, 0, bx, height}, palette.FrameBorder);
    FillSolid(memory.Get(), RECT{width - bx, 0, width, height}, palette.FrameBorder);

    RECT title = {bx, by, width - bx, by + DpiScaleY(kCaptionHeight)};
    if (m_buttons.size() > kCaptionMinimize) {
        m_buttons[kCaptionMaximize].visible = !maximised;
        m_buttons[kCaptionRestore].visible = maximised;
    }
    for (const CaptionButton& b : m_buttons)
        DrawCaptionButton(memory.Get(), b, title);
    if (m_bTitleVisible)
        DrawTitle(memory.Get(), title);

    ::BitBlt(windowDc, 0, 0, width, height, memory.Get(), 0, 0, SRCCOPY);
}

void CPelDialog::DrawCaptionButton(HDC dc, const CaptionButton& button, const RECT& title) const
{
    // An emptied rect (Maximize and Restore of a window created unmaximised) draws nothing,
    // although the button still counts as visible.
    if (!button.visible || !button.image || ::IsRectEmpty(&title) ||
        ::IsRectEmpty(&button.imageRect))
        return;
    SIZE frame = CaptionButtonFrameSize(button);
    if (frame.cx <= 0 || frame.cy <= 0)
        return;
    FillSolid(dc, button.buttonRect, CaptionButtonBackground(button));
    CMemoryDC source(dc);
    if (!source.Get())
        return;
    CSelectObject selectImage(source.Get(), button.image);
    BLENDFUNCTION blend = button.blend;
    blend.SourceConstantAlpha = CaptionButtonAlpha(button);
    ::AlphaBlend(dc, button.imageRect.left, button.imageRect.top, frame.cx, frame.cy,
                 source.Get(), 0, 0, frame.cx, frame.cy, blend);
}

void CPelDialog::DrawTitle(HDC dc, RECT title) const
{
    auto icon = reinterpret_cast<HICON>(::SendMessageW(m_hWnd, WM_GETICON, ICON_BIG, 0));
    if (icon) {
        int x = title.left + 4 * DpiScaleX(kBorder);
        int y = title.top + (DpiScaleY(kCaptionHeight) - DpiScaleY(kIconSize)) / 2;
        ::DrawIconEx(dc, x, y, icon, DpiScaleX(kIconSize), DpiScaleY(kIconSize), 0, nullptr,
                     DI_NORMAL);
        title.left += 4 * DpiScaleX(kBorder) + DpiScaleX(kIconSize);
    }
    int length = ::GetWindowTextLengthW(m_hWnd);
    if (length <= 0)
        return;
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    length = ::GetWindowTextW(m_hWnd, &text[0], length + 1);
    if (length <= 0)
        return;
    text.resize(static_cast<size_t>(length));

    CSelectObject selectFont(dc, m_captionFont.Get());
    SIZE extent = {};
    ::GetTextExtentPoint32W(dc, text.c_str(), length, &extent);
    RECT rect;
    rect.left = title.left + 5 * DpiScaleY(kBorder);
    rect.top = title.top + (DpiScaleY(kCaptionHeight) - extent.cy) / 2;
    rect.right = title.right;
    rect.bottom = rect.top + extent.cy;
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, Palette().CaptionText);
    ::DrawTextW(dc, text.c_str(), length, &rect,
                DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_WORD_ELLIPSIS);
}

void CPelDialog::ApplyWindowRegion()
{
    RECT window = {};
    if (!::GetWindowRect(m_hWnd, &window))
        return;
    RECT r = {0, 0, window.right - window.left, window.bottom - window.top};
    if (IsMaximised(m_hWnd)) {
        r.left += kMaximisedOverhang;
        r.right -= kMaximisedOverhang;
        r.bottom -= kMaximisedOverhang;
    }
    CRegionHandle region(::CreateRoundRectRgn(r.left, r.top, r.right + 1, r.bottom + 1, 0, 0));
    // The system owns the region once SetWindowRgn succeeds; otherwise it is ours to delete.
    if (region && ::SetWindowRgn(m_hWnd, region.Get(), TRUE))
        region.Release();
}

void CPelDialog::SendSysCommand(WPARAM command)
{
    ::SendMessageW(m_hWnd, WM_SYSCOMMAND, command, 0);
}

namespace {

// The children of a title bar as the system numbers them (TITLEBARINFO::rgstate).
constexpr long kTitleBarMinimize = 2;
constexpr long kTitleBarMaximize = 3;
constexpr long kTitleBarClose = 5;

WPARAM CaptionCommand(int id)
{
    switch (id) {
    case kCaptionClose: return SC_CLOSE;
    case kCaptionMaximize: return SC_MAXIMIZE;
    case kCaptionRestore: return SC_RESTORE;
    case kCaptionMinimize: return SC_MINIMIZE;
    default: return 0;
    }
}

// The window menu's name of a command ("&Close\tAlt+F4" reads "Close"): the system's own
// word, in the system's language; the fallback where the menu has no such item.
std::wstring SystemCommandName(HWND hwnd, WPARAM command, const std::wstring& fallback)
{
    HMENU menu = ::GetSystemMenu(hwnd, FALSE);
    wchar_t text[128] = {};
    const int length =
        menu ? ::GetMenuStringW(menu, static_cast<UINT>(command), text, 128, MF_BYCOMMAND) : 0;
    std::wstring name;
    for (int i = 0; i < length && text[i] != L'\t'; ++i) {
        if (text[i] == L'&' && text[i + 1] != L'&')
            continue; // the mnemonic's mark; "&&" stands for one "&"
        if (text[i] == L'&')
            ++i;
        name += text[i];
    }
    return name.empty() ? fallback : name;
}

} // namespace

const CaptionButton* CPelDialog::CaptionButtonOfChild(long child) const
{
    int id = -1;
    if (child == kTitleBarMinimize)
        id = kCaptionMinimize;
    else if (child == kTitleBarMaximize)
        id = IsMaximised(m_hWnd) ? kCaptionRestore : kCaptionMaximize;
    else if (child == kTitleBarClose)
        id = kCaptionClose;
    return id >= 0 && id < static_cast<int>(m_buttons.size()) ? &m_buttons[static_cast<size_t>(id)]
                                                              : nullptr;
}

long CPelDialog::GetAccessibleChildCount() const
{
    return CCHILDREN_TITLEBAR;
}

bool CPelDialog::GetAccessibleFacts(long child, AccessibleFacts* facts) const
{
    if (child == CHILDID_SELF) {
        facts->role = ROLE_SYSTEM_TITLEBAR;
        facts->name = AccessibleWindowText(m_hWnd);
        facts->state = ::IsWindowVisible(m_hWnd) ? 0 : STATE_SYSTEM_INVISIBLE;
        return true;
    }
    if (child < 1 || child > CCHILDREN_TITLEBAR)
        return false;
    facts->role = ROLE_SYSTEM_PUSHBUTTON;
    const CaptionButton* button = CaptionButtonOfChild(child);
    // A button that takes no room (Maximize of a window made unmaximised) is not there.
    if (!button || !button->visible || ::IsRectEmpty(&button->buttonRect) ||
        !::IsWindowVisible(m_hWnd)) {
        facts->name = button ? button->name : std::wstring();
        facts->state = STATE_SYSTEM_INVISIBLE;
        return true;
    }
    facts->name = SystemCommandName(m_hWnd, CaptionCommand(button->id), button->name);
    facts->state = button->disabled ? STATE_SYSTEM_UNAVAILABLE : 0;
    if (button->pressed)
        facts->state |= STATE_SYSTEM_PRESSED;
    facts->defaultAction = kAccessibleActionPress;
    return true;
}

bool CPelDialog::GetAccessibleRect(long child, RECT* screen) const
{
    RECT window{};
    if (!::GetWindowRect(m_hWnd, &window))
        return false;
    if (child == CHILDID_SELF) {
        // The caption band along the top of the frame.
        *screen = RECT{window.left, window.top, window.right,
                       window.top + FrameInsets(IsMaximised(m_hWnd)).top};
        return true;
    }
    const CaptionButton* button = CaptionButtonOfChild(child);
    if (!button)
        return false;
    *screen = button->buttonRect;
    ::OffsetRect(screen, window.left, window.top);
    return true;
}

bool CPelDialog::DoAccessibleDefaultAction(long child)
{
    const CaptionButton* button = CaptionButtonOfChild(child);
    if (!button)
        return false;
    const WPARAM command = CaptionCommand(button->id);
    // Posted, as the system's own title bar does: closing may ask a question first, and the
    // screen reader does not wait for the answer.
    if (command && button->visible && !button->disabled && !::IsRectEmpty(&button->buttonRect))
        ::PostMessageW(m_hWnd, WM_SYSCOMMAND, command, 0);
    return true;
}

LRESULT CPelDialog::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_GETOBJECT:
        // The caption buttons are drawn, not windows: the title bar object tells of them.
        if (LRESULT object = AnswerAccessibleObject(m_hWnd, wParam, lParam, OBJID_TITLEBAR))
            return object;
        break;
    case WM_NCCREATE: {
        LRESULT result = CDialogEx::WindowProc(msg, wParam, lParam);
        if (!result)
            return result;
        BuildCaptionButtons();
        return TRUE;
    }
    case WM_NCCALCSIZE:
        return OnNcCalcSize(wParam, lParam);
    case WM_NCPAINT:
        RepaintFrame();
        return 0;
    case WM_NCACTIVATE:
        return TRUE;
    case WM_NCMOUSEMOVE:
        return OnNcMouseMove(wParam, lParam);
    case WM_NCMOUSEHOVER:
        m_bLeaveTracking = true;
        return 0;
    case WM_NCMOUSELEAVE:
        return OnNcMouseLeave();
    case WM_NCLBUTTONDOWN:
        return OnNcLButtonDown(wParam, lParam);
    case WM_NCLBUTTONUP:
        return OnNcLButtonUp(lParam);
    case WM_MOUSEMOVE:
    case WM_LBUTTONUP:
        // A held caption button has the capture: moves and the release come here, in client
        // coordinates, wherever the pointer is.
        if (m_bButtonHeld) {
            POINT screen = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
            ::ClientToScreen(m_hWnd, &screen);
            const LPARAM at = MAKELPARAM(screen.x, screen.y);
            if (msg == WM_LBUTTONUP)
                return OnNcLButtonUp(at);
            return OnNcMouseMove(::SendMessageW(m_hWnd, WM_NCHITTEST, 0, at), at);
        }
        break;
    case WM_CAPTURECHANGED:
        if (m_bButtonHeld && reinterpret_cast<HWND>(lParam) != m_hWnd)
            OnCaptionPressLost();
        break;
    case WM_NCLBUTTONDBLCLK:
        return OnNcLButtonDblClk(lParam);
    case WM_ERASEBKGND:
        return OnEraseBackground(reinterpret_cast<HDC>(wParam));
    case WM_SIZE:
        return OnSize(wParam, lParam);
    case WM_SYSCOLORCHANGE:
    case WM_SETTINGCHANGE:
        OnSystemColoursChanged();
        break;
    case WM_SETTEXT:
    case WM_SETICON: {
        // The system draws its own caption straight onto a captioned window when its text or
        // icon changes, past WM_NCPAINT; the frame is painted again over it, with the new
        // title.
        LRESULT result = CDialogEx::WindowProc(msg, wParam, lParam);
        RepaintFrame();
        return result;
    }
    }
    return CDialogEx::WindowProc(msg, wParam, lParam);
}

LRESULT CPelDialog::OnNcCalcSize(WPARAM wParam, LPARAM lParam)
{
    m_bLayoutPending = true;
    if (!wParam || !lParam)
        return 0;
    auto* params = reinterpret_cast<NCCALCSIZE_PARAMS*>(lParam);
    RECT insets = FrameInsets(IsMaximised(m_hWnd));
    RECT& r = params->rgrc[0];
    r.left += insets.left;
    r.top += insets.top;
    r.right -= insets.right;
    r.bottom -= insets.bottom;
    return 0;
}

LRESULT CPelDialog::OnNcMouseMove(WPARAM wParam, LPARAM lParam)
{
    if (!m_bLeaveTracking)
        m_bLeaveTracking = TrackMouse(TME_LEAVE | TME_NONCLIENT);
    int hit = HitTestCaptionButton(POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
    if (hit < 0) {
        ClearCaptionButtonStates(m_buttons);
        RepaintFrame();
        return 0;
    }
    const CaptionButton* hot = HotCaptionButton(m_buttons);
    if (!hot || hot->id != hit) {
        ClearCaptionButtonStates(m_buttons);
        CaptionButton& b = m_buttons[static_cast<size_t>(hit)];
        if (b.visible)
            b.hot = true;
        b.hover = true;
        RepaintFrame();
    }
    return CDialogEx::WindowProc(WM_NCMOUSEMOVE, wParam, lParam);
}

LRESULT CPelDialog::OnNcMouseLeave()
{
    m_bLeaveTracking = false;
    if (!m_bButtonHeld) {
        ClearCaptionButtonStates(m_buttons);
        RepaintFrame();
    }
    return 0;
}

LRESULT CPelDialog::OnNcLButtonDown(WPARAM wParam, LPARAM lParam)
{
    ClearCaptionButtonStates(m_buttons);
    int hit = HitTestCaptionButton(POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
    if (hit >= 0) {
        m_bButtonHeld = true;
        CaptionButton& b = m_buttons[static_cast<size_t>(hit)];
        if (b.visible)
            b.hot = true;
        b.pressed = true;
        RepaintFrame();
        // As a push button does: the release is seen even outside the window, and a
        // capture taken away ends the press.
        ::SetCapture(m_hWnd);
        return 0;
    }
    // Dragging and sizing stay with the system; the system's own caption buttons and menu,
    // which lie under ours, must not act.
    if (wParam == HTCAPTION || (wParam >= HTLEFT && wParam <= HTBOTTOMRIGHT))
        return CDialogEx::WindowProc(WM_NCLBUTTONDOWN, wParam, lParam);
    return 0;
}

void CPelDialog::OnCaptionPressLost()
{
    m_bButtonHeld = false;
    ClearCaptionButtonStates(m_buttons);
    RepaintFrame();
}

LRESULT CPelDialog::OnNcLButtonUp(LPARAM lParam)
{
    // Cleared first: the capture change that releasing sends is then no lost press.
    m_bButtonHeld = false;
    if (::GetCapture() == m_hWnd)
        ::ReleaseCapture();
    int hit = HitTestCaptionButton(POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
    WPARAM command = 0;
    if (hit >= 0) {
        const CaptionButton* hot = HotCaptionButton(m_buttons);
        bool maximiseStyle = IsMaximised(m_hWnd);
        if (hot && hot->id == hit) {
            switch (hit) {
            case kCaptionClose: command = SC_CLOSE; break;
            case kCaptionMinimize: command = SC_MINIMIZE; break;
            case kCaptionMaximize: command = maximiseStyle ? SC_MAXIMIZE : 0; break;
            case kCaptionRestore: command = maximiseStyle ? SC_RESTORE : 0; break;
            }
        }
    }
    // States are cleared and drawn before the command: closing may end the window (and with
    // it this object's use of it), so nothing touches the frame afterwards.
    ClearCaptionButtonStates(m_buttons);
    RepaintFrame();
    if (command)
        SendSysCommand(command);
    return 0;
}

LRESULT CPelDialog::OnNcLButtonDblClk(LPARAM lParam)
{
    if (!IsMaximised(m_hWnd))
        return 0;
    int hit = HitTestCaptionButton(POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
    if (hit < 0)
        SendSysCommand(::IsZoomed(m_hWnd) ? SC_RESTORE : SC_MAXIMIZE);
    return 0;
}

void CPelDialog::OnSystemColoursChanged()
{
    // Any setting may be the one that matters (high contrast on or off, a colour of the
    // contrast theme). Every top-level window of the installer takes the palette again for
    // itself, as each is told on its own.
    InitThemePalette();
    for (CaptionButton& b : m_buttons)
        TakeCaptionButtonColours(b);
    // The system tells top-level windows only: the panels take their new colours and the
    // controls let go of the old ones when it is passed on to every window inside.
    ::EnumChildWindows(m_hWnd, PassSysColourChange, 0);
    ::RedrawWindow(m_hWnd, nullptr, nullptr,
                   RDW_ALLCHILDREN | RDW_INVALIDATE | RDW_FRAME | RDW_ERASE);
}

LRESULT CPelDialog::OnEraseBackground(HDC dc)
{
    RECT client = {};
    ::GetClientRect(m_hWnd, &client);
    if (dc)
        FillSolid(dc, client, Palette().WindowBackground);
    return 0;
}

LRESULT CPelDialog::OnSize(WPARAM wParam, LPARAM lParam)
{
    LRESULT result = CDialogEx::WindowProc(WM_SIZE, wParam, lParam);
    ApplyWindowRegion();
    RECT client = {};
    ::GetClientRect(m_hWnd, &client);
    OnClientAreaSized(client);
    return result;
}
