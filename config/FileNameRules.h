// Which names taken from the manifest may become names of files the installer writes
// (standard C++). The installer runs elevated and writes below the folders beside its
// executable; a name that leaves those folders, names a device or is stored under another
// name than written would make it write somewhere else.
#pragma once

#include <string>

// The longest file name component NTFS stores.
constexpr size_t kMaxFileNameChars = 255;

// True for one plain file name that Windows stores exactly as written inside a folder: not
// empty, at most kMaxFileNameChars code units, no control character (below U+0020) and none of
// < > : " / \ | ? *, not "." or "..", no trailing dot or space (Windows drops them), and not a
// reserved device name (CON, PRN, AUX, NUL, COM1-COM9, LPT1-LPT9, the superscript-digit forms,
// CONIN$, CONOUT$), with or without an extension, in any letter case.
bool IsSafeFileName(const std::wstring& name);

// True for a path relative to a folder whose components, separated by backslashes, are each
// IsSafeFileName: so no drive, no root, no empty component, no ".." and no slash.
bool IsSafeRelativePath(const std::wstring& path);
