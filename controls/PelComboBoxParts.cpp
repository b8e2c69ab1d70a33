// The parts of the combo box: its per-item data, its drop-down list and its edit field.
#include "controls/PelComboBox.h"

#include "controls/Dpi.h"
#include "controls/Fonts.h"

#include <string>

CComboboxDataManager::~CComboboxDataManager()
{
    Clear();
}

void CComboboxDataManager::SetItemIcon(int index, HICON icon)
{
    ITEMDATA_VS& item = m_items[index];
    if (item.hIcon && item.hIcon != icon)
        ::DestroyIcon(item.hIcon);
    item.hIcon = icon;
}

void CComboboxDataManager::DrawItemIcon(HDC dc, int index, int x, int areaHeight) const
{
    HICON icon = GetItemIcon(index);
    if (!icon)
        return;
    int iconHeight = 0;
    ICONINFO info = {};
    if (::GetIconInfo(icon, &info)) {
        // GetIconInfo hands out copies of the icon's bitmaps: ours to delete.
        CBitmapHandle colour(info.hbmColor);
        CBitmapHandle mask(info.hbmMask);
        BITMAP bm = {};
        HBITMAP measured = info.hbmColor ? info.hbmColor : info.hbmMask;
        if (measured && ::GetObjectW(measured, sizeof(bm), &bm))
            iconHeight = info.hbmColor ? bm.bmHeight : bm.bmHeight / 2; // mask-only: two halves
    }
    ::DrawIconEx(dc, x, (areaHeight - iconHeight) / 2, icon, 0, 0, 0, nullptr, DI_NORMAL);
}

HICON CComboboxDataManager::GetItemIcon(int index) const
{
    auto it = m_items.find(index);
    return it == m_items.end() ? nullptr : it->second.hIcon;
}

void CComboboxDataManager::Clear()
{
    for (auto& entry : m_items) {
        if (entry.second.hIcon)
            ::DestroyIcon(entry.second.hIcon);
    }
    m_items.clear();
}

HFONT CPelComboBox_ListBox::Font() const
{
    return m_font ? m_font : TextFont();
}

void CPelComboBox_ListBox::PreSubclassWindow()
{
    ModifyStyle(0, LBS_OWNERDRAWFIXED);
}

namespace {

// The text of a list item: through the combo box when there is one (it owns the strings of
// an owner-drawn combo with CBS_HASSTRINGS), else from the list itself.
std::wstring ItemText(HWND owner, HWND list, UINT index)
{
    UINT lenMsg = owner ? CB_GETLBTEXTLEN : LB_GETTEXTLEN;
    UINT textMsg = owner ? CB_GETLBTEXT : LB_GETTEXT;
    HWND from = owner ? owner : list;
    LRESULT length = ::SendMessageW(from, lenMsg, index, 0);
    if (length <= 0)
        return {};
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    LRESULT copied = ::SendMessageW(from, textMsg, index, reinterpret_cast<LPARAM>(&text[0]));
    text.resize(copied > 0 && copied <= length ? static_cast<size_t>(copied) : 0);
    return text;
}

} // namespace

void CPelComboBox_ListBox::DrawItem(const DRAWITEMSTRUCT* item)
{
    if (!item || item->itemID == static_cast<UINT>(-1))
        return;
    // The selection field of the closed box is painted by the combo box itself.
    if (item->itemState & ODS_COMBOBOXEDIT)
        return;
    int width = item->rcItem.right - item->rcItem.left;
    int height = item->rcItem.bottom - item->rcItem.top;
    if (width <= 0 || height <= 0)
        return;

    CMemoryDC mem(item->hDC);
    CBitmapHandle bitmap(::CreateCompatibleBitmap(item->hDC, width, height));
    if (!mem || !bitmap)
        return;
    CSelectObject selectBitmap(mem, bitmap.Get());

    bool selected = (item->itemState & ODS_SELECTED) != 0;
    CBrushHandle fill(::CreateSolidBrush(selected ? m_selectedBackgroundColour : m_backgroundColour));
    RECT all = {0, 0, width, height};
    if (fill)
        ::FillRect(mem, &all, fill.Get());

    int textLeft = DpiScaleLinearX(4);
    if (m_itemData && m_itemData->HasIcons()) {
        m_itemData->DrawItemIcon(mem, static_cast<int>(item->itemID), DpiScaleLinearX(4), height);
        textLeft = DpiScaleLinearX(24);
    }

    std::wstring text = ItemText(m_owner, m_hWnd, item->itemID);
    CSelectObject selectFont(mem, Font());
    ::SetBkMode(mem, TRANSPARENT);
    ::SetTextColor(mem, selected ? m_selectedTextColour : m_textColour);
    RECT textRect = {textLeft, 1, width - 8, height - 2};
    ::DrawTextW(mem, text.c_str(), static_cast<int>(text.size()), &textRect,
                DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);

    ::BitBlt(item->hDC, item->rcItem.left, item->rcItem.top, width, height, mem, 0, 0, SRCCOPY);
}

