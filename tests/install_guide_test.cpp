// The main dialog and the panel base through real windows: the first panel, switching and
// sizing, close requests and the keys that make them, Enter on the default button, the
// silent run, centring, the panel logo.
#include "app/InstallGuide.h"

#include "config/InstallConfig.h"
#include "controls/Dpi.h"
#include "controls/Images.h"
#include "controls/Palette.h"
#include "controls/Theme.h"
#include "panels/GuidePanel.h"
#include "res/resource.h"
#include "CaptureTestSupport.h"
#include "HostTestSupport.h"
#include "WinTestSupport.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

using testing_support::CapturedImage;
using testing_support::CaptureClient;
using testing_support::InstallerExePath;
using testing_support::NearColour;
using testing_support::PumpMessages;
using testing_support::CGuideTemplate;
using testing_support::CModalScript;
using testing_support::CTemplateWords;
using testing_support::InstallerModule;

namespace {

// A panel template with an edit control and a push button, for keys typed into a panel
// control.
class CEditPanelTemplate : public CTemplateWords
{
public:
    static constexpr int kEditId = 1001;
    static constexpr int kButtonId = 1002;
    CEditPanelTemplate()
    {
        Dword(DS_SETFONT | DS_CONTROL | WS_CHILD | WS_CLIPCHILDREN | WS_CAPTION | WS_THICKFRAME);
        Dword(WS_EX_DLGMODALFRAME);
        Word(2);
        Word(0), Word(0), Word(440), Word(300);
        Word(0), Word(0), Word(0);
        Word(8);
        Text(L"MS Shell Dlg");
        Align();
        Dword(WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL);
        Dword(0);
        Word(20), Word(20), Word(200), Word(14);
        Word(kEditId);
        Word(0xFFFF), Word(0x0081); // EDIT
        Word(0);                    // no text
        Word(0);                    // no creation data
        Align();
        Dword(WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON);
        Dword(0);
        Word(20), Word(40), Word(60), Word(14);
        Word(kButtonId);
        Word(0xFFFF), Word(0x0080); // BUTTON
        Text(L"Go");
        Word(0);
    }
};

// A panel that records the hooks the main dialog calls.
class CTestPanel : public CGuidePanel
{
public:
    explicit CTestPanel(int index, UINT templateId = IDD_SUCCESS_PANEL)
        : CGuidePanel(templateId), m_index(index)
    {
        SetResourceInstance(InstallerModule());
        SetImageModule(InstallerModule());
    }

    SIZE GetPanelSize() override { return m_bOwnSize ? m_size : CGuidePanel::GetPanelSize(); }
    int DefaultButtonId() const override { return defaultId; }
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override
    {
        if (msg == WM_COMMAND && HIWORD(wParam) == BN_CLICKED && defaultId &&
            LOWORD(wParam) == defaultId)
            ++defaultPresses;
        return CGuidePanel::WindowProc(msg, wParam, lParam);
    }
    void OnShowPanel() override
    {
        ++showCalls;
        visibleAtShow = (::GetWindowLongW(m_hWnd, GWL_STYLE) & WS_VISIBLE) != 0;
        order.push_back(m_index);
    }
    bool CanClose() override
    {
        ++canCloseCalls;
        return allowClose;
    }
    void LayoutControls(const RECT& client) override
    {
        ++layoutCalls;
        lastLayout = client;
    }

    void SetSize(int width, int height)
    {
        m_bOwnSize = true;
        m_size = SIZE{width, height};
    }

    static std::vector<int> order;
    int showCalls = 0;
    bool visibleAtShow = false;
    int canCloseCalls = 0;
    bool allowClose = true;
    int layoutCalls = 0;
    RECT lastLayout{};
    int defaultId = 0;
    int defaultPresses = 0;

private:
    int m_index;
    bool m_bOwnSize = false;
    SIZE m_size{};
};
std::vector<int> CTestPanel::order;

// The main dialog with the test template, test panels and the installer's pictures; it
// records whether it was ever shown.
class CTestGuide : public CInstallGuide
{
public:
    explicit CTestGuide(const PanelRunFlags& flags, int panelCount = 3) : CInstallGuide(flags)
    {
        InitModalIndirect(m_template.Get());
        SetImageModule(InstallerModule());
        SetIconModule(InstallerModule());
        SetPanelFactory([this, panelCount](int index) -> std::shared_ptr<CGuidePanel> {
            if (index >= panelCount)
                return nullptr;
            auto panel = std::make_shared<CTestPanel>(index);
            panels.push_back(panel.get());
            return panel;
        });
    }
    ~CTestGuide() override
    {
        if (m_hWnd)
            DestroyWindow();
    }

