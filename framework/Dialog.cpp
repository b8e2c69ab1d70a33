#include "framework/Dialog.h"

#include "framework/KeyboardCues.h"
#include "framework/RunLog.h"

CDialog::CDialog(UINT templateId, HWND parent) : m_nIDTemplate(templateId), m_hParent(parent) {}

HWND CDialog::CreateFromTemplate(HWND parent)
{
    HINSTANCE instance = m_hResource ? m_hResource : ::GetModuleHandleW(nullptr);
    auto self = reinterpret_cast<LPARAM>(this);
    if (m_pTemplate)
        return ::CreateDialogIndirectParamW(instance, m_pTemplate, parent, &StaticDialogProc, self);
    return ::CreateDialogParamW(instance, MAKEINTRESOURCEW(m_nIDTemplate), parent,
                                &StaticDialogProc, self);
}

bool CDialog::Create(HWND parent)
{
    if (m_hWnd)
        return false;
    m_hParent = parent;
    return CreateFromTemplate(parent) != nullptr && m_hWnd != nullptr;
}

INT_PTR CDialog::DoModal()
{
    if (m_hWnd)
        return -1;
    m_bEndModal = false;
    m_bKeepHidden = false;
    m_bModalCreated = false;
    m_nModalResult = -1;

    // The owner is disabled before the dialog exists, so that whatever OnInitDialog shows is
    // modal already. A popup dialog is owned by the top-level window of its parent.
    HWND owner = m_hParent ? ::GetAncestor(m_hParent, GA_ROOT) : nullptr;
    bool reenableOwner = owner && ::IsWindowEnabled(owner);
    if (reenableOwner)
        ::EnableWindow(owner, FALSE);

    // A run without anyone at the screen creates no window anyone could see: a top-level
    // dialog becomes a message-only window, which is never shown and is not among the
    // desktop's windows, yet has its messages, timers and child windows as before.
    HWND parent = m_hParent;
    if (!parent && IsQuietRun())
        parent = HWND_MESSAGE;

    // EndDialog called from OnInitDialog must already count as a modal end.
    m_bInModalLoop = true;
    HWND hwnd = CreateFromTemplate(parent);
    m_bModalCreated = hwnd && m_hWnd;
    if (hwnd && !m_hWnd)
        ::DestroyWindow(hwnd); // created, but the object could not attach to it
    else if (hwnd) {
        if (!m_bEndModal && !m_bKeepHidden && !::IsWindowVisible(hwnd))
            ::ShowWindow(hwnd, SW_SHOWNORMAL);
        RunModalLoop();
    }
    m_bInModalLoop = false;

    // Re-enable and activate the owner before the dialog goes, so activation returns to it
    // rather than to some other application.
    if (reenableOwner) {
        ::EnableWindow(owner, TRUE);
        if (m_hWnd && ::GetActiveWindow() == m_hWnd)
            ::SetActiveWindow(owner);
    }
    if (m_hWnd)
        ::DestroyWindow(m_hWnd);
    return m_nModalResult;
}

void CDialog::RunModalLoop()
{
    MSG msg;
    while (!m_bEndModal && m_hWnd) {
        BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
        if (got == -1)
            break;
        if (got == 0) {
            // Leave WM_QUIT for the loop outside ours.
            ::PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        // The dialog manager shows focus cues from the first key that moves the focus; the
        // loop says so itself, so that they show wherever the UI state is not passed on.
        if (m_hWnd && (msg.hwnd == m_hWnd || ::IsChild(m_hWnd, msg.hwnd)) &&
            IsFocusNavigationKey(msg))
            ShowFocusCues(m_hWnd);
        // A key still queued for a control whose panel has been hidden since (a key may
        // switch the panel) is no dialog key any more: moving on or matching mnemonics from
        // a place that is not shown leads nowhere, and the control alone gets it.
        const bool keyForHidden = msg.message >= WM_KEYFIRST && msg.message <= WM_KEYLAST &&
                                  msg.hwnd != m_hWnd && !::IsWindowVisible(::GetParent(msg.hwnd));
        // Messages sent while waiting may have destroyed the dialog already.
        if (m_hWnd && (WalkPreTranslateTree(m_hWnd, &msg) ||
                       (!keyForHidden && ::IsDialogMessageW(m_hWnd, &msg))))
            continue;
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
}

void CDialog::EndDialog(INT_PTR result)
{
    if (!m_bInModalLoop)
        return;
    m_nModalResult = result;
    m_bEndModal = true;
    // Wakes the loop when EndDialog ran inside a sent message while GetMessage was waiting.
    if (m_hWnd)
        ::PostMessageW(m_hWnd, WM_NULL, 0, 0);
}

LRESULT CDialog::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_INITDIALOG:
        return OnInitDialog();
    case WM_NCDESTROY:
        ForgetFocusCues(m_hWnd);
        break;
    case WM_COMMAND:
        if (HIWORD(wParam) == BN_CLICKED) {
            if (LOWORD(wParam) == IDOK) {
                OnOK();
                return 0;
            }
            if (LOWORD(wParam) == IDCANCEL) {
                OnCancel();
                return 0;
            }
        }
        break;
    }
    return CWnd::WindowProc(msg, wParam, lParam);
}

// The dialog procedure only attaches the object. From WM_INITDIALOG on, the dialog window is
// subclassed, so every message reaches WindowProc first and its default processing runs the
// dialog class's own procedure (DefDlgProc), which calls back here and gets FALSE.
INT_PTR CALLBACK CDialog::StaticDialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg != WM_INITDIALOG)
        return FALSE;
    auto* dialog = reinterpret_cast<CDialog*>(lParam);
    if (!dialog || FromHandle(hwnd) || !dialog->SubclassWindow(hwnd))
        return FALSE;
    return static_cast<INT_PTR>(dialog->WindowProc(WM_INITDIALOG, wParam, lParam));
}
