#include "engine/ProgressParser.h"

#include "config/TextNumber.h"

#include <algorithm>
#include <limits>

namespace {

constexpr wchar_t kBlank = L' ';

int32_t ClampToInt32(int64_t value)
{
    return static_cast<int32_t>(std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

// Walks the fields of one message. Every step stays inside the text: where
// the service's text ends early, reading stops as if the text were followed
// by nothing but its terminator.
class FieldReader
{
public:
    explicit FieldReader(std::wstring_view text) : m_text(text) {}

    bool AtEnd() const { return m_pos >= m_text.size(); }
    wchar_t Current() const { return m_text[m_pos]; }
    void Skip(size_t count) { m_pos = std::min(m_text.size(), m_pos + count); }

    // The number up to the next blank or the end; continues after the blank.
    int32_t ReadNumber()
    {
        const size_t start = m_pos;
        size_t end = m_text.find(kBlank, start);
        if (end == std::wstring_view::npos)
            end = m_text.size();
        m_pos = std::min(m_text.size(), end + 1);
        // WtoiLike saturates instead of overflowing on a number beyond 32 bits.
        return WtoiLike(m_text.data() + start, m_text.data() + end);
    }

private:
    std::wstring_view m_text;
    size_t m_pos = 0;
};

// Reads the fields into the state. False when the message is malformed in a
// way the service's protocol gives no meaning to (then nothing else is done).
bool ReadFields(ProgressHandlerState& state, std::wstring_view text)
{
    FieldReader reader(text);
    while (!reader.AtEnd()) {
        const wchar_t number = reader.Current();
        reader.Skip(3); // the field number, its colon and the blank after it
        switch (number) {
        case L'1':
            if (reader.AtEnd() || reader.Current() < L'0' || reader.Current() > L'9')
                return false;
            state.field1 = reader.Current() - L'0';
            reader.Skip(2); // the digit and the blank after it
            break;
        case L'2':
            state.field2 = reader.ReadNumber();
            if (state.field1 == 2 || state.field1 == 3)
                return true;
            break;
        case L'3':
            state.field3 = reader.ReadNumber();
            if (state.field1 == 1)
                return true;
            break;
        case L'4':
            reader.ReadNumber();
            return true;
        default:
            return false;
        }
    }
    return true;
}

bool EqualsIgnoringCase(std::wstring_view text, std::wstring_view ascii)
{
    if (text.size() < ascii.size())
        return false;
    for (size_t i = 0; i < ascii.size(); ++i) {
        wchar_t a = text[i];
        wchar_t b = ascii[i];
        if (a >= L'A' && a <= L'Z')
            a = static_cast<wchar_t>(a - L'A' + L'a');
        if (b >= L'A' && b <= L'Z')
            b = static_cast<wchar_t>(b - L'A' + L'a');
        if (a != b)
            return false;
    }
    return true;
}

bool IsWhiteSpace(wchar_t c)
{
    return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n' || c == L'\v' || c == L'\f';
}

std::wstring_view Trim(std::wstring_view text)
{
    while (!text.empty() && IsWhiteSpace(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsWhiteSpace(text.back()))
        text.remove_suffix(1);
    return text;
}

} // namespace

void ProgressHandlerState::ResetForPackage()
{
    highestPercent = 0;
    basePercent = 0;
    totalTicks = 0;
    forward = true;
    position = 0;
    field1 = 0;
    field2 = 0;
    field3 = 0;
}

int ParseProgressMessage(ProgressHandlerState& state, std::wstring_view text,
                         const ItemPercentReport& report)
{
    if (text.empty())
        return kProgressOk;
    if (!ReadFields(state, text))
        return kProgressOk;

    switch (state.field1) {
    case 0: // the service starts a new bar: continue from what was reached
        state.totalTicks = state.field2;
        state.forward = state.field3 == 0;
        state.position = state.forward ? 0 : state.totalTicks;
        state.basePercent = state.highestPercent;
        break;
    case 1:
        if (state.field3 != 0)
            AdvanceProgress(state, report);
        break;
    case 2:
        AdvanceProgress(state, report);
        break;
    default:
        break;
    }
    return state.installerCancel.load() ? kProgressCancel : kProgressOk;
}

void AdvanceProgress(ProgressHandlerState& state, const ItemPercentReport& report)
{
    const int64_t step = state.field2;
    state.position = ClampToInt32(state.forward ? state.position + step : state.position - step);
    if (state.totalTicks == 0)
        return;

    // Single precision, truncated toward zero, as the bar has always been
    // computed. A position beyond the announced total (or a negative one)
    // gives a value outside 0..100, which is held within the item's range
    // before it becomes an integer.
    const float share = static_cast<float>(state.position) / static_cast<float>(state.totalTicks);
    const float span = static_cast<float>(100 - state.basePercent);
    const float added = std::clamp(share * span, -1000.0f, 1000.0f);
    const int64_t percent = int64_t{state.basePercent} + static_cast<int64_t>(added);
    const int32_t bounded = static_cast<int32_t>(std::clamp<int64_t>(percent, 0, 100));

    state.highestPercent = std::max(state.highestPercent, bounded);
    if (report)
        report(state.currentItemIndex, state.highestPercent);
}

void CaptureHomePage(std::wstring& homePageUrl, std::wstring_view text)
{
    static constexpr std::wstring_view kPropertyPrefix = L"Property(S):";
    static constexpr std::wstring_view kHomePagePrefix = L"InstallHomepageURL =";
    if (!homePageUrl.empty())
        return;
    if (!EqualsIgnoringCase(text, kPropertyPrefix))
        return;
    const std::wstring_view rest = Trim(text.substr(kPropertyPrefix.size()));
    if (!EqualsIgnoringCase(rest, kHomePagePrefix))
        return;
    const std::wstring_view value = Trim(rest.substr(kHomePagePrefix.size()));
    homePageUrl.assign(value.begin(), value.end());
}
