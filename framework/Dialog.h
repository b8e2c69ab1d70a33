// Dialog base class: dialogs from resource templates, run modally by our own message loop
// or created modeless as child dialogs.
#pragma once

#include "framework/Wnd.h"

class CDialog : public CWnd
{
public:
    explicit CDialog(UINT templateId, HWND parent = nullptr);

    // Uses an in-memory template instead of the resource (kept alive by the caller).
    void InitModalIndirect(const DLGTEMPLATE* dialogTemplate) { m_pTemplate = dialogTemplate; }
    // Module whose resources hold the template; the executable unless set.
    void SetResourceInstance(HINSTANCE instance) { m_hResource = instance; }

    UINT GetTemplateId() const { return m_nIDTemplate; }

    // Creates the dialog, disables its owner and runs a message loop until EndDialog or until
    // the window is destroyed. Returns the EndDialog result; -1 when the dialog could not be
    // created or was destroyed without EndDialog.
    INT_PTR DoModal();

    // Whether the last DoModal got its window (false when the template or a window class
    // was missing, or OnInitDialog's creation failed).
    bool WasModalWindowCreated() const { return m_bModalCreated; }

    // Creates the dialog modeless, as a child or owned window of parent.
    bool Create(HWND parent);

    // Ends a modal run after the current message; the window is destroyed by DoModal.
    void EndDialog(INT_PTR result);

    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

protected:
    // Return TRUE to let the dialog manager put the focus on the first control.
    virtual BOOL OnInitDialog() { return TRUE; }
    virtual void OnOK() { EndDialog(IDOK); }
    // Called from OnInitDialog of a modal dialog that must stay hidden for its whole run (an
    // unattended install). DoModal shows every other modal dialog once it is created; the
    // template of a dialog that may stay hidden must therefore not carry WS_VISIBLE, which
    // would make the dialog manager show it after OnInitDialog.
    void KeepHidden() { m_bKeepHidden = true; }
    virtual void OnCancel() { EndDialog(IDCANCEL); }

private:
    HWND CreateFromTemplate(HWND parent);
    void RunModalLoop();
    static INT_PTR CALLBACK StaticDialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

    UINT m_nIDTemplate;
    HWND m_hParent;
    const DLGTEMPLATE* m_pTemplate = nullptr;
    HINSTANCE m_hResource = nullptr;
    bool m_bInModalLoop = false;
    bool m_bEndModal = false;
    bool m_bKeepHidden = false;
    bool m_bModalCreated = false;
    INT_PTR m_nModalResult = -1;
};
