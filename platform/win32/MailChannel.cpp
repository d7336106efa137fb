#include "platform/win32/MailChannel.h"

#include "platform/win32/ServerCertificate.h"
#include "platform/win32/WideText.h"

#include <ws2tcpip.h>
#include <schannel.h>

#include <algorithm>
#include <cstring>

namespace quillet::platform::win32 {

namespace {

struct Winsock {
    Winsock() {
        WSADATA data;
        ok = ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }
    ~Winsock() {
        if (ok)
            ::WSACleanup();
    }
    bool ok = false;
};

long long MillisecondsLeft(Deadline deadline) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
}

std::string SocketWords(int error) {
    switch (error) {
    case WSAECONNREFUSED:
        return "the server refused the connection";
    case WSAETIMEDOUT:
        return "no answer within the time limit";
    case WSAEHOSTUNREACH:
    case WSAENETUNREACH:
        return "the server cannot be reached";
    default:
        return "the connection failed (Winsock error " + std::to_string(error) + ")";
    }
}

} // namespace

Socket::~Socket() {
    if (socket_ != INVALID_SOCKET)
        ::closesocket(socket_);
}

bool Socket::Wait(bool forWriting, Deadline deadline) {
    const long long left = MillisecondsLeft(deadline);
    if (left <= 0) {
        timedOut_ = true;
        return false;
    }
    fd_set ready, failed;
    FD_ZERO(&ready);
    FD_ZERO(&failed);
    FD_SET(socket_, &ready);
    FD_SET(socket_, &failed);
    timeval wait = {static_cast<long>(left / 1000), static_cast<long>(left % 1000 * 1000)};
    const int n = ::select(0, forWriting ? nullptr : &ready, forWriting ? &ready : nullptr, &failed, &wait);
    timedOut_ = n == 0;
    return n > 0 && FD_ISSET(socket_, &ready);
}

std::optional<std::string> Socket::Connect(const std::wstring& host, int port, Deadline deadline) {
    static Winsock winsock;
    if (!winsock.ok)
        return std::string("the network is not available");
    ADDRINFOW hints = {};
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    ADDRINFOW* found = nullptr;
    if (::GetAddrInfoW(host.c_str(), std::to_wstring(port).c_str(), &hints, &found) != 0)
        return "the name " + Utf8(host) + " could not be resolved";
    std::string reason = "the server cannot be reached";
    for (ADDRINFOW* address = found; address && socket_ == INVALID_SOCKET; address = address->ai_next) {
        SOCKET s = ::socket(address->ai_family, address->ai_socktype, address->ai_protocol);
        u_long nonBlocking = 1;
        if (s == INVALID_SOCKET || ::ioctlsocket(s, FIONBIO, &nonBlocking) != 0)
            continue;
        socket_ = s;
        const bool begun = ::connect(s, address->ai_addr, static_cast<int>(address->ai_addrlen)) == 0 ||
                           ::WSAGetLastError() == WSAEWOULDBLOCK;
        int error = 0, size = sizeof error;
        if (begun && Wait(true, deadline) &&
            ::getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &size) == 0 && error == 0)
            break;
        reason = SocketWords(timedOut_ ? WSAETIMEDOUT : error ? error : ::WSAGetLastError());
        ::closesocket(s);
        socket_ = INVALID_SOCKET;
    }
    ::FreeAddrInfoW(found);
    if (socket_ == INVALID_SOCKET)
        return reason;
    return std::nullopt;
}

bool Socket::Send(const char* bytes, std::size_t size, Deadline deadline) {
    while (size > 0) {
        const int n = ::send(socket_, bytes, static_cast<int>(std::min<std::size_t>(size, 64 * 1024)), 0);
        if (n > 0) {
            bytes += n;
            size -= static_cast<std::size_t>(n);
        } else if (n < 0 && ::WSAGetLastError() == WSAEWOULDBLOCK) {
            if (!Wait(true, deadline))
                return false;
        } else {
            return false;
        }
    }
    return true;
}

bool Socket::Receive(std::string& into, Deadline deadline) {
    char chunk[16 * 1024];
    for (;;) {
        const int n = ::recv(socket_, chunk, sizeof chunk, 0);
        if (n > 0) {
            into.append(chunk, static_cast<std::size_t>(n));
            return true;
        }
        if (n == 0 || ::WSAGetLastError() != WSAEWOULDBLOCK || !Wait(false, deadline))
            return false;
    }
}

// --- TLS ---------------------------------------------------------------------------------

