#include "controls/Accessible.h"

#include "framework/Handles.h"
#include "framework/Wnd.h"

#include <algorithm>
#include <new>
#include <utility>

namespace {

// The states the wrapper decides for the object itself; the proxy's other bits (off-screen,
// for one) stay.
constexpr long kDecidedStates = STATE_SYSTEM_INVISIBLE | STATE_SYSTEM_UNAVAILABLE |
                                STATE_SYSTEM_FOCUSED | STATE_SYSTEM_FOCUSABLE |
                                STATE_SYSTEM_CHECKED | STATE_SYSTEM_MIXED | STATE_SYSTEM_PRESSED |
                                STATE_SYSTEM_EXPANDED | STATE_SYSTEM_COLLAPSED |
                                STATE_SYSTEM_READONLY | STATE_SYSTEM_LINKED;

HRESULT ReturnText(const std::wstring& text, BSTR* out)
{
    // An empty text is no text: S_FALSE with no string, as the proxies answer.
    if (text.empty())
        return S_FALSE;
    *out = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return *out ? S_OK : E_OUTOFMEMORY;
}

// The IAccessible of one window's object (OBJID_CLIENT, or OBJID_TITLEBAR of a dialog that
// draws its own caption): the window's CAccessibleSource answers what it knows, the proxy the
// rest. Without a proxy (Wine has none for the title bar) the source answers alone.
class CAccessible final : public IAccessible
{
public:
    CAccessible(HWND hwnd, LONG objectId, ComPtr<IAccessible> proxy)
        : m_hwnd(hwnd), m_objectId(objectId), m_proxy(std::move(proxy))
    {
    }
    CAccessible(const CAccessible&) = delete;
    CAccessible& operator=(const CAccessible&) = delete;

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override
    {
        if (!object)
            return E_POINTER;
        if (riid == __uuidof(IUnknown) || riid == __uuidof(IDispatch) ||
            riid == __uuidof(IAccessible)) {
            *object = static_cast<IAccessible*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override
    {
        return static_cast<ULONG>(::InterlockedIncrement(&m_refs));
    }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const LONG refs = ::InterlockedDecrement(&m_refs);
        if (refs == 0)
            delete this;
        return static_cast<ULONG>(refs);
    }

    // IDispatch: no type information; clients call the IAccessible methods directly.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override
    {
        if (!count)
            return E_POINTER;
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*,
                                     EXCEPINFO*, UINT*) override
    {
        return E_NOTIMPL;
    }

    // IAccessible
    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override
    {
        if (m_proxy)
            return m_proxy->get_accParent(parent);
        if (!parent)
            return E_POINTER;
        return ::AccessibleObjectFromWindow(m_hwnd, static_cast<DWORD>(OBJID_WINDOW),
                                            __uuidof(IDispatch), reinterpret_cast<void**>(parent));
    }
    HRESULT STDMETHODCALLTYPE get_accChildCount(long* count) override
    {
        CAccessibleSource* source = Source();
        const long own = source ? source->GetAccessibleChildCount() : -1;
        if (own < 0 && m_proxy)
            return m_proxy->get_accChildCount(count);
        if (!count)
            return E_POINTER;
        *count = std::max(own, 0L);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** dispatch) override
    {
        if (IsOwnChild(child)) {
            if (!dispatch)
                return E_POINTER;
            *dispatch = nullptr; // a simple child: its parent answers for it
            return S_FALSE;
        }
        return m_proxy ? m_proxy->get_accChild(child, dispatch) : E_INVALIDARG;
    }
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override
    {
        return Text(child, name, &AccessibleFacts::name,
                    [&] { return m_proxy->get_accName(child, name); });
    }
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override
    {
        return Text(child, value, &AccessibleFacts::value,
                    [&] { return m_proxy->get_accValue(child, value); });
    }
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* text) override
    {
        return Text(child, text, nullptr, [&] { return m_proxy->get_accDescription(child, text); });
    }
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override
    {
        AccessibleFacts facts;
        if (!role)
            return E_POINTER;
        if (Facts(child, &facts) && facts.role != 0) {
            role->vt = VT_I4;
            role->lVal = facts.role;
            return S_OK;
        }
        if (m_proxy)
            return m_proxy->get_accRole(child, role);
        role->vt = VT_EMPTY;
        return E_INVALIDARG;
    }
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override;
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* text) override
    {
        return Text(child, text, nullptr, [&] { return m_proxy->get_accHelp(child, text); });
    }
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, long* topic) override
    {
        if (m_proxy)
            return m_proxy->get_accHelpTopic(file, child, topic);
        return DISP_E_MEMBERNOTFOUND;
    }
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* text) override
    {
        return Text(child, text, nullptr,
                    [&] { return m_proxy->get_accKeyboardShortcut(child, text); });
    }
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* focus) override
    {
        return ProxiedVariant(focus, [&] { return m_proxy->get_accFocus(focus); });
    }
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* selection) override
    {
        return ProxiedVariant(selection, [&] { return m_proxy->get_accSelection(selection); });
    }
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override
    {
        return Text(child, action, &AccessibleFacts::defaultAction,
                    [&] { return m_proxy->get_accDefaultAction(child, action); });
    }
    HRESULT STDMETHODCALLTYPE accSelect(long flags, VARIANT child) override
    {
        return m_proxy ? m_proxy->accSelect(flags, child) : DISP_E_MEMBERNOTFOUND;
    }
    HRESULT STDMETHODCALLTYPE accLocation(long* left, long* top, long* width, long* height,
                                          VARIANT child) override;
    HRESULT STDMETHODCALLTYPE accNavigate(long direction, VARIANT start, VARIANT* end) override
    {
        return m_proxy ? m_proxy->accNavigate(direction, start, end) : DISP_E_MEMBERNOTFOUND;
    }
    HRESULT STDMETHODCALLTYPE accHitTest(long x, long y, VARIANT* child) override;
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override
    {
        CAccessibleSource* source = Source();
        if (source && child.vt == VT_I4 && source->DoAccessibleDefaultAction(child.lVal))
            return S_OK;
        return m_proxy ? m_proxy->accDoDefaultAction(child) : DISP_E_MEMBERNOTFOUND;
    }
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT child, BSTR name) override
    {
        return m_proxy ? m_proxy->put_accName(child, name) : DISP_E_MEMBERNOTFOUND;
    }
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT child, BSTR value) override
    {
        return m_proxy ? m_proxy->put_accValue(child, value) : DISP_E_MEMBERNOTFOUND;
    }

