#include "controls/Fonts.h"

#include "controls/Dpi.h"

namespace {

// Owns one GDI font; the destructor covers a process that ends without an
// explicit DeleteSharedFonts.
class SharedFont
{
public:
    SharedFont() = default;
    ~SharedFont() { Reset(); }
    SharedFont(const SharedFont&) = delete;
    SharedFont& operator=(const SharedFont&) = delete;

    HFONT Get() const { return m_font; }

    void Reset(HFONT font = nullptr)
    {
        if (m_font)
            DeleteObject(m_font);
        m_font = font;
    }

private:
    HFONT m_font = nullptr;
};

SharedFont g_text;
SharedFont g_link;
SharedFont g_button;
SharedFont g_heading;

// A positive height asks for the cell height, so the font's line height is
// the scaled value itself.
HFONT MakeFont(const wchar_t* face, int height96, LONG weight, BYTE underline)
{
    LOGFONTW lf = {};
    lf.lfHeight = DpiScaleX(height96);
    lf.lfWidth = 0;
    lf.lfEscapement = 0;
    lf.lfOrientation = 0;
    lf.lfWeight = weight;
    lf.lfItalic = FALSE;
    lf.lfUnderline = underline;
    lf.lfStrikeOut = FALSE;
    lf.lfCharSet = DEFAULT_CHARSET;
    lf.lfOutPrecision = OUT_STROKE_PRECIS;
    lf.lfClipPrecision = CLIP_STROKE_PRECIS;
    lf.lfQuality = PROOF_QUALITY;
    lf.lfPitchAndFamily = 0;
    lstrcpynW(lf.lfFaceName, face, LF_FACESIZE);
    return CreateFontIndirectW(&lf);
}

} // namespace

HFONT TextFont()
{
    return g_text.Get();
}

HFONT LinkFont()
{
    return g_link.Get();
}

HFONT ButtonFont()
{
    return g_button.Get();
}

HFONT HeadingFont()
{
    return g_heading.Get();
}

void CreateSharedFonts()
{
    g_text.Reset(MakeFont(L"Tahoma", 14, FW_NORMAL, FALSE));
    g_link.Reset(MakeFont(L"Tahoma", 14, FW_NORMAL, TRUE));
    g_button.Reset(MakeFont(L"Tahoma", 18, FW_NORMAL, FALSE));
    g_heading.Reset(MakeFont(L"Arial", 32, FW_BOLD, FALSE));
}

void DeleteSharedFonts()
{
    g_text.Reset();
    g_link.Reset();
    g_button.Reset();
    g_heading.Reset();
}
