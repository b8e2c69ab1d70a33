// Base of the installer's top-level dialogs: a flat frame of its own (caption bar with
// optional icon and title, one-pixel border, owner-drawn caption buttons), the client
// background, and one layout hook for derived dialogs.
#pragma once

#include "framework/Controls.h"

class CPelDialog : public CDialogEx
{
public:
    explicit CPelDialog(UINT templateId, HWND parent = nullptr);
    ~CPelDialog() override;

    // Shows or hides icon and title in the caption bar; repaints the frame at once.
    void SetTitleVisible(bool visible);
    // Caption button ids: 0 Close, 1 Maximize, 2 Restore, 3 Minimize.
    void SetCaptionButtonDisabled(int id, bool disabled);
    // Paints the whole non-client area now.
    void RepaintFrame();

    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

protected:
    BOOL OnInitDialog() override;
    // Called after every resize with the current client rectangle.
    virtual void OnClientAreaSized(const RECT& client);
};
