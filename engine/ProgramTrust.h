// Whether the installer may start a program it downloaded: its successor (at
// exit) or a setup program (a prerequisite or a language pack). A hash from
// the manifest or the version document, checked as the file arrived, vouches
// for a file; so does a valid Authenticode signature.
#pragma once

#include "engine/SignatureCheck.h"
#include "framework/Handles.h"

#include <string>

struct InstallItem;

// What the download of the successor found out.
struct SuccessorDownload
{
    bool hashVerified = false;    // the version document gave a hash and the file matched it
    bool lengthDeclared = false;  // the server declared the length (so a cut file was refused)
    std::wstring sha256;          // that hash
};

// Opens a program file so that, while the handle is open, nobody can change,
// replace or delete it; others may still read and start it. Held from before
// a program is checked until it has started, so that what starts is what was
// checked. Invalid when the file cannot be opened so.
CFileHandle HoldProgramFile(const std::wstring& path);

// The rules for the successor, over the checks already made: when the running
// installer is validly signed, the successor must be validly signed by the
// same publisher; a file whose length was not declared needs a hash or a
// valid signature (nothing else tells a cut file from a whole one); a file
// with a broken signature needs the hash. `reason` says why, for the log.
bool JudgeSuccessor(const SignatureCheck& running, const SignatureCheck& successor,
                    const SuccessorDownload& download, std::wstring& reason);

// Checks the hash (again: the file waited in a folder others can write to)
// and the signatures of the running installer and of the file at path, and
// judges them (JudgeSuccessor). Call it while holding the file.
bool MayStartSuccessor(const std::wstring& path, const SuccessorDownload& download, std::wstring& reason);

// The rules for a setup program: one with a manifest hash needs nothing more
// than to match it (checked again here, while the caller holds the file); one
// without must carry a valid signature if it is signed at all; an unsigned one
// still runs (manifests rely on it), and `reason` says so for the log. A file
// that is not there is left to fail its start, as before.
bool MayRunSetupProgram(const InstallItem& item, std::wstring& reason);
