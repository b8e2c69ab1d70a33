// The label: a static dialog item that draws its own background and text in the theme's
// colours and fonts. A label can act as a link (hand cursor, focus cue around its text, Enter
// opens it); its clicks and Enter reach the parent as STN_CLICKED when the item has SS_NOTIFY.
#pragma once

#include "controls/Accessible.h"
#include "framework/Controls.h"
#include "framework/Handles.h"

#include <string>

// To screen readers a label is static text, read-only; a link (SS_NOTIFY) is a link.
class CPelStatic : public CStatic, public CAccessibleSource
{
public:
    CPelStatic();
    ~CPelStatic() override;

    // Sets the text and the window text together, and announces a new text as the new name.
    // The owner invalidates after any setter.
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
    bool GetAccessibleFacts(long child, AccessibleFacts* facts) const override;
    bool DoAccessibleDefaultAction(long child) override;

protected:
    void PreSubclassWindow() override;
    // Draws the text into dc within rect; a subclass may draw it differently.
    virtual void DrawLabelText(HDC dc, const std::wstring& text, RECT* rect);
    // Draws the whole item: background, text, focus cue of a focused link.
    virtual void DrawItem(const DRAWITEMSTRUCT& item);
    // Where a focused link draws its cue: around its text, inside rc.
    RECT FocusCueRect(HDC dc, const RECT& rc);
    // The owner's font, else a 14-px Arial made into fallback (which deletes it).
    HFONT TextFontOrFallback(CFontHandle* fallback) const;

private:
    std::wstring m_strText;
    HFONT m_hFont = nullptr; // not owned
    COLORREF m_crText = 0;
    COLORREF m_crBackground = 0;
    UINT m_nFormat = 0;
    bool m_bLink = false;
    bool m_bFocused = false;
};
