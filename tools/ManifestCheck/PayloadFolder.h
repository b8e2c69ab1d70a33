// Finding the file an address downloads in a vendor's folder of payloads, laid out like the
// download site (or flat), and hashing it.
#pragma once

#include "config/Sha256Text.h"

#include <map>
#include <string>
#include <vector>

// The part of an address that names the file on a download site of static files: the
// segments of its path (without scheme, host, query and fragment), each percent-decoded as
// UTF-8.
struct AddressPath
{
    std::vector<std::wstring> segments;
    std::wstring problem;   // why the address names no file; empty when it names one
};

AddressPath SplitAddress(const std::wstring& url);

// The same file for two addresses: the same decoded path (hosts and queries may differ).
std::wstring DownloadKey(const AddressPath& path);

struct PayloadLookup
{
    std::wstring file;                  // full path of the file found; empty when none
    std::wstring relative;              // the part below the folder, as looked for
    std::vector<std::wstring> tried;    // every relative path looked for, longest first
};

// Looks for the file below folder (ending in a backslash): the whole path of the address
// first (a copy of the site), then ever shorter trailing parts of it, down to the bare file
// name (a flat folder). Only segments that are plain file names take part.
PayloadLookup FindPayload(const std::wstring& folder, const AddressPath& path);

// Hashes each file once, however many items name it.
class CPayloadHashes
{
public:
    // False when the file cannot be read.
    bool Get(const std::wstring& file, Sha256Digest& digest);

private:
    std::map<std::wstring, Sha256Digest> m_known;
};