    CTestPanel* Panel(int index) const { return static_cast<CTestPanel*>(GetPanel(index)); }

    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override
    {
        if (msg == WM_SHOWWINDOW && wParam)
            everShown = true;
        if (msg == WM_WINDOWPOSCHANGED &&
            (reinterpret_cast<const WINDOWPOS*>(lParam)->flags & SWP_SHOWWINDOW))
            everShown = true;
        return CInstallGuide::WindowProc(msg, wParam, lParam);
    }

    std::vector<CTestPanel*> panels;
    bool everShown = false;

private:
    CGuideTemplate m_template;
};

PanelRunFlags Flags(int silent, int installed)
{
    PanelRunFlags flags;
    flags.m_bSilent = silent;
    flags.m_bProductInstalled = installed;
    return flags;
}

bool StyleVisible(HWND hwnd) { return (::GetWindowLongW(hwnd, GWL_STYLE) & WS_VISIBLE) != 0; }

RECT WindowRect(HWND hwnd)
{
    RECT rect{};
    ::GetWindowRect(hwnd, &rect);
    return rect;
}

class InstallGuideTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_NE(nullptr, InstallerModule());
        SetScreenDpiForTesting(96, 96);
        InitThemePalette();
        CTestPanel::order.clear();
        ::SetCursorPos(0, 0);
    }
    void TearDown() override { ResetScreenDpiForTesting(); }
};

// ---------------------------------------------------------------------------
// Start

TEST_F(InstallGuideTest, FirstPanelIsSettingsUnlessInstalledOrSilent)
{
    struct Case
    {
        int silent, installed, expected;
    };
    for (Case c : {Case{0, 0, PANEL_SETTINGS}, Case{0, 1, PANEL_STATUS}, Case{1, 0, PANEL_STATUS},
                   Case{1, 1, PANEL_STATUS}}) {
        CTestGuide guide(Flags(c.silent, c.installed));
        ASSERT_TRUE(guide.Create(nullptr));
        EXPECT_EQ(guide.CurrentPanel(), c.expected) << c.silent << c.installed;
        ASSERT_EQ(guide.panels.size(), 3u);
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(StyleVisible(guide.Panel(i)->m_hWnd), i == c.expected) << i;
            EXPECT_EQ(guide.Panel(i)->showCalls, i == c.expected ? 1 : 0) << i;
            EXPECT_EQ(::GetParent(guide.Panel(i)->m_hWnd), guide.m_hWnd);
        }
        // The caption shows the product only with the status panel.
        EXPECT_EQ(guide.IsTitleVisible(), c.expected == PANEL_STATUS);
    }
}

TEST_F(InstallGuideTest, IconsAndProductNameAreSet)
{
    std::wstring saved = TheInstallConfig().m_manifest.fullName;
    TheInstallConfig().m_manifest.fullName = L"Quillo Varo Test Edition";
    CTestGuide guide(Flags(0, 0));
    ASSERT_TRUE(guide.Create(nullptr));
    TheInstallConfig().m_manifest.fullName = saved;

    wchar_t title[128] = {};
    ::GetWindowTextW(guide.m_hWnd, title, 128);
    EXPECT_STREQ(title, L"Quillo Varo Test Edition");
    HICON big = reinterpret_cast<HICON>(guide.SendMessage(WM_GETICON, ICON_BIG));
    HICON small = reinterpret_cast<HICON>(guide.SendMessage(WM_GETICON, ICON_SMALL));
    ASSERT_NE(big, nullptr);
    ASSERT_NE(small, nullptr);
    ICONINFO info{};
    ASSERT_TRUE(::GetIconInfo(small, &info));
    BITMAP mask{};
    ::GetObjectW(info.hbmMask, sizeof mask, &mask);
    EXPECT_EQ(mask.bmWidth, ::GetSystemMetrics(SM_CXSMICON));
    if (info.hbmColor)
        ::DeleteObject(info.hbmColor);
    ::DeleteObject(info.hbmMask);
}

