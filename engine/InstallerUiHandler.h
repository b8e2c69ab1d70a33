// The external UI handler that the Windows Installer calls while it installs
// a package: progress into the install status, the service's error boxes to
// the user, the user's cancel back to the service, and the home page address
// out of the service's property dump.
#pragma once

#include <windows.h>

#include "engine/ProgressParser.h"

#include <cstdint>
#include <string>

// Failure kinds the install worker reports (0 none).
constexpr int32_t kFailureServerUnusable = 4;
constexpr int32_t kFailureErrorBoxCancelled = 5;

// What the handler keeps between messages. The install worker owns one and
// passes it as the handler's context (InstallMsiPackage does the passing).
struct InstallerProgressState
{
    ProgressHandlerState progress;
    bool firstMessage = true;
    std::wstring homePageUrl;     // captured "InstallHomepageURL", empty until found
    int32_t failureKind = 0;
    // Owner of the service's error boxes: the main installer window. The
    // engine does not reach up to the application for it; whoever owns the
    // worker sets it (null gives boxes without owner).
    HWND ownerWindow = nullptr;
    // PROGRESS messages of the current package, for the run log.
    uint32_t progressMessages = 0;
    // Receives each item percent; when empty, the handler reports
    // SetStatus(Installing, index, percent) to the process's install status.
    ItemPercentReport reportPercent;

    // Before each package (the home page and failure kind stay: they belong
    // to the whole installation).
    void ResetForPackage();
};

// The INSTALLUI_HANDLERW; context is an InstallerProgressState.
int WINAPI InstallerUiHandler(LPVOID context, UINT messageType, LPCWSTR text);
