// Filling in the payload hashes of a manifest (and of a version document) from a folder
// holding the payloads, so that a vendor never types a hash.
#pragma once

#include "CheckReport.h"

#include <string>

// For every item the installer reads with an address (the main package and its update, each
// transform, language pack and dependency; in the version document the installer of each
// release), finds the file in folder (see FindPayload) and writes its SHA-256 into the item's
// hash element: the text of an existing one is replaced, a missing one is added where the
// installer reads it, on a line of its own indented like its siblings. Every other byte of
// the file stays as it was; the file is replaced in one step, and only when the result reads
// back with exactly the intended hashes. An item whose file is missing, cannot be read, or
// is named alike by another address keeps its hash as it was, with an error.
// versionDocument may be empty; folder ends in a backslash.
void FillHashes(const std::wstring& folder, const std::wstring& manifest,
                const std::wstring& versionDocument, CCheckReport& report);
