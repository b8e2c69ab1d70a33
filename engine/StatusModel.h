// The install status record and its arithmetic: what the install worker is
// doing, as weights, an item index and an item percent, turned into an overall
// percentage, a state text and a remaining-time estimate for the status panel.
//
// Standard C++: the tick count and the localized texts are passed in, so the
// whole model runs and is tested without Windows. engine/InstallStatus.h binds
// it to GetTickCount and the UI strings.
#pragma once

#include "config/UIStringTable.h"

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

enum InstallState : uint32_t
{
    NotStarted = 0,
    Downloading = 2,
    Installing = 3,
    Cancelling = 4,
    Finished = 5,
    Failed = 6,
    Cancelled = 7,
};

struct StatusSnapshot
{
    uint32_t state = NotStarted;
    float percent = 0.0f;        // overall, 0 to 100
    std::wstring stateText;
    std::wstring timeText;       // remaining-time estimate
};

// Returns the text of a key in the current language (its default when not translated).
using UITextLookup = std::function<std::wstring(const UIStringKey&)>;

// Key of the state text: 1 shows the text of 0; null above 7 (an empty text).
const UIStringKey* StateTextKey(uint32_t state);

// Scales positive weights so that they add up to 100: every weight but the
// last becomes weight * 100 / sum (integer division), the last takes the rest.
void NormaliseWeights(std::vector<uint32_t>& weights);

// Sum of the weights before `index` plus weights[index] * percent / 100, capped
// at 0..100. An index outside the list (-1 included) counts as everything done.
float CumulativePercent(const std::vector<uint32_t>& weights, int32_t index, int32_t percent);

// "%02d hours %02d mins %02d secs remaining..." and its shorter forms, through
// the given lookup (a translated pattern is filled without printf).
std::wstring FormatTimeRemaining(uint32_t ms, const UITextLookup& lookup);

// The process's install status. Writers (worker task, progress handler,
// Cancel on the UI thread) and the once-a-second reader take one lock, so a
// snapshot never mixes the state of one update with the index of another.
class CStatusModel
{
public:
    // Replaces state, item index and item percent. While the state is
    // Cancelling only a change to Cancelled gets through, so a late report
    // of the worker cannot hide the user's cancellation.
    void SetStatus(uint32_t state, int32_t index, int32_t percent);

    // Replaces both weight lists and normalises each to a sum of 100.
    void SetWeights(std::vector<uint32_t> download, std::vector<uint32_t> install);

    uint32_t GetState() const;

    // The state, overall percent and texts at tick `now`. The first snapshot
    // of the run starts the clock of the remaining-time estimate.
    StatusSnapshot TakeStatusSnapshot(uint32_t now, const UITextLookup& lookup);

private:
    struct Record
    {
        std::vector<uint32_t> download;
        std::vector<uint32_t> install;
        uint32_t state = NotStarted;
        int32_t index = 0;
        int32_t percent = 0;
    };

    static float OverallPercent(const Record& r);
    static float PhasePercent(const Record& r, float overall);

    mutable std::mutex m_lock;
    Record m_record;
    bool m_clockStarted = false;   // separate from the tick: a tick of 0 is a valid start
    uint32_t m_startTick = 0;
};

// Remaining milliseconds when `elapsed` ms gave `phasePercent` (> 0) of the
// work: elapsed / (phasePercent / 100) - elapsed, in single precision, kept
// within 32 bits (a tiny percent does not overflow, rounding never wraps).
uint32_t RemainingMilliseconds(uint32_t elapsed, float phasePercent);
