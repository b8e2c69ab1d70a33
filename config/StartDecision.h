// Whether an installer run may go on: the version comparison and the start
// decision rule over the install model's values (standard C++).
#pragma once

#include <string>

// The four numbers of a version text. Only the first, second and fourth take
// part in comparisons; the third is kept for completeness.
struct VersionNumbers
{
    unsigned p1 = 0;
    unsigned p2 = 0;
    unsigned p3 = 0;
    unsigned p4 = 0;
};

// Parses "a.b.c.d". The text is taken up to its first null character. Texts
// shorter than 7 characters, and texts that do not split into exactly four
// pieces, give four zeros. Runs of dots count as one separator and leading or
// trailing dots are ignored; each piece is read like _wtoi (so "7a" is 7 and
// "x" is 0), and its int value is stored as unsigned.
VersionNumbers ParseVersion(const std::wstring& text);

// True when A is newer than B by the installer's rule: same first number, a
// second number at least as high, and a strictly higher fourth number.
bool IsNewerVersion(const std::wstring& a, const std::wstring& b);

// Start decision codes. 4 (the version document could not be had) is added by
// the self-validation; 5 is unused.
enum StartDecisionCode : int
{
    StartGoOn = 0,
    StartAlreadyInstalled = 1,
    StartInstallerTooOld = 2,
    StartInstalledUnknown = 3,
    StartOtherProduct = 6,
};

// What a start decision code means, in a few words for the run log ("the product is
// installed in the offered version already"); codes 4 and 5 included.
const wchar_t* StartDecisionMeaning(int decision);

// What the decision reads from the install model.
struct StartDecisionInput
{
    bool productInstalled = false;
    std::wstring installedVersion;
    std::wstring installedProductName;
    std::wstring fullName;
    bool standalone = false;
    std::wstring standaloneVersion;
    std::wstring webInstallerVersion;
    std::wstring freshMinWebInstallerVersion;
    std::wstring patchMinWebInstallerVersion;
};

// Case-insensitive equality of two product names.
using NameEqualFn = bool (*)(const std::wstring&, const std::wstring&);

// Folds only the ASCII letters A-Z; every other code unit must match exactly.
// This is the portable default; the Windows build passes a comparison that
// folds all letters (EqualNamesIgnoringCase in config/NameCompare.h).
bool EqualIgnoringAsciiCase(const std::wstring& a, const std::wstring& b);

// The start decision rule. nameEqual compares the installed product name with
// the full name without regard to letter case.
int GetStartDecision(const StartDecisionInput& in, NameEqualFn nameEqual = EqualIgnoringAsciiCase);
