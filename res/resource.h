// Resource identifiers shared by the .rc script and the code.
#pragma once

// Main installer dialog; created with the window class "PelMasterInstallerClassName" so that
// a second start can find the running installer.
#define IDD_INSTALL_GUIDE 139
