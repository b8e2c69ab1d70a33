// What a screen reader finds: each wizard panel from its real template, and the main dialog's
// caption buttons, walked through oleacc as an assistive program walks them
// (AccessibleObjectFromWindow, AccessibleChildren, accName/accRole/accState/accValue). The
// walk prints the tree (docs/accessibility.md shows it). Checked: every control answers with
// an object of its own kind, no control that takes input lacks a name, check boxes and the
// fold toggle report the state their clicks leave, changes are announced (WinEvents), and the
// names follow a language switch.
#include "config/InstallConfig.h"
#include "config/Region.h"
#include "config/UITextFormat.h"
#include "controls/Dpi.h"
#include "controls/Fonts.h"
#include "controls/Palette.h"
#include "controls/PelDialog.h"
#include "controls/SlideShowMath.h"
#include "engine/InstallStatus.h"
#include "engine/RunOutcome.h"
#include "panels/PanelText.h"
#include "panels/SettingPanel.h"
#include "panels/StatusPanel.h"
#include "panels/SuccessPanel.h"
#include "res/resource.h"

#include "HostTestSupport.h"
#include "WinTestSupport.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <oleacc.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

using namespace testing_support;

namespace {

std::string Utf8(const std::wstring& text)
{
    if (text.empty())
        return std::string();
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                           nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(size), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], size,
                          nullptr, nullptr);
    return out;
}

std::wstring TakeText(BSTR text)
{
    std::wstring result = text ? std::wstring(text, ::SysStringLen(text)) : std::wstring();
    ::SysFreeString(text);
    return result;
}

VARIANT ChildId(long child)
{
    VARIANT v;
    ::VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = child;
    return v;
}

// One object as a screen reader reads it.
struct AccessibleNode
{
    int depth = 0;
    HWND hwnd = nullptr;       // the window whose object this is (a simple child's parent's)
    long child = CHILDID_SELF; // a simple child's number
    bool answered = false;     // the role question had an answer
    long role = 0;
    std::wstring name;
    long state = 0;
    std::wstring value;
    std::wstring action;
};

AccessibleNode Describe(IAccessible* object, HWND hwnd, long child, int depth)
{
    AccessibleNode node;
    node.depth = depth;
    node.hwnd = hwnd;
    node.child = child;
    const VARIANT id = ChildId(child);
    VARIANT role;
    ::VariantInit(&role);
    node.answered = SUCCEEDED(object->get_accRole(id, &role)) && role.vt == VT_I4;
    node.role = node.answered ? role.lVal : 0;
    VARIANT state;
    ::VariantInit(&state);
    if (SUCCEEDED(object->get_accState(id, &state)) && state.vt == VT_I4)
        node.state = state.lVal;
    BSTR text = nullptr;
    if (SUCCEEDED(object->get_accName(id, &text)))
        node.name = TakeText(text);
    text = nullptr;
    if (SUCCEEDED(object->get_accValue(id, &text)))
        node.value = TakeText(text);
    text = nullptr;
    if (SUCCEEDED(object->get_accDefaultAction(id, &text)))
        node.action = TakeText(text);
    return node;
}

ComPtr<IAccessible> ObjectOf(HWND hwnd, LONG objectId = OBJID_CLIENT)
{
    ComPtr<IAccessible> object;
    // __uuidof: mingw's oleacc import library has IID_IAccessible as a function, not a GUID.
    if (FAILED(::AccessibleObjectFromWindow(hwnd, static_cast<DWORD>(objectId),
                                            __uuidof(IAccessible), object.ReceiveVoid())))
        object.Reset();
    return object;
}

