// Resource identifiers shared by the .rc script and the code.
#ifndef PEL_RES_RESOURCE_H
#define PEL_RES_RESOURCE_H

// Main installer dialog; created with the window class "PelMasterInstallerClassName" so that
// a second start can find the running installer.
#define IDD_INSTALL_GUIDE 139

#endif
