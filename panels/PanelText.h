// What the status and success panels compute without a window: the percentage text and bar
// position of a status snapshot, the path of the installed product's program, and the
// warning that lists running programs of the product. Standard C++, so the rules are tested
// natively as well as under Windows.
#pragma once

#include <string>
#include <vector>

// The progress bar runs from 0 to this value (tenths of a percent).
constexpr int kProgressBarMaximum = 1000;

// Overall percent as shown beside the bar: one decimal and a percent sign ("42.5%"). A
// value that is not a number shows as 0.0%.
std::wstring PercentText(float percent);

// Bar position for an overall percent: percent * 10 truncated, kept within 0..1000 so that
// a value outside 0..100 (or not a number) never draws outside the track.
int ProgressBarPosition(float percent);

// The product's program: the install folder without its final backslashes, one backslash,
// and the executable (relative to the folder, leading backslashes dropped). Empty when the
// folder or the executable is empty: there is then no program to start.
std::wstring ProductProgramPath(const std::wstring& installFolder, const std::wstring& executable);

// A program of the product that must not run while the product is installed: detected by
// the named semaphore it holds while it runs; shownName is what the user reads.
struct ProductProgram
{
    const wchar_t* semaphore;
    const wchar_t* shownName;
};

// The programs, in the order the warning lists them (the editor first).
const std::vector<ProductProgram>& ProductPrograms();

// The warning about running programs: intro, an empty line, then every name followed by
// "\r\n" ("%s\n\n%s" of the intro and the list).
std::wstring RunningProgramsMessage(const std::wstring& intro,
                                    const std::vector<std::wstring>& names);

// Whether a link may be handed to the shell: an http:// or https:// address (scheme in any
// letter case) with something after the "//", and no blank, control character or double
// quote anywhere (the browser's command line quotes the address; a quote inside it would end
// the quoting and pass the rest as options). Anything else (file:, a program path, a
// script scheme) is never opened by the elevated installer.
bool IsWebAddress(const std::wstring& url);