private:
    ~CAccessible() = default;

    // The window's object while it is attached and describes itself. Only on the window's
    // own thread: a control object is not made to be read from another.
    CAccessibleSource* Source() const
    {
        if (::GetWindowThreadProcessId(m_hwnd, nullptr) != ::GetCurrentThreadId())
            return nullptr;
        return dynamic_cast<CAccessibleSource*>(CWnd::FromHandle(m_hwnd));
    }
    bool Facts(const VARIANT& child, AccessibleFacts* facts) const
    {
        CAccessibleSource* source = Source();
        return source && child.vt == VT_I4 && source->GetAccessibleFacts(child.lVal, facts);
    }
    bool IsOwnChild(const VARIANT& child) const
    {
        CAccessibleSource* source = Source();
        return source && child.vt == VT_I4 && child.lVal > 0 &&
               child.lVal <= source->GetAccessibleChildCount();
    }
    // An answer only the proxy knows; without a proxy, none (VT_EMPTY).
    template <typename Call>
    HRESULT ProxiedVariant(VARIANT* out, Call askProxy) const
    {
        if (m_proxy)
            return askProxy();
        if (!out)
            return E_POINTER;
        out->vt = VT_EMPTY;
        return S_FALSE;
    }
    // A text property: the source's fact where it states one (fact null: never), else what
    // the proxy answers (askProxy), else no text.
    template <typename Call>
    HRESULT Text(const VARIANT& child, BSTR* out,
                 std::optional<std::wstring> AccessibleFacts::*fact, Call askProxy) const
    {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        AccessibleFacts facts;
        if (fact && Facts(child, &facts) && facts.*fact)
            return ReturnText(*(facts.*fact), out);
        return m_proxy ? askProxy() : S_FALSE;
    }
    // The window's own states, for its client object.
    long WindowStates() const;

    LONG m_refs = 1;
    HWND m_hwnd;
    LONG m_objectId;
    ComPtr<IAccessible> m_proxy;
};

long CAccessible::WindowStates() const
{
    long state = 0;
    const bool visible = ::IsWindowVisible(m_hwnd) != FALSE;
    if (!visible)
        state |= STATE_SYSTEM_INVISIBLE;
    if (!::IsWindowEnabled(m_hwnd))
        state |= STATE_SYSTEM_UNAVAILABLE;
    // A control whose part holds the focus (the combo box's edit field) has it.
    const HWND focus = ::GetFocus();
    if (focus && (focus == m_hwnd || ::IsChild(m_hwnd, focus)))
        state |= STATE_SYSTEM_FOCUSED;
    // A tab stop takes the focus while it is shown (the Tab key passes hidden ones by).
    if (visible && (::GetWindowLongPtrW(m_hwnd, GWL_STYLE) & WS_TABSTOP))
        state |= STATE_SYSTEM_FOCUSABLE;
    return state;
}

