// The lines the install model writes to the run log about what it read (standard C++): one
// compact line per value, so that support staff see exactly what a run worked with.
#pragma once

#include "config/ManifestInfo.h"

#include <string>
#include <vector>

// "\"value\"": quoted, so that an empty value and blanks around one can be seen.
std::wstring LogQuoted(const std::wstring& value);

// Every value of the manifest as the model holds it, one line each ("Manifest: pid =
// \"VARO-PRO-70\""); one line per transform, language pack and dependency with its fields.
std::vector<std::wstring> ManifestValueLines(const ManifestInfo& info);

// The values the version document sets, one line each ("Version document:
// fresh_install/product_version = \"7.0.0.2\""), and the standalone version they leave.
std::vector<std::wstring> VersionDocumentValueLines(const ManifestInfo& info);

// "1033 English, 1031 Deutsch": the language list as offered.
std::wstring LanguageListText(const std::vector<LanguageEntry>& languages);
