// What the XML reader made of a file: whether it could be read, in which encoding, whether it
// is well-formed, and whether its root is the one the installer looks for.
#pragma once

#include "CheckReport.h"

#include "config/DocumentMap.h"

// Reports the read, the encoding (an unknown one falls back to the system code page) and the
// parse. False when the installer could not use the file at all (an error is reported).
bool ReportDocumentFile(const CDocumentMap& map, CCheckReport& report);

// False, with an error, when the reader did not visit the top-level element: another root
// than `pelwebinstaller`, from which the installer reads nothing.
bool ReportRoot(const CDocumentMap& map, CCheckReport& report);

// The reader's result log as lines, each event with the line of its offset.
void ReportResultLog(const CDocumentMap& map, CCheckReport& report);