HRESULT CAccessible::get_accState(VARIANT child, VARIANT* state)
{
    if (!state)
        return E_POINTER;
    AccessibleFacts facts;
    if (!Facts(child, &facts))
        return m_proxy ? m_proxy->get_accState(child, state) : E_INVALIDARG;
    long result = facts.state;
    if (child.lVal == CHILDID_SELF) {
        VARIANT proxied;
        ::VariantInit(&proxied);
        if (m_proxy && SUCCEEDED(m_proxy->get_accState(child, &proxied)) && proxied.vt == VT_I4)
            result |= proxied.lVal & ~kDecidedStates;
        if (m_objectId == OBJID_CLIENT)
            result |= WindowStates();
    }
    // What cannot be used cannot take the focus either (a greyed button out of the tab order).
    if (result & STATE_SYSTEM_UNAVAILABLE)
        result &= ~(STATE_SYSTEM_FOCUSABLE | STATE_SYSTEM_FOCUSED);
    state->vt = VT_I4;
    state->lVal = result;
    return S_OK;
}

HRESULT CAccessible::accLocation(long* left, long* top, long* width, long* height, VARIANT child)
{
    CAccessibleSource* source = Source();
    RECT rect{};
    if (source && child.vt == VT_I4 && source->GetAccessibleRect(child.lVal, &rect)) {
        if (!left || !top || !width || !height)
            return E_POINTER;
        *left = rect.left;
        *top = rect.top;
        *width = rect.right - rect.left;
        *height = rect.bottom - rect.top;
        return S_OK;
    }
    return m_proxy ? m_proxy->accLocation(left, top, width, height, child) : DISP_E_MEMBERNOTFOUND;
}

HRESULT CAccessible::accHitTest(long x, long y, VARIANT* child)
{
    if (!child)
        return E_POINTER;
    // The object's own simple children first: a proxy places the system's buttons, not ours.
    if (CAccessibleSource* source = Source()) {
        const POINT point = {x, y};
        for (long i = 1; i <= source->GetAccessibleChildCount(); ++i) {
            RECT rect{};
            if (source->GetAccessibleRect(i, &rect) && ::PtInRect(&rect, point)) {
                child->vt = VT_I4;
                child->lVal = i;
                return S_OK;
            }
        }
    }
    if (m_proxy)
        return m_proxy->accHitTest(x, y, child);
    child->vt = VT_EMPTY;
    return S_FALSE;
}

} // namespace

std::wstring AccessibleWindowText(HWND hwnd)
{
    const int length = hwnd ? ::GetWindowTextLengthW(hwnd) : 0;
    if (length <= 0)
        return std::wstring();
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    const int copied = ::GetWindowTextW(hwnd, &text[0], length + 1);
    text.resize(copied > 0 ? static_cast<size_t>(copied) : 0);
    return text;
}

std::wstring CAccessibleSource::AccessibleLabelText() const
{
    std::vector<std::pair<LONG, HWND>> placed;
    for (HWND label : m_labels) {
        RECT rect{};
        if (label && ::GetWindowRect(label, &rect))
            placed.emplace_back(rect.left, label);
    }
    std::stable_sort(placed.begin(), placed.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::wstring text;
    for (const auto& entry : placed) {
        const std::wstring part = AccessibleWindowText(entry.second);
        if (part.empty())
            continue;
        if (!text.empty())
            text += L' ';
        text += part;
    }
    return text;
}

LRESULT AnswerAccessibleObject(HWND hwnd, WPARAM wParam, LPARAM lParam, LONG objectId)
{
    // The object id comes as a DWORD in lParam: compared as one, since a 64-bit lParam
    // holds it zero-extended.
    if (static_cast<DWORD>(lParam) != static_cast<DWORD>(objectId))
        return 0;
    // No proxy (Wine makes none for a title bar) leaves the source to answer alone.
    ComPtr<IAccessible> proxy;
    if (FAILED(::CreateStdAccessibleObject(hwnd, objectId, __uuidof(IAccessible),
                                           proxy.ReceiveVoid())))
        proxy.Reset();
    CAccessible* accessible = new (std::nothrow) CAccessible(hwnd, objectId, std::move(proxy));
    if (!accessible)
        return 0;
    const LRESULT result = ::LresultFromObject(__uuidof(IAccessible), wParam, accessible);
    // The reference LresultFromObject keeps lives on; ours ends here.
    accessible->Release();
    return result > 0 ? result : 0;
}

void NotifyAccessibleChange(HWND hwnd, DWORD event)
{
    if (hwnd)
        ::NotifyWinEvent(event, hwnd, OBJID_CLIENT, CHILDID_SELF);
}
