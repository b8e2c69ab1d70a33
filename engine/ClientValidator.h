// The installer's self-check before the main dialog: its outcome and, when a newer
// installer was downloaded, that installer's path.
//
// For now this is only the holder that start-up and shut-down act on; the self-check dialog
// (version document, start decision, download of a newer installer) is added later and
// replaces Run.
#pragma once

#include <string>

enum ValidationResult
{
    ContinueInstall = 0,
    StopInstall = 1,
    RunNewInstaller = 2,
};

class CClientValidator
{
public:
    // Runs the self-check modally and returns its result (also kept in GetResult).
    ValidationResult Run();

    ValidationResult GetResult() const { return m_result; }
    void SetResult(ValidationResult result) { m_result = result; }

    const std::wstring& GetNewInstallerPath() const { return m_strNewInstallerPath; }
    void SetNewInstallerPath(const std::wstring& path) { m_strNewInstallerPath = path; }
    void ClearNewInstallerPath() { m_strNewInstallerPath.clear(); }

private:
    ValidationResult m_result = ContinueInstall;
    std::wstring m_strNewInstallerPath;
};
