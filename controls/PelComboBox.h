// The installer's drop-down selector: a system drop-down combo box (CBS_DROPDOWN,
// CBS_OWNERDRAWFIXED, CBS_HASSTRINGS) taken over completely. The edit field is hidden (and
// normally read-only), the closed box is painted here (flat field, selected text, arrow strip,
// one-pixel outline lit while the mouse is over it), a click anywhere opens or closes the list,
// and the drop-down list is owner-drawn in the theme's colours.
#pragma once

#include "controls/Accessible.h"
#include "framework/Controls.h"
#include "framework/Handles.h"

#include <map>
#include <memory>

class CImageWrapper;

// Per-item record of the combo box.
struct ITEMDATA_VS
{
    HICON hIcon = nullptr; // owned by the data manager
};

// Per-item data of one combo box: icons by item index and the switch that says whether items
// carry icons. Every icon it holds is destroyed with it.
class CComboboxDataManager
{
public:
    CComboboxDataManager() = default;
    virtual ~CComboboxDataManager();
    CComboboxDataManager(const CComboboxDataManager&) = delete;
    CComboboxDataManager& operator=(const CComboboxDataManager&) = delete;

    // Takes ownership of icon for the item; an icon the item had before is destroyed.
    void SetItemIcon(int index, HICON icon);
    // The item's icon, or null.
    HICON GetItemIcon(int index) const;
    // Draws the item's icon at its natural size, x from the left, centred in areaHeight.
    void DrawItemIcon(HDC dc, int index, int x, int areaHeight) const;
    // Destroys every icon and forgets all items.
    void Clear();
    int ItemCount() const { return static_cast<int>(m_items.size()); }

    void SetHasIcons(bool hasIcons) { m_hasIcons = hasIcons; }
    bool HasIcons() const { return m_hasIcons; }

private:
    std::map<int, ITEMDATA_VS> m_items;
    bool m_hasIcons = false;
};

// Subclass of the combo box's drop-down list window.
class CPelComboBox_ListBox : public CListBox
{
public:
    CPelComboBox_ListBox() = default;
    ~CPelComboBox_ListBox() override = default;

    void SetOwner(HWND owner) { m_owner = owner; }
    HWND Owner() const { return m_owner; }
    // Item font, not owned; null means the shared TextFont.
    void SetFont(HFONT font) { m_font = font; }
    HFONT Font() const;
    void SetBorderColor(COLORREF colour) { m_borderColour = colour; }
    void SetTextColor(COLORREF normal, COLORREF selected)
    {
        m_textColour = normal;
        m_selectedTextColour = selected;
    }
    void SetBackgroundColor(COLORREF normal, COLORREF selected)
    {
        m_backgroundColour = normal;
        m_selectedBackgroundColour = selected;
    }
    void SetItemData(CComboboxDataManager* data) { m_itemData = data; }

    COLORREF BorderColor() const { return m_borderColour; }
    COLORREF TextColor() const { return m_textColour; }
    COLORREF SelectedTextColor() const { return m_selectedTextColour; }
    COLORREF BackgroundColor() const { return m_backgroundColour; }
    COLORREF SelectedBackgroundColor() const { return m_selectedBackgroundColour; }

    // Draws one item of the list (double-buffered); texts come from the combo box owner.
    void DrawItem(const DRAWITEMSTRUCT* item);

    void PreSubclassWindow() override;
    bool OnChildNotify(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    void PaintBorder();

    HWND m_owner = nullptr;
    HFONT m_font = nullptr;
    COLORREF m_borderColour = 0xD38A36;
    COLORREF m_textColour = 0xDFD8CE;
    COLORREF m_selectedTextColour = 0xDFD8CE;
    COLORREF m_backgroundColour = 0x201A14;
    COLORREF m_selectedBackgroundColour = 0x433C33;
    CComboboxDataManager* m_itemData = nullptr;
};

// Subclass of the combo box's edit field.
class CPelComboBox_Edit : public CEdit
{
public:
    CPelComboBox_Edit() = default;
    ~CPelComboBox_Edit() override = default;