TEST_F(InstallGuideTest, PanelsLoseTheFrameStylesOfTheirTemplate)
{
    CEditPanelTemplate panelTemplate;
    CTestGuide guide(Flags(0, 0));
    guide.SetPanelFactory([&](int index) -> std::shared_ptr<CGuidePanel> {
        auto panel = std::make_shared<CTestPanel>(index);
        panel->InitModalIndirect(panelTemplate.Get());
        return panel;
    });
    ASSERT_TRUE(guide.Create(nullptr));
    HWND panel = guide.GetPanel(0)->m_hWnd;
    EXPECT_EQ(::GetWindowLongW(panel, GWL_STYLE) & (WS_CAPTION | WS_SYSMENU | WS_THICKFRAME), 0);
    EXPECT_EQ(::GetWindowLongW(panel, GWL_EXSTYLE) & WS_EX_DLGMODALFRAME, 0);
}

// ---------------------------------------------------------------------------
// Switching and sizing

TEST_F(InstallGuideTest, SwitchHidesTheOldPanelAndCallsOnShowBeforeShowing)
{
    CTestGuide guide(Flags(0, 0));
    ASSERT_TRUE(guide.Create(nullptr));
    ASSERT_TRUE(guide.SwitchToPanel(PANEL_STATUS));
    EXPECT_EQ(guide.CurrentPanel(), PANEL_STATUS);
    EXPECT_FALSE(StyleVisible(guide.Panel(0)->m_hWnd));
    EXPECT_TRUE(StyleVisible(guide.Panel(1)->m_hWnd));
    EXPECT_EQ(guide.Panel(1)->showCalls, 1);
    EXPECT_FALSE(guide.Panel(1)->visibleAtShow);
    EXPECT_EQ(CTestPanel::order, (std::vector<int>{0, 1}));
    EXPECT_TRUE(guide.IsTitleVisible());

    ASSERT_TRUE(guide.SwitchToPanel(PANEL_SUCCESS));
    EXPECT_FALSE(StyleVisible(guide.Panel(1)->m_hWnd));
    EXPECT_TRUE(StyleVisible(guide.Panel(2)->m_hWnd));
    EXPECT_FALSE(guide.IsTitleVisible());
}

TEST_F(InstallGuideTest, SwitchToAMissingPanelChangesNothing)
{
    CTestGuide guide(Flags(0, 1), 2); // no success panel
    ASSERT_TRUE(guide.Create(nullptr));
    ASSERT_EQ(guide.CurrentPanel(), PANEL_STATUS);
    ASSERT_TRUE(guide.IsTitleVisible());
    RECT before = WindowRect(guide.m_hWnd);

    EXPECT_FALSE(guide.HasPanel(PANEL_SUCCESS));
    EXPECT_FALSE(guide.SwitchToPanel(PANEL_SUCCESS));
    EXPECT_FALSE(guide.SwitchToPanel(-1));
    EXPECT_EQ(guide.CurrentPanel(), PANEL_STATUS);
    EXPECT_TRUE(StyleVisible(guide.Panel(1)->m_hWnd));
    // The caption still matches the status panel that stays shown.
    EXPECT_TRUE(guide.IsTitleVisible());
    RECT after = WindowRect(guide.m_hWnd);
    EXPECT_TRUE(::EqualRect(&before, &after));
    EXPECT_EQ(guide.Panel(1)->showCalls, 1);
}

TEST_F(InstallGuideTest, GoToNextPanelStepsOnAndStopsAtTheLast)
{
    CTestGuide guide(Flags(0, 0));
    ASSERT_TRUE(guide.Create(nullptr));
    EXPECT_TRUE(guide.Panel(0)->GoToNextPanel());
    EXPECT_EQ(guide.CurrentPanel(), PANEL_STATUS);
    EXPECT_TRUE(guide.Panel(1)->GoToNextPanel());
    EXPECT_EQ(guide.CurrentPanel(), PANEL_SUCCESS);

    EXPECT_FALSE(guide.Panel(2)->GoToNextPanel());
    EXPECT_EQ(guide.CurrentPanel(), PANEL_SUCCESS);
    EXPECT_TRUE(StyleVisible(guide.Panel(2)->m_hWnd));
    EXPECT_EQ(guide.Panel(2)->showCalls, 1);
}

