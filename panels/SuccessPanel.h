// The last wizard panel, shown after a successful installation in a normal run: the product
// icon, "<product> is ready" and one button, Start Now, which opens the product's home page
// (when the installation reported one) and half a second later starts the product as the
// desktop user and closes the installer.
#pragma once

#include "controls/PelButton.h"
#include "controls/PelStatic.h"
#include "controls/PelTextButton.h"
#include "panels/GuidePanel.h"
#include "res/resource.h"

#include <string>

class CSuccessPanel : public CGuidePanel
{
public:
    static constexpr UINT_PTR TIMER_LAUNCH = 1125;
    static constexpr UINT kLaunchDelayMs = 500;

    CSuccessPanel();
    ~CSuccessPanel() override;

    void DrawContent(HDC dc) override;
    void LayoutControls(const RECT& client) override;
    void OnShowPanel() override;
    void ApplyTexts() override;
    void ApplyPalette() override;
    // Closing on this panel opens the home page (once) but does not start the product.
    bool CanClose() override;
    // Start Now.
    int DefaultButtonId() const override { return IDC_START_NOW; }

    // Opens the home page the installation reported, once per run and only for a product
    // that was not installed before; true when it was opened now.
    bool OpenHomePageOnce();

    // The ready message of the heading ("%s is ready" with the short name).
    static std::wstring ReadyText();

    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

    // For tests.
    bool IsLaunchTicked() const { return m_bLaunchTicked != 0; }
    bool IsHomePageOpened() const { return m_bHomePageOpened != 0; }
    CPelTextButton& GetStartButton() { return m_startButton; }
    CPelButton& GetLaunchCheck() { return m_launchCheck; }
    CPelStatic& GetLaunchLabel() { return m_launchLabel; }
    // Where DrawContent put the icon and the heading (client coordinates) at its last call.
    RECT GetIconRectForTesting() const { return m_iconRect; }
    RECT GetHeadingRectForTesting() const { return m_headingRect; }

protected:
    BOOL OnInitDialog() override;

private:
    void OnStartNow();
    void OnLaunchCheck();
    void UpdateLaunchImage();
    void OnLaunchTimer();

    CPelTextButton m_startButton;
    CPelButton m_launchCheck;
    CPelStatic m_launchLabel;
    int m_bLaunchTicked = 1;
    int m_bHomePageOpened = 0;
    RECT m_iconRect = {};
    RECT m_headingRect = {};
};
