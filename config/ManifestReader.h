// Reading the install manifest out of a parsed document (standard C++).
#pragma once

#include "config/ManifestInfo.h"

#include <string>
#include <vector>

class CXmlDocument;

// "true" in any letter case; nothing else (no blanks around it) makes a standalone build.
bool IsStandaloneText(const std::wstring& text);

// Walks a well-formed manifest with the document's forward-only cursor and fills info.
// Every lookup continues after the element the previous successful lookup at the same level
// found, so elements placed before the previously read one at their level are not found:
// manifests in the field are written to that order and rely on it.
//
// Names that become file names are checked here, because the installer writes those files
// with administrator rights: a dependency whose name is not a plain file name
// (IsSafeFileName) is left out, and an executable that is not a plain relative path
// (IsSafeRelativePath) is left empty. Each case adds one line to problems (when given).
// The main component's name is kept as written; the load refuses the manifest when it is
// not a plain file name. A payload hash (full_sha256 and patch_sha256 after the transforms,
// sha256 last in a transform, language pack or dependency) that is not 64 hexadecimal
// digits is kept as written, so that its item fails its check, and adds a line too.
void ReadManifestDocument(CXmlDocument& doc, ManifestInfo& info,
                          std::vector<std::wstring>* problems);
