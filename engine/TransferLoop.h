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

// Reads the body into `file` from offset 0, in reads of at most 4096 bytes
// batched through a 40960-byte staging buffer, reporting each read twice
// through `callback` (state 2). Holds while paused, stops when cancelled.
// Fills r.received, and r.errorCode / r.errorText on failure. True when the
// body ended at its declared length (`declared` < 0: none declared) with no
// error and no cancellation, and the file was flushed.
bool ReceiveBodyToFile(const ICancelRequest& cancel, IBodySource& source, int64_t declared, HANDLE file,
                       IDownloadCallback* callback, DownloadStatusInfo& r,
                       DWORD pollIntervalMs = kTransferPollIntervalMs);

// Reads the body into `sink` in reads of at most 16384 bytes. True under the
// same conditions (without the flush).
bool ReceiveBodyToSink(const ICancelRequest& cancel, IBodySource& source, int64_t declared, IByteSink& sink,
                       DWORD pollIntervalMs = kTransferPollIntervalMs);
