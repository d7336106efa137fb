// Windows only: what the HTTPS and the mail client both ask of a server's certificate.
#pragma once

#include <windows.h>
#include <wincrypt.h>

#include <optional>
#include <string>

namespace quillet::platform::win32 {

// The certificate's SHA-256 fingerprint as 64 lower-case hex digits; empty on failure.
std::string Sha256Fingerprint(PCCERT_CONTEXT certificate);

// Nothing when the certificate's fingerprint is `pin` (NormalizedPin text), else the
// words why it is not trusted ("certificate not trusted: ...").
std::optional<std::string> PinMismatch(PCCERT_CONTEXT certificate, const std::string& pin);

// Nothing when the system's trust store vouches for the certificate (its chain, its
// dates, its being made for `host`), else the words why not.
std::optional<std::string> UntrustedBySystem(PCCERT_CONTEXT certificate, const std::wstring& host);

} // namespace quillet::platform::win32
