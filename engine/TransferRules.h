// The rules by which a transfer's response is judged, kept apart from WinINet
// so that they run and are fuzzed natively: reading a Content-Length header,
// which status codes a length query accepts, and when a body is complete.
#pragma once

#include <cstdint>
#include <string>

// Value of a Content-Length header text as a 64-bit length, so that files
// above 2 GiB keep their size. Leading blanks and one '+' are allowed; the
// value ends at the first non-digit. A negative, empty or overflowing value
// is not a length: 0.
int64_t ParseContentLength(const std::wstring& text);

// Whether a length query believes a response's length: not for 403 and 404,
// nor below 200 or above 500. 401 and 500 pages are accepted by design.
bool LengthQueryAcceptsStatus(uint32_t status);

// Whether a response's body is the requested file (2xx). An error page is
// never delivered as the file.
bool IsSuccessStatus(uint32_t status);

// Whether a body that ended after `received` bytes is whole. Without a
// declared length (`declared` < 0) the end of the data is the end.
bool IsBodyComplete(int64_t declared, uint64_t received);