// The object and everything below it. A child that is a window is reached through its window
// object to its client object, as a screen reader goes on into a control.
void Walk(IAccessible* object, HWND hwnd, int depth, std::vector<AccessibleNode>* nodes)
{
    nodes->push_back(Describe(object, hwnd, CHILDID_SELF, depth));
    long count = 0;
    if (FAILED(object->get_accChildCount(&count)) || count <= 0 || depth > 4)
        return;
    std::vector<VARIANT> children(static_cast<size_t>(count));
    LONG got = 0;
    if (FAILED(::AccessibleChildren(object, 0, count, children.data(), &got)))
        return;
    for (LONG i = 0; i < got; ++i) {
        VARIANT& child = children[static_cast<size_t>(i)];
        if (child.vt == VT_I4) {
            nodes->push_back(Describe(object, hwnd, child.lVal, depth + 1));
        } else if (child.vt == VT_DISPATCH && child.pdispVal) {
            ComPtr<IOleWindow> window;
            HWND childHwnd = nullptr;
            if (SUCCEEDED(child.pdispVal->QueryInterface(__uuidof(IOleWindow),
                                                         window.ReceiveVoid())))
                window->GetWindow(&childHwnd);
            if (childHwnd && childHwnd != hwnd) {
                if (ComPtr<IAccessible> client = ObjectOf(childHwnd))
                    Walk(client.Get(), childHwnd, depth + 1, nodes);
            }
        }
        ::VariantClear(&child);
    }
}

std::vector<AccessibleNode> WalkWindow(HWND hwnd, LONG objectId = OBJID_CLIENT)
{
    std::vector<AccessibleNode> nodes;
    if (ComPtr<IAccessible> object = ObjectOf(hwnd, objectId))
        Walk(object.Get(), hwnd, 0, &nodes);
    return nodes;
}

std::wstring RoleText(long role)
{
    wchar_t text[64] = {};
    ::GetRoleTextW(static_cast<DWORD>(role), text, 64);
    return text;
}

std::wstring StateText(long state)
{
    std::wstring text;
    for (long bit = 1; bit != 0 && bit <= STATE_SYSTEM_HASPOPUP; bit <<= 1) {
        if (!(state & bit))
            continue;
        wchar_t name[64] = {};
        ::GetStateTextW(static_cast<DWORD>(bit), name, 64);
        text += (text.empty() ? L"" : L", ") + std::wstring(name);
    }
    return text;
}

// The tree as docs/accessibility.md shows it: role, "name", [states], value, one object a
// line, indented by depth.
std::string Print(const std::vector<AccessibleNode>& nodes)
{
    std::wstring out;
    for (const AccessibleNode& node : nodes) {
        out += std::wstring(static_cast<size_t>(node.depth) * 2, L' ');
        out += node.answered ? RoleText(node.role) : L"(no answer)";
        out += L" \"" + node.name + L"\"";
        if (node.state)
            out += L" [" + StateText(node.state) + L"]";
        if (!node.value.empty())
            out += L" value=\"" + node.value + L"\"";
        out += L"\n";
    }
    return Utf8(out);
}

const AccessibleNode* Find(const std::vector<AccessibleNode>& nodes, HWND hwnd,
                           long child = CHILDID_SELF)
{
    for (const AccessibleNode& node : nodes)
        if (node.hwnd == hwnd && node.child == child)
            return &node;
    return nullptr;
}

// What one control must read as.
struct Expected
{
    const char* what;
    HWND hwnd;
    long role;
    std::wstring name;
    long present = 0; // states that must be set
    long absent = 0;  // states that must not
    const wchar_t* value = nullptr;
};

void ExpectReads(const std::vector<AccessibleNode>& nodes, const std::vector<Expected>& table)
{
    for (const Expected& e : table) {
        SCOPED_TRACE(e.what);
        const AccessibleNode* node = Find(nodes, e.hwnd);
        ASSERT_NE(nullptr, node) << "not reached by the walk";
        EXPECT_EQ(RoleText(e.role), RoleText(node->role));
        EXPECT_EQ(e.name, node->name);
        EXPECT_EQ(e.present, node->state & e.present) << Utf8(StateText(node->state));
        EXPECT_EQ(0, node->state & e.absent) << Utf8(StateText(node->state));
        if (e.value) {
            EXPECT_EQ(std::wstring(e.value), node->value);
        }
    }
}

