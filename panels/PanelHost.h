// What a wizard panel needs from the window that hosts it. The main dialog implements it;
// panels find it as their parent window's object, so they never depend on the main dialog.
#pragma once

class CGuidePanel;

enum GuidePanelIndex
{
    PANEL_SETTINGS = 0,
    PANEL_STATUS = 1,
    PANEL_SUCCESS = 2,
};

// The run flags of the application that panels act on, fixed before the main dialog runs.
struct PanelRunFlags
{
    int m_bSilent = 0;             // /s: no user interface, end when the worker ends
    int m_bLaunchAfterInstall = 0; // /l: start the product instead of the success panel
    int m_bProductInstalled = 0;   // the product was installed before this run
};

class IPanelHost
{
public:
    // The application's run flags.
    virtual const PanelRunFlags& RunFlags() const = 0;
    // Shows the panel with that index; false (and nothing changed) when there is none.
    virtual bool SwitchToPanel(int index) = 0;
    // Sets the host window's outer size from the current panel.
    virtual void FitToPanel() = 0;
    // Index of the panel shown.
    virtual int CurrentPanel() const = 0;
    // Whether a panel with that index exists.
    virtual bool HasPanel(int index) const = 0;

protected:
    ~IPanelHost() = default;
};
