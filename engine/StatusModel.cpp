#include "engine/StatusModel.h"

#include "config/UITextFormat.h"

#include <algorithm>
#include <utility>

namespace {

// Milliseconds from tick `from` to tick `now`, across a wrap of the tick
// count. A `now` taken just before `from` (a reader's tick read before a
// writer's later one got the lock) is 0, not a wrap to 49 days.
uint32_t TicksSince(uint32_t from, uint32_t now)
{
    const uint32_t d = now - from;
    return d < 0x80000000u ? d : 0;
}

} // namespace

const UIStringKey* StateTextKey(uint32_t state)
{
    switch (state) {
    case NotStarted:
    case 1:   // never written; shows the text of NotStarted
        return &IDS_STATUS_INIT;
    case Downloading:
        return &IDS_STATUS_DOWNLOADING;
    case Installing:
        return &IDS_STATUS_INSTALLING;
    case Cancelling:
        return &IDS_STATUS_CANCELLING;
    case Finished:
        return &IDS_STATUS_FINISHED;
    case Failed:
        return &IDS_STATUS_INSTALL_FAILED;
    case Cancelled:
        return &IDS_STATUS_CANCELLED;
    default:
        return nullptr;
    }
}

void NormaliseWeights(std::vector<uint32_t>& weights)
{
    if (weights.empty())
        return;
    // 64-bit sums: the weights come from the worker's plan and are small, but
    // a sum that wrapped would divide by a meaningless (or zero) value.
    uint64_t sum = 0;
    for (uint32_t w : weights)
        sum += w;
    if (sum == 0) {
        // Not produced by the worker (weights are positive); give the last item everything.
        for (uint32_t& w : weights)
            w = 0;
        weights.back() = 100;
        return;
    }
    uint32_t given = 0;
    for (size_t i = 0; i + 1 < weights.size(); ++i) {
        weights[i] = static_cast<uint32_t>(static_cast<uint64_t>(weights[i]) * 100 / sum);
        given += weights[i];
    }
    weights.back() = 100 - given;
}

float CumulativePercent(const std::vector<uint32_t>& weights, int32_t index, int32_t percent)
{
    const uint32_t i = static_cast<uint32_t>(index);
    if (i >= weights.size())
        return 100.0f;
    float sum = 0.0f;
    for (uint32_t k = 0; k < i; ++k)
        sum += static_cast<float>(weights[k]);
    sum += static_cast<float>(weights[i]) * static_cast<float>(percent) / 100.0f;
    if (sum > 100.0f)
        return 100.0f;
    return sum < 0.0f ? 0.0f : sum;
}

std::wstring FormatTimeRemaining(uint32_t ms, const UITextLookup& lookup)
{
    const uint32_t hours = ms / 3600000u;
    const uint32_t secs = (ms / 1000u) % 3600u;
    const int h = static_cast<int>(hours);
    const int m = static_cast<int>(secs / 60);
    const int s = static_cast<int>(secs % 60);
    if (hours > 0)
        return FormatUIText(lookup(IDS_TIME_REMAINING_HOURS), {h, m, s});
    if (m > 0)
        return FormatUIText(lookup(IDS_TIME_REMAINING_MINS), {m, s});
    return FormatUIText(lookup(IDS_TIME_REMAINING_SECS), {s});
}

uint32_t RemainingMilliseconds(uint32_t elapsed, float phasePercent)
{
    const float total = static_cast<float>(elapsed) / (phasePercent / 100.0f);
    // A float beyond the range of uint32_t has no defined conversion: the
    // estimate of a barely started phase saturates instead.
    const uint32_t totalMs = total < 4294967296.0f ? static_cast<uint32_t>(total) : 0xFFFFFFFFu;
    // Rounding can put the total just below the elapsed time once the phase is
    // complete; that is nothing left, not a wrap to 49 days.
    return totalMs > elapsed ? totalMs - elapsed : 0;
}

void CStatusModel::SetStatus(uint32_t state, int32_t index, int32_t percent)
{
    std::lock_guard<std::mutex> guard(m_lock);
    if (m_record.state == Cancelling && state != Cancelled)
        return;
    const bool ended = m_record.state == Finished || m_record.state == Failed ||
                       m_record.state == Cancelled;
    if (ended && (state == Cancelling || state == Cancelled))
        return;
    m_record.state = state;
    m_record.index = index;
    m_record.percent = percent;
}