    void SetOwner(HWND owner) { m_owner = owner; }
    HWND Owner() const { return m_owner; }
    bool IsTracking() const { return m_tracking; }

    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    HWND m_owner = nullptr;
    bool m_tracking = false;
};

// To screen readers a combo box named by its label (SetAccessibleLabels) whose value is the
// selected item's text.
class CPelComboBox : public CComboBox, public CAccessibleSource
{
public:
    // Private messages the parts send the combo box.
    static constexpr UINT kMsgEditMouseEnter = WM_USER + 1; // 1025
    static constexpr UINT kMsgEditMouseLeave = WM_USER + 2; // 1026
    static constexpr UINT kMsgListHidden = WM_USER + 3;     // 1027

    CPelComboBox();
    ~CPelComboBox() override;

    // Creates a drop-down combo box child and takes it over (as a subclassed dialog item is).
    bool Create(DWORD style, const RECT& rect, HWND parent, UINT id);

    // Where the arrow pictures come from; null (the default) is the program itself. Set it
    // before creating or subclassing; a later change reloads the picture.
    void SetResourceModule(HMODULE module);

    // Owner-settable properties. Colour changes repaint.
    void SetBackgroundColor(COLORREF colour);
    void SetArrowBackgroundColor(COLORREF colour);
    void SetTextColor(COLORREF colour);
    void SetBorderColor(COLORREF colour);
    void SetHotBorderColor(COLORREF colour);
    // Fonts are not owned; null means the shared TextFont.
    void SetFont(HFONT font);
    void SetListFont(HFONT font);
    // Colours of the drop-down list's border, items and selected item.
    void SetListColors(COLORREF border, COLORREF text, COLORREF selectedText,
                       COLORREF background, COLORREF selectedBackground);
    // Read-only state of the edit field (EM_SETREADONLY).
    void SetReadOnly(bool readOnly = true);
    bool IsReadOnly() const;
    // CB_SETITEMHEIGHT: index -1 is the selection field.
    void SetItemHeight(int index, int height);

    CComboboxDataManager& ItemData() { return *m_itemData; }
    CPelComboBox_ListBox& ListPart() { return *m_list; }
    CPelComboBox_Edit& EditPart() { return m_edit; }

    // State, for the owner and tests.
    bool IsHot() const { return m_hot; }
    bool IsArrowHover() const { return m_arrowHover; }
    bool IsFocused() const { return m_focused; }
    bool IsTracking() const { return m_tracking; }
    RECT ArrowRect() const { return m_arrowRect; }
    int ArrowFrameWidth() const { return m_arrowFrameWidth; }
    int ArrowFrameHeight() const { return m_arrowFrameHeight; }
    bool HasArrowImage() const;
    COLORREF BackgroundColor() const { return m_backgroundColour; }
    COLORREF ArrowBackgroundColor() const { return m_arrowBackgroundColour; }
    COLORREF TextColor() const { return m_textColour; }
    COLORREF BorderColor() const { return m_borderColour; }
    COLORREF HotBorderColor() const { return m_hotBorderColour; }

    void PreSubclassWindow() override;
    bool OnChildNotify(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    bool GetAccessibleFacts(long child, AccessibleFacts* facts) const override;

private:
    void AttachParts();
    void LoadArrowImage();
    void Layout();
    void Paint(HDC target, const RECT& client);
    void OnLButtonDown(POINT point);
    void OnMouseMove(POINT point);
    void OnMouseLeave();
    void UpdateDroppedWidth();
    void KeepListOnMonitor(HWND list);
    bool PointInArrow(POINT point) const;
    bool HasFocusNow() const;
    bool CursorInWindow() const;
    void RedrawNow();
    HFONT BoxFont() const;

    CPelComboBox_Edit m_edit;
    std::unique_ptr<CPelComboBox_ListBox> m_list;
    std::unique_ptr<CComboboxDataManager> m_itemData;
    HMODULE m_resourceModule = nullptr;
    std::shared_ptr<const CImageWrapper> m_arrowImage;
    HFONT m_font = nullptr;
    COLORREF m_backgroundColour = 0x201A14;
    COLORREF m_arrowBackgroundColour = 0x201A14;
    COLORREF m_textColour = 0xFFFFFF;
    COLORREF m_borderColour = 0x695A49;
    COLORREF m_hotBorderColour = 0xD38A36;
    BLENDFUNCTION m_blend = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    int m_arrowFrameCount = 3;
    int m_arrowFrameWidth = 16;
    int m_arrowFrameHeight = 16;
    RECT m_arrowRect = {};
    bool m_tracking = false;
    bool m_hot = false;
    bool m_arrowHover = false;
    bool m_focused = false;
    bool m_partsAttached = false;
};