// Every window of the panel answers with an object of its own kind (the plain proxy would
// say "client"), and none that takes input (focusable, or a kind that does) is nameless.
void ExpectEveryControlDescribed(const std::vector<AccessibleNode>& nodes, HWND panel)
{
    for (const AccessibleNode& node : nodes) {
        if (node.hwnd == panel || ::GetParent(node.hwnd) != panel || node.child != CHILDID_SELF)
            continue;
        SCOPED_TRACE(Utf8(RoleText(node.role) + L" \"" + node.name + L"\""));
        EXPECT_NE(ROLE_SYSTEM_CLIENT, node.role) << "a control without an object of its own";
        const bool interactive =
            (node.state & STATE_SYSTEM_FOCUSABLE) || node.role == ROLE_SYSTEM_PUSHBUTTON ||
            node.role == ROLE_SYSTEM_CHECKBUTTON || node.role == ROLE_SYSTEM_LINK ||
            node.role == ROLE_SYSTEM_COMBOBOX || node.role == ROLE_SYSTEM_TEXT;
        if (interactive) {
            EXPECT_FALSE(node.name.empty()) << "an interactive control without a name";
        }
    }
}

long StateOf(HWND hwnd, LONG objectId = OBJID_CLIENT, long child = CHILDID_SELF)
{
    ComPtr<IAccessible> object = ObjectOf(hwnd, objectId);
    VARIANT state;
    ::VariantInit(&state);
    if (!object || FAILED(object->get_accState(ChildId(child), &state)) || state.vt != VT_I4)
        return -1;
    return state.lVal;
}

std::wstring NameOf(HWND hwnd, LONG objectId = OBJID_CLIENT, long child = CHILDID_SELF)
{
    ComPtr<IAccessible> object = ObjectOf(hwnd, objectId);
    BSTR name = nullptr;
    if (!object || FAILED(object->get_accName(ChildId(child), &name)))
        return L"(no answer)";
    return TakeText(name);
}

std::wstring ValueOf(HWND hwnd)
{
    ComPtr<IAccessible> object = ObjectOf(hwnd);
    BSTR value = nullptr;
    if (!object || FAILED(object->get_accValue(ChildId(CHILDID_SELF), &value)))
        return L"(no answer)";
    return TakeText(value);
}

HRESULT DoDefaultAction(HWND hwnd, LONG objectId = OBJID_CLIENT, long child = CHILDID_SELF)
{
    ComPtr<IAccessible> object = ObjectOf(hwnd, objectId);
    return object ? object->accDoDefaultAction(ChildId(child)) : E_FAIL;
}

// The change announcements (WinEvents) of this process's client objects while it lives,
// delivered through the message loop as they reach an assistive program.
class CEventRecorder
{
public:
    CEventRecorder()
    {
        s_self = this;
        m_hook = ::SetWinEventHook(EVENT_OBJECT_STATECHANGE, EVENT_OBJECT_VALUECHANGE, nullptr,
                                   &Record, ::GetCurrentProcessId(), 0, WINEVENT_OUTOFCONTEXT);
    }
    ~CEventRecorder()
    {
        if (m_hook)
            ::UnhookWinEvent(m_hook);
        s_self = nullptr;
    }
    CEventRecorder(const CEventRecorder&) = delete;
    CEventRecorder& operator=(const CEventRecorder&) = delete;

    bool Hooked() const { return m_hook != nullptr; }
    void Clear() { m_seen.clear(); }
    // Whether the event came for hwnd's client object since the last Clear.
    bool Saw(DWORD event, HWND hwnd) const
    {
        for (const Seen& seen : m_seen)
            if (seen.event == event && seen.hwnd == hwnd && seen.object == OBJID_CLIENT &&
                seen.child == CHILDID_SELF)
                return true;
        return false;
    }

private:
    struct Seen
    {
        DWORD event;
        HWND hwnd;
        LONG object;
        LONG child;
    };
    static void CALLBACK Record(HWINEVENTHOOK, DWORD event, HWND hwnd, LONG object, LONG child,
                                DWORD, DWORD)
    {
        if (s_self)
            s_self->m_seen.push_back({event, hwnd, object, child});
    }

    static inline CEventRecorder* s_self = nullptr;
    HWINEVENTHOOK m_hook = nullptr;
    std::vector<Seen> m_seen;
};

const wchar_t kFullName[] = L"VARO Pro 7";
const wchar_t kShortName[] = L"VARO Panel Test";
const wchar_t kFolder[] = L"C:\\Program Files\\Pel Systems";

// A fixed clock for the slide show: the pictures stand where the test puts them.
std::int64_t g_slideClockMs = 0;
std::int64_t SlideClock() { return g_slideClockMs; }

class AccessibilityTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_com = ::CoInitialize(nullptr);
        SetScreenDpiForTesting(96, 96);
        InitThemePalette();
        if (!TextFont())
            CreateSharedFonts();
        CInstallConfig& config = TheInstallConfig();
        m_savedManifest = config.m_manifest;
        m_savedLanguages = config.m_languages;
        m_savedLanguage = config.m_uiStrings.m_nLanguageId;
        m_savedLanguageFolder = config.m_uiStrings.GetLanguageFolder();
        m_savedFolder = config.m_strInstallFolder;
        config.m_manifest.fullName = kFullName;
        config.m_manifest.shortName = kShortName;
        config.m_languages = {{L"English", 1033}, {L"Deutsch", 1031}};
        config.m_uiStrings.m_nLanguageId = 1033;
        config.m_uiStrings.SetLanguageFolder(WinePath(PEL_SOURCE_DIR "/sample/language/"));
        config.m_strInstallFolder = kFolder;
        ResetRunOutcomeForTesting();
        g_slideClockMs = 0;
        SetSlideShowClockForTesting(&SlideClock);
        ResetSlideShowOriginForTesting();
        ::SetCursorPos(1200, 1000);
        ASSERT_TRUE(m_events.Hooked());
    }

    void TearDown() override
    {
        if (m_host.m_hWnd)
            m_host.DestroyWindow();
        PumpMessages(10);
        CInstallConfig& config = TheInstallConfig();
        config.m_manifest = m_savedManifest;
        config.m_languages = m_savedLanguages;
        config.m_uiStrings.m_nLanguageId = m_savedLanguage;
        config.m_uiStrings.SetLanguageFolder(m_savedLanguageFolder);
        config.m_strInstallFolder = m_savedFolder;
        SetListedCountryForTesting(-1);
        ResetRunOutcomeForTesting();
        SetSlideShowClockForTesting(nullptr);
        ResetSlideShowOriginForTesting();
        ResetScreenDpiForTesting();
        if (SUCCEEDED(m_com))
            ::CoUninitialize();
    }

    void Open(CGuidePanel& panel)
    {
        ASSERT_TRUE(m_host.Create());
        ASSERT_TRUE(m_host.AddPanel(panel));
        panel.OnShowPanel();
        Pump();
    }

    void Pump(DWORD ms = 80) { PumpPreTranslated(m_host.m_hWnd, ms); }

    // The tree of the panel, printed for the documentation.
    std::vector<AccessibleNode> WalkAndPrint(HWND window, const char* title,
                                             LONG objectId = OBJID_CLIENT)
    {
        std::vector<AccessibleNode> nodes = WalkWindow(window, objectId);
        std::printf("---- %s\n%s", title, Print(nodes).c_str());
        return nodes;
    }

    static std::wstring UIText(const UIStringKey& key)
    {
        return TheInstallConfig().m_uiStrings.GetUIString(key);
    }

    CPanelTestHost m_host{PANEL_SETTINGS};
    CEventRecorder m_events;

private:
    HRESULT m_com = E_FAIL;
    ManifestInfo m_savedManifest;
    std::vector<LanguageEntry> m_savedLanguages;
    int m_savedLanguage = 1033;
    std::wstring m_savedLanguageFolder;
    std::wstring m_savedFolder;
};

} // namespace

