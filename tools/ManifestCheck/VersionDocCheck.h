// The server's version document, read into the install model as the installer reads it.
#pragma once

#include "CheckReport.h"

#include "config/InstallConfig.h"

#include <string>

// Reads the document into config (whose manifest values are already read), prints the values
// and the elements the reader skipped, and the start decision a machine without the product
// would get with the manifest's web installer version.
void CheckVersionDocument(CInstallConfig& config, const std::wstring& path,
                          CCheckReport& report);
