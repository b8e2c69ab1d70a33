// Placeholder of the setting panel until its controls land: the class the main dialog creates.
#pragma once

#include "panels/GuidePanel.h"
#include "res/resource.h"

class CSettingPanel : public CGuidePanel
{
public:
    CSettingPanel() : CGuidePanel(IDD_SETTING_PANEL) {}
};
