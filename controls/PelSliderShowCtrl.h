// CPelSliderShowCtrl: the product pictures on the status panel. A plain child window that
// repaints itself about thirty times a second and works out from the elapsed time which
// picture to show (controls/SlideShowMath.h). A click anywhere asks the parent to open the
// slide-show link; the cursor over the control is the hand.
#pragma once

#include "controls/Accessible.h"
#include "controls/SlideShowMath.h"
#include "framework/Wnd.h"

#include <windows.h>

#include <string>
#include <vector>

// Sent (synchronously) to the parent on a left-button press, both parameters 0; posted for a
// screen reader's default action.
constexpr UINT WM_PEL_SLIDESHOW_CLICK = WM_USER + 250;

// One picture of the show. The control does not own the bitmap: whoever loaded it keeps it
// alive as long as the control may draw it.
struct SlideRecord
{
    int width = 0;
    int height = 0;
    HBITMAP bitmap = nullptr;
    std::wstring title; // what a screen reader calls the picture; may be empty
};

// To screen readers a graphic named by the title of the picture shown (or by its place,
// "2 / 3", when it has none); its default action opens the slide-show link as a click does.
class CPelSliderShowCtrl : public CWnd, public CAccessibleSource
{
public:
    static constexpr UINT_PTR kAnimationTimer = 1;
    static constexpr UINT kAnimationPeriodMs = 33;

    CPelSliderShowCtrl() = default;
    ~CPelSliderShowCtrl() override = default;

    // Creates the control as a child window of the control window class.
    bool Create(DWORD style, const RECT& rect, HWND parent, UINT id);

    void SetBackgroundColor(COLORREF colour) { m_background = colour; }
    COLORREF GetBackgroundColor() const { return m_background; }

    // The margins shrink the picture area (its width A and height B) inside the client area;
    // positions stay measured from the client origin.
    void SetMargins(int left, int top, int right, int bottom);
    RECT GetMargins() const { return m_margins; }

    // Seconds a picture stands still and seconds a push lasts (7.5 and 0.6 by default).
    void SetDisplayTime(double seconds) { m_displaySeconds = seconds; }
    void SetTransitionTime(double seconds) { m_transitionSeconds = seconds; }
    double GetDisplayTime() const { return m_displaySeconds; }
    double GetTransitionTime() const { return m_transitionSeconds; }

    // The slide list, in showing order. Records without bitmap or with an empty size are kept
    // in the order but draw nothing.
    void ClearSlides() { m_slides.clear(); }
    void AddSlide(const SlideRecord& slide) { m_slides.push_back(slide); }
    void AddSlide(HBITMAP bitmap, int width, int height, const std::wstring& title = {})
    {
        m_slides.push_back({width, height, bitmap, title});
    }
    const std::vector<SlideRecord>& GetSlides() const { return m_slides; }

    // Tests: what the last paint drew (pictures and their positions).
    const SlideFrame& LastFrameForTesting() const { return m_lastFrame; }
    int PaintCountForTesting() const { return m_paints; }

    bool GetAccessibleFacts(long child, AccessibleFacts* facts) const override;
    bool DoAccessibleDefaultAction(long child) override;

protected:
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    // A dialog item subclassed as a slide show never sees WM_CREATE: its animation starts here.
    void PreSubclassWindow() override;

private:
    void OnPaint();
    void DrawSlides(HDC target, HDC source, const RECT& client);

    COLORREF m_background = 0x1E1918;
    RECT m_margins = {};
    double m_displaySeconds = kSlideDisplaySeconds;
    double m_transitionSeconds = kSlideTransitionSeconds;
    std::vector<SlideRecord> m_slides;
    SlideFrame m_lastFrame;
    int m_paints = 0;
};
