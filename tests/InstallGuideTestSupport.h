// Shared by the main dialog tests: the installer's resources, in-memory dialog templates,
// and steps run inside a real modal run of the main dialog.
#pragma once

#include "app/InstallGuide.h"
#include "framework/Handles.h"

#include "WinTestSupport.h"

#include <windows.h>

#include <functional>
#include <vector>

namespace guide_test {

// The installer's resources (panel templates, pictures, icon), opened as data only.
inline HMODULE Installer()
{
    static CModuleHandle module(::LoadLibraryExW(
        testing_support::InstallerExePath().c_str(), nullptr,
        LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
    return module.Get();
}

// In-memory dialog templates: words appended as the DLGTEMPLATE layout wants them.
class CTemplateWords
{
public:
    const DLGTEMPLATE* Get() const { return reinterpret_cast<const DLGTEMPLATE*>(m_words.data()); }

protected:
    void Word(WORD w) { m_words.push_back(w); }
    void Dword(DWORD d) { Word(LOWORD(d)), Word(HIWORD(d)); }
    void Text(const wchar_t* s)
    {
        for (; *s; ++s)
            Word(static_cast<WORD>(*s));
        Word(0);
    }
    void Align() { if (m_words.size() % 2) Word(0); }
    std::vector<WORD> m_words;
};

// The main dialog's template as the resource has it, but of the default dialog class (the
// test process has not registered the installer's class).
class CGuideTemplate : public CTemplateWords
{
public:
    CGuideTemplate()
    {
        Dword(DS_SETFONT | DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX |
              WS_CLIPCHILDREN);
        Dword(0);
        Word(0);
        Word(0), Word(0), Word(260), Word(90);
        Word(0), Word(0);
        Text(L"Installer");
        Word(8);
        Text(L"MS Shell Dlg");
    }
};

// Runs steps inside a modal run of the dialog, one per tick of a thread timer, so that the
// framework's own loop (with its key handling) dispatches everything in between. A run that
// is still going a while after the last step is ended by destroying the window.
class CModalScript
{
public:
    INT_PTR Run(CInstallGuide& guide, std::vector<std::function<void()>> steps)
    {
        s_self = this;
        m_guide = &guide;
        m_steps = std::move(steps);
        m_next = 0;
        m_idleTicks = 0;
        m_timer = ::SetTimer(nullptr, 0, 60, &Tick);
        INT_PTR result = guide.DoModal();
        ::KillTimer(nullptr, m_timer);
        s_self = nullptr;
        return result;
    }
    // While this holds, no step runs (and the idle time does not count).
    void WaitWhile(std::function<bool()> condition) { m_waitWhile = std::move(condition); }
    size_t StepsRun() const { return m_next; }
    bool TimedOut() const { return m_timedOut; }

private:
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD)
    {
        CModalScript* self = s_self;
        if (!self || self->m_busy)
            return;
        self->m_busy = true;
        if (self->m_waitWhile && self->m_waitWhile()) {
            // A step's modal consequence (a message box) is still open; its own loop
            // dispatches our ticks, so the next step must not run inside it.
        } else if (self->m_next < self->m_steps.size()) {
            self->m_steps[self->m_next++]();
        } else if (++self->m_idleTicks > 40 && self->m_guide->m_hWnd) {
            self->m_timedOut = true;
            ::DestroyWindow(self->m_guide->m_hWnd);
        }
        self->m_busy = false;
    }

    static inline CModalScript* s_self = nullptr;
    CInstallGuide* m_guide = nullptr;
    std::vector<std::function<void()>> m_steps;
    std::function<bool()> m_waitWhile;
    size_t m_next = 0;
    int m_idleTicks = 0;
    UINT_PTR m_timer = 0;
    bool m_busy = false;
    bool m_timedOut = false;
};

// Whether this thread shows a message box (a "#32770" top-level window other than except).
inline bool MessageBoxOpen(HWND except)
{
    struct Search
    {
        HWND except;
        bool found;
    } search{except, false};
    ::EnumThreadWindows(
        ::GetCurrentThreadId(),
        [](HWND hwnd, LPARAM param) -> BOOL {
            auto* s = reinterpret_cast<Search*>(param);
            wchar_t cls[16] = {};
            ::GetClassNameW(hwnd, cls, 16);
            if (hwnd != s->except && ::IsWindowVisible(hwnd) && lstrcmpW(cls, L"#32770") == 0) {
                s->found = true;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

} // namespace guide_test
