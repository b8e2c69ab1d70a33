// Installs one planned item by the extension of its file: setup programs are
// run and waited for, Windows Installer packages go through the service with
// the progress handler, anything else (a transform) needs no action.
#pragma once

#include "engine/InstallItem.h"
#include "engine/InstallerUiHandler.h"

#include <string>

// False only when a Windows Installer package failed.
bool InstallPackage(InstallerProgressState& state, const InstallItem& item);

// Runs the item's program with its arguments and waits for it to end; true
// when it was started. Its exit code only matters as a restart request.
bool RunSetupProgram(const InstallItem& item);

// Notes a restart request for the run's outcome when a package's or setup
// program's result code is 3010 (ERROR_SUCCESS_REBOOT_REQUIRED).
void NoteRestartRequest(DWORD resultCode);

// Installs an .msi item with the handler; true when the service reported
// success (0 or 3010).
bool InstallMsiPackage(InstallerProgressState& state, const InstallItem& item);

// The same installation, returning the service's result code.
UINT RunMsiInstallation(InstallerProgressState& state, const InstallItem& item);

// Command line of a setup program: the path in quotes, then the arguments.
std::wstring SetupCommandLine(const InstallItem& item);

// What the package's command line depends on, read from the install model
// and the file system by MsiCommandLineInputsFromConfig.
struct MsiCommandLineInputs
{
    bool productInstalled = false;
    std::wstring installFolder;
    bool installFolderExists = false;
    int languageId = 1033;
    std::wstring transformPath;   // transform folder + id + ".mst"
    bool transformExists = false;
};

MsiCommandLineInputs MsiCommandLineInputsFromConfig();

// Properties for the service: reinstall for an installed product, else
// INSTALLDIR when the folder exists; TRANSFORMS for a language other than
// 1033 when its transform file is there.
std::wstring ComposeMsiCommandLine(const MsiCommandLineInputs& inputs);
