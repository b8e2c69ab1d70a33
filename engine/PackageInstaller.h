// Installs one planned item by the extension of its file: setup programs are
// run and waited for, Windows Installer packages go through the service with
// the progress handler, anything else (a transform) needs no action. What an
// item installed is checked afterwards where the installer can see it.
#pragma once

#include "engine/InstallItem.h"
#include "engine/InstallerUiHandler.h"

#include <string>

// False when the item failed: a setup program that was refused or did not
// start, a prerequisite or language pack that is not there after its program
// ran (IsSetupResultInstalled), a Windows Installer package that failed or is
// another product's (InstallMsiPackage).
bool InstallPackage(InstallerProgressState& state, const InstallItem& item);

// Runs the item's program with its arguments and waits for it to end; true
// when it was started. Its exit code is logged with its meaning and counts as
// a restart request (NoteRestartRequest); it does not decide the item.
bool RunSetupProgram(const InstallItem& item);

// Notes a restart request for the run's outcome when a package's or setup
// program's result code is 3010 (ERROR_SUCCESS_REBOOT_REQUIRED) or 1641
// (ERROR_SUCCESS_REBOOT_INITIATED).
void NoteRestartRequest(DWORD resultCode);

// After an item's setup program ran: a known prerequisite must be found by its
// detector, a language pack must be among the installed language packs. A
// prerequisite without a detector, and any other item, counts as installed.
// The verdict goes to the run log.
bool IsSetupResultInstalled(const InstallItem& item);

// Before the main package (kind FullPackage or PatchPackage) is installed:
// false when the package file names a ProductCode other than the manifest's
// product_code. A ProductVersion other than the expected one (the version
// document's fresh_install or patch_install version, after the address the
// package came from; standalone_version in a standalone build) is only
// logged, and so is a package whose properties cannot be read (the service
// then judges it). Other kinds are not checked.
bool IsExpectedPackage(const InstallItem& item);

// Installs an .msi item with the handler; true when the package is the
// expected one and the service reported success (0 or 3010). Another
// product's package is refused like an unusable download: the state's
// failure kind becomes kFailureServerUnusable.
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
