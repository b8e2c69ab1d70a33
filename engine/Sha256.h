// SHA-256 through the system's cryptography (CNG), fed piece by piece: the
// download layer hashes a file while it writes it, the vendor tool hashes the
// payloads of a folder.
#pragma once

#include "config/Sha256Text.h"

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>

class CSha256
{
public:
    CSha256();
    ~CSha256();
    CSha256(const CSha256&) = delete;
    CSha256& operator=(const CSha256&) = delete;

    // False when the system could not make a hash object (then every call fails).
    bool IsValid() const { return m_hash != nullptr; }

    // Adds bytes. False once anything failed; the digest is then not given.
    bool Add(const void* data, size_t size);

    // Adds the first `length` bytes of the file at path (all of it when
    // length is kAll). False when the file cannot be read that far.
    static constexpr uint64_t kAll = ~0ull;
    bool AddFile(const std::wstring& path, uint64_t length = kAll);

    // Ends the hash and gives the digest; the object then starts anew.
    bool Finish(Sha256Digest& digest);

private:
    bool Open();
    void Close();

    void* m_algorithm = nullptr;   // BCRYPT_ALG_HANDLE
    void* m_hash = nullptr;        // BCRYPT_HASH_HANDLE
    bool m_failed = false;
};

// The digest of the whole file at path; false when it cannot be read.
bool Sha256OfFile(const std::wstring& path, Sha256Digest& digest);

// Whether the whole file at path has the SHA-256 written as `text` (64 hex
// digits); false for any other text or an unreadable file.
bool FileMatchesSha256(const std::wstring& path, const std::wstring& text);
