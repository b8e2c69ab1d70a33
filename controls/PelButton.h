// The image button: a flat coloured area drawn with GDI, with a framed highlight under the
// mouse or while pressed, an optional centred alpha-blended picture and an optional centred
// caption. Used as a subclassed dialog item (check boxes, the settings toggle, browse).
#pragma once

#include "controls/ButtonClickCycle.h"
#include "controls/Images.h"
#include "framework/Controls.h"

#include <string>

class CPelButton : public CButton
{
public:
    CPelButton();
    ~CPelButton() override;

    // Sets the four colours and the caption, and drops any picture.
    void SetColorsAndText(COLORREF normal, COLORREF hover, COLORREF pressed, COLORREF border,
                          const std::wstring& caption);
    // Takes the bitmap and size of a decoded picture (one frame, frames side by side). The
    // bitmap is not owned: the caller keeps the picture alive; it invalidates the button.
    void SetButtonImage(const CImageWrapper& image);

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

    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    bool PreTranslateMessage(MSG* msg) override;
    bool OnChildNotify(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

protected:
    void PreSubclassWindow() override;
    // Draws the whole item (double-buffered) into the item DC.
    virtual void DrawItem(const DRAWITEMSTRUCT& item);

private:
    void OnLButtonDown();
    void OnLButtonUp(LPARAM lParam);
    void OnCaptureChanged(HWND newCapture);
    void DrawContent(HDC dc, int width, int height);

    COLORREF m_crNormal = 0;
    COLORREF m_crHover = 0;
    COLORREF m_crPressed = 0;
    COLORREF m_crBorder = 0;
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
};
