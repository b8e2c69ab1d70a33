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
    // of the worker cannot hide the user's cancellation. A cancellation
    // (Cancelling or Cancelled) never replaces a final state: a run that has
    // ended keeps how it ended, and the status panel reaches its end.
    void SetStatus(uint32_t state, int32_t index, int32_t percent);

    // Replaces both weight lists and normalises each to a sum of 100.
    void SetWeights(std::vector<uint32_t> download, std::vector<uint32_t> install);

    uint32_t GetState() const;

    // The worker waits `waitMs` from tick `now` before it tries a failed
    // transfer again; 0 ends the wait early. A new wait replaces the one
    // before. While it lasts, a Downloading snapshot says so with the seconds
    // left, and its time does not count as work for the estimate.
    void SetRetryWait(uint32_t now, uint32_t waitMs);

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

    // Milliseconds of the current wait passed at `now` (0 to m_waitMs).
    uint32_t WaitPassed(uint32_t now) const;
    // The part of that which lies after the clock started.
    uint32_t CountedWait(uint32_t now) const;
    // Ends the current wait at `now` and adds its counted part to m_waitedMs.
    void EndWait(uint32_t now);

    mutable std::mutex m_lock;
    Record m_record;
    bool m_clockStarted = false;   // separate from the tick: a tick of 0 is a valid start
    uint32_t m_startTick = 0;

    bool m_waiting = false;
    uint32_t m_waitStart = 0;
    uint32_t m_waitMs = 0;
    // The part of the current wait that passed before the clock started: it
    // is not inside the elapsed time, so it is not taken out of it either.
    uint32_t m_waitBeforeClock = 0;
    // Time spent in finished waits since the clock started.
    uint64_t m_waitedMs = 0;
};

// Remaining milliseconds when `elapsed` ms gave `phasePercent` (> 0) of the
// work: elapsed / (phasePercent / 100) - elapsed, in single precision, kept
// within 32 bits (a tiny percent does not overflow, rounding never wraps).
uint32_t RemainingMilliseconds(uint32_t elapsed, float phasePercent);
