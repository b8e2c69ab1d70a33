// The installer's main window: hosts the three wizard panels as child dialogs and shows
// exactly one of them, sized to it; routes the user's close request to the shown panel.
#pragma once

#include "controls/PelDialog.h"
#include "panels/PanelHost.h"

#include <memory>
#include <unordered_map>

class CGuidePanel;

class CInstallGuide : public CPelDialog, public IPanelHost
{
public:
    CInstallGuide();
    ~CInstallGuide() override;

    bool SwitchToPanel(int index) override;
    void FitToPanel() override;
    int CurrentPanel() const override { return m_nCurrentPanel; }
    bool HasPanel(int index) const override { return m_panels.count(index) != 0; }
    // The panel with that index, or null.
    CGuidePanel* GetPanel(int index) const;

    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

    std::unordered_map<int, std::shared_ptr<CGuidePanel>> m_panels;
    int m_nCurrentPanel = PANEL_SETTINGS;

protected:
    BOOL OnInitDialog() override;
    void OnClientAreaSized(const RECT& client) override;
    void OnOK() override {}
    void OnCancel() override {}
};
