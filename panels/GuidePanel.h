// Common base of the wizard panels: a child dialog of the main dialog that fills its client
// area, paints the dark background with the panel logo through one off-screen buffer, and
// offers the hooks the main dialog and the derived panels use.
#pragma once

#include "framework/Controls.h"
#include "panels/PanelHost.h"

#include <string>

class CGuidePanel : public CDialog
{
public:
    explicit CGuidePanel(UINT templateId);
    ~CGuidePanel() override;

    // Paints the panel's own content (icons, headings) into the background buffer.
    virtual void DrawContent(HDC dc);
    // Places the panel's controls in the client rectangle (origin 0, 0).
    virtual void LayoutControls(const RECT& client);
    // The window size this panel wants; the default panel size.
    virtual SIZE GetPanelSize();
    // Called by the main dialog right before the panel is shown.
    virtual void OnShowPanel();
    // Sets every text of the panel again from the UI strings (after a language change).
    virtual void ApplyTexts();
    // The user asked to close the main window while this panel is shown.
    virtual bool CanClose();
    // The id of the panel's default button, which Enter presses wherever the focus is in
    // the panel (unless the focused control takes Enter itself); 0 for none.
    virtual int DefaultButtonId() const;
    // Presses the default button as a click would, when it is shown and enabled; false when
    // nothing was pressed.
    bool PressDefaultButton();
    // Gives the panel's controls their colours from the palette: at initialisation and again
    // whenever the system's colours change (WM_SYSCOLORCHANGE, passed on by the main window).
    virtual void ApplyPalette();

    // Shows the panel after this one; false when the parent is not the main dialog or there
    // is no next panel.
    bool GoToNextPanel();

    // Measures text in font (null: the DC's font). A measured width above 0 replaces
    // size->cx, and size->cy becomes the larger of the measured and the given height;
    // otherwise the size stays as given.
    void MeasureText(const std::wstring& text, HFONT font, SIZE* size);

    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

    // Module whose PNG resources hold the panel logo; null (the default) means the program's
    // own. Tests that run outside the installer point it at the installer's module.
    void SetImageModule(HMODULE module) { m_hImageModule = module; }
    HMODULE GetImageModule() const { return m_hImageModule; }

protected:
    BOOL OnInitDialog() override;
    // Enter and Escape close neither the panel nor the main window.
    void OnOK() override {}
    void OnCancel() override {}
    // Removes the frame styles a panel template may carry.
    void RemoveFrameStyles();
    // The window hosting the panel (the main dialog), when the parent is one.
    IPanelHost* GetHost() const;

private:
    // Paints the whole background through one off-screen bitmap; false when the buffer could
    // not be made (the caller then lets the default erase run).
    bool PaintBackground(HDC target);
    void DrawPanelLogo(HDC dc, const RECT& client);

    HMODULE m_hImageModule = nullptr;
};
