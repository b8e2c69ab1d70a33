// The install status model: weights, overall percentages, state texts, the
// remaining-time estimate and the cancellation rule.
#include "engine/StatusModel.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

std::wstring DefaultText(const UIStringKey& key) { return key.defaultText; }

const UITextLookup kDefaults = DefaultText;

// A status record with the given weights.
struct WeightedModel : CStatusModel
{
    WeightedModel(std::vector<uint32_t> download, std::vector<uint32_t> install)
    {
        SetWeights(std::move(download), std::move(install));
    }
};

float PercentOf(CStatusModel& model, uint32_t state, int32_t index, int32_t percent)
{
    model.SetStatus(state, index, percent);
    return model.TakeStatusSnapshot(1000, kDefaults).percent;
}

} // namespace

TEST(StatusWeights, NormaliseKeepsOrderAndSumsTo100)
{
    std::vector<uint32_t> w{40, 50, 5};
    NormaliseWeights(w);
    EXPECT_EQ(w, (std::vector<uint32_t>{42, 52, 6}));

    std::vector<uint32_t> thirds{1, 1, 1};
    NormaliseWeights(thirds);
    EXPECT_EQ(thirds, (std::vector<uint32_t>{33, 33, 34}));

    std::vector<uint32_t> single{50};
    NormaliseWeights(single);
    EXPECT_EQ(single, (std::vector<uint32_t>{100}));

    std::vector<uint32_t> none;
    NormaliseWeights(none);
    EXPECT_TRUE(none.empty());
}

TEST(StatusWeights, HugeWeightsDoNotOverflowTheSum)
{
    std::vector<uint32_t> w{0xFFFFFFF0u, 0xFFFFFFF0u};
    NormaliseWeights(w);
    EXPECT_EQ(w, (std::vector<uint32_t>{50, 50}));
}

TEST(StatusWeights, CumulativePercent)
{
    const std::vector<uint32_t> w{42, 52, 6};
    EXPECT_FLOAT_EQ(CumulativePercent(w, 1, 50), 68.0f);
    EXPECT_FLOAT_EQ(CumulativePercent(w, 0, 0), 0.0f);
    EXPECT_FLOAT_EQ(CumulativePercent(w, 2, 100), 100.0f);
    // An index outside the list counts as everything done.
    EXPECT_FLOAT_EQ(CumulativePercent(w, -1, 0), 100.0f);
    EXPECT_FLOAT_EQ(CumulativePercent(w, 3, 0), 100.0f);
    // Capped: a transfer that delivered more than announced.
    EXPECT_FLOAT_EQ(CumulativePercent(w, 2, 500), 100.0f);
    EXPECT_FLOAT_EQ(CumulativePercent(w, 0, -50), 0.0f);
}

TEST(StatusSnapshotPercent, WeightedPhases)
{
    WeightedModel model({40, 50, 5}, {40, 50, 5});
    EXPECT_FLOAT_EQ(PercentOf(model, Downloading, 1, 50), 34.0f);
    EXPECT_FLOAT_EQ(PercentOf(model, Downloading, -1, 0), 50.0f);
    EXPECT_FLOAT_EQ(PercentOf(model, Installing, 0, 100), 71.0f);
    EXPECT_FLOAT_EQ(PercentOf(model, Installing, -1, 0), 100.0f);
    EXPECT_FLOAT_EQ(PercentOf(model, Finished, -1, 0), 100.0f);
    EXPECT_FLOAT_EQ(PercentOf(model, Failed, 1, 50), 0.0f);
    EXPECT_FLOAT_EQ(PercentOf(model, NotStarted, 1, 50), 0.0f);
}

TEST(StatusSnapshotPercent, StandaloneInstallFillsTheWholeBar)
{
    WeightedModel model({}, {40, 50, 5});
    EXPECT_FLOAT_EQ(PercentOf(model, Installing, 1, 50), 68.0f);
    EXPECT_FLOAT_EQ(PercentOf(model, Downloading, 1, 50), 0.0f);

    CStatusModel empty;
    EXPECT_FLOAT_EQ(PercentOf(empty, Installing, 0, 50), 0.0f);
}

