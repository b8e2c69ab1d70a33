// The text button: an accent-coloured rounded rectangle with centred, word-wrapped text,
// drawn with Direct2D and DirectWrite. The panels use it for their main actions; it can be
// disabled by its owner (SetButtonEnabled), which greys it and makes it ignore the mouse and
// the keyboard. Space presses it while it has the focus.
#pragma once

#include "controls/Accessible.h"
#include "controls/ButtonClickCycle.h"
#include "framework/Controls.h"
#include "framework/Handles.h"

#include <commctrl.h>

#include <string>

struct ID2D1DCRenderTarget;
struct ID2D1Factory;
struct IDWriteFactory;
struct IDWriteTextFormat;

// To screen readers a push button named by its text.
class CPelTextButton : public CButton, public CAccessibleSource
{
public:
    // Colours and corner radii start from the theme (palette and scaled constants as they
    // are when the button is constructed); the colours follow the palette again at each
    // WM_SYSCOLORCHANGE.
    CPelTextButton();
    ~CPelTextButton() override;

    // Replaces the text and the window text, so that what reads the window (a screen
    // reader, the system's proxy) finds the text shown; the owner repaints.
    void SetButtonText(const std::wstring& text);
    // Clears every transient state, sets the flag and the window's enabled state and, when
    // the flag changed, repaints at once.
    void SetButtonEnabled(bool enabled);

    // Shape colours by state and the fill around the shape.
    void SetColors(COLORREF background, COLORREF disabled, COLORREF normal, COLORREF hover,
                   COLORREF pressed);
    void SetTextColors(COLORREF disabled, COLORREF normal, COLORREF hover, COLORREF pressed);
    // A one-pixel outline along the shape (grey like the text while disabled); CLR_NONE
    // draws none.
    void SetOutlineColor(COLORREF colour) { m_crOutline = colour; }
    COLORREF GetOutlineColor() const { return m_crOutline; }
    void SetCornerRadius(float radiusX, float radiusY);

    // State, for the owner and for tests.
    const std::wstring& GetButtonText() const { return m_strText; }
    bool IsButtonEnabled() const { return m_bEnabled; }
    bool IsHover() const { return m_bHover; }
    bool IsPressed() const { return m_click.IsPressed(); }
    bool IsCaptured() const { return m_click.IsCaptured(); }
    bool IsTracking() const { return m_bTracking; }
    float GetCornerRadiusX() const { return m_fRadiusX; }
    float GetCornerRadiusY() const { return m_fRadiusY; }
    // The shape and text colours of the current state (disabled > hover > pressed > normal).
    COLORREF StateColor() const;
    COLORREF StateTextColor() const;
    // Whether all four Direct2D/DirectWrite objects exist (made by the first paint).
    bool HasDeviceResources() const
    {
        return m_renderTarget.Get() && m_factory.Get() && m_writeFactory.Get() &&
               m_textFormat.Get();
    }
    // What a paint does with the result of EndDraw: a lost target drops the device objects
    // so that the next paint makes them again. Public so tests can hand it a lost target.
    void OnEndDraw(HRESULT hr);
    // A corner radius no larger than half the side it rounds, so the shape stays a rounded
    // rectangle (a capsule at most) on a button smaller than twice the theme radius.
    static float ClampRadius(float radius, float length)
    {
        return radius < length / 2.0f ? radius : length / 2.0f;
    }
    // The corner radii the shape is drawn with at this size.
    void GetShapeRadii(float width, float height, float* radiusX, float* radiusY) const
    {
        *radiusX = ClampRadius(m_fRadiusX, width);
        *radiusY = ClampRadius(m_fRadiusY, height);
    }

    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    bool PreTranslateMessage(MSG* msg) override;
    bool GetAccessibleFacts(long child, AccessibleFacts* facts) const override;
    bool DoAccessibleDefaultAction(long child) override;

private:
    // All colours from the palette as it is now.
    void TakeThemeColors();
    bool CreateDeviceResources();
    void ReleaseDeviceResources();
    void Paint();
    void Redraw();
    void OnLButtonDown();
    void OnLButtonUp(LPARAM lParam);
    void OnMouseMove();

    COLORREF m_crBackground;
    COLORREF m_crDisabled;
    COLORREF m_crNormal;
    COLORREF m_crHover;
    COLORREF m_crPressed;
    COLORREF m_crDisabledText;
    COLORREF m_crNormalText;
    COLORREF m_crHoverText;
    COLORREF m_crPressedText;
    COLORREF m_crOutline;
    std::wstring m_strText;
    bool m_bEnabled = true;
    bool m_bHover = false;
    CButtonClickCycle m_click;
    bool m_bTracking = false;
    float m_fRadiusX;
    float m_fRadiusY;
    ComPtr<ID2D1DCRenderTarget> m_renderTarget;
    ComPtr<ID2D1Factory> m_factory;
    ComPtr<IDWriteFactory> m_writeFactory;
    ComPtr<IDWriteTextFormat> m_textFormat;
};
