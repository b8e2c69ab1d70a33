// The read loops of the downloads, over a small body-source interface: WinINet
// supplies the bytes in the product, a scripted source in tests (which is how
// the loops' handling of a server that misreports its data is checked).
#pragma once

#include "engine/HttpTransfer.h"

#include <windows.h>

#include <cstdint>

// The body of a sent request: InternetQueryDataAvailable and InternetReadFile.
// A false result leaves the Windows error in GetLastError.
class IBodySource
{
public:
    virtual bool QueryAvailable(DWORD& available) = 0;
    virtual bool Read(void* buffer, DWORD size, DWORD& got) = 0;

protected:
    ~IBodySource() = default;
};

// How often a running transfer looks at its cancel and run events. Looking is
// a system call per event (a round trip to the server process under Wine,
// dearer than a 4096-byte read), so it is done at most this often and always
// on the first pass and after a pause.
constexpr DWORD kTransferPollIntervalMs = 10;

// Lets a body loop that runs on a transfer thread of its own be given up from
// outside: the loop holds the gate while it writes and reports, and stops at
// once when the gate says the transfer was given up, so that a read that
// returns late never touches the file or the caller's callback again.
class ITransferGate
{
public:
    // Takes the gate; false (gate not taken) once the transfer was given up.
    virtual bool Enter() = 0;
    virtual void Leave() = 0;

protected:
    ~ITransferGate() = default;
};

class IHashInput;

// Where a file body goes: the file offset of its first byte (the bytes kept
// from an earlier attempt lie before it), an optional gate, and an optional
// hash that is given every byte once it is written (after the kept bytes).
struct BodyTarget
{
    uint64_t offset = 0;
    ITransferGate* gate = nullptr;
    IHashInput* hash = nullptr;
};

// Reads the body into `file` from target.offset on, in reads of at most 4096
// bytes batched through a 40960-byte staging buffer, reporting each read
// twice through `callback` (state 2). Holds while paused, stops when
// cancelled. Adds the bytes read to r.received (which the caller presets with
// the bytes kept before the offset), and fills r.errorCode / r.errorText on
// failure. Bytes that arrived before a read error or a cancellation are
// written too, so that a later attempt can continue after them. True when the
// body ended at its declared length (`declared` < 0: none declared) with no
// error and no cancellation, and the file was flushed.
bool ReceiveBodyToFile(const ICancelRequest& cancel, IBodySource& source, int64_t declared, HANDLE file,
                       IDownloadCallback* callback, DownloadStatusInfo& r,
                       DWORD pollIntervalMs = kTransferPollIntervalMs, const BodyTarget& target = BodyTarget());

// What ReceiveBodyToSink read: the body's bytes, and the Windows error that
// ended it (0: none; ERROR_INTERNET_CONNECTION_ABORTED for a body shorter
// than declared).
struct SinkReadResult
{
    uint64_t received = 0;
    DWORD error = 0;
};

// Reads the body into `sink` in reads of at most 16384 bytes. True under the
// same conditions (without the flush).
bool ReceiveBodyToSink(const ICancelRequest& cancel, IBodySource& source, int64_t declared, IByteSink& sink,
                       DWORD pollIntervalMs = kTransferPollIntervalMs, SinkReadResult* result = nullptr);
