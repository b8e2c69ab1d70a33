// The image button: a flat coloured area drawn with GDI, with a framed highlight under the
// mouse or while pressed, an optional centred alpha-blended picture and an optional centred
// caption. Used as a subclassed dialog item (check boxes, the settings toggle, browse).
#pragma once

#include "controls/Accessible.h"
#include "controls/ButtonClickCycle.h"
#include "controls/Images.h"
#include "framework/Controls.h"

#include <commctrl.h>

#include <string>

class CPelButton : public CButton, public CAccessibleSource
{
public:
    // What the button is to a screen reader: a push button (the default), a check box or a
    // fold toggle (a push button that is expanded or collapsed).
    enum class Kind
    {
        PushButton,
        CheckBox,
        Toggle,
    };

    CPelButton();
    ~CPelButton() override;

    void SetKind(Kind kind) { m_kind = kind; }
    Kind GetKind() const { return m_kind; }
    // A check box's ticked state, which the owner shows with its picture; a check box also
    // answers BM_SETCHECK and BM_GETCHECK, which an owner-drawn button has not by itself.
    // A toggle's unfolded state. Changes are announced to screen readers.
    void SetChecked(bool checked);
    bool IsChecked() const { return m_bChecked; }
    void SetExpanded(bool expanded);
    bool IsExpanded() const { return m_bExpanded; }
    // The name a screen reader reads: this text if set, else the labels' texts
    // (SetAccessibleLabels), else the caption.
    void SetAccessibleName(const std::wstring& name) { m_strAccessibleName = name; }

    // Sets the four colours and the caption, and drops any picture.
    void SetColorsAndText(COLORREF normal, COLORREF hover, COLORREF pressed, COLORREF border,
                          const std::wstring& caption);
    // Takes the bitmap and size of a decoded picture (one frame, frames side by side). The
    // bitmap is not owned: the caller keeps the picture alive; it invalidates the button.
    void SetButtonImage(const CImageWrapper& image);
    // A one-pixel frame around the whole button in this colour; CLR_NONE (the default)
    // draws none.
    void SetOutlineColor(COLORREF colour) { m_crOutline = colour; }

    // State, for the owner and for tests.
    bool IsHover() const { return m_bHover; }
    bool IsPressed() const { return m_click.IsPressed(); }
    bool IsCaptured() const { return m_click.IsCaptured(); }
    bool IsTracking() const { return m_bTracking; }
    const std::wstring& GetCaption() const { return m_strCaption; }
    HBITMAP GetImageBitmap() const { return m_hImage; }
    int GetFrameCount() const { return m_nFrameCount; }
    COLORREF GetNormalColor() const { return m_crNormal; }
    COLORREF GetHoverColor() const { return m_crHover; }
    COLORREF GetPressedColor() const { return m_crPressed; }
    COLORREF GetBorderColor() const { return m_crBorder; }
    COLORREF GetOutlineColor() const { return m_crOutline; }
    // Whether Enter presses the button while it has the focus, as it does a focused push
    // button (a toggle is one); a check box leaves Enter to the dialog's default button and
    // takes Space alone.
    bool TakesEnter() const { return m_kind != Kind::CheckBox; }

    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    bool PreTranslateMessage(MSG* msg) override;
    bool OnChildNotify(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    bool GetAccessibleFacts(long child, AccessibleFacts* facts) const override;
    bool DoAccessibleDefaultAction(long child) override;

protected:
    void PreSubclassWindow() override;
    // Draws the whole item (double-buffered) into the item DC.
    virtual void DrawItem(const DRAWITEMSTRUCT& item);

private:
    void OnLButtonDown();
    void OnLButtonUp(LPARAM lParam);
    void OnCaptureChanged(HWND newCapture);
    LRESULT OnGetDlgCode(WPARAM wParam, LPARAM lParam);
    void DrawContent(HDC dc, int width, int height);

    COLORREF m_crNormal = 0;
    COLORREF m_crHover = 0;
    COLORREF m_crPressed = 0;
    COLORREF m_crBorder = 0;
    COLORREF m_crOutline = CLR_NONE;
    std::wstring m_strCaption;
    HBITMAP m_hImage = nullptr; // not owned
    int m_nImageWidth = 0;
    int m_nImageHeight = 0;
    int m_nFrameCount = 0; // 0: no picture
    bool m_bFramesHorizontal = true;
    BLENDFUNCTION m_blend;
    bool m_bTracking = false;
    bool m_bHover = false;
    CButtonClickCycle m_click;
    Kind m_kind = Kind::PushButton;
    bool m_bChecked = false;
    bool m_bExpanded = false;
    std::wstring m_strAccessibleName;
};
