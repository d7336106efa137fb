// Windows only: the byte stream under the mail client, a Winsock connection that can turn
// into TLS (SSPI/Schannel) at any point, every wait bounded by one deadline.
#pragma once

#include <winsock2.h>
#define SECURITY_WIN32
#include <security.h>

#include <chrono>
#include <memory>
#include <optional>
#include <string>

namespace quillet::platform::win32 {

using Deadline = std::chrono::steady_clock::time_point;

class Socket {
public:
    Socket() = default;
    ~Socket();
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;

    // Connects to the first address of `host` that answers; the reason when none does.
    std::optional<std::string> Connect(const std::wstring& host, int port, Deadline deadline);
    bool Send(const char* bytes, std::size_t size, Deadline deadline);
    // Appends what arrived; false when the peer closed, on an error or at the deadline.
    bool Receive(std::string& into, Deadline deadline);
    bool TimedOut() const { return timedOut_; }

private:
    bool Wait(bool forWriting, Deadline deadline);

    SOCKET socket_ = INVALID_SOCKET;
    bool timedOut_ = false;
};

// How a TLS handshake ended.
struct TlsOutcome {
    enum Kind { Ok, NotTls, Untrusted, Failed } kind = Failed;
    std::string reason; // for NotTls: the first bytes the server sent instead
};

class TlsChannel {
public:
    explicit TlsChannel(Socket& socket) : socket_(socket) {}
    ~TlsChannel();
    TlsChannel(const TlsChannel&) = delete;
    TlsChannel& operator=(const TlsChannel&) = delete;

    // TLS 1.2 with `host`; the certificate must be the pinned one (NormalizedPin text) or,
    // without a pin, one the system's trust store vouches for, made for `host`.
    TlsOutcome Handshake(const std::wstring& host, const std::string& pin, Deadline deadline);
    bool Send(const std::string& plain, Deadline deadline);
    bool Receive(std::string& plain, Deadline deadline);

private:
    TlsOutcome Negotiate(const std::wstring& host, Deadline deadline);
    TlsOutcome CheckCertificate(const std::wstring& host, const std::string& pin);
    bool SendToken(SecBuffer& token, Deadline deadline);
    bool DecryptPending(std::string& plain, bool& closed);

    Socket& socket_;
    CredHandle credentials_ = {};
    CtxtHandle context_ = {};
    bool haveCredentials_ = false;
    bool haveContext_ = false;
    SecPkgContext_StreamSizes sizes_ = {};
    std::string encrypted_; // received, not yet decrypted
};

// Lines in and text out, first in the clear, then (after StartTls) through TLS.
class MailConnection {
public:
    std::optional<std::string> Connect(const std::wstring& host, int port, Deadline deadline) {
        return socket_.Connect(host, port, deadline);
    }
    TlsOutcome StartTls(const std::wstring& host, const std::string& pin, Deadline deadline);
    bool Send(const std::string& text, Deadline deadline);
    // One line without its line end; false when none came in time.
    bool ReadLine(std::string& line, Deadline deadline);
    bool Secure() const { return tls_ != nullptr; }
    bool TimedOut() const { return socket_.TimedOut(); }

private:
    Socket socket_;
    std::unique_ptr<TlsChannel> tls_;
    std::string received_;
};

} // namespace quillet::platform::win32
