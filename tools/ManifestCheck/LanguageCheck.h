// The language list the installer would offer, and the language files behind it.
#pragma once

#include "CheckReport.h"

#include "config/ManifestInfo.h"

#include <string>

// Prints the list as the installer builds it: English, then one entry per language pack
// titled from languageFolder\<id>\string.ini (languageFolder ends in a backslash). With
// checkFiles, also checks each listed language's string.ini and slide folders.
void ReportLanguages(const ManifestInfo& info, const std::wstring& languageFolder,
                     bool checkFiles, CCheckReport& report);
