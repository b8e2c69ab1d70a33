// Placeholder until the frame drawing lands: the interface and the layout hook.
#include "controls/PelDialog.h"

CPelDialog::CPelDialog(UINT templateId, HWND parent) : CDialogEx(templateId, parent) {}

CPelDialog::~CPelDialog() = default;

void CPelDialog::SetTitleVisible(bool) {}

void CPelDialog::SetCaptionButtonDisabled(int, bool) {}

void CPelDialog::RepaintFrame() {}

BOOL CPelDialog::OnInitDialog()
{
    CDialogEx::OnInitDialog();
    return TRUE;
}

void CPelDialog::OnClientAreaSized(const RECT&) {}

LRESULT CPelDialog::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_SIZE) {
        LRESULT result = CDialogEx::WindowProc(msg, wParam, lParam);
        RECT client = {};
        ::GetClientRect(m_hWnd, &client);
        OnClientAreaSized(client);
        return result;
    }
    return CDialogEx::WindowProc(msg, wParam, lParam);
}
