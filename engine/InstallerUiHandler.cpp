#include "engine/InstallerUiHandler.h"

#include "config/InstallConfig.h"
#include "engine/InstallStatus.h"
#include "engine/MsiService.h"
#include "framework/RunLog.h"

#include <msi.h>

#include <string>

namespace {

// The message kind is in the high byte; the rest is the box style the
// service wants for its own question.
constexpr UINT kMessageTypeMask = 0xFF000000;
constexpr UINT kBoxStyleMask = 0x00FFFFFF;

// The parser's answers are the protocol's own.
static_assert(kProgressOk == IDOK && kProgressCancel == IDCANCEL, "external UI answers");

// Every message goes to the debugger output; all but the progress messages (many per
// second, and in the service's own log beside ours) go to the run log too.
void WriteToDebugger(LPCWSTR text, UINT messageType)
{
    std::wstring line = L"\r\n ";
    line += text;
    if ((messageType & kMessageTypeMask) == INSTALLMESSAGE_PROGRESS)
        OutputDebugStringW(line.c_str());
    else
        TraceLine(line);
}

// The service's error is the user's to answer; a Cancel is remembered so
// the worker can tell a declined error from a failed installation.
int ShowServiceMessage(InstallerProgressState& state, LPCWSTR text, UINT style)
{
    const std::wstring& caption = TheInstallConfig().m_manifest.shortName;
    // A quiet run answers the service's error as declined (Cancel, Abort or No).
    const int answer = RunMessageBox(state.ownerWindow, text, caption, style, DeclineAnswer(style));
    if (answer == IDCANCEL)
        state.failureKind = kFailureErrorBoxCancelled;
    return answer;
}

ItemPercentReport StatusReport(const InstallerProgressState& state)
{
    if (state.reportPercent)
        return state.reportPercent;
    return [](int32_t index, int32_t percent) {
        InstallStatus::Instance().SetStatus(Installing, index, percent);
    };
}

} // namespace

void InstallerProgressState::ResetForPackage()
{
    progress.ResetForPackage();
    firstMessage = true;
    progressMessages = 0;
}

int WINAPI InstallerUiHandler(LPVOID context, UINT messageType, LPCWSTR text)
{
    InstallerProgressState& state = *static_cast<InstallerProgressState*>(context);
    if (state.firstMessage) {
        // From here on the service may show its basic progress for what the
        // handler leaves to it (the source and files-in-use questions); a
        // quiet run keeps it at no user interface, so nothing ever appears.
        if (!IsQuietRun())
            MsiService::SetBasicInternalUi();
        state.firstMessage = false;
    }
    if (!text)
        return 0;
    WriteToDebugger(text, messageType);

    const UINT style = messageType & kBoxStyleMask;
    switch (messageType & kMessageTypeMask) {
    case INSTALLMESSAGE_FATALEXIT:
    case INSTALLMESSAGE_ERROR:
    case INSTALLMESSAGE_OUTOFDISKSPACE:
        return ShowServiceMessage(state, text, style);
    case INSTALLMESSAGE_WARNING:
    case INSTALLMESSAGE_USER:
        return IDOK;
    case INSTALLMESSAGE_INFO:
        CaptureHomePage(state.homePageUrl, text);
        return IDOK;
    case INSTALLMESSAGE_PROGRESS:
        ++state.progressMessages;
        return ParseProgressMessage(state.progress, text, StatusReport(state));
    case INSTALLMESSAGE_ACTIONSTART:
    case INSTALLMESSAGE_ACTIONDATA:
    case INSTALLMESSAGE_COMMONDATA:
    case INSTALLMESSAGE_INITIALIZE:
    case INSTALLMESSAGE_TERMINATE:
    case INSTALLMESSAGE_SHOWDIALOG:
    case INSTALLMESSAGE_INSTALLEND:
        return IDOK;
    default:
        // Files in use, source resolution and anything newer: the service decides.
        return 0;
    }
}