TEST_F(InstallGuideTest, GoToNextPanelOutsideTheMainDialogDoesNothing)
{
    testing_support::CControlHost host; // a framework window that is no panel host
    ASSERT_TRUE(host.Create());
    CTestPanel panel(0);
    ASSERT_TRUE(panel.Create(host.m_hWnd));
    EXPECT_FALSE(panel.GoToNextPanel());
    panel.DestroyWindow();
}

TEST_F(InstallGuideTest, FitToPanelSizesTheWindowFromThePanel)
{
    for (int dpi : {96, 144}) {
        SetScreenDpiForTesting(dpi, dpi);
        CTestGuide guide(Flags(0, 0));
        ASSERT_TRUE(guide.Create(nullptr));
        RECT rect = WindowRect(guide.m_hWnd);
        // The default panel size, plus the side borders on the width.
        EXPECT_EQ(rect.right - rect.left, DpiScaleX(660) + 2 * DpiScaleX(1)) << dpi;
        EXPECT_EQ(rect.bottom - rect.top, DpiScaleY(446)) << dpi;
        SIZE base = guide.Panel(0)->CGuidePanel::GetPanelSize();
        EXPECT_EQ(base.cx, DpiScaleX(660));
        EXPECT_EQ(base.cy, DpiScaleY(446));

        guide.Panel(1)->SetSize(500, 380);
        ASSERT_TRUE(guide.SwitchToPanel(PANEL_STATUS));
        rect = WindowRect(guide.m_hWnd);
        EXPECT_EQ(rect.right - rect.left, 500 + 2 * DpiScaleX(1));
        EXPECT_EQ(rect.bottom - rect.top, 380);
    }
}

