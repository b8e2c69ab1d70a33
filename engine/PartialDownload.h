// A download's bytes before it is whole: they go to "<file>.partial" beside
// the file it becomes, and, when the server can resume it, a small record
// "<file>.resume" names the address, the validator of the version being
// fetched and its length. Only a whole download is moved to the file's own
// name, so a cut download is never installed or run; a later attempt, or a
// later run of the installer, continues the partial file when the record
// still matches.
#pragma once

#include "engine/RetryRules.h"

#include <cstdint>
#include <string>

std::wstring PartialFilePath(const std::wstring& localPath);
std::wstring ResumeRecordPath(const std::wstring& localPath);

// The length of the partial file of `localPath`; 0 when there is none.
uint64_t PartialFileLength(const std::wstring& localPath);

// Writes the record (UTF-16LE text); false when it could not be written.
bool WriteResumeRecord(const std::wstring& path, const ResumeRecord& record);
// Reads a record written by WriteResumeRecord; false for a missing or damaged one.
bool ReadResumeRecord(const std::wstring& path, ResumeRecord& record);

// What is kept of an earlier try at `url` into `localPath`: the record and the
// partial file's length, when the record is for this address and the partial
// file is shorter than the version it belongs to. Otherwise both files are
// removed and nothing is kept (false).
bool LoadKeptDownload(const std::wstring& url, const std::wstring& localPath, ResumeRecord& record,
                      uint64_t& kept);

// Removes the partial file and the record.
void DiscardPartialDownload(const std::wstring& localPath);

// Moves the whole partial file to `localPath` (replacing a file there) and
// removes the record.
bool CommitPartialDownload(const std::wstring& localPath);
