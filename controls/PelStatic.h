// The label: a static dialog item that draws its own background and text in the theme's
// colours and fonts. A label can act as a link (hand cursor, focus rectangle); its clicks
// reach the parent as STN_CLICKED when the item has SS_NOTIFY.
#pragma once

#include "framework/Controls.h"

#include <string>

class CPelStatic : public CStatic
{
public:
    CPelStatic();
    ~CPelStatic() override;

    // Sets the text and the window text together. The owner invalidates after any setter.
    void SetText(const std::wstring& text);
    // Not owned. Without a font each drawing makes a 14-px Arial (linear DPI rule).
    void SetTextFont(HFONT font) { m_hFont = font; }
    void SetTextColor(COLORREF color) { m_crText = color; }
    void SetBackgroundColor(COLORREF color) { m_crBackground = color; }
    // DrawTextW flags that place the text in the control rectangle.
    void SetTextFormat(UINT format) { m_nFormat = format; }
    void SetLink(bool link) { m_bLink = link; }

    const std::wstring& GetText() const { return m_strText; }
    HFONT GetTextFont() const { return m_hFont; }
    COLORREF GetTextColor() const { return m_crText; }
    COLORREF GetBackgroundColor() const { return m_crBackground; }
    UINT GetTextFormat() const { return m_nFormat; }
    bool IsLink() const { return m_bLink; }
    bool IsFocused() const { return m_bFocused; }

    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    bool OnChildNotify(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

protected:
    void PreSubclassWindow() override;
    // Draws the text into dc within rect; a subclass may draw it differently.
    virtual void DrawLabelText(HDC dc, const std::wstring& text, RECT* rect);
    // Draws the whole item: background, text, focus rectangle of a focused link.
    virtual void DrawItem(const DRAWITEMSTRUCT& item);

private:
    std::wstring m_strText;
    HFONT m_hFont = nullptr; // not owned
    COLORREF m_crText = 0;
    COLORREF m_crBackground = 0;
    UINT m_nFormat = 0;
    bool m_bLink = false;
    bool m_bFocused = false;
};
