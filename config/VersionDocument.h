// Reading the server's version document out of a parsed document (standard C++).
#pragma once

#include "config/ManifestInfo.h"

class CXmlDocument;

// Walks a well-formed version document with the forward-only cursor and writes the values
// found into info; values whose elements are absent keep what info held. The patch
// install's product version is also written into the standalone version field, so that in
// a web build the server's update version is what the installed version is compared with.
// The elements must stand in the documented order: product_code, fresh_install,
// patch_install, and inside each release product_version, min_web_installer_version,
// web_installer_download_url, web_installer_sha256.
void ReadVersionDocumentData(CXmlDocument& doc, ManifestInfo& info);
