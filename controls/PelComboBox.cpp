// The closed box of the combo box: attaching the parts, layout, painting, mouse and drop-down.
#include "controls/PelComboBox.h"

#include "controls/Dpi.h"
#include "controls/FocusCue.h"
#include "controls/Fonts.h"
#include "controls/Images.h"
#include "framework/KeyboardCues.h"
#include "res/resource.h"

#include <algorithm>
#include <string>

namespace {

// One row of the drop-down list in device pixels (22 px at 96 dpi, truncated).
int ListRowHeight()
{
    return ScreenDpiY() * 22 / 96;
}

int Width(const RECT& r) { return r.right - r.left; }
int Height(const RECT& r) { return r.bottom - r.top; }

} // namespace

CPelComboBox::CPelComboBox()
    : m_list(std::make_unique<CPelComboBox_ListBox>()),
      m_itemData(std::make_unique<CComboboxDataManager>())
{
}

CPelComboBox::~CPelComboBox() = default;

bool CPelComboBox::Create(DWORD style, const RECT& rect, HWND parent, UINT id)
{
    HWND hwnd = ::CreateWindowExW(0, L"COMBOBOX", L"", style | WS_CHILD, rect.left, rect.top,
                                  Width(rect), Height(rect), parent,
                                  reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)),
                                  ::GetModuleHandleW(nullptr), nullptr);
    if (!hwnd)
        return false;
    if (!SubclassWindow(hwnd)) {
        ::DestroyWindow(hwnd);
        return false;
    }
    return true;
}

void CPelComboBox::SetResourceModule(HMODULE module)
{
    m_resourceModule = module;
    if (m_hWnd) {
        LoadArrowImage();
        Layout();
        Invalidate();
    }
}

void CPelComboBox::SetBackgroundColor(COLORREF colour)
{
    m_backgroundColour = colour;
    if (m_hWnd)
        Invalidate();
}

void CPelComboBox::SetArrowBackgroundColor(COLORREF colour)
{
    m_arrowBackgroundColour = colour;
    if (m_hWnd)
        Invalidate();
}

void CPelComboBox::SetTextColor(COLORREF colour)
{
    m_textColour = colour;
    if (m_hWnd)
        Invalidate();
}

void CPelComboBox::SetBorderColor(COLORREF colour)
{
    m_borderColour = colour;
    if (m_hWnd)
        Invalidate();
}

void CPelComboBox::SetHotBorderColor(COLORREF colour)
{
    m_hotBorderColour = colour;
    if (m_hWnd)
        Invalidate();
}

void CPelComboBox::SetFont(HFONT font)
{
    m_font = font;
    if (m_hWnd)
        Invalidate();
}

void CPelComboBox::SetListFont(HFONT font)
{
    m_list->SetFont(font);
}

void CPelComboBox::SetListColors(COLORREF border, COLORREF text, COLORREF selectedText,
                                 COLORREF background, COLORREF selectedBackground)
{
    m_list->SetBorderColor(border);
    m_list->SetTextColor(text, selectedText);
    m_list->SetBackgroundColor(background, selectedBackground);
}

void CPelComboBox::SetReadOnly(bool readOnly)
{
    if (m_edit.m_hWnd)
        m_edit.SetReadOnly(readOnly);
    if (m_hWnd)
        Invalidate();
}

bool CPelComboBox::IsReadOnly() const
{
    // A drop-down list without edit field cannot be typed into either.
    return !m_edit.m_hWnd || m_edit.IsReadOnly();
}

void CPelComboBox::SetItemHeight(int index, int height)
{
    SendMessage(CB_SETITEMHEIGHT, static_cast<WPARAM>(index), height);
}

bool CPelComboBox::HasArrowImage() const
{
    return m_arrowImage && m_arrowImage->HasBitmap() && m_arrowImage->Width() >= m_arrowFrameCount;
}

HFONT CPelComboBox::BoxFont() const
{
    return m_font ? m_font : TextFont();
}

void CPelComboBox::PreSubclassWindow()
{
    AttachParts();
}

void CPelComboBox::LoadArrowImage()
{
    int id = PngResourceForScale(IDB_DROPDOWN_ARROW_100, IDB_DROPDOWN_ARROW_150,
                                 IDB_DROPDOWN_ARROW_200);
    m_arrowImage = LoadPngResource(id, m_resourceModule);
}