namespace {

constexpr DWORD kContextFlags = ISC_REQ_SEQUENCE_DETECT | ISC_REQ_REPLAY_DETECT | ISC_REQ_CONFIDENTIALITY |
                                ISC_REQ_EXTENDED_ERROR | ISC_REQ_ALLOCATE_MEMORY | ISC_REQ_STREAM |
                                ISC_REQ_MANUAL_CRED_VALIDATION;

std::string StatusWords(SECURITY_STATUS status) {
    char code[16];
    std::snprintf(code, sizeof code, "0x%08lx", static_cast<unsigned long>(status));
    return std::string("the TLS handshake failed (") + code + ")";
}

// A TLS server's first bytes are a handshake (22) or an alert (21) record.
bool LooksLikeTls(const std::string& bytes) {
    return bytes.empty() || bytes[0] == 22 || bytes[0] == 21;
}

std::string Printable(const std::string& bytes) {
    std::string text = bytes.substr(0, bytes.find_first_of("\r\n"));
    for (char& c : text)
        if (static_cast<unsigned char>(c) < 32 || static_cast<unsigned char>(c) > 126)
            c = '?';
    return text.substr(0, 100);
}

} // namespace

TlsChannel::~TlsChannel() {
    if (haveContext_)
        ::DeleteSecurityContext(&context_);
    if (haveCredentials_)
        ::FreeCredentialsHandle(&credentials_);
}

bool TlsChannel::SendToken(SecBuffer& token, Deadline deadline) {
    const bool ok = token.cbBuffer == 0 || socket_.Send(static_cast<const char*>(token.pvBuffer), token.cbBuffer, deadline);
    if (token.pvBuffer)
        ::FreeContextBuffer(token.pvBuffer);
    token.pvBuffer = nullptr;
    token.cbBuffer = 0;
    return ok;
}

TlsOutcome TlsChannel::Negotiate(const std::wstring& host, Deadline deadline) {
    std::wstring target = host;
    bool needInput = false;
    for (;;) {
        if (needInput) {
            if (!socket_.Receive(encrypted_, deadline))
                return {TlsOutcome::Failed, socket_.TimedOut() ? "no answer within the time limit"
                                                               : "the server closed the connection"};
            if (!LooksLikeTls(encrypted_))
                return {TlsOutcome::NotTls, Printable(encrypted_)};
        }
        SecBuffer in[2] = {{static_cast<unsigned long>(encrypted_.size()), SECBUFFER_TOKEN, encrypted_.data()},
                           {0, SECBUFFER_EMPTY, nullptr}};
        SecBuffer out[1] = {{0, SECBUFFER_TOKEN, nullptr}};
        SecBufferDesc inDesc = {SECBUFFER_VERSION, 2, in}, outDesc = {SECBUFFER_VERSION, 1, out};
        ULONG attributes = 0;
        const SECURITY_STATUS status = ::InitializeSecurityContextW(
            &credentials_, haveContext_ ? &context_ : nullptr, target.data(), kContextFlags, 0, 0,
            haveContext_ ? &inDesc : nullptr, 0, &context_, &outDesc, &attributes, nullptr);
        haveContext_ = haveContext_ || !FAILED(status);
        if (status == SEC_E_INCOMPLETE_MESSAGE) {
            needInput = true;
            continue;
        }
        if (!SendToken(out[0], deadline))
            return {TlsOutcome::Failed, "the connection was broken"};
        if (in[1].BufferType == SECBUFFER_EXTRA)
            encrypted_.erase(0, encrypted_.size() - in[1].cbBuffer);
        else
            encrypted_.clear();
        if (status == SEC_E_OK)
            return {TlsOutcome::Ok, {}};
        if (status == SEC_I_INCOMPLETE_CREDENTIALS) { // asked for a client certificate: go on without
            needInput = false;
            continue;
        }
        if (status != SEC_I_CONTINUE_NEEDED)
            return {TlsOutcome::Failed, StatusWords(status)};
        needInput = encrypted_.empty();
    }
}

TlsOutcome TlsChannel::CheckCertificate(const std::wstring& host, const std::string& pin) {
    PCCERT_CONTEXT certificate = nullptr;
    if (::QueryContextAttributesW(&context_, SECPKG_ATTR_REMOTE_CERT_CONTEXT, &certificate) != SEC_E_OK)
        certificate = nullptr;
    auto problem = pin.empty() ? UntrustedBySystem(certificate, host) : PinMismatch(certificate, pin);
    if (certificate)
        ::CertFreeCertificateContext(certificate);
    if (problem)
        return {TlsOutcome::Untrusted, *problem};
    if (::QueryContextAttributesW(&context_, SECPKG_ATTR_STREAM_SIZES, &sizes_) != SEC_E_OK)
        return {TlsOutcome::Failed, "the TLS session gives no record sizes"};
    return {TlsOutcome::Ok, {}};
}

