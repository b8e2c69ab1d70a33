// Placeholder of the success panel until its controls land: the class the main dialog creates.
#pragma once

#include "panels/GuidePanel.h"
#include "res/resource.h"

class CSuccessPanel : public CGuidePanel
{
public:
    CSuccessPanel() : CGuidePanel(IDD_SUCCESS_PANEL) {}
};