void CPelComboBox::AttachParts()
{
    if (m_partsAttached)
        return;
    COMBOBOXINFO info = {};
    info.cbSize = sizeof(info);
    if (!::GetComboBoxInfo(m_hWnd, &info))
        return;
    m_partsAttached = true;
    // A drop-down list style has no edit field: the info then names the combo box itself.
    if (info.hwndItem && info.hwndItem != m_hWnd && m_edit.SubclassWindow(info.hwndItem)) {
        m_edit.SetOwner(m_hWnd);
        m_edit.ShowWindow(SW_HIDE);
    }
    if (info.hwndList && m_list->SubclassWindow(info.hwndList)) {
        m_list->SetOwner(m_hWnd);
        m_list->SetItemData(m_itemData.get());
    }
    LoadArrowImage();
    Layout();
}

void CPelComboBox::Layout()
{
    if (!m_edit.m_hWnd || !HasArrowImage())
        return;
    m_arrowFrameWidth = m_arrowImage->Width() / m_arrowFrameCount;
    m_arrowFrameHeight = m_arrowImage->Height();

    RECT client = {};
    GetClientRect(&client);
    RECT edit = {};
    m_edit.GetWindowRect(&edit);
    ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&edit), 2);
    int textHeight = Height(edit);
    {
        CClientDC dc(m_edit.m_hWnd);
        auto font = reinterpret_cast<HFONT>(m_edit.SendMessage(WM_GETFONT));
        CSelectObject select(dc, font);
        TEXTMETRICW tm = {};
        if (dc && ::GetTextMetricsW(dc, &tm))
            textHeight = tm.tmHeight + tm.tmExternalLeading;
    }
    edit.top = client.top + (Height(client) - textHeight) / 2;
    edit.bottom = edit.top + textHeight;
    edit.right = std::max(edit.left, client.right - m_arrowFrameWidth - 2);
    ::MoveWindow(m_edit.m_hWnd, edit.left, edit.top, Width(edit), Height(edit), FALSE);

    m_arrowRect = {client.right - m_arrowFrameWidth - 2 * DpiScaleLinearX(4), client.top,
                   client.right - DpiScaleLinearX(4), client.bottom};

    if (m_list->m_hWnd) {
        RECT list = {};
        m_list->GetWindowRect(&list);
        int width = static_cast<int>(SendMessage(CB_GETDROPPEDWIDTH));
        ::SetWindowPos(m_list->m_hWnd, nullptr, list.left, list.top, width, 7 * ListRowHeight(),
                       SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

void CPelComboBox::Paint(HDC target, const RECT& r)
{
    CMemoryDC mem(target);
    CBitmapHandle bitmap(::CreateCompatibleBitmap(target, Width(r), Height(r)));
    // Without an off-screen buffer the box is drawn straight onto the screen.
    bool buffered = mem && bitmap;
    HDC dc = buffered ? mem.Get() : target;
    CSelectObject selectBitmap(buffered ? mem.Get() : nullptr, bitmap.Get());

    CBrushHandle background(::CreateSolidBrush(m_backgroundColour));
    if (background)
        ::FillRect(dc, &r, background.Get());

    int frameWidth = HasArrowImage() ? m_arrowFrameWidth : 0;
    RECT arrowStrip = {r.right - std::max(frameWidth, DpiScaleX(24)), r.top, r.right, r.bottom};
    CBrushHandle arrowBackground(::CreateSolidBrush(m_arrowBackgroundColour));
    if (arrowBackground)
        ::FillRect(dc, &arrowStrip, arrowBackground.Get());
    if (HasArrowImage()) {
        CMemoryDC imageDc(dc);
        CSelectObject selectImage(imageDc, m_arrowImage->Bitmap());
        int frame = m_hot ? 1 : 2;
        if (imageDc)
            ::AlphaBlend(dc, r.right - frameWidth - DpiScaleX(5),
                         (Height(r) - m_arrowFrameHeight) / 2, frameWidth, m_arrowFrameHeight,
                         imageDc, frame * frameWidth, 0, frameWidth, m_arrowFrameHeight, m_blend);
    }

    int selected = GetCurSel();
    if (IsReadOnly() && selected >= 0) {
        std::wstring text = GetLBText(selected);
        CSelectObject selectFont(dc, BoxFont());
        ::SetTextColor(dc, m_textColour);
        ::SetBkMode(dc, TRANSPARENT);
        SIZE extent = {};
        ::GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
        int left = r.left + DpiScaleLinearX(4);
        if (m_itemData->HasIcons()) {
            m_itemData->DrawItemIcon(dc, selected, left, Height(r));
            left = r.left + DpiScaleLinearX(24);
        }
        int top = (Height(r) - extent.cy) / 2;
        RECT textRect = {left, top,
                         r.right + DpiScaleLinearX(1) - r.left - frameWidth - 2 * DpiScaleLinearX(4),
                         top + extent.cy};
        ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &textRect,
                    DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    }

    CPenHandle pen(::CreatePen(PS_SOLID, 1, m_hot ? m_hotBorderColour : m_borderColour));
    {
        CSelectObject selectPen(dc, pen.Get());
        CSelectObject selectBrush(dc, ::GetStockObject(HOLLOW_BRUSH));
        ::RoundRect(dc, r.left, r.top, r.right, r.bottom, 0, 0);
    }

    // Around the selection field, left of the arrow strip, as the system's drop-down lists
    // show their focus.
    if (HasFocusNow() && AreFocusCuesShown(m_hWnd))
        DrawFocusCue(dc, RECT{r.left + 2, r.top + 2, arrowStrip.left - 2, r.bottom - 2});

    if (buffered)
        ::BitBlt(target, r.left, r.top, Width(r), Height(r), mem, r.left, r.top, SRCCOPY);
}

bool CPelComboBox::HasFocusNow() const
{
    // The box hands its focus on to its edit field.
    HWND focus = ::GetFocus();
    return focus && (focus == m_hWnd || focus == m_edit.m_hWnd);
}

bool CPelComboBox::PointInArrow(POINT point) const
{
    RECT client = {};
    GetClientRect(&client);
    if (GetStyle() & 1)
        return ::PtInRect(&client, point) != FALSE;
    return point.y > 0 && point.y <= client.bottom - 1 &&
           point.x >= client.right - m_arrowFrameWidth - DpiScaleLinearX(4) - 1 &&
           point.x <= client.right - 1;
}

bool CPelComboBox::CursorInWindow() const
{
    POINT cursor = {};
    RECT window = {};
    if (!::GetCursorPos(&cursor))
        return false;
    GetWindowRect(&window);
    return ::PtInRect(&window, cursor) != FALSE;
}

void CPelComboBox::RedrawNow()
{
    ::RedrawWindow(m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

void CPelComboBox::OnLButtonDown(POINT point)
{
    // Taking the focus moves it between the box and its edit field, and the combo box rolls
    // its list up on that: the state to toggle is the one the user clicked on.
    bool wasDropped = GetDroppedState();
    ::SetFocus(m_hWnd);
    if (IsReadOnly()) {
        ShowDropDown(!wasDropped);
        if (m_edit.m_hWnd) {
            m_edit.SendMessage(EM_SETSEL, 0, 0);
            m_edit.SendMessage(EM_SCROLLCARET);
        }
    } else if (PointInArrow(point)) {
        ShowDropDown(!wasDropped);
    }
    ::InvalidateRect(m_hWnd, &m_arrowRect, TRUE);
    ::UpdateWindow(m_hWnd);
}

void CPelComboBox::OnMouseMove(POINT point)
{
    bool changed = false;
    if (!m_tracking) {
        m_tracking = TrackMouse(TME_LEAVE);
        changed = !m_hot;
        m_hot = true;
    }
    bool overArrow = ::PtInRect(&m_arrowRect, point) != FALSE;
    if (overArrow != m_arrowHover) {
        m_arrowHover = overArrow;
        changed = true;
    }
    if (changed)
        RedrawNow();
}

void CPelComboBox::OnMouseLeave()
{
    m_tracking = false;
    // The mouse leaving into the open list keeps the outline lit until the list closes.
    bool listVisible = m_list->m_hWnd ? m_list->IsWindowVisible() != FALSE : GetDroppedState();
    if (listVisible)
        return;
    if (!CursorInWindow())
        m_hot = false;
    m_arrowHover = false;
    RedrawNow();
}

void CPelComboBox::UpdateDroppedWidth()
{
    CClientDC dc(m_hWnd);
    if (!dc)
        return;
    CSelectObject selectFont(dc, BoxFont());
    int count = GetCount();
    int scrollBar = count > 30 ? ::GetSystemMetrics(SM_CXVSCROLL) : 0;
    int widest = 0;
    for (int i = 0; i < count; ++i) {
        std::wstring text = GetLBText(i);
        SIZE extent = {};
        ::GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
        widest = std::max(widest, static_cast<int>(extent.cx) + scrollBar);
    }
    TEXTMETRICW tm = {};
    ::GetTextMetricsW(dc, &tm);
    int width = widest + 2 * DpiScaleLinearX(::GetSystemMetrics(SM_CXEDGE)) +
                2 * DpiScaleLinearX(tm.tmAveCharWidth);
    if (m_itemData->HasIcons())
        width += ::GetSystemMetrics(SM_CXSMICON);
    RECT window = {};
    GetWindowRect(&window);
    width = std::max(width, static_cast<int>(Width(window)));
    SendMessage(CB_SETDROPPEDWIDTH, static_cast<WPARAM>(width));
}

void CPelComboBox::KeepListOnMonitor(HWND list)
{
    if (!list)
        return;
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof(monitor);
    if (!::GetMonitorInfoW(::MonitorFromWindow(m_hWnd, MONITOR_DEFAULTTONEAREST), &monitor))
        return;
    RECT box = {};
    RECT listRect = {};
    GetWindowRect(&box);
    ::GetWindowRect(list, &listRect);
    if (box.left < monitor.rcMonitor.right && listRect.right > monitor.rcMonitor.right) {
        int overhang = listRect.right - monitor.rcMonitor.right;
        ::SetWindowPos(list, nullptr, listRect.left - overhang, listRect.top, 0, 0,
                       SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

bool CPelComboBox::OnChildNotify(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    if (msg == WM_DRAWITEM) {
        m_list->DrawItem(reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        *result = TRUE;
        return true;
    }
    if (msg != WM_COMMAND)
        return false;
    // The parent sees every notification as well (the owner acts on CBN_SELENDOK and friends).
    switch (HIWORD(wParam)) {
    case CBN_SETFOCUS:
        m_focused = true;
        Invalidate();
        break;
    case CBN_KILLFOCUS:
        m_focused = false;
        Invalidate();
        break;
    case CBN_DROPDOWN:
        UpdateDroppedWidth();
        break;
    case CBN_SELCHANGE:
        // Chosen with the keyboard while closed: the field shows the new item.
        Invalidate();
        NotifyAccessibleChange(m_hWnd, EVENT_OBJECT_VALUECHANGE);
        break;
    default:
        break;
    }
    return false;
}

bool CPelComboBox::GetAccessibleFacts(long child, AccessibleFacts* facts) const
{
    if (child != CHILDID_SELF)
        return false;
    facts->role = ROLE_SYSTEM_COMBOBOX;
    facts->name = AccessibleLabelText();
    const int selected = GetCurSel();
    facts->value = selected >= 0 ? GetLBText(selected) : std::wstring();
    facts->state = GetDroppedState() ? STATE_SYSTEM_EXPANDED : STATE_SYSTEM_COLLAPSED;
    return true;
}

LRESULT CPelComboBox::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    POINT point = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    switch (msg) {
    case WM_GETOBJECT:
        if (LRESULT object = AnswerAccessibleObject(m_hWnd, wParam, lParam))
            return object;
        return DefWindowProc(msg, wParam, lParam);
    case WM_CREATE: {
        LRESULT result = DefWindowProc(msg, wParam, lParam);
        if (result != -1)
            AttachParts();
        return result;
    }
    case WM_PAINT: {
        CPaintDC dc(m_hWnd);
        RECT client = {};
        GetClientRect(&client);
        if (dc)
            Paint(dc, client);
        return 0;
    }
    case WM_ERASEBKGND:
        return TRUE;
    case WM_LBUTTONDOWN:
        OnLButtonDown(point);
        return 0;
    case WM_MOUSEMOVE:
        OnMouseMove(point);
        return DefWindowProc(msg, wParam, lParam);
    case WM_MOUSELEAVE:
        OnMouseLeave();
        return DefWindowProc(msg, wParam, lParam);
    case WM_SIZE: {
        LRESULT result = DefWindowProc(msg, wParam, lParam);
        Layout();
        return result;
    }
    case WM_DESTROY:
        m_itemData->Clear();
        return DefWindowProc(msg, wParam, lParam);
    case CB_SETCURSEL:
    case WM_UPDATEUISTATE: {
        if (msg == WM_UPDATEUISTATE)
            FollowUiStateUpdate(m_hWnd, wParam);
        // The field is painted here, not by the system: a new selection or UI state is
        // drawn again.
        LRESULT result = DefWindowProc(msg, wParam, lParam);
        Invalidate();
        if (msg == CB_SETCURSEL)
            NotifyAccessibleChange(m_hWnd, EVENT_OBJECT_VALUECHANGE);
        return result;
    }
    case WM_CTLCOLORLISTBOX:
        KeepListOnMonitor(reinterpret_cast<HWND>(lParam));
        return DefWindowProc(msg, wParam, lParam);
    case kMsgEditMouseEnter:
        if (!m_hot) {
            m_hot = true;
            RedrawNow();
        }
        return 0;
    case kMsgEditMouseLeave: {
        bool wasHot = m_hot;
        m_hot = CursorInWindow();
        if (wasHot && !m_hot)
            RedrawNow();
        return 0;
    }
    case kMsgListHidden:
        m_hot = false;
        m_arrowHover = false;
        // The next move over the box lights it again.
        m_tracking = false;
        RedrawNow();
        return 0;
    default:
        return CComboBox::WindowProc(msg, wParam, lParam);
    }
}