void CStatusModel::SetWeights(std::vector<uint32_t> download, std::vector<uint32_t> install)
{
    NormaliseWeights(download);
    NormaliseWeights(install);
    std::lock_guard<std::mutex> guard(m_lock);
    m_record.download = std::move(download);
    m_record.install = std::move(install);
}

uint32_t CStatusModel::GetState() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_record.state;
}

uint32_t CStatusModel::WaitPassed(uint32_t now) const
{
    return std::min(TicksSince(m_waitStart, now), m_waitMs);
}

uint32_t CStatusModel::CountedWait(uint32_t now) const
{
    const uint32_t passed = WaitPassed(now);
    return passed > m_waitBeforeClock ? passed - m_waitBeforeClock : 0;
}

void CStatusModel::EndWait(uint32_t now)
{
    if (!m_waiting)
        return;
    m_waitedMs += CountedWait(now);
    m_waiting = false;
}

void CStatusModel::SetRetryWait(uint32_t now, uint32_t waitMs)
{
    std::lock_guard<std::mutex> guard(m_lock);
    EndWait(now);
    if (waitMs == 0)
        return;
    m_waiting = true;
    m_waitStart = now;
    m_waitMs = waitMs;
    m_waitBeforeClock = m_clockStarted ? 0 : waitMs;
}

float CStatusModel::OverallPercent(const Record& r)
{
    switch (r.state) {
    case Downloading:
        return r.download.empty() ? 0.0f : CumulativePercent(r.download, r.index, r.percent) * 0.5f;
    case Installing: {
        if (r.install.empty())
            return 0.0f;
        const float q = CumulativePercent(r.install, r.index, r.percent);
        return r.download.empty() ? q : q * 0.5f + 50.0f;
    }
    case Finished:
        return 100.0f;
    default:
        return 0.0f;
    }
}

// Progress within the current phase, 0 to 100: the base of the time estimate.
float CStatusModel::PhasePercent(const Record& r, float overall)
{
    if (r.state == Downloading)
        return overall * 2.0f;
    if (r.state == Installing && !r.download.empty())
        return (overall - 50.0f) * 2.0f;
    return overall;
}

StatusSnapshot CStatusModel::TakeStatusSnapshot(uint32_t now, const UITextLookup& lookup)
{
    // Copy under the lock, format outside it: the text lookup may read a
    // language file, and the worker must not wait for that.
    Record r;
    bool first = false;
    uint32_t start = 0;
    uint64_t waited = 0;
    uint32_t waitLeft = 0;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        r = m_record;
        if (!m_clockStarted) {
            m_clockStarted = true;
            m_startTick = now;
            first = true;
            // Waits before the start lie outside the elapsed time.
            m_waitedMs = 0;
            if (m_waiting)
                m_waitBeforeClock = WaitPassed(now);
        }
        start = m_startTick;
        if (m_waiting && WaitPassed(now) >= m_waitMs) {
            // Over by itself. Closed here, so that a tick read weeks later
            // cannot pass for one just before the wait began.
            EndWait(now);
        }
        waited = m_waitedMs;
        if (m_waiting) {
            waited += CountedWait(now);
            waitLeft = m_waitMs - WaitPassed(now);
        }
    }

    StatusSnapshot snap;
    snap.state = r.state;
    snap.percent = OverallPercent(r);
    if (waitLeft > 0 && r.state == Downloading) {
        // Whole seconds, rounded up: the last part second still shows "1".
        const int secondsLeft = static_cast<int>((waitLeft - 1) / 1000 + 1);
        snap.stateText = FormatUIText(lookup(IDS_STATUS_RETRYING), {secondsLeft});
    } else if (const UIStringKey* key = StateTextKey(r.state)) {
        snap.stateText = lookup(*key);
    }

    const float phase = PhasePercent(r, snap.percent);
    if (phase <= 0.0f) {
        snap.timeText = lookup(IDS_CALC_TIME_REMAINING);
    } else if (first) {
        snap.timeText = FormatTimeRemaining(1000, lookup);
    } else {
        // Waiting for a retry is not work: leaving it out keeps the estimate
        // from growing while nothing can progress.
        const uint32_t span = now - start;
        const uint32_t elapsed = span > waited ? static_cast<uint32_t>(span - waited) : 0;
        const uint32_t remaining = RemainingMilliseconds(elapsed, phase);
        snap.timeText = FormatTimeRemaining(remaining == 0 ? 1000 : remaining, lookup);
    }
    return snap;
}
