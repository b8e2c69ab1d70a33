// The installer's self-check before the main dialog, without any user interface: fetch
// the server's version document, take the start decision over it, and download a newer
// installer when this one is too old. The self-validation dialog (app/ClientValidator.h)
// runs these on its task and shows what they decide.
#pragma once

#include "engine/ProgramTrust.h"

#include <cstdint>
#include <string>

class CInstallConfig;

// What start-up does after the self-check.
enum ValidationResult
{
    ContinueInstall = 0, // go on to the main dialog
    StopInstall = 1,     // end the run without the main dialog
    RunNewInstaller = 2, // end the run; shut-down starts the downloaded installer with "/n"
};

// Start decision added by the self-check to those of GetStartDecision: the version
// document could not be fetched or read.
constexpr int kDecisionVersionDocumentUnavailable = 4;

// The start decision for this run. A standalone build decides from the manifest alone,
// without any request. A web build fetches the version document from the manifest's
// version check URL into GetDownloadPath("version.xml"), reads it into the model, removes
// the file whatever came of it (RemoveVersionDocumentCopy) and decides; 4 when the
// document did not arrive whole from a 2xx answer or is not a well-formed file.
int CheckClientVersion(CInstallConfig& config);

// Downloads the current installer from the version document's patch install URL when the
// product is installed, else from the fresh install URL, to GetNewInstallerPath(). Returns
// non-zero when the whole file arrived; newInstallerPath then names it. On failure the
// path is empty and nothing is left behind: a partial program must never be started.
// With the release's web_installer_sha256 the file is hashed as it arrives; a file that
// does not match is fetched once more, then the download fails. `download`, when given,
// receives what vouches for the file (for MayStartSuccessor).
uint32_t DownloadNewInstaller(CInstallConfig& config, std::wstring& newInstallerPath,
                              SuccessorDownload* download = nullptr);

// Deletes a downloaded installer that must not be started, and its folder.
void DiscardNewInstaller(const std::wstring& path);
