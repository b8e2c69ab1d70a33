// Process entry of the installer. DPI awareness and the administrator request come from the
// application manifest, not from code, so they hold before the first window exists.
#include "app/PelMasterInstallerApp.h"

#include <windows.h>

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int)
{
    return TheApp().Run(instance);
}
