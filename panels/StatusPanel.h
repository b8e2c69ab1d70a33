// Placeholder of the status panel until its controls land: the class the main dialog creates.
#pragma once

#include "panels/GuidePanel.h"
#include "res/resource.h"

class CStatusPanel : public CGuidePanel
{
public:
    CStatusPanel() : CGuidePanel(IDD_STATUS_PANEL) {}
};
