// Which prerequisite setup programs of the manifest are present already. Two
// are known by name (the WebView2 runtime and the Visual C++ x64 runtime);
// every other name counts as missing, so its program is always run.
#pragma once

#include <functional>
#include <string>
#include <unordered_map>

using PrerequisiteDetector = std::function<bool()>;

// Setup program name (narrow, exact, letter case included) to its detector.
// Built during static initialisation; read-only afterwards.
const std::unordered_map<std::string, PrerequisiteDetector>& PrerequisiteDetectors();

// True when the named prerequisite is known and its detector finds it.
bool IsPrerequisiteInstalled(const std::wstring& name);

// What the detector of the named prerequisite finds, without writing to the run log;
// Unknown when the name has no detector.
enum class PrerequisiteState { Unknown, Present, Missing };
PrerequisiteState DetectPrerequisite(const std::wstring& name);

// A "pv" version other than "0.0.0.0" under the 32-bit machine key or the
// user key of the Edge update client of the WebView2 runtime.
bool IsWebView2Installed();

// Visual C++ 14 x64 runtime with Major >= 14, Minor >= 24 and Bld >= 18127.
bool IsVCRuntimeInstalled();