TEST(StatusStateText, EveryStateHasItsText)
{
    const struct
    {
        uint32_t state;
        const wchar_t* text;
    } cases[] = {
        {NotStarted, L"Initializing..."},
        {1, L"Initializing..."},
        {Downloading, L"Downloading, please wait..."},
        {Installing, L"Installing, please wait..."},
        {Cancelling, L"Cancelling..."},
        {Finished, L"Finished."},
        {Failed, L"Install failed."},
        {Cancelled, L"Cancelled."},
        {8, L""},
        {0xFFFFFFFFu, L""},
    };
    for (const auto& c : cases) {
        CStatusModel model;
        model.SetStatus(c.state, -1, 0);
        StatusSnapshot snap = model.TakeStatusSnapshot(5, kDefaults);
        EXPECT_EQ(snap.state, c.state);
        EXPECT_EQ(snap.stateText, c.text) << c.state;
    }
}

TEST(StatusStateText, TextsComeFromTheLookup)
{
    WeightedModel model({100}, {100});
    model.SetStatus(Downloading, 0, 10);
    const UITextLookup german = [](const UIStringKey& key) -> std::wstring {
        if (std::wstring(key.name) == L"IDS_STATUS_DOWNLOADING")
            return L"Herunterladen...";
        if (std::wstring(key.name) == L"IDS_TIME_REMAINING_SECS")
            return L"Noch %02d Sek.";
        return key.defaultText;
    };
    StatusSnapshot snap = model.TakeStatusSnapshot(77, german);
    EXPECT_EQ(snap.stateText, L"Herunterladen...");
    EXPECT_EQ(snap.timeText, L"Noch 01 Sek.");
}

TEST(StatusCancelling, OnlyCancelledGetsThrough)
{
    CStatusModel model;
    model.SetStatus(Downloading, 0, 10);
    model.SetStatus(Cancelling, -1, 0);
    model.SetStatus(Finished, -1, 0);
    EXPECT_EQ(model.GetState(), static_cast<uint32_t>(Cancelling));
    model.SetStatus(Downloading, 2, 80);
    model.SetStatus(Failed, -1, 0);
    EXPECT_EQ(model.GetState(), static_cast<uint32_t>(Cancelling));
    model.SetStatus(Cancelled, -1, 0);
    EXPECT_EQ(model.GetState(), static_cast<uint32_t>(Cancelled));
    // A late failure report still gets through after Cancelled.
    model.SetStatus(Failed, -1, 0);
    EXPECT_EQ(model.GetState(), static_cast<uint32_t>(Failed));

    // A cancellation arriving after the run ended never replaces how it ended.
    for (uint32_t final : {Finished, Failed, Cancelled}) {
        for (uint32_t cancel : {Cancelling, Cancelled}) {
            if (cancel == final)
                continue;
            CStatusModel ended;
            ended.SetStatus(final, -1, 0);
            ended.SetStatus(cancel, -1, 0);
            EXPECT_EQ(ended.GetState(), final) << final << " then " << cancel;
        }
    }
}

TEST(StatusTimeRemaining, ThreeForms)
{
    EXPECT_EQ(FormatTimeRemaining(3725000, kDefaults), L"01 hours 02 mins 05 secs remaining...");
    EXPECT_EQ(FormatTimeRemaining(65000, kDefaults), L"01 mins 05 secs remaining...");
    EXPECT_EQ(FormatTimeRemaining(999, kDefaults), L"00 secs remaining...");
    EXPECT_EQ(FormatTimeRemaining(60000, kDefaults), L"01 mins 00 secs remaining...");
    // The largest tick difference: 1193 hours, 2 minutes, 47 seconds.
    EXPECT_EQ(FormatTimeRemaining(0xFFFFFFFFu, kDefaults), L"1193 hours 02 mins 47 secs remaining...");
}

