// Screen-reader access to the controls that draw themselves. A control answers WM_GETOBJECT
// with an accessible object made here: Windows' own proxy of the window
// (CreateStdAccessibleObject: the window's place, parent, children, focus, visibility) wrapped
// so that what the proxy cannot know of a self-drawn control - its name, role, state, value and
// default action - comes from the control object, asked at every question, so that it is
// always what the control shows now.
#pragma once

#include <windows.h>
#include <oleacc.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

// What a control says about itself (or about one of its simple children). What it leaves
// unset, the proxy answers.
struct AccessibleFacts
{
    long role = 0; // ROLE_SYSTEM_*; 0 leaves the role to the proxy
    std::optional<std::wstring> name;
    std::optional<std::wstring> value;
    // The states only the control knows (checked, expanded or collapsed, linked, read-only, a
    // disabled look). For the object itself, the window's own states are added: invisible,
    // unavailable, focused, and focusable for a shown tab stop. A simple child's states are these
    // alone.
    long state = 0;
    std::optional<std::wstring> defaultAction;
};

// Names of default actions, the words Windows' own proxies use for the same controls. They
// are not translated: string.ini has no keys for them.
inline constexpr wchar_t kAccessibleActionPress[] = L"Press";
inline constexpr wchar_t kAccessibleActionCheck[] = L"Check";
inline constexpr wchar_t kAccessibleActionUncheck[] = L"Uncheck";
inline constexpr wchar_t kAccessibleActionExpand[] = L"Expand";
inline constexpr wchar_t kAccessibleActionCollapse[] = L"Collapse";
inline constexpr wchar_t kAccessibleActionJump[] = L"Jump";

// Implemented by the control objects (CWnd classes) that describe themselves; the accessible
// object finds it as the window's CWnd object, while that is attached.
class CAccessibleSource
{
public:
    virtual ~CAccessibleSource() = default;

    // Facts about the object (child CHILDID_SELF) or one of its simple children (1, 2, ...);
    // false leaves every answer to the proxy.
    virtual bool GetAccessibleFacts(long child, AccessibleFacts* facts) const = 0;
    // How many simple children the object has; -1 keeps the proxy's children.
    virtual long GetAccessibleChildCount() const { return -1; }
    // The screen rectangle of the object (CHILDID_SELF) or a simple child; false: the proxy's.
    virtual bool GetAccessibleRect(long /*child*/, RECT* /*screen*/) const { return false; }
    // Does what a click on the object or child does; false leaves it to the proxy.
    virtual bool DoAccessibleDefaultAction(long /*child*/) { return false; }

    // Windows whose texts name the control, as a label beside a field names it. Several (the
    // parts of a sentence beside a check box) are read left to right as they stand on screen.
    void SetAccessibleLabels(std::vector<HWND> labels) { m_labels = std::move(labels); }
    // The labels' texts joined by spaces; empty without labels.
    std::wstring AccessibleLabelText() const;

private:
    std::vector<HWND> m_labels;
};

// The answer to WM_GETOBJECT for a window whose CWnd object is a CAccessibleSource: for the
// object objectId (OBJID_CLIENT for a control), the reference to return; 0 for any other
// object or on failure, when the message goes on to default processing (the plain proxy).
LRESULT AnswerAccessibleObject(HWND hwnd, WPARAM wParam, LPARAM lParam,
                               LONG objectId = OBJID_CLIENT);

// Tells assistive technology that the name, value or state (EVENT_OBJECT_NAMECHANGE,
// EVENT_OBJECT_VALUECHANGE, EVENT_OBJECT_STATECHANGE) of hwnd's client object changed.
void NotifyAccessibleChange(HWND hwnd, DWORD event);

// The window's text; empty for no window.
std::wstring AccessibleWindowText(HWND hwnd);