TEST_F(AccessibilityTest, SettingsPanelReadsItsStatesAndFollowsTheLanguage)
{
    // In a listed country the licence starts unaccepted and Install greyed.
    SetListedCountryForTesting(1);
    CSettingPanel panel;
    Open(panel);
    const HWND check = panel.LicenseCheck();
    const HWND toggle = panel.SettingsToggle();
    const HWND install = panel.InstallButton();
    const HWND combo = panel.LanguageCombo();

    std::vector<AccessibleNode> nodes = WalkAndPrint(panel, "settings panel, English");
    ExpectEveryControlDescribed(nodes, panel);
    const long unavailable = STATE_SYSTEM_UNAVAILABLE;
    const long checked = STATE_SYSTEM_CHECKED;
    auto table = [&] {
        return std::vector<Expected>{
            {"Install", install, ROLE_SYSTEM_PUSHBUTTON, UIText(IDS_INSTALL)},
            {"licence check box", check, ROLE_SYSTEM_CHECKBUTTON,
             panel.LicenseText().GetText() + L" " + panel.LicenseLink().GetText(),
             STATE_SYSTEM_FOCUSABLE},
            {"licence text", panel.LicenseText(), ROLE_SYSTEM_STATICTEXT,
             UIText(IDS_ACCEPT_LICENSE_TERMS), STATE_SYSTEM_READONLY},
            {"licence link", panel.LicenseLink(), ROLE_SYSTEM_LINK, UIText(IDS_LINK_LICENSE_TERMS),
             STATE_SYSTEM_LINKED},
            {"settings heading", panel.SettingsHeading(), ROLE_SYSTEM_STATICTEXT,
             UIText(IDS_INSTALL_SETTINGS), STATE_SYSTEM_READONLY},
            {"fold toggle", toggle, ROLE_SYSTEM_PUSHBUTTON, UIText(IDS_INSTALL_SETTINGS),
             STATE_SYSTEM_EXPANDED, STATE_SYSTEM_COLLAPSED},
            {"language box", combo, ROLE_SYSTEM_COMBOBOX, UIText(IDS_SELECT_LANG), 0, 0,
             TheInstallConfig().m_languages[static_cast<size_t>(panel.LanguageCombo().GetCurSel())]
                 .displayName.c_str()},
            {"folder field", panel.FolderEdit(), ROLE_SYSTEM_TEXT, UIText(IDS_INSTALL_FOLDER), 0,
             STATE_SYSTEM_READONLY, kFolder},
            {"browse", panel.BrowseButton(), ROLE_SYSTEM_PUSHBUTTON,
             UIText(IDS_BROWSE_DEST_FOLDER)},
        };
    };
    ExpectReads(nodes, table());
    // The text sits left of the link in English: the check box reads the sentence.
    EXPECT_EQ(L"I accept the License Terms", NameOf(check));
    EXPECT_EQ(0, StateOf(check) & checked);
    EXPECT_EQ(L"Check", Describe(ObjectOf(check).Get(), check, CHILDID_SELF, 0).action);
    EXPECT_EQ(unavailable, StateOf(install) & unavailable);
    // What reads the window itself (the system's proxy) finds the caption shown.
    wchar_t windowText[64] = {};
    ::GetWindowTextW(install, windowText, 64);
    EXPECT_EQ(UIText(IDS_INSTALL), windowText);

    // The screen reader's own click ticks the box and lifts the grey from Install...
    m_events.Clear();
    EXPECT_EQ(S_OK, DoDefaultAction(check));
    Pump();
    EXPECT_TRUE(panel.IsLicenseAccepted());
    EXPECT_EQ(checked, StateOf(check) & checked);
    EXPECT_EQ(L"Uncheck", Describe(ObjectOf(check).Get(), check, CHILDID_SELF, 0).action);
    EXPECT_EQ(0, StateOf(install) & unavailable);
    EXPECT_TRUE(m_events.Saw(EVENT_OBJECT_STATECHANGE, check));
    // ... and the button's own click (the mouse's and Space's path) unticks it.
    m_events.Clear();
    ::SendMessageW(check, BM_CLICK, 0, 0);
    Pump();
    EXPECT_FALSE(panel.IsLicenseAccepted());
    EXPECT_EQ(0, StateOf(check) & checked);
    EXPECT_EQ(BST_UNCHECKED, ::SendMessageW(check, BM_GETCHECK, 0, 0));
    EXPECT_EQ(unavailable, StateOf(install) & unavailable);
    EXPECT_TRUE(m_events.Saw(EVENT_OBJECT_STATECHANGE, check));

    // The toggle folds the settings: collapsed, and the rows it hid are gone from view.
    m_events.Clear();
    EXPECT_EQ(S_OK, DoDefaultAction(toggle));
    Pump();
    EXPECT_TRUE(panel.IsSettingsFolded());
    EXPECT_EQ(STATE_SYSTEM_COLLAPSED,
              StateOf(toggle) & (STATE_SYSTEM_COLLAPSED | STATE_SYSTEM_EXPANDED));
    EXPECT_TRUE(m_events.Saw(EVENT_OBJECT_STATECHANGE, toggle));
    WalkAndPrint(panel, "settings panel, folded");
    m_events.Clear();
    ::SendMessageW(toggle, BM_CLICK, 0, 0);
    Pump();
    EXPECT_FALSE(panel.IsSettingsFolded());
    EXPECT_EQ(STATE_SYSTEM_EXPANDED,
              StateOf(toggle) & (STATE_SYSTEM_COLLAPSED | STATE_SYSTEM_EXPANDED));
    EXPECT_TRUE(m_events.Saw(EVENT_OBJECT_STATECHANGE, toggle));

    // German from the language box: every name is the new text, the box's value the new
    // language, and the changes are announced.
    m_events.Clear();
    panel.LanguageCombo().SetCurSel(1);
    ::SendMessageW(panel, WM_COMMAND, MAKEWPARAM(IDC_LANGUAGE_COMBO, CBN_SELENDOK),
                   reinterpret_cast<LPARAM>(combo));
    Pump();
    ASSERT_EQ(1031, TheInstallConfig().m_uiStrings.m_nLanguageId);
    ASSERT_NE(L"Install", UIText(IDS_INSTALL)); // the sample file was read
    EXPECT_TRUE(m_events.Saw(EVENT_OBJECT_VALUECHANGE, combo));
    EXPECT_TRUE(m_events.Saw(EVENT_OBJECT_NAMECHANGE, install));
    EXPECT_TRUE(m_events.Saw(EVENT_OBJECT_NAMECHANGE, panel.LicenseLink()));
    nodes = WalkAndPrint(panel, "settings panel, Deutsch");
    ExpectEveryControlDescribed(nodes, panel);
    ExpectReads(nodes, table());
    EXPECT_EQ(L"Deutsch", ValueOf(combo));
    ::GetWindowTextW(install, windowText, 64);
    EXPECT_EQ(UIText(IDS_INSTALL), windowText);
}

