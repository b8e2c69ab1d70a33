// SHA-256 through the system's cryptography (CNG), fed piece by piece: the
// download layer hashes a file while it writes it, the vendor tool hashes the
// payloads of a folder.
#pragma once

#include "config/Sha256Text.h"

#include <windows.h>

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// Where the bytes of a file go to be hashed, in file order.
class IHashInput
{
public:
    // False once anything failed; the digest is then not given.
    virtual bool Add(const void* data, size_t size) = 0;

protected:
    ~IHashInput() = default;
};

class CSha256 : public IHashInput
{
public:
    CSha256();
    ~CSha256();
    CSha256(const CSha256&) = delete;
    CSha256& operator=(const CSha256&) = delete;

    // False when the system could not make a hash object (then every call fails).
    bool IsValid() const { return m_hash != nullptr; }

    // Adds bytes. False once anything failed; the digest is then not given.
    bool Add(const void* data, size_t size) override;

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

// A SHA-256 computed on a thread of its own, so that a download does not wait
// for the hash: Add copies the bytes into a queue and returns (it waits only
// while kMaxQueuedBytes are queued), and Finish waits until everything queued
// is hashed. A download then runs at the speed of the slower of the two, not
// at the speed of both in a row.
class CSha256Worker : public IHashInput
{
public:
    static constexpr size_t kMaxQueuedBytes = 4 * 1024 * 1024;

    CSha256Worker() = default;
    ~CSha256Worker();
    CSha256Worker(const CSha256Worker&) = delete;
    CSha256Worker& operator=(const CSha256Worker&) = delete;

    bool Add(const void* data, size_t size) override;
    // Adds the first `length` bytes of the file at path (read on the calling thread).
    bool AddFile(const std::wstring& path, uint64_t length);
    // Waits for the queue to drain and gives the digest of everything added.
    bool Finish(Sha256Digest& digest);

private:
    void Work();

    CSha256 m_hash;
    std::mutex m_lock;
    std::condition_variable m_changed;
    std::deque<std::vector<uint8_t>> m_queue;
    size_t m_queued = 0;
    bool m_busy = false;
    bool m_failed = false;
    bool m_stop = false;
    std::thread m_thread;
};

// Gives `hash` the first `length` bytes of the file at path (all of it with
// CSha256::kAll), read on the calling thread; false when the file cannot be
// read that far.
bool AddFileBytes(IHashInput& hash, const std::wstring& path, uint64_t length);

// The digest of the whole file at path; false when it cannot be read.
bool Sha256OfFile(const std::wstring& path, Sha256Digest& digest);

// Whether the whole file at path has the SHA-256 written as `text` (64 hex
// digits); false for any other text or an unreadable file.
bool FileMatchesSha256(const std::wstring& path, const std::wstring& text);
