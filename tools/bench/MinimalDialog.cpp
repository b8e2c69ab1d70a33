// The baseline of the start-up benchmark (StartupBench): the least a Windows program has to do
// to put a dialog of the installer's size on the screen. One modal dialog from an in-memory
// template (no resources, no manifest, nothing but user32 and gdi32), one static text and one
// button, shown and then left waiting for the user. Linked statically with the installer's flags,
// so the C++ runtime start-up is the same on both sides of the comparison.
#include <windows.h>

#include <vector>

namespace {

// The installer's main window at 96 dpi: the 660 x 446 panel plus its one-pixel side borders.
constexpr int kPanelWidth = 660;
constexpr int kPanelHeight = 446;
constexpr int kSideBorder = 1;

constexpr WORD kTextId = 100;
constexpr WORD kStaticClass = 0x0082;
constexpr WORD kButtonClass = 0x0080;

// A dialog template is a packed sequence of 16-bit words; items start on 32-bit boundaries.
class CTemplateWriter
{
public:
    void Word(WORD value) { m_words.push_back(value); }
    void Dword(DWORD value)
    {
        Word(LOWORD(value));
        Word(HIWORD(value));
    }
    void Text(const wchar_t* text)
    {
        for (; *text; ++text)
            Word(static_cast<WORD>(*text));
        Word(0);
    }
    void AlignDword()
    {
        if (m_words.size() % 2)
            Word(0);
    }
    void Item(DWORD style, short x, short y, short cx, short cy, WORD id, WORD atom,
              const wchar_t* text)
    {
        AlignDword();
        Dword(style | WS_CHILD | WS_VISIBLE);
        Dword(0); // extended style
        Word(static_cast<WORD>(x));
        Word(static_cast<WORD>(y));
        Word(static_cast<WORD>(cx));
        Word(static_cast<WORD>(cy));
        Word(id);
        Word(0xFFFF); // a predefined class by atom
        Word(atom);
        Text(text);
        Word(0); // no creation data
    }
    const DLGTEMPLATE* Get() const { return reinterpret_cast<const DLGTEMPLATE*>(m_words.data()); }

private:
    std::vector<WORD> m_words;
};

// The installer's main dialog style: caption, system menu, minimise box; shown by the modal loop.
void WriteTemplate(CTemplateWriter* out)
{
    out->Dword(DS_SETFONT | DS_MODALFRAME | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU |
               WS_MINIMIZEBOX | WS_CLIPCHILDREN);
    out->Dword(0); // extended style
    out->Word(2);  // items
    out->Word(0);  // position and size in dialog units: the real size is set in pixels later
    out->Word(0);
    out->Word(440);
    out->Word(300);
    out->Word(0); // no menu
    out->Word(0); // the system dialog class
    out->Text(L"Minimal dialog");
    out->Word(8);
    out->Text(L"MS Shell Dlg");
    out->Item(SS_LEFT, 20, 20, 300, 12, kTextId, kStaticClass,
              L"A plain dialog for the start-up comparison.");
    out->Item(BS_DEFPUSHBUTTON | WS_TABSTOP, 120, 116, 200, 22, IDCANCEL, kButtonClass, L"Close");
}

int ScreenDpi()
{
    HDC screen = ::GetDC(nullptr);
    int dpi = screen ? ::GetDeviceCaps(screen, LOGPIXELSX) : 96;
    if (screen)
        ::ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : 96;
}

// Pixel size rather than dialog units, so both programs show the same outer rectangle
// whatever the dialog font measures.
void SizeLikeInstaller(HWND dialog)
{
    int dpi = ScreenDpi();
    int width = ::MulDiv(kPanelWidth, dpi, 96) + 2 * ::MulDiv(kSideBorder, dpi, 96);
    int height = ::MulDiv(kPanelHeight, dpi, 96);
    RECT work = {};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    int x = work.left + ((work.right - work.left) - width) / 2;
    int y = work.top + ((work.bottom - work.top) - height) / 2;
    ::SetWindowPos(dialog, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

INT_PTR CALLBACK MinimalDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        SizeLikeInstaller(dialog);
        return TRUE;
    case WM_COMMAND:
        // WM_CLOSE arrives here as IDCANCEL, as does the button.
        if (LOWORD(wParam) == IDCANCEL || LOWORD(wParam) == IDOK) {
            ::EndDialog(dialog, LOWORD(wParam));
            return TRUE;
        }
        break;
    }
    return FALSE;
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int)
{
    CTemplateWriter writer;
    WriteTemplate(&writer);
    INT_PTR result = ::DialogBoxIndirectParamW(instance, writer.Get(), nullptr, &MinimalDialogProc, 0);
    return result == -1 ? 1 : 0;
}