TEST_F(AccessibilityTest, StatusPanelReadsTheProgressAndAnnouncesIt)
{
    CInstallConfig& config = TheInstallConfig();
    config.m_manifest.versionCheckUrl = L"http://127.0.0.1:1/version.xml";
    InstallStatus& status = InstallStatus::Instance();
    status.SetStatus(Cancelled, -1, 0);
    status.SetStatus(NotStarted, 0, 0);
    CStatusPanel panel;
    ASSERT_TRUE(m_host.Create());
    ASSERT_TRUE(m_host.AddPanel(panel));
    // The texts and pictures as showing the panel sets them, without the timer that starts
    // the installation.
    panel.ApplyTexts();
    Pump();
    const HWND progress = panel.GetProgressBar();
    const HWND stateText = panel.GetStateText();
    const HWND slides = panel.GetSlideShow();

    std::vector<AccessibleNode> nodes = WalkAndPrint(panel, "status panel, starting");
    ExpectEveryControlDescribed(nodes, panel);
    ExpectReads(nodes, {
        {"state text", stateText, ROLE_SYSTEM_STATICTEXT, UIText(IDS_STATUS_INIT),
         STATE_SYSTEM_READONLY},
        {"remaining time", panel.GetRemainingText(), ROLE_SYSTEM_STATICTEXT,
         UIText(IDS_CALC_TIME_REMAINING), STATE_SYSTEM_READONLY},
        {"progress bar", progress, ROLE_SYSTEM_PROGRESSBAR, UIText(IDS_STATUS_INIT), 0, 0, L"0%"},
        // The sample pictures are slide1.jpg, slide2.jpg, slide3.jpg.
        {"slide show", slides, ROLE_SYSTEM_GRAPHIC, L"slide1"},
    });
    // Two pushes later (7.5 s still, 0.6 s push each) the third picture stands.
    g_slideClockMs = 2 * 8100 + 100;
    Pump();
    EXPECT_EQ(L"slide3", NameOf(slides));

    // A poll shows the worker's progress: new value and names, each announced.
    m_events.Clear();
    status.SetWeights({71, 16, 13}, {50, 50});
    status.SetStatus(Downloading, 1, 87);
    ::SendMessageW(panel, WM_TIMER, CStatusPanel::TIMER_POLL_STATUS, 0);
    Pump();
    EXPECT_EQ(L"42%", ValueOf(progress));
    EXPECT_EQ(UIText(IDS_STATUS_DOWNLOADING), NameOf(progress));
    EXPECT_EQ(UIText(IDS_STATUS_DOWNLOADING), NameOf(stateText));
    EXPECT_EQ(L"42.5%", NameOf(panel.GetPercentText()));
    EXPECT_TRUE(m_events.Saw(EVENT_OBJECT_VALUECHANGE, progress));
    EXPECT_TRUE(m_events.Saw(EVENT_OBJECT_NAMECHANGE, stateText));
    EXPECT_TRUE(m_events.Saw(EVENT_OBJECT_NAMECHANGE, panel.GetPercentText()));
    WalkAndPrint(panel, "status panel, downloading");

    m_host.DestroyWindow();
    panel.GetWorker().WaitUntilDone(30000);
    status.SetStatus(Cancelled, -1, 0);
    status.SetStatus(NotStarted, 0, 0);
}

