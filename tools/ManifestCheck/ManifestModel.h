// The manifest values the installer read: printed field by field, and checked against what
// its load requires and what the install needs later.
#pragma once

#include "CheckReport.h"

#include "config/DocumentMap.h"
#include "config/ManifestInfo.h"

#include <string>
#include <vector>

// Every field of the values, in the order the model holds them.
void PrintManifestValues(const ManifestInfo& info, CCheckReport& report);

// Required values (errors), the reader's own problems, and values the install needs.
// readerProblems: what ReadManifest reported (names it refused).
void CheckManifestModel(const ManifestInfo& info, const std::vector<std::wstring>& readerProblems,
                        const CDocumentMap& map, CCheckReport& report);
