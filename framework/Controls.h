// Thin wrappers of the system controls the installer subclasses. Each adds only the calls
// its users make; the control's own procedure does the work.
#pragma once

#include "framework/Dialog.h"

#include <string>

class CButton : public CWnd
{
public:
    UINT GetState() const { return static_cast<UINT>(::SendMessageW(m_hWnd, BM_GETSTATE, 0, 0)); }
    int GetCheck() const { return static_cast<int>(::SendMessageW(m_hWnd, BM_GETCHECK, 0, 0)); }
    void SetCheck(int check) { ::SendMessageW(m_hWnd, BM_SETCHECK, static_cast<WPARAM>(check), 0); }
};

class CStatic : public CWnd
{
};

class CEdit : public CWnd
{
public:
    void SetSel(int start, int end) { ::SendMessageW(m_hWnd, EM_SETSEL, static_cast<WPARAM>(start), end); }
    void GetSel(int* start, int* end) const
    {
        DWORD s = 0;
        DWORD e = 0;
        ::SendMessageW(m_hWnd, EM_GETSEL, reinterpret_cast<WPARAM>(&s), reinterpret_cast<LPARAM>(&e));
        *start = static_cast<int>(s);
        *end = static_cast<int>(e);
    }
    bool IsReadOnly() const { return (GetStyle() & ES_READONLY) != 0; }
    void SetReadOnly(bool readOnly = true)
    {
        ::SendMessageW(m_hWnd, EM_SETREADONLY, readOnly ? TRUE : FALSE, 0);
    }
};

class CComboBox : public CWnd
{
public:
    int GetCount() const { return static_cast<int>(::SendMessageW(m_hWnd, CB_GETCOUNT, 0, 0)); }
    int GetCurSel() const { return static_cast<int>(::SendMessageW(m_hWnd, CB_GETCURSEL, 0, 0)); }
    int SetCurSel(int index)
    {
        return static_cast<int>(::SendMessageW(m_hWnd, CB_SETCURSEL, static_cast<WPARAM>(index), 0));
    }
    int AddString(const wchar_t* text)
    {
        return static_cast<int>(::SendMessageW(m_hWnd, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text)));
    }
    void ResetContent() { ::SendMessageW(m_hWnd, CB_RESETCONTENT, 0, 0); }
    bool GetDroppedState() const { return ::SendMessageW(m_hWnd, CB_GETDROPPEDSTATE, 0, 0) != 0; }
    void ShowDropDown(bool show = true) { ::SendMessageW(m_hWnd, CB_SHOWDROPDOWN, show ? TRUE : FALSE, 0); }
    // The text of an item; empty for an index out of range.
    std::wstring GetLBText(int index) const
    {
        LRESULT length = ::SendMessageW(m_hWnd, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
        if (length == CB_ERR || length < 0)
            return {};
        std::wstring text(static_cast<size_t>(length) + 1, L'\0');
        LRESULT copied = ::SendMessageW(m_hWnd, CB_GETLBTEXT, static_cast<WPARAM>(index),
                                        reinterpret_cast<LPARAM>(&text[0]));
        text.resize(copied == CB_ERR || copied < 0 ? 0 : static_cast<size_t>(copied));
        return text;
    }
};

class CListBox : public CWnd
{
public:
    int GetCount() const { return static_cast<int>(::SendMessageW(m_hWnd, LB_GETCOUNT, 0, 0)); }
};

// The extended dialog: the base of the installer's top-level dialogs. The plain dialog
// already has everything they use.
class CDialogEx : public CDialog
{
public:
    using CDialog::CDialog;
};
