// The installer's main window: hosts the three wizard panels as child dialogs and shows
// exactly one of them, sized to it; routes the user's close request to the shown panel.
#pragma once

#include "controls/PelDialog.h"
#include "framework/Handles.h"
#include "panels/PanelHost.h"

#include <functional>
#include <memory>
#include <unordered_map>

class CGuidePanel;

class CInstallGuide : public CPelDialog, public IPanelHost
{
public:
    CInstallGuide();
    // The application passes its run flags in; panels read them through RunFlags().
    explicit CInstallGuide(const PanelRunFlags& flags);
    ~CInstallGuide() override;

    bool SwitchToPanel(int index) override;
    void FitToPanel() override;
    int CurrentPanel() const override { return m_nCurrentPanel; }
    bool HasPanel(int index) const override { return m_panels.count(index) != 0; }
    const PanelRunFlags& RunFlags() const override { return m_flags; }
    // The panel with that index, or null.
    CGuidePanel* GetPanel(int index) const;

    // Must be set before the window is created.
    void SetRunFlags(const PanelRunFlags& flags) { m_flags = flags; }

    // Makes the panel object for an index (null: no panel there). The default makes the
    // settings, status and success panels; tests put their own panels in.
    using PanelFactory = std::function<std::shared_ptr<CGuidePanel>(int index)>;
    void SetPanelFactory(PanelFactory factory) { m_panelFactory = std::move(factory); }
    // Module holding the window icon; the program's own unless set.
    void SetIconModule(HMODULE module) { m_hIconModule = module; }

    // State, for tests.
    bool IsCentred() const { return m_bCentred; }

    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

    std::unordered_map<int, std::shared_ptr<CGuidePanel>> m_panels;
    int m_nCurrentPanel = PANEL_SETTINGS;

protected:
    BOOL OnInitDialog() override;
    void OnClientAreaSized(const RECT& client) override;
    // Enter: the shown panel's default button (the dialog has no default id of its own).
    void OnOK() override;
    // Escape: the close request, as the caption's Close makes it.
    void OnCancel() override;

private:
    void SetWindowIcons();
    void CreatePanels();
    void HideForSilentRun();
    void CentreOnWorkArea();
    void OnCloseRequest();
    void FocusPanel(CGuidePanel& panel);

    PanelRunFlags m_flags;
    PanelFactory m_panelFactory;
    HMODULE m_hIconModule = nullptr;
    CIconHandle m_bigIcon;
    CIconHandle m_smallIcon;
    bool m_bCentred = false;
};

// The run outcome once the main dialog has ended: a failure when it never opened (nothing
// could be installed), else what was reported, or a cancellation when the dialog ended
// without any report (the user closed it before the run could finish).
DWORD OutcomeAfterMainDialog(bool opened, bool reported, DWORD reportedCode);
