#include "engine/Sha256.h"

#include "framework/Handles.h"

#include <bcrypt.h>

#include <algorithm>
#include <vector>

namespace {

constexpr DWORD kFileReadSize = 256 * 1024;

} // namespace

bool AddFileBytes(IHashInput& hash, const std::wstring& path, uint64_t length)
{
    CFileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                 nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file.IsValid())
        return false;
    std::vector<BYTE> buffer(kFileReadSize);
    uint64_t left = length;
    while (left > 0) {
        const DWORD want = static_cast<DWORD>(std::min<uint64_t>(left, buffer.size()));
        DWORD got = 0;
        if (!ReadFile(file.Get(), buffer.data(), want, &got, nullptr))
            return false;
        // The end of the file: enough only when the whole file was asked for.
        if (got == 0)
            return length == CSha256::kAll;
        if (!hash.Add(buffer.data(), got))
            return false;
        if (length != CSha256::kAll)
            left -= got;
    }
    return true;
}

CSha256::CSha256()
{
    Open();
}

CSha256::~CSha256()
{
    Close();
}

bool CSha256::Open()
{
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    if (!BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0)))
        return false;
    BCRYPT_HASH_HANDLE hash = nullptr;
    // The object buffer is left to the system (allowed since Windows 7).
    if (!BCRYPT_SUCCESS(BCryptCreateHash(algorithm, &hash, nullptr, 0, nullptr, 0, 0))) {
        BCryptCloseAlgorithmProvider(algorithm, 0);
        return false;
    }
    m_algorithm = algorithm;
    m_hash = hash;
    m_failed = false;
    return true;
}

void CSha256::Close()
{
    if (m_hash)
        BCryptDestroyHash(static_cast<BCRYPT_HASH_HANDLE>(m_hash));
    if (m_algorithm)
        BCryptCloseAlgorithmProvider(static_cast<BCRYPT_ALG_HANDLE>(m_algorithm), 0);
    m_hash = nullptr;
    m_algorithm = nullptr;
}

bool CSha256::Add(const void* data, size_t size)
{
    if (!m_hash || m_failed)
        return false;
    const auto* bytes = static_cast<const BYTE*>(data);
    while (size > 0) {
        const ULONG chunk = static_cast<ULONG>(std::min<size_t>(size, 0x40000000u));
        if (!BCRYPT_SUCCESS(BCryptHashData(static_cast<BCRYPT_HASH_HANDLE>(m_hash), const_cast<PUCHAR>(bytes),
                                           chunk, 0))) {
            m_failed = true;
            return false;
        }
        bytes += chunk;
        size -= chunk;
    }
    return true;
}

bool CSha256::AddFile(const std::wstring& path, uint64_t length)
{
    if (!AddFileBytes(*this, path, length))
        m_failed = true;
    return !m_failed;
}

bool CSha256::Finish(Sha256Digest& digest)
{
    bool ok = m_hash && !m_failed &&
              BCRYPT_SUCCESS(BCryptFinishHash(static_cast<BCRYPT_HASH_HANDLE>(m_hash), digest.data(),
                                              static_cast<ULONG>(digest.size()), 0));
    Close();
    Open();
    return ok;
}

CSha256Worker::~CSha256Worker()
{
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_stop = true;
    }
    m_changed.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

bool CSha256Worker::Add(const void* data, size_t size)
{
    if (size == 0) {
        std::lock_guard<std::mutex> guard(m_lock);
        return !m_failed;
    }
    std::vector<uint8_t> bytes(static_cast<const uint8_t*>(data), static_cast<const uint8_t*>(data) + size);
    std::unique_lock<std::mutex> guard(m_lock);
    if (m_failed)
        return false;
    if (!m_thread.joinable()) {
        try {
            m_thread = std::thread([this] { Work(); });
        } catch (...) {
            // No thread: hash here instead.
            guard.unlock();
            return m_hash.Add(data, size);
        }
    }
    m_changed.wait(guard, [this] { return m_queued < kMaxQueuedBytes || m_failed; });
    m_queued += size;
    m_queue.push_back(std::move(bytes));
    m_changed.notify_all();
    return !m_failed;
}

bool CSha256Worker::AddFile(const std::wstring& path, uint64_t length)
{
    return AddFileBytes(*this, path, length);
}

void CSha256Worker::Work()
{
    std::unique_lock<std::mutex> guard(m_lock);
    for (;;) {
        m_changed.wait(guard, [this] { return !m_queue.empty() || m_stop; });
        if (m_queue.empty())
            return;
        std::vector<uint8_t> bytes = std::move(m_queue.front());
        m_queue.pop_front();
        m_busy = true;
        guard.unlock();
        const bool ok = m_hash.Add(bytes.data(), bytes.size());
        guard.lock();
        m_busy = false;
        m_queued -= bytes.size();
        if (!ok)
            m_failed = true;
        m_changed.notify_all();
    }
}

bool CSha256Worker::Finish(Sha256Digest& digest)
{
    std::unique_lock<std::mutex> guard(m_lock);
    m_changed.wait(guard, [this] { return (m_queue.empty() && !m_busy) || !m_thread.joinable(); });
    // The worker is idle: the hash is this thread's now.
    return !m_failed && m_hash.Finish(digest);
}

bool Sha256OfFile(const std::wstring& path, Sha256Digest& digest)
{
    CSha256 hash;
    return hash.AddFile(path) && hash.Finish(digest);
}

bool FileMatchesSha256(const std::wstring& path, const std::wstring& text)
{
    Sha256Digest expected;
    Sha256Digest actual;
    return ParseSha256Text(text, expected) && Sha256OfFile(path, actual) && actual == expected;
}
