#include "engine/PartialDownload.h"

#include "framework/Handles.h"

#include <windows.h>

#include <vector>

namespace {

// A record is a few hundred characters; anything far larger is not one.
constexpr DWORD kMaxRecordBytes = 64 * 1024;

} // namespace

std::wstring PartialFilePath(const std::wstring& localPath) { return localPath + L".partial"; }

std::wstring ResumeRecordPath(const std::wstring& localPath) { return localPath + L".resume"; }

bool WriteResumeRecord(const std::wstring& path, const ResumeRecord& record)
{
    const std::wstring text = L"\xFEFF" + FormatResumeRecord(record);
    CFileHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                 nullptr));
    if (!file)
        return false;
    const DWORD bytes = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    DWORD written = 0;
    // UTF-16 code units in the order Windows keeps them (little-endian).
    return WriteFile(file.Get(), text.data(), bytes, &written, nullptr) && written == bytes;
}

bool ReadResumeRecord(const std::wstring& path, ResumeRecord& record)
{
    CFileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file)
        return false;
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file.Get(), &size) || size.QuadPart < 2 || size.QuadPart > kMaxRecordBytes ||
        size.QuadPart % 2 != 0)
        return false;
    std::vector<wchar_t> text(static_cast<size_t>(size.QuadPart) / 2);
    DWORD got = 0;
    if (!ReadFile(file.Get(), text.data(), static_cast<DWORD>(size.QuadPart), &got, nullptr) ||
        got != static_cast<DWORD>(size.QuadPart) || text[0] != 0xFEFF)
        return false;
    return ParseResumeRecord(std::wstring(text.begin() + 1, text.end()), record);
}

uint64_t PartialFileLength(const std::wstring& localPath)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(PartialFilePath(localPath).c_str(), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return 0;
    return (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

bool LoadKeptDownload(const std::wstring& url, const std::wstring& localPath, ResumeRecord& record,
                      uint64_t& kept)
{
    kept = 0;
    if (ReadResumeRecord(ResumeRecordPath(localPath), record) && record.url == url) {
        kept = PartialFileLength(localPath);
        if (kept > 0 && kept < record.length)
            return true;
    }
    kept = 0;
    record = ResumeRecord();
    DiscardPartialDownload(localPath);
    return false;
}

void DiscardPartialDownload(const std::wstring& localPath)
{
    DeleteFileW(PartialFilePath(localPath).c_str());
    DeleteFileW(ResumeRecordPath(localPath).c_str());
}

bool CommitPartialDownload(const std::wstring& localPath)
{
    if (!MoveFileExW(PartialFilePath(localPath).c_str(), localPath.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return false;
    DeleteFileW(ResumeRecordPath(localPath).c_str());
    return true;
}
