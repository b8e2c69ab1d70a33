// Base of the installer's top-level dialogs: a flat frame of its own (caption bar with
// optional icon and title, one-pixel border, owner-drawn caption buttons), the client
// background, and one layout hook for derived dialogs.
#pragma once

#include "controls/Accessible.h"
#include "controls/CaptionButton.h"
#include "controls/Images.h"
#include "framework/Controls.h"
#include "framework/Handles.h"

#include <memory>
#include <vector>

// To screen readers the caption buttons are the push buttons of the window's title bar
// (OBJID_TITLEBAR, numbered as the system numbers its own: 2 Minimize, 3 Maximize or Restore,
// 5 Close), named as the window menu names the same commands. They take no focus.
class CPelDialog : public CDialogEx, public CAccessibleSource
{
public:
    explicit CPelDialog(UINT templateId, HWND parent = nullptr);
    ~CPelDialog() override;

    // Shows or hides icon and title in the caption bar; repaints the frame at once.
    void SetTitleVisible(bool visible);
    // Caption button ids: 0 Close, 1 Maximize, 2 Restore, 3 Minimize.
    void SetCaptionButtonDisabled(int id, bool disabled);
    // Paints the whole non-client area now.
    void RepaintFrame();

    // Module whose PNG resources hold the caption images; the program's own unless set.
    // Takes effect for buttons built afterwards (set it before creating the window).
    void SetImageModule(HMODULE module) { m_hImageModule = module; }

    // Frame insets (caption band plus border, or the maximised overhang) in device pixels:
    // left, top, right, bottom of the client area inside the window.
    static RECT FrameInsets(bool maximised);

    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

    // State, for tests and derived dialogs.
    const std::vector<CaptionButton>& CaptionButtons() const { return m_buttons; }
    bool IsTitleVisible() const { return m_bTitleVisible; }
    bool IsLayoutPending() const { return m_bLayoutPending; }
    bool IsLeaveTracking() const { return m_bLeaveTracking; }
    bool IsButtonHeld() const { return m_bButtonHeld; }
    HFONT CaptionFont() const { return m_captionFont.Get(); }
    // Caption-button hit test of a screen point; -1 for none.
    int HitTestCaptionButton(POINT screenPoint) const;

    // The title bar for screen readers.
    bool GetAccessibleFacts(long child, AccessibleFacts* facts) const override;
    long GetAccessibleChildCount() const override;
    bool GetAccessibleRect(long child, RECT* screen) const override;
    bool DoAccessibleDefaultAction(long child) override;

protected:
    BOOL OnInitDialog() override;
    // Called after every resize with the current client rectangle.
    virtual void OnClientAreaSized(const RECT& client);
    // A dialog from a template is attached only at WM_INITDIALOG, after its non-client
    // creation and first size calculation: the buttons are built and the frame recalculated
    // here instead.
    void PreSubclassWindow() override;

private:
    void BuildCaptionButtons();
    void PaintFrame(HDC windowDc);
    void DrawCaptionButton(HDC dc, const CaptionButton& button, const RECT& title) const;
    void DrawTitle(HDC dc, RECT title) const;
    void ApplyWindowRegion();
    void SendSysCommand(WPARAM command);
    // The caption button a title bar child stands for; null for the children this frame
    // has not (the reserved one, Help).
    const CaptionButton* CaptionButtonOfChild(long child) const;

    LRESULT OnNcCalcSize(WPARAM wParam, LPARAM lParam);
    LRESULT OnNcMouseMove(WPARAM wParam, LPARAM lParam);
    LRESULT OnNcMouseLeave();
    LRESULT OnNcLButtonDown(WPARAM wParam, LPARAM lParam);
    LRESULT OnNcLButtonUp(LPARAM lParam);
    // The capture was taken from a held caption button: the press ends undone.
    void OnCaptionPressLost();
    LRESULT OnNcLButtonDblClk(LPARAM lParam);
    // WM_SYSCOLORCHANGE or WM_SETTINGCHANGE: the palette again, and a repaint of everything.
    void OnSystemColoursChanged();
    LRESULT OnEraseBackground(HDC dc);
    LRESULT OnSize(WPARAM wParam, LPARAM lParam);

    CFontHandle m_captionFont;
    std::vector<CaptionButton> m_buttons;
    // The caption images stay referenced while the buttons draw them.
    std::vector<std::shared_ptr<const CImageWrapper>> m_images;
    HMODULE m_hImageModule = nullptr;
    bool m_bTitleVisible = false;
    bool m_bLayoutPending = false;
    bool m_bLeaveTracking = false;
    bool m_bButtonHeld = false;
};