TlsOutcome TlsChannel::Handshake(const std::wstring& host, const std::string& pin, Deadline deadline) {
    SCHANNEL_CRED settings = {};
    settings.dwVersion = SCHANNEL_CRED_VERSION;
    settings.grbitEnabledProtocols = SP_PROT_TLS1_2_CLIENT;
    // The certificate is checked here, against the pin or the trust store and the name.
    settings.dwFlags = SCH_CRED_MANUAL_CRED_VALIDATION | SCH_CRED_NO_DEFAULT_CREDS;
    TimeStamp expiry;
    if (::AcquireCredentialsHandleW(nullptr, const_cast<LPWSTR>(UNISP_NAME_W), SECPKG_CRED_OUTBOUND, nullptr, &settings,
                                    nullptr, nullptr, &credentials_, &expiry) != SEC_E_OK)
        return {TlsOutcome::Failed, "TLS is not available on this system"};
    haveCredentials_ = true;
    TlsOutcome outcome = Negotiate(host, deadline);
    return outcome.kind == TlsOutcome::Ok ? CheckCertificate(host, pin) : outcome;
}

bool TlsChannel::Send(const std::string& plain, Deadline deadline) {
    for (std::size_t done = 0; done < plain.size();) {
        const std::size_t n = std::min<std::size_t>(plain.size() - done, sizes_.cbMaximumMessage);
        std::string record(sizes_.cbHeader + n + sizes_.cbTrailer, '\0');
        std::memcpy(record.data() + sizes_.cbHeader, plain.data() + done, n);
        SecBuffer parts[4] = {
            {sizes_.cbHeader, SECBUFFER_STREAM_HEADER, record.data()},
            {static_cast<unsigned long>(n), SECBUFFER_DATA, record.data() + sizes_.cbHeader},
            {sizes_.cbTrailer, SECBUFFER_STREAM_TRAILER, record.data() + sizes_.cbHeader + n},
            {0, SECBUFFER_EMPTY, nullptr}};
        SecBufferDesc desc = {SECBUFFER_VERSION, 4, parts};
        if (::EncryptMessage(&context_, 0, &desc, 0) != SEC_E_OK ||
            !socket_.Send(record.data(), parts[0].cbBuffer + parts[1].cbBuffer + parts[2].cbBuffer, deadline))
            return false;
        done += n;
    }
    return true;
}

// Decrypts the records received so far; false when more bytes are needed.
bool TlsChannel::DecryptPending(std::string& plain, bool& closed) {
    while (!encrypted_.empty()) {
        SecBuffer parts[4] = {{static_cast<unsigned long>(encrypted_.size()), SECBUFFER_DATA, encrypted_.data()},
                              {0, SECBUFFER_EMPTY, nullptr},
                              {0, SECBUFFER_EMPTY, nullptr},
                              {0, SECBUFFER_EMPTY, nullptr}};
        SecBufferDesc desc = {SECBUFFER_VERSION, 4, parts};
        const SECURITY_STATUS status = ::DecryptMessage(&context_, &desc, 0, nullptr);
        if (status == SEC_E_INCOMPLETE_MESSAGE)
            return false;
        if (status != SEC_E_OK) { // the server's close_notify, or a record that is no good
            closed = true;
            return false;
        }
        std::string extra;
        for (const SecBuffer& part : parts) {
            if (part.BufferType == SECBUFFER_DATA)
                plain.append(static_cast<const char*>(part.pvBuffer), part.cbBuffer);
            if (part.BufferType == SECBUFFER_EXTRA)
                extra.assign(static_cast<const char*>(part.pvBuffer), part.cbBuffer);
        }
        encrypted_ = std::move(extra);
        if (!plain.empty())
            return true;
    }
    return false;
}

bool TlsChannel::Receive(std::string& plain, Deadline deadline) {
    for (;;) {
        bool closed = false;
        if (DecryptPending(plain, closed))
            return true;
        if (closed || !socket_.Receive(encrypted_, deadline))
            return false;
    }
}

// --- Lines -------------------------------------------------------------------------------

TlsOutcome MailConnection::StartTls(const std::wstring& host, const std::string& pin, Deadline deadline) {
    received_.clear(); // nothing sent in the clear may pass for what came through TLS
    auto channel = std::make_unique<TlsChannel>(socket_);
    TlsOutcome outcome = channel->Handshake(host, pin, deadline);
    if (outcome.kind == TlsOutcome::Ok)
        tls_ = std::move(channel);
    return outcome;
}

bool MailConnection::Send(const std::string& text, Deadline deadline) {
    return tls_ ? tls_->Send(text, deadline) : socket_.Send(text.data(), text.size(), deadline);
}

bool MailConnection::ReadLine(std::string& line, Deadline deadline) {
    std::size_t end;
    while ((end = received_.find('\n')) == std::string::npos) {
        if (received_.size() > 64 * 1024)
            return false; // no SMTP reply line is this long
        if (!(tls_ ? tls_->Receive(received_, deadline) : socket_.Receive(received_, deadline)))
            return false;
    }
    line = received_.substr(0, end);
    received_.erase(0, end + 1);
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return true;
}

} // namespace quillet::platform::win32
