// Fuzzes the installer progress parser and the home page capture. Input: lines
// separated by '\n', one byte per code unit; each line is one message from the
// service, held in a block of exactly its length (no terminator), so a read
// past its end is caught. A line starting with '!' sets the user's cancel, one
// starting with '#' starts a new package.
#include "engine/ProgressParser.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

bool IsWhiteSpace(wchar_t c)
{
    return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n' || c == L'\v' || c == L'\f';
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<std::wstring> lines(1);
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == '\n')
            lines.emplace_back();
        else
            lines.back().push_back(static_cast<wchar_t>(data[i]));
    }

    ProgressHandlerState state;
    state.currentItemIndex = 7;
    int32_t lastReported = -1;
    int reports = 0;
    const ItemPercentReport report = [&](int32_t index, int32_t percent) {
        if (index != 7 || percent < 0 || percent > 100 || percent < lastReported)
            std::abort(); // an item percent within 0..100 that never goes back
        if (percent != state.highestPercent)
            std::abort();
        lastReported = percent;
        ++reports;
    };

    std::wstring homePage;
    bool cancelled = false;
    for (const std::wstring& line : lines) {
        if (!line.empty() && line[0] == L'!') {
            state.installerCancel = true;
            cancelled = true;
        }
        if (!line.empty() && line[0] == L'#') {
            state.ResetForPackage();
            lastReported = -1;
        }
        std::unique_ptr<wchar_t[]> exact(new wchar_t[line.size() + 1]);
        std::copy(line.begin(), line.end(), exact.get());
        const std::wstring_view text(exact.get(), line.size());

        const int32_t highestBefore = state.highestPercent;
        const int answer = ParseProgressMessage(state, text, report);
        if (answer != kProgressOk && answer != kProgressCancel)
            std::abort();
        if (answer == kProgressCancel && !cancelled)
            std::abort();
        if (!text.empty() && answer == kProgressOk && cancelled) {
            // Only a message the parser gave up on may be answered OK after a cancel.
            if (state.highestPercent != highestBefore)
                std::abort();
        }
        if (state.highestPercent < highestBefore || state.basePercent > state.highestPercent)
            std::abort();

        const std::wstring before = homePage;
        CaptureHomePage(homePage, text);
        if (!before.empty() && homePage != before)
            std::abort(); // captured once, never replaced
        if (!homePage.empty() && (IsWhiteSpace(homePage.front()) || IsWhiteSpace(homePage.back())))
            std::abort();
        if (before.empty() && !homePage.empty() && text.find(homePage) == std::wstring_view::npos)
            std::abort();
    }
    (void)reports;
    return 0;
}