bool CPelComboBox_ListBox::OnChildNotify(UINT msg, WPARAM, LPARAM lParam, LRESULT* result)
{
    if (msg != WM_DRAWITEM)
        return false;
    DrawItem(reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
    *result = TRUE;
    return true;
}

void CPelComboBox_ListBox::PaintBorder()
{
    HDC dc = ::GetWindowDC(m_hWnd);
    if (!dc)
        return;
    RECT window = {};
    ::GetWindowRect(m_hWnd, &window);
    RECT client = {};
    ::GetClientRect(m_hWnd, &client);
    ::MapWindowPoints(m_hWnd, nullptr, reinterpret_cast<POINT*>(&client), 2);
    ::OffsetRect(&client, -window.left, -window.top);
    ::ExcludeClipRect(dc, client.left, client.top, client.right, client.bottom);
    RECT all = {0, 0, window.right - window.left, window.bottom - window.top};
    CBrushHandle border(::CreateSolidBrush(m_borderColour));
    if (border)
        ::FillRect(dc, &all, border.Get());
    ::ReleaseDC(m_hWnd, dc);
}

LRESULT CPelComboBox_ListBox::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_NCPAINT: {
        LRESULT result = DefWindowProc(msg, wParam, lParam);
        PaintBorder();
        return result;
    }
    case WM_SHOWWINDOW: {
        LRESULT result = DefWindowProc(msg, wParam, lParam);
        if (!wParam && m_owner)
            ::SendMessageW(m_owner, CPelComboBox::kMsgListHidden, 0, 0);
        return result;
    }
    default:
        return CListBox::WindowProc(msg, wParam, lParam);
    }
}

LRESULT CPelComboBox_Edit::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    bool readOnly = IsReadOnly();
    switch (msg) {
    case WM_SETFOCUS: {
        // A read-only field never keeps the focus. The combo box itself passes its focus on to
        // the field, so handing it back to the combo box would bounce between the two for
        // ever: then the field keeps it and the combo box still reports its focus.
        auto previous = reinterpret_cast<HWND>(wParam);
        if (readOnly && previous && previous != m_owner && previous != m_hWnd &&
            ::IsWindow(previous)) {
            ::SetFocus(previous);
            return 0;
        }
        LRESULT result = DefWindowProc(msg, wParam, lParam);
        if (m_owner)
            ::InvalidateRect(m_owner, nullptr, FALSE); // the box draws the focus cue
        return result;
    }
    case WM_KILLFOCUS:
    case WM_SETTEXT: {
        // The box shows the selected item and the focus itself: the selection the keyboard
        // changes reaches the field as its new text.
        LRESULT result = DefWindowProc(msg, wParam, lParam);
        if (m_owner)
            ::InvalidateRect(m_owner, nullptr, FALSE);
        return result;
    }
    case WM_LBUTTONDOWN:
        if (readOnly && m_owner) {
            POINT point = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
            ::MapWindowPoints(m_hWnd, m_owner, &point, 1);
            ::SendMessageW(m_owner, WM_LBUTTONDOWN, wParam, MAKELPARAM(point.x, point.y));
            return 0;
        }
        return DefWindowProc(msg, wParam, lParam);
    case WM_LBUTTONDBLCLK:
        if (readOnly)
            return 0;
        return DefWindowProc(msg, wParam, lParam);
    case EM_SETSEL:
        if (readOnly)
            return 0;
        return DefWindowProc(msg, wParam, lParam);
    case WM_SETCURSOR:
        if (readOnly) {
            ::SetCursor(::LoadCursorW(nullptr, IDC_ARROW));
            return TRUE;
        }
        return DefWindowProc(msg, wParam, lParam);
    case WM_MOUSEMOVE:
        if (!m_tracking) {
            m_tracking = TrackMouse(TME_LEAVE);
            if (m_owner)
                ::SendMessageW(m_owner, CPelComboBox::kMsgEditMouseEnter, 0, 0);
        }
        return DefWindowProc(msg, wParam, lParam);
    case WM_MOUSELEAVE:
        m_tracking = false;
        if (m_owner)
            ::SendMessageW(m_owner, CPelComboBox::kMsgEditMouseLeave, 0, 0);
        return DefWindowProc(msg, wParam, lParam);
    case WM_ERASEBKGND:
        return TRUE;
    default:
        return CEdit::WindowProc(msg, wParam, lParam);
    }
}
