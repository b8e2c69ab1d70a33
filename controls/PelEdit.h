// The installer's single-line text field: the system edit control with its sunken border
// removed, the text line centred vertically, the margins painted in the field colour and a
// one-pixel outline that lights up while the field is active. The first click into an inactive
// field selects everything, the clipboard shortcuts work even inside a dialog, and the right
// button selects instead of opening a context menu. Reached by the keyboard, the outline shows
// the focus cue.
#pragma once

#include "controls/Accessible.h"
#include "framework/Controls.h"
#include "framework/Handles.h"

#include <string>

// To screen readers editable text named by its label (SetAccessibleLabels), valued by its text.
class CPelEdit : public CEdit, public CAccessibleSource
{
public:
    CPelEdit();
    ~CPelEdit() override;

    // Owner-settable properties; a new background colour recreates the brush.
    void SetBorderColor(COLORREF colour);
    void SetActiveBorderColor(COLORREF colour);
    void SetBackgroundColor(COLORREF colour);
    void SetTextColor(COLORREF colour);
    // Text of a disabled or read-only field; the system's grey until the owner sets one.
    void SetDisabledTextColor(COLORREF colour);
    // Without paste no way of pasting reaches the field: not Ctrl+V, Shift+Insert, the
    // context menu, the middle button or WM_PASTE.
    void SetPasteAllowed(bool allowed) { m_pasteAllowed = allowed; }

    COLORREF BorderColor() const { return m_borderColour; }
    COLORREF ActiveBorderColor() const { return m_activeBorderColour; }
    COLORREF BackgroundColor() const { return m_backgroundColour; }
    COLORREF TextColor() const { return m_textColour; }
    COLORREF DisabledTextColor() const { return m_disabledTextColour; }
    HBRUSH BackgroundBrush() const { return m_backgroundBrush.Get(); }
    bool IsPasteAllowed() const { return m_pasteAllowed; }

    // State: active (clicked or focused by the mouse and not left since), clicked (any left
    // click so far) and the window text as it was at the last left click.
    bool IsActive() const { return m_active; }
    bool WasClicked() const { return m_clicked; }
    const std::wstring& TextSnapshot() const { return m_textSnapshot; }

    void PreSubclassWindow() override;
    bool PreTranslateMessage(MSG* msg) override;
    bool OnChildNotify(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    bool GetAccessibleFacts(long child, AccessibleFacts* facts) const override;

private:
    LRESULT OnNcCalcSize(WPARAM wParam, LPARAM lParam);
    void OnNcPaint();
    void OnLButtonDown(WPARAM wParam, LPARAM lParam);
    void OnRightButtonDown();
    bool OnControlKey(WPARAM key);
    HBRUSH OnCtlColor(HDC dc) const;
    int TextLineHeight() const;

    COLORREF m_borderColour = 0x695A49;
    COLORREF m_activeBorderColour = 0xD38A36;
    COLORREF m_backgroundColour = 0x201A14;
    COLORREF m_textColour = 0xFFFFFF;
    COLORREF m_disabledTextColour;
    CBrushHandle m_backgroundBrush;
    bool m_active = false;
    bool m_pasteAllowed = true;
    bool m_clicked = false;
    std::wstring m_textSnapshot;
};
