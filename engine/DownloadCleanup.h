// What a run leaves in the download folders beside the installer (component\, msi\,
// transform\). Windows Installer keeps its own copy of every package it installs, and the
// server's version document is read into the install model as soon as it arrives, so the
// folders hold only what a later run can still use: the kept part of a cut download that the
// next run asks for under the same name.
#pragma once

#include <string>
#include <vector>

class CInstallConfig;

// Removes a copy of the server's version document once it has been read (or could not be),
// together with what a cut download of it left ("<file>.partial", "<file>.resume").
void RemoveVersionDocumentCopy(const std::wstring& path);

// Removes what this run's download jobs left at `paths` (the local paths they were given;
// only paths directly inside the component, msi or transform folder are touched). After an
// installation every file goes. After a failed or cancelled one only the kept part of a cut
// download stays (its "<file>.partial" and "<file>.resume") when the next run asks for the
// same path: a whole download is fetched again by the next run anyway, and a component\ name
// carries a stamp the next run does not reuse. Then, in a web build, the three folders go
// when they are empty. Each folder's removals are one line of the run log.
void RemoveRunDownloads(CInstallConfig& config, const std::vector<std::wstring>& paths, bool installed);