TEST(StatusTimeRemaining, TranslatedPatternIsNotTrustedAsPrintf)
{
    // A translation that asks for more values than there are must not read
    // arguments that were never passed.
    const UITextLookup odd = [](const UIStringKey&) -> std::wstring { return L"%02d %s %s %d left"; };
    const std::wstring text = FormatTimeRemaining(5000, odd);
    EXPECT_EQ(text.substr(0, 3), L"05 ");
    EXPECT_EQ(text.find(L'%'), std::wstring::npos);
}

TEST(StatusTimeRemaining, FirstSnapshot)
{
    CStatusModel idle;
    EXPECT_EQ(idle.TakeStatusSnapshot(1234, kDefaults).timeText, L"Calculating time remaining...");

    WeightedModel busy({100}, {100});
    busy.SetStatus(Downloading, 0, 1);
    EXPECT_EQ(busy.TakeStatusSnapshot(1234, kDefaults).timeText, L"01 secs remaining...");
}

TEST(StatusTimeRemaining, EstimateFromElapsedTime)
{
    WeightedModel model({100}, {100});
    model.SetStatus(Downloading, 0, 0);
    EXPECT_EQ(model.TakeStatusSnapshot(1000, kDefaults).timeText, L"Calculating time remaining...");
    // Half the download after 60 s: another 60 s.
    model.SetStatus(Downloading, 0, 50);
    EXPECT_EQ(model.TakeStatusSnapshot(61000, kDefaults).timeText, L"01 mins 00 secs remaining...");
    // The clock is not restarted for the installation: half installed after
    // 100 s in all gives 100 s more.
    model.SetStatus(Installing, 0, 50);
    EXPECT_EQ(model.TakeStatusSnapshot(101000, kDefaults).timeText, L"01 mins 40 secs remaining...");
    // Complete: nothing left is shown as one second.
    model.SetStatus(Finished, -1, 0);
    EXPECT_EQ(model.TakeStatusSnapshot(200000, kDefaults).timeText, L"01 secs remaining...");
}

TEST(StatusTimeRemaining, StartTickOfZeroIsKept)
{
    WeightedModel model({100}, {});
    model.SetStatus(Downloading, 0, 50);
    model.TakeStatusSnapshot(0, kDefaults);
    // 10 s for half: 10 s more. A model that took tick 0 for "not started"
    // would restart the clock here and show one second.
    EXPECT_EQ(model.TakeStatusSnapshot(10000, kDefaults).timeText, L"10 secs remaining...");
}

TEST(StatusTimeRemaining, TickCountWrapsAround)
{
    WeightedModel model({100}, {});
    model.SetStatus(Downloading, 0, 50);
    model.TakeStatusSnapshot(0xFFFFF000u, kDefaults);
    EXPECT_EQ(model.TakeStatusSnapshot(0x00001000u, kDefaults).timeText, L"08 secs remaining...");
}