TEST_F(AccessibilityTest, SuccessPanelReadsStartNowAndTheLaunchCheckBox)
{
    CSuccessPanel panel;
    Open(panel);
    const HWND start = panel.GetStartButton();
    const HWND launch = panel.GetLaunchCheck();
    const std::wstring launchText = FormatUIText(UIText(IDS_LAUNCH_APP), {kFullName});

    std::vector<AccessibleNode> nodes = WalkAndPrint(panel, "success panel, English");
    ExpectEveryControlDescribed(nodes, panel);
    ExpectReads(nodes, {
        {"Start Now", start, ROLE_SYSTEM_PUSHBUTTON, UIText(IDS_START_NOW),
         STATE_SYSTEM_FOCUSABLE, STATE_SYSTEM_UNAVAILABLE},
        // Hidden, as the panel keeps it, but named and ticked for whoever finds it.
        {"launch check box", launch, ROLE_SYSTEM_CHECKBUTTON, launchText,
         STATE_SYSTEM_CHECKED | STATE_SYSTEM_INVISIBLE},
        {"launch text", panel.GetLaunchLabel(), ROLE_SYSTEM_STATICTEXT, launchText,
         STATE_SYSTEM_INVISIBLE},
    });

    m_events.Clear();
    ::SendMessageW(launch, BM_CLICK, 0, 0);
    Pump();
    EXPECT_FALSE(panel.IsLaunchTicked());
    EXPECT_EQ(0, StateOf(launch) & STATE_SYSTEM_CHECKED);
    EXPECT_TRUE(m_events.Saw(EVENT_OBJECT_STATECHANGE, launch));

    // The language changes on the settings panel; this panel takes its texts when shown.
    m_events.Clear();
    TheInstallConfig().m_uiStrings.m_nLanguageId = 1031;
    panel.OnShowPanel();
    Pump();
    ASSERT_NE(L"Start Now", UIText(IDS_START_NOW)); // the sample file was read
    EXPECT_EQ(UIText(IDS_START_NOW), NameOf(start));
    wchar_t windowText[64] = {};
    ::GetWindowTextW(start, windowText, 64);
    EXPECT_EQ(UIText(IDS_START_NOW), windowText);
    EXPECT_EQ(FormatUIText(UIText(IDS_LAUNCH_APP), {kFullName}), NameOf(launch));
    EXPECT_TRUE(m_events.Saw(EVENT_OBJECT_NAMECHANGE, start));
    WalkAndPrint(panel, "success panel, Deutsch");
}

namespace {

// The main dialog's frame from the main dialog's own template style; the system commands its
// caption buttons send are recorded, not carried out.
class CCaptionDialog : public CPelDialog
{
public:
    CCaptionDialog() : CPelDialog(0)
    {
        InitModalIndirect(m_template.Get());
        SetImageModule(InstallerModule());
    }
    std::vector<WPARAM> commands;

protected:
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override
    {
        if (msg == WM_SYSCOMMAND) {
            commands.push_back(wParam & 0xFFF0);
            return 0;
        }
        return CPelDialog::WindowProc(msg, wParam, lParam);
    }

private:
    CGuideTemplate m_template;
};

// The window menu's word for a command, without its mnemonic mark and shortcut.
std::wstring MenuWord(HWND hwnd, UINT command)
{
    wchar_t text[128] = {};
    ::GetMenuStringW(::GetSystemMenu(hwnd, FALSE), command, text, 128, MF_BYCOMMAND);
    std::wstring word;
    for (const wchar_t* p = text; *p && *p != L'\t'; ++p)
        if (*p != L'&')
            word += *p;
    return word;
}

} // namespace

