// Keyboard cues: the focus rectangle of a control is hidden while the user works with the
// mouse and shown from the first key that moves the focus on, for the rest of the window's
// life, as the dialog manager does it with the UI state (WM_CHANGEUISTATE, UISF_HIDEFOCUS).
// The user's setting to always show them (SPI_GETKEYBOARDCUES) wins.
#pragma once

#include <windows.h>

// Whether a focused control should draw its focus cue now: the window's UI state does not
// hide it, and the user asked to always see cues or the keyboard has moved the focus in the
// control's top-level window.
bool AreFocusCuesShown(HWND control);

// The keyboard moved (or is about to move) the focus in the top-level window of anyWindow:
// clears UISF_HIDEFOCUS there and records it on the window itself, so that the cue shows even
// where the UI state is not kept for the window's children; repaints the focused control.
void ShowFocusCues(HWND anyWindow);

// A control's WM_UPDATEUISTATE: keeps the record of the top-level window in step with what
// the system tells the control (a cleared UISF_HIDEFOCUS shows cues, a set one hides them).
void FollowUiStateUpdate(HWND control, WPARAM wParam);

// Whether a queued key message is one the dialog manager moves the focus with: Tab, or an
// arrow key, when the control it is for does not take that key itself (WM_GETDLGCODE).
bool IsFocusNavigationKey(const MSG& msg);

// Forgets the record of a top-level window (called as it is destroyed).
void ForgetFocusCues(HWND topLevel);
