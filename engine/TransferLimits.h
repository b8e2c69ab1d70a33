// The limits every transfer works within: timeouts of each request, the stall
// limit of a body, the attempts and waits of retries, the redirect chain. One
// place for all of them, so that they are documented once (docs/options.md,
// "Network limits") and tests can make them short.
#pragma once

#include <cstdint>
#include <string>

struct TransferLimits
{
    // Establishing the TCP (and TLS) connection. About the time Windows itself
    // gives a SYN that goes unanswered (21 s), so a dead address fails at
    // about the same time with or without this limit.
    uint32_t connectTimeoutMs = 20000;
    // Handing the request to the network.
    uint32_t sendTimeoutMs = 30000;
    // Waiting for the response headers, and for each read of a body.
    uint32_t receiveTimeoutMs = 30000;
    // A body that brings no byte for this long ends its attempt (a stall).
    uint32_t stallLimitMs = 30000;
    // Attempts of a file transfer in a row that bring no new byte before it fails.
    uint32_t maxAttempts = 5;
    // Attempts of the self-check's version request.
    uint32_t versionAttempts = 2;
    // The first wait before a retry; each further wait in a row doubles it (1, 2, 4, 8 s).
    uint32_t firstRetryDelayMs = 1000;
    // A server's Retry-After is honoured up to this wait.
    uint32_t maxRetryAfterMs = 60000;
    // Redirects followed in one chain.
    uint32_t maxRedirects = 10;
};

// Reads a limits override, "name=value,name=value" with the names connect,
// send, receive, stall (milliseconds), attempts, version-attempts, retry
// (first retry delay, ms), retry-after-max (ms) and redirects, onto `limits`.
// False, with `limits` unchanged, when any part is not such a pair or a value
// is not a decimal number from 1 (0 for redirects) to 86,400,000.
bool ParseTransferLimits(const std::wstring& text, TransferLimits& limits);