TEST_F(AccessibilityTest, CaptionButtonsAreTheTitleBarsPushButtons)
{
    CCaptionDialog dialog;
    ASSERT_TRUE(dialog.Create(nullptr));
    ::SetWindowPos(dialog, HWND_TOPMOST, 100, 100, 420, 300, SWP_SHOWWINDOW);
    PumpMessages(60);

    const std::vector<AccessibleNode> nodes =
        WalkAndPrint(dialog, "main dialog, title bar", OBJID_TITLEBAR);
    const AccessibleNode* bar = Find(nodes, dialog);
    ASSERT_NE(nullptr, bar);
    EXPECT_EQ(ROLE_SYSTEM_TITLEBAR, bar->role);
    EXPECT_EQ(L"Installer", bar->name);
    struct Button
    {
        long child;
        int id;
        UINT command;
        bool shown;
    };
    // Maximize is not offered (it takes no room in a window made unmaximised).
    for (const Button& b : {Button{2, kCaptionMinimize, SC_MINIMIZE, true},
                            Button{3, kCaptionMaximize, SC_MAXIMIZE, false},
                            Button{5, kCaptionClose, SC_CLOSE, true}}) {
        SCOPED_TRACE(b.child);
        const AccessibleNode* node = Find(nodes, dialog, b.child);
        ASSERT_NE(nullptr, node);
        EXPECT_EQ(ROLE_SYSTEM_PUSHBUTTON, node->role);
        EXPECT_EQ(b.shown ? 0 : STATE_SYSTEM_INVISIBLE, node->state & STATE_SYSTEM_INVISIBLE);
        EXPECT_EQ(0, node->state & (STATE_SYSTEM_FOCUSABLE | STATE_SYSTEM_FOCUSED));
        if (!b.shown)
            continue;
        // The system's own word where its window menu has one.
        const std::wstring word = MenuWord(dialog, b.command);
        EXPECT_EQ(word.empty() ? dialog.CaptionButtons()[b.id].name : word, node->name);
        long left = 0, top = 0, width = 0, height = 0;
        ComPtr<IAccessible> titleBar = ObjectOf(dialog, OBJID_TITLEBAR);
        ASSERT_TRUE(titleBar);
        ASSERT_EQ(S_OK, titleBar->accLocation(&left, &top, &width, &height, ChildId(b.child)));
        RECT window{};
        ::GetWindowRect(dialog, &window);
        const RECT& drawn = dialog.CaptionButtons()[b.id].buttonRect;
        EXPECT_EQ(window.left + drawn.left, left);
        EXPECT_EQ(window.top + drawn.top, top);
        EXPECT_EQ(drawn.right - drawn.left, width);
        VARIANT hit;
        ::VariantInit(&hit);
        EXPECT_EQ(S_OK, titleBar->accHitTest(left + width / 2, top + height / 2, &hit));
        EXPECT_EQ(VT_I4, hit.vt);
        EXPECT_EQ(b.child, hit.lVal);
    }
    // The names are the window menu's, so they come in the system's language: a menu that
    // says otherwise renames the button.
    ASSERT_TRUE(::ModifyMenuW(::GetSystemMenu(dialog, FALSE), SC_CLOSE, MF_BYCOMMAND | MF_STRING,
                              SC_CLOSE, L"&Schlie\u00DFen\tAlt+F4"));
    EXPECT_EQ(L"Schlie\u00DFen", NameOf(dialog, OBJID_TITLEBAR, 5));

    // Pressing Close through the screen reader asks the window to close, as a click does.
    EXPECT_EQ(S_OK, DoDefaultAction(dialog, OBJID_TITLEBAR, 5));
    PumpMessages(40);
    EXPECT_EQ(std::vector<WPARAM>{SC_CLOSE}, dialog.commands);
    dialog.DestroyWindow();
}
