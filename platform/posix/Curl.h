// What the mail and HTTP transports share on libcurl: one easy handle with its error
// text, and the certificate check (the system's trust store, or a pinned fingerprint
// accepted in place of a trusted chain).
#pragma once

#include <curl/curl.h>

#include <chrono>
#include <string>

namespace quillet::platform::posix {

class CurlHandle {
public:
    CurlHandle();
    ~CurlHandle();
    CurlHandle(const CurlHandle&) = delete;
    CurlHandle& operator=(const CurlHandle&) = delete;
    CURL* get() const { return curl_; }
    // The system's words for the last failure, or libcurl's own for the code.
    std::string errorText(CURLcode code) const;

private:
    CURL* curl_;
    char error_[CURL_ERROR_SIZE] = {};
};

// Verification on, host name checked; `pin` (64 lower-case hex digits) accepts the
// server's certificate with that SHA-256 fingerprint whatever its chain. `pin` must
// outlive the transfer. The whole transfer ends after `timeout`.
void SetTlsAndTimeout(CURL* curl, const std::string& pin, std::chrono::seconds timeout);

// The plain words for a failed certificate or handshake, or empty when `code` is none.
std::string TlsProblem(CURLcode code, const std::string& errorText);

} // namespace quillet::platform::posix
