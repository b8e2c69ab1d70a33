#include "panels/PanelText.h"

#include <cmath>
#include <cstdio>

std::wstring PercentText(float percent)
{
    if (std::isnan(percent))
        percent = 0.0f;
    // Formatted narrow and widened: the digits are ASCII, and std::swprintf's wide buffer
    // would tie the code to the width of wchar_t.
    char buffer[64] = {};
    const int length = std::snprintf(buffer, sizeof buffer, "%.1f%%", static_cast<double>(percent));
    if (length <= 0)
        return std::wstring();
    std::wstring text;
    for (int i = 0; i < length && buffer[i]; ++i)
        text.push_back(static_cast<wchar_t>(static_cast<unsigned char>(buffer[i])));
    return text;
}

int ProgressBarPosition(float percent)
{
    if (!(percent > 0.0f)) // also not a number
        return 0;
    const float tenths = percent * 10.0f;
    if (tenths >= static_cast<float>(kProgressBarMaximum))
        return kProgressBarMaximum;
    return static_cast<int>(tenths);
}

std::wstring ProductProgramPath(const std::wstring& installFolder, const std::wstring& executable)
{
    // A folder chosen in the browser may end with a backslash ("D:\") and one typed by hand
    // with several; the program path needs exactly one between folder and name.
    const size_t folderEnd = installFolder.find_last_not_of(L'\\');
    const size_t nameStart = executable.find_first_not_of(L'\\');
    if (folderEnd == std::wstring::npos || nameStart == std::wstring::npos)
        return std::wstring();
    return installFolder.substr(0, folderEnd + 1) + L"\\" + executable.substr(nameStart);
}

const std::vector<ProductProgram>& ProductPrograms()
{
    static const std::vector<ProductProgram> programs = {
        {L"QuilloVaroInstance_70", L"VARO Pro Video Editor 7.exe"},
        {L"QuilloVaroVRInstance_70", L"VARO Pro Video Recorder 7.exe"},
    };
    return programs;
}

std::wstring RunningProgramsMessage(const std::wstring& intro,
                                    const std::vector<std::wstring>& names)
{
    std::wstring list;
    for (const std::wstring& name : names)
        list += name + L"\r\n";
    // The intro is a translator's text: it is joined, never used as a format.
    return intro + L"\n\n" + list;
}

bool IsWebAddress(const std::wstring& url)
{
    auto startsWith = [&url](const wchar_t* prefix) {
        size_t i = 0;
        for (; prefix[i]; ++i) {
            if (i >= url.size())
                return false;
            wchar_t c = url[i];
            if (c >= L'A' && c <= L'Z')
                c = static_cast<wchar_t>(c - L'A' + L'a');
            if (c != prefix[i])
                return false;
        }
        return url.size() > i;
    };
    if (!startsWith(L"http://") && !startsWith(L"https://"))
        return false;
    for (wchar_t c : url) {
        if (c <= L' ' || c == L'"' || c == 0x7F)
            return false;
    }
    return true;
}
