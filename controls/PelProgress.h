// CPelProgress: the thin rounded progress bar of the status panel. A plain child window drawn
// with Direct2D: a rounded track in one colour and over it the filled part, whose left end
// follows the track's rounding and whose right end is cut straight at the position.
#pragma once

#include "controls/Accessible.h"
#include "framework/Handles.h"
#include "framework/Wnd.h"

#include <windows.h>
#include <commctrl.h>

#include <string>

struct ID2D1Factory;
struct ID2D1DCRenderTarget;

// To screen readers a progress bar named by its label (SetAccessibleLabels) whose value is
// the whole percent filled ("42%"); a new value is announced.
class CPelProgress : public CWnd, public CAccessibleSource
{
public:
    CPelProgress();
    ~CPelProgress() override;

    // Creates the bar as a child window of the control window class (PelControlWindowClass).
    bool Create(DWORD style, const RECT& rect, HWND parent, UINT id);

    // Properties. The owner invalidates the window after changing them (SetPos does not
    // repaint by itself, so that several changes cost one paint).
    void SetBackgroundColor(COLORREF colour) { m_background = colour; }
    void SetTrackColor(COLORREF colour) { m_track = colour; }
    void SetFillColor(COLORREF colour) { m_fill = colour; }
    // A one-pixel outline along the track; CLR_NONE (the default) draws none.
    void SetOutlineColor(COLORREF colour) { m_outline = colour; }
    COLORREF GetBackgroundColor() const { return m_background; }
    COLORREF GetTrackColor() const { return m_track; }
    COLORREF GetFillColor() const { return m_fill; }
    COLORREF GetOutlineColor() const { return m_outline; }

    void SetPos(int position);
    int GetPos() const { return m_position; }
    // A maximum of 0 or less draws the track without fill.
    void SetMaximum(int maximum);
    int GetMaximum() const { return m_maximum; }
    // The filled part in whole percent with a percent sign, within 0% and 100%.
    std::wstring PercentValue() const;

    bool GetAccessibleFacts(long child, AccessibleFacts* facts) const override;

    // Only the width and height of the rectangle are used: the track is centred in the client.
    void SetTrackRect(const RECT& rect) { m_trackRect = rect; }
    RECT GetTrackRect() const { return m_trackRect; }

    // Corner radii of the track; they start as the theme's bar radii (3 px scaled, not rounded).
    void SetCornerRadius(float radiusX, float radiusY)
    {
        m_radiusX = radiusX;
        m_radiusY = radiusY;
    }
    float GetCornerRadiusX() const { return m_radiusX; }
    float GetCornerRadiusY() const { return m_radiusY; }

    // Tests: whether the Direct2D objects are held now, and how often they were created.
    bool HasRenderTargetForTesting() const { return static_cast<bool>(m_target); }
    int RenderTargetCreationsForTesting() const { return m_creations; }
    // Tests: the result of the last EndDraw (S_OK before any), and a way to make the next
    // paint act as though EndDraw had reported this result.
    long LastEndDrawResultForTesting() const { return m_lastEndDraw; }
    void FailNextEndDrawForTesting(long hr) { m_failNextEndDraw = hr; }

protected:
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    void OnPaint();
    bool EnsureRenderTarget();
    void ReleaseDeviceObjects();
    void Draw(HDC dc, const RECT& client);

    COLORREF m_background = 0;
    COLORREF m_track = 0;
    COLORREF m_fill = 0;
    COLORREF m_outline = CLR_NONE;
    int m_position = 0;
    int m_maximum = 100;
    RECT m_trackRect = {};
    float m_radiusX;
    float m_radiusY;

    ComPtr<ID2D1Factory> m_factory;
    ComPtr<ID2D1DCRenderTarget> m_target;
    int m_creations = 0;
    long m_lastEndDraw = 0;
    long m_failNextEndDraw = 0;
};
