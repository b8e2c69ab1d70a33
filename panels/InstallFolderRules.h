// The path rules of the destination folder in the settings panel, without any Windows call:
// which texts are accepted, how a missing folder is created one component at a time, and where
// the folder browser starts. The file system is reached through the callbacks the caller
// passes, so the rules run natively and in tests against a pretend file system.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

// Characters (terminator included) of the buffers the folder text passes through: the text
// checked by Install, the edit text read by browse, and the full path made from it. A text
// that does not fit is refused as a whole; it is never cut to fit.
constexpr std::size_t kInstallFolderChars = 264;
constexpr std::size_t kBrowseTextChars = 520;
constexpr std::size_t kBrowseFullPathChars = 261;

// Whether text and its terminator fit a buffer of bufferChars characters.
bool FitsFolderBuffer(const std::wstring& text, std::size_t bufferChars);

// Everywhere below, a slash separates components as a backslash does ("C:/Apps" is the
// absolute path "C:\Apps"), as Windows reads paths.

// The path with every slash turned into a backslash.
std::wstring WithBackslashes(std::wstring path);

// Install drops one final backslash, whatever stands before it ("C:\" becomes "C:").
std::wstring DropFinalBackslash(const std::wstring& path);

// Browse drops a final backslash only when the path is longer than one character and the
// backslash does not follow a colon, so a drive root such as C:\ stays as it is.
std::wstring TrimBrowseBackslash(const std::wstring& path);

// "X:name": a drive letter and colon followed by something other than a backslash, which
// names a place relative to that drive's current folder.
bool IsDriveRelativePath(const std::wstring& path);

// Whether a folder text (final backslash dropped) names one fixed place: it begins with a
// backslash (a network path or the root of the current drive), or it is a drive ("C:") or a
// drive followed by a backslash. Empty, relative and drive-relative texts are refused: they
// would name a different folder depending on the current folder of the process.
bool IsFixedFolderPath(const std::wstring& path);

// The accumulated paths created one after the other when the folder does not exist, in
// order, joined with backslashes. Components are the parts between backslashes, empty ones
// skipped. A network path (two leading backslashes) starts from "\\server" without creating
// it; a path that begins with one backslash keeps it. Paths that end with a colon (a drive)
// are left out: a drive is never created.
std::vector<std::wstring> FolderCreationSteps(const std::wstring& path);

// What the folder preparation needs from the file system.
struct FolderSystem
{
    // The path exists (a file or a folder).
    std::function<bool(const std::wstring&)> exists;
    // The path exists and is a folder.
    std::function<bool(const std::wstring&)> isFolder;
    // Creates one folder whose parent exists; false when it could not be created.
    std::function<bool(const std::wstring&)> createFolder;
};

// Install's check of the folder text, after its final backslash was dropped: refuses texts
// that are too long or not a fixed place, creates the missing components, and answers true
// only when the path is an existing folder afterwards (a drive "C:" is checked as "C:\"). The
// file system is asked about the path with backslashes only.
// A path that names a file, or whose server or drive is missing, is refused rather than
// reported as a usable folder.
bool PrepareInstallFolder(const std::wstring& typed, const FolderSystem& fileSystem);

// The folder the browser starts at: the path itself when it exists, otherwise the path cut
// at its last backslash again and again until what is left exists or no backslash is left.
std::wstring BrowseStartFolder(const std::wstring& path,
                               const std::function<bool(const std::wstring&)>& exists);

// Whether sentence begins with prefix (an empty prefix begins every sentence). The licence
// line shows its plain text first when the language's whole sentence starts with it.
bool SentenceStartsWith(const std::wstring& sentence, const std::wstring& prefix);