TEST(StatusRetryWait, CountsDownWhileDownloadingAndLeavesTheWaitOutOfTheEstimate)
{
    // Ticks from just before the tick count wraps, so every wait crosses zero or ends near it.
    const uint32_t t0 = 0xFFFFF000u;
    const std::wstring downloading = L"Downloading, please wait...";
    WeightedModel model({100}, {});
    WeightedModel plain({100}, {});   // the same work without the waits
    for (WeightedModel* m : {&model, &plain}) {
        m->SetStatus(Downloading, 0, 50);
        m->TakeStatusSnapshot(t0, kDefaults);
    }
    const std::wstring estimateAt10s = plain.TakeStatusSnapshot(t0 + 10000, kDefaults).timeText;
    EXPECT_EQ(estimateAt10s, L"10 secs remaining...");

    model.SetRetryWait(t0 + 10000, 2000);
    const struct
    {
        uint32_t at;
        const wchar_t* text;
    } countdown[] = {
        {10000, L"Connection lost. Retrying in 2 s..."},
        {10500, L"Connection lost. Retrying in 2 s..."},
        {11000, L"Connection lost. Retrying in 1 s..."},
        {11999, L"Connection lost. Retrying in 1 s..."},
        {12000, downloading.c_str()},   // over by itself
    };
    for (const auto& c : countdown) {
        const StatusSnapshot snap = model.TakeStatusSnapshot(t0 + c.at, kDefaults);
        EXPECT_EQ(snap.stateText, c.text) << c.at;
        // The clock stood still for the wait: the same estimate as 10 s of plain work.
        EXPECT_EQ(snap.timeText, estimateAt10s) << c.at;
    }

    // A new wait replaces the old one and 0 ends one early; all 1.5 s of waiting stay out.
    model.SetRetryWait(t0 + 20000, 4000);
    model.SetRetryWait(t0 + 20500, 8000);
    EXPECT_EQ(model.TakeStatusSnapshot(t0 + 21000, kDefaults).stateText,
              L"Connection lost. Retrying in 8 s...");
    model.SetRetryWait(t0 + 21500, 0);
    StatusSnapshot snap = model.TakeStatusSnapshot(t0 + 21500, kDefaults);
    EXPECT_EQ(snap.stateText, downloading);
    EXPECT_EQ(snap.timeText, plain.TakeStatusSnapshot(t0 + 18000, kDefaults).timeText);

    // Only a download says it is retrying; the wait still stays out of the estimate.
    model.SetRetryWait(t0 + 30000, 8000);
    model.SetStatus(Installing, -1, 0);
    snap = model.TakeStatusSnapshot(t0 + 31000, kDefaults);
    EXPECT_EQ(snap.stateText, L"Installing, please wait...");
    model.SetStatus(Downloading, 0, 50);
    snap = model.TakeStatusSnapshot(t0 + 33000, kDefaults);
    EXPECT_EQ(snap.stateText, L"Connection lost. Retrying in 5 s...");
    EXPECT_EQ(snap.timeText, plain.TakeStatusSnapshot(t0 + 26500, kDefaults).timeText);
}

TEST(StatusTimeRemaining, EstimateStaysWithin32Bits)
{
    // 1 % after 100 000 s would be 10^10 ms in all: saturated, not undefined.
    EXPECT_EQ(RemainingMilliseconds(100000000u, 1.0f), 0xFFFFFFFFu - 100000000u);
    // Complete, but the elapsed time is not exact in single precision: nothing
    // left rather than a wrap to 49 days.
    EXPECT_EQ(RemainingMilliseconds(16777217u, 100.0f), 0u);
    EXPECT_EQ(RemainingMilliseconds(30000u, 50.0f), 30000u);
    EXPECT_EQ(RemainingMilliseconds(0u, 50.0f), 0u);
}

TEST(StatusSnapshotConsistency, NeverMixesTwoUpdates)
{
    // Two alternating updates: (Downloading, 0, 0) shows 0 % and
    // (Installing, 1, 100) shows 100 %. Any mix of their fields shows
    // 25, 50 or 75 %.
    WeightedModel model({50, 50}, {50, 50});
    model.SetStatus(Downloading, 0, 0);
    std::atomic<bool> stop{false};
    std::atomic<int> writes{0};
    std::thread writer([&] {
        for (int i = 0; !stop.load(); ++i) {
            if (i % 2)
                model.SetStatus(Installing, 1, 100);
            else
                model.SetStatus(Downloading, 0, 0);
            writes.fetch_add(1);
        }
    });
    int mixed = 0;
    int seenInstalling = 0;
    // Keep reading until the writer has really run alongside: on a busy machine the reader
    // could otherwise finish before the writer thread is first scheduled.
    for (int i = 0; i < 20000 || writes.load() < 20000; ++i) {
        if (i % 64 == 0)
            std::this_thread::yield();
        StatusSnapshot snap = model.TakeStatusSnapshot(static_cast<uint32_t>(i), kDefaults);
        const bool downloadView = snap.state == Downloading && snap.percent == 0.0f;
        const bool installView = snap.state == Installing && snap.percent == 100.0f;
        if (installView)
            ++seenInstalling;
        if (!downloadView && !installView)
            ++mixed;
    }
    stop = true;
    writer.join();
    EXPECT_EQ(mixed, 0);
    EXPECT_GT(seenInstalling, 0);
}