TEST_F(InstallGuideTest, ShrinkingPanelKeepsTheTopLeftCorner)
{
    CTestGuide guide(Flags(0, 0));
    ASSERT_TRUE(guide.Create(nullptr));
    ::SetWindowPos(guide.m_hWnd, nullptr, 123, 77, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    RECT unfolded = WindowRect(guide.m_hWnd);

    // What the settings panel does when its settings area folds, then unfolds.
    guide.Panel(0)->SetSize(DpiScaleX(660), DpiScaleY(446) - DpiScaleY(120));
    guide.FitToPanel();
    RECT folded = WindowRect(guide.m_hWnd);
    EXPECT_EQ(folded.left, 123);
    EXPECT_EQ(folded.top, 77);
    EXPECT_EQ(folded.bottom - folded.top, DpiScaleY(446) - DpiScaleY(120));
    EXPECT_EQ(folded.right, unfolded.right);

    guide.Panel(0)->SetSize(DpiScaleX(660), DpiScaleY(446));
    guide.FitToPanel();
    RECT again = WindowRect(guide.m_hWnd);
    EXPECT_TRUE(::EqualRect(&unfolded, &again));
}

TEST_F(InstallGuideTest, EveryPanelCoversTheWholeClientArea)
{
    CTestGuide guide(Flags(0, 0));
    ASSERT_TRUE(guide.Create(nullptr));
    guide.Panel(0)->SetSize(600, 400);
    guide.FitToPanel();
    RECT client{};
    ::GetClientRect(guide.m_hWnd, &client);
    // The caption band lies within the panel height, so the client area is lower.
    EXPECT_LT(client.bottom, 400);
    for (int i = 0; i < 3; ++i) {
        HWND panel = guide.Panel(i)->m_hWnd;
        RECT rect = WindowRect(panel);
        ::MapWindowPoints(nullptr, guide.m_hWnd, reinterpret_cast<POINT*>(&rect), 2);
        EXPECT_TRUE(::EqualRect(&rect, &client)) << i << ": " << rect.left << "," << rect.top
                                                 << " " << rect.right << "," << rect.bottom;
        // Resizing relayouts the panel with its own client rectangle.
        EXPECT_GT(guide.Panel(i)->layoutCalls, 0);
        EXPECT_EQ(guide.Panel(i)->lastLayout.left, 0);
        EXPECT_EQ(guide.Panel(i)->lastLayout.top, 0);
        EXPECT_EQ(guide.Panel(i)->lastLayout.right, client.right);
        EXPECT_EQ(guide.Panel(i)->lastLayout.bottom, client.bottom);
    }
}

// ---------------------------------------------------------------------------
// Panel base helpers

TEST_F(InstallGuideTest, MeasureTextReplacesTheSizeOnlyForMeasurableText)
{
    CreateSharedFonts();
    CTestGuide guide(Flags(0, 0));
    ASSERT_TRUE(guide.Create(nullptr));
    CGuidePanel* panel = guide.GetPanel(0);

    SIZE size{123, 45};
    panel->MeasureText(L"", TextFont(), &size);
    EXPECT_EQ(size.cx, 123);
    EXPECT_EQ(size.cy, 45);

    SIZE low{123, 1};
    panel->MeasureText(L"Install now", TextFont(), &low);
    EXPECT_GT(low.cx, 0);
    EXPECT_NE(low.cx, 123);
    EXPECT_GT(low.cy, 1); // the measured height is larger

    SIZE high{123, 500};
    panel->MeasureText(L"Install now", TextFont(), &high);
    EXPECT_EQ(high.cx, low.cx);
    EXPECT_EQ(high.cy, 500); // the given height is larger

    // The measuring leaves the panel's DC font as it was: a second measure agrees.
    SIZE again{0, 0};
    panel->MeasureText(L"Install now", nullptr, &again);
    SIZE again2{0, 0};
    panel->MeasureText(L"Install now", nullptr, &again2);
    EXPECT_EQ(again.cx, again2.cx);
    guide.DestroyWindow();
    DeleteSharedFonts();
}

// ---------------------------------------------------------------------------
// Modal runs: closing, keys, silent, centring

TEST_F(InstallGuideTest, CloseRequestAsksTheShownPanel)
{
    CTestGuide guide(Flags(0, 0));
    CModalScript script;
    bool keptAfterRefusal = false;
    INT_PTR result = script.Run(guide, {
        [&] {
            guide.Panel(0)->allowClose = false;
            guide.SendMessage(WM_CLOSE);
            guide.SendMessage(WM_SYSCOMMAND, SC_CLOSE, 0);
        },
        [&] {
            keptAfterRefusal = guide.IsWindow() && guide.IsWindowVisible();
            guide.Panel(0)->allowClose = true;
            guide.PostMessage(WM_CLOSE);
        },
    });
    EXPECT_TRUE(keptAfterRefusal);
    EXPECT_FALSE(script.TimedOut());
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(guide.m_hWnd, nullptr);
    ASSERT_EQ(guide.panels.size(), 3u);
    EXPECT_EQ(guide.panels[0]->canCloseCalls, 3);
    EXPECT_EQ(guide.panels[1]->canCloseCalls, 0);
}

TEST_F(InstallGuideTest, EnterPressesThePanelsDefaultButtonEscapeAndAltF4AskToClose)
{
    CEditPanelTemplate panelTemplate;
    CTestGuide guide(Flags(0, 0));
    guide.SetPanelFactory([&](int index) -> std::shared_ptr<CGuidePanel> {
        auto panel = std::make_shared<CTestPanel>(index);
        panel->InitModalIndirect(panelTemplate.Get());
        guide.panels.push_back(panel.get());
        return panel;
    });
    CModalScript script;
    bool focused = false;
    bool stillOpen = false;
    bool panelShown = false;
    int presses = 0;
    int asked = 0;
    INT_PTR result = script.Run(guide, {
        [&] {
            CTestPanel* panel = guide.Panel(0);
            panel->defaultId = CEditPanelTemplate::kButtonId;
            panel->allowClose = false;
            HWND edit = panel->GetDlgItem(CEditPanelTemplate::kEditId);
            ::SetForegroundWindow(guide.m_hWnd);
            ::SetFocus(edit);
            focused = ::GetFocus() == edit;
            for (WPARAM key : {VK_RETURN, VK_ESCAPE}) {
                ::PostMessageW(edit, WM_KEYDOWN, key, 1);
                ::PostMessageW(edit, WM_KEYUP, key, 0xC0000001);
            }
            // Alt+F4, with the context code that says Alt is down.
            ::PostMessageW(edit, WM_SYSKEYDOWN, VK_F4, 0x20000001);
            ::PostMessageW(edit, WM_SYSKEYUP, VK_F4, 0xE0000001);
        },
        [&] {},
        [&] {
            stillOpen = guide.IsWindow() && guide.IsWindowVisible();
            panelShown = StyleVisible(guide.GetPanel(0)->m_hWnd);
            presses = guide.Panel(0)->defaultPresses;
            asked = guide.Panel(0)->canCloseCalls;
            guide.Panel(0)->allowClose = true;
            guide.PostMessage(WM_CLOSE);
        },
    });
    EXPECT_TRUE(focused);
    EXPECT_EQ(script.StepsRun(), 3u) << "the modal run ended before the keys were checked";
    // Enter pressed the panel's default button; Esc and Alt+F4 each asked the panel, which
    // refused, so the window stayed.
    EXPECT_EQ(presses, 1);
    EXPECT_EQ(asked, 2);
    EXPECT_TRUE(stillOpen);
    EXPECT_TRUE(panelShown);
    EXPECT_EQ(result, IDCANCEL);
}

TEST_F(InstallGuideTest, SilentRunIsNeverVisibleAndHasNoTaskbarButton)
{
    CTestGuide guide(Flags(1, 0));
    CModalScript script;
    bool visible = true;
    LONG exStyle = 0;
    int current = -1;
    INT_PTR result = script.Run(guide, {
        [&] {
            visible = guide.IsWindowVisible() != FALSE;
            exStyle = ::GetWindowLongW(guide.m_hWnd, GWL_EXSTYLE);
            current = guide.CurrentPanel();
        },
        [&] { guide.PostMessage(WM_CLOSE); },
    });
    EXPECT_FALSE(visible);
    EXPECT_FALSE(guide.everShown);
    EXPECT_NE(exStyle & WS_EX_TOOLWINDOW, 0);
    EXPECT_EQ(exStyle & WS_EX_APPWINDOW, 0);
    EXPECT_EQ(current, PANEL_STATUS);
    EXPECT_FALSE(guide.IsCentred());
    EXPECT_EQ(result, IDCANCEL);
}

TEST_F(InstallGuideTest, ShownRunIsCentredOnTheWorkArea)
{
    CTestGuide guide(Flags(0, 0));
    CModalScript script;
    RECT window{};
    RECT work{};
    bool visible = false;
    script.Run(guide, {
        [&] {
            visible = guide.IsWindowVisible() != FALSE;
            window = WindowRect(guide.m_hWnd);
            MONITORINFO info{};
            info.cbSize = sizeof info;
            ::GetMonitorInfoW(::MonitorFromWindow(guide.m_hWnd, MONITOR_DEFAULTTONEAREST), &info);
            work = info.rcWork;
        },
        [&] { guide.PostMessage(WM_CLOSE); },
    });
    EXPECT_TRUE(visible);
    EXPECT_TRUE(guide.IsCentred());
    int dx = (window.left - work.left) - (work.right - window.right);
    int dy = (window.top - work.top) - (work.bottom - window.bottom);
    EXPECT_LE(std::abs(dx), 1) << window.left << " " << window.right;
    EXPECT_LE(std::abs(dy), 1) << window.top << " " << window.bottom;
    EXPECT_EQ(window.right - window.left, DpiScaleX(660) + 2 * DpiScaleX(1));
}

// ---------------------------------------------------------------------------
// Background and logo

// The logo's pixels over the window background, as AlphaBlend composes premultiplied ones.
std::vector<COLORREF> ExpectedLogo(const CImageWrapper& logo, COLORREF background)
{
    int w = logo.Width(), h = logo.Height();
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = -h;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    std::vector<DWORD> bits(static_cast<size_t>(w) * h);
    CClientDC screen(nullptr);
    ::GetDIBits(screen, logo.Bitmap(), 0, h, bits.data(), &info, DIB_RGB_COLORS);
    std::vector<COLORREF> out;
    for (DWORD p : bits) {
        int a = p >> 24, r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
        auto over = [a](int src, int bg) { return src + bg * (255 - a) / 255; };
        out.push_back(RGB(over(r, GetRValue(background)), over(g, GetGValue(background)),
                          over(b, GetBValue(background))));
    }
    return out;
}

// Share of the logo rectangle at the panel's top-right corner that shows the picture.
double LogoMatch(const CapturedImage& image, const CImageWrapper& logo, COLORREF background)
{
    std::vector<COLORREF> expected = ExpectedLogo(logo, background);
    int left = image.Width() - logo.Width();
    int matching = 0;
    for (int y = 0; y < logo.Height(); ++y)
        for (int x = 0; x < logo.Width(); ++x)
            if (NearColour(image.Pixel(left + x, y), expected[y * logo.Width() + x], 3))
                ++matching;
    return static_cast<double>(matching) / (logo.Width() * logo.Height());
}

void CheckLogoAt(int dpi, int expectedId, int otherId)
{
    SetScreenDpiForTesting(dpi, dpi);
    auto logo = LoadPngResource(expectedId, InstallerModule());
    auto other = LoadPngResource(otherId, InstallerModule());
    ASSERT_TRUE(logo && logo->HasBitmap());
    ASSERT_TRUE(other && other->HasBitmap());

    CTestGuide guide(Flags(0, 0));
    ASSERT_TRUE(guide.Create(nullptr));
    ::SetWindowPos(guide.m_hWnd, HWND_TOPMOST, 10, 10, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
    ::SetForegroundWindow(guide.m_hWnd);
    PumpMessages(150);
    HWND panel = guide.GetPanel(0)->m_hWnd;
    ::RedrawWindow(panel, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    PumpMessages(50);
    CapturedImage image = CaptureClient(panel);
    ASSERT_FALSE(image.Empty());

    COLORREF background = Palette().WindowBackground;
    EXPECT_GT(LogoMatch(image, *logo, background), 0.99) << dpi;
    EXPECT_LT(LogoMatch(image, *other, background), 0.9) << dpi;
    // Left of the logo and below it the background shows.
    RECT free{0, 0, image.Width() - logo->Width(), 10};
    EXPECT_TRUE(image.AllColour(free, background));
    RECT below{image.Width() - logo->Width(), logo->Height(), image.Width(), logo->Height() + 5};
    EXPECT_TRUE(image.AllColour(below, background));
}

TEST_F(InstallGuideTest, PanelLogoIsThe100PercentPictureAt96Dpi)
{
    CheckLogoAt(96, IDB_PANEL_LOGO_100, IDB_PANEL_LOGO_150);
}

TEST_F(InstallGuideTest, PanelLogoIsThe150PercentPictureAt144Dpi)
{
    CheckLogoAt(144, IDB_PANEL_LOGO_150, IDB_PANEL_LOGO_100);
}

// A panel that paints its own content after the logo, into the same buffer.
class CContentPanel : public CTestPanel
{
public:
    CContentPanel() : CTestPanel(0) {}
    void DrawContent(HDC dc) override
    {
        ++drawCalls;
        RECT box{10, 20, 60, 50};
        CBrushHandle brush(::CreateSolidBrush(RGB(200, 30, 40)));
        ::FillRect(dc, &box, brush.Get());
    }
    int drawCalls = 0;
};

TEST_F(InstallGuideTest, BackgroundPaintsContentAndKeepsNoGdiObjects)
{
    CTestGuide guide(Flags(0, 0));
    CContentPanel* content = nullptr;
    guide.SetPanelFactory([&](int index) -> std::shared_ptr<CGuidePanel> {
        if (index != 0)
            return std::make_shared<CTestPanel>(index);
        auto panel = std::make_shared<CContentPanel>();
        content = panel.get();
        return panel;
    });
    ASSERT_TRUE(guide.Create(nullptr));
    ::SetWindowPos(guide.m_hWnd, HWND_TOPMOST, 10, 10, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
    PumpMessages(150);
    HWND panel = content->m_hWnd;
    ::RedrawWindow(panel, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    CapturedImage image = CaptureClient(panel);
    EXPECT_GT(content->drawCalls, 0);
    EXPECT_TRUE(image.AllColour(RECT{10, 20, 60, 50}, RGB(200, 30, 40)));
    EXPECT_TRUE(image.AllColour(RECT{0, 0, 10, 20}, Palette().WindowBackground));

    int before = testing_support::CountLiveGdiObjects();
    for (int i = 0; i < 200; ++i)
        ::RedrawWindow(panel, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    EXPECT_LE(testing_support::CountLiveGdiObjects(), before + 2);
}

} // namespace
