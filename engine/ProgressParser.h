// Turns the Windows Installer's progress messages into one item percentage
// that only ever grows, and picks the product's home page out of the
// service's property dump (standard C++, so it runs natively and is fuzzed).
//
// The service's progress text is a list of fields "1: a 2: b 3: c 4: d".
// Field 1 says what the message is: 0 resets the progress bar to b ticks
// (c = 0 forward, else backward), 1 is action information (advance by b when
// c is not 0), 2 advances by b ticks, 3 adds ticks to the total (ignored).
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

// Answers of the external UI protocol (IDOK and IDCANCEL of the platform).
constexpr int kProgressOk = 1;
constexpr int kProgressCancel = 2;

// The part of the progress handler's state that the parser works on. The
// install worker owns one; the install loop sets the item index, the user
// interface thread sets installerCancel.
struct ProgressHandlerState
{
    int32_t currentItemIndex = 0;
    int32_t highestPercent = 0; // highest item percent reported for this package
    int32_t basePercent = 0;    // highest percent at the last reset of the bar
    int32_t totalTicks = 0;     // 0 until the service has announced a bar
    bool forward = true;
    int32_t position = 0;
    int32_t field1 = 0;         // a field missing from a message keeps its value
    int32_t field2 = 0;
    int32_t field3 = 0;
    // Set by the user interface thread, read on the installing thread.
    std::atomic<bool> installerCancel{false};

    // Before each package: a fresh bar that starts at 0 percent. A cancel
    // that is already set stays set: the user asked to stop, and clearing it
    // here would let this package run to its end.
    void ResetForPackage();
};

// Receives the item index and the item percent (0 to 100) after each advance.
using ItemPercentReport = std::function<void(int32_t itemIndex, int32_t percent)>;

// Reads one progress message and updates the state; kProgressCancel when the
// user has cancelled, else kProgressOk. Reads only within `text`, whatever
// the service sends.
int ParseProgressMessage(ProgressHandlerState& state, std::wstring_view text,
                         const ItemPercentReport& report);

// Moves the position by field 2 and reports the new highest percent.
void AdvanceProgress(ProgressHandlerState& state, const ItemPercentReport& report);

// Takes the value of an "Property(S): InstallHomepageURL = <address>" line
// into homePageUrl, unless an address was captured already.
void CaptureHomePage(std::wstring& homePageUrl, std::wstring_view text);
