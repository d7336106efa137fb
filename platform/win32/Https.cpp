#include "platform/Https.h"

#include "platform/win32/DeliveryOutcome.h"
#include "platform/win32/ServerCertificate.h"
#include "platform/win32/WideText.h"

#include <windows.h>
#include <winhttp.h>

#include <algorithm>
#include <optional>

namespace quillet::platform {

namespace {

using win32::Outcome;
using Clock = std::chrono::steady_clock;

class Handle {
public:
    explicit Handle(HINTERNET h) : h_(h) {}
    ~Handle() {
        if (h_)
            ::WinHttpCloseHandle(h_);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    operator HINTERNET() const { return h_; }

private:
    HINTERNET h_;
};

struct Target {
    std::wstring host;
    INTERNET_PORT port = 0;
    std::wstring path;
    bool secure = false;
};

std::optional<Target> Parse(const std::string& url) {
    const std::wstring wide = win32::Wide(url);
    URL_COMPONENTS parts = {};
    parts.dwStructSize = sizeof parts;
    parts.dwHostNameLength = parts.dwUrlPathLength = parts.dwExtraInfoLength = static_cast<DWORD>(-1);
    if (!::WinHttpCrackUrl(wide.c_str(), 0, 0, &parts) || parts.dwHostNameLength == 0 ||
        (parts.nScheme != INTERNET_SCHEME_HTTPS && parts.nScheme != INTERNET_SCHEME_HTTP))
        return std::nullopt;
    Target target;
    target.host.assign(parts.lpszHostName, parts.dwHostNameLength);
    target.port = parts.nPort;
    target.secure = parts.nScheme == INTERNET_SCHEME_HTTPS;
    if (parts.lpszUrlPath)
        target.path.assign(parts.lpszUrlPath, parts.dwUrlPathLength);
    if (parts.lpszExtraInfo)
        target.path.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
    if (target.path.empty())
        target.path = L"/";
    return target;
}

bool IsCertificateError(DWORD error) {
    switch (error) {
    case ERROR_WINHTTP_SECURE_FAILURE:
    case ERROR_WINHTTP_SECURE_CHANNEL_ERROR: // wine's answer for an untrusted chain
    case ERROR_WINHTTP_SECURE_INVALID_CA:
    case ERROR_WINHTTP_SECURE_CERT_DATE_INVALID:
    case ERROR_WINHTTP_SECURE_CERT_CN_INVALID:
    case ERROR_WINHTTP_SECURE_INVALID_CERT:
    case ERROR_WINHTTP_SECURE_CERT_REVOKED:
    case ERROR_WINHTTP_SECURE_CERT_WRONG_USAGE:
        return true;
    default:
        return false;
    }
}

std::string ErrorWords(DWORD error) {
    switch (error) {
    case ERROR_WINHTTP_TIMEOUT:
        return "no answer within the time limit";
    case ERROR_WINHTTP_NAME_NOT_RESOLVED:
        return "the server's name could not be resolved";
    case ERROR_WINHTTP_CANNOT_CONNECT:
        return "the server could not be reached";
    case ERROR_WINHTTP_CONNECTION_ERROR:
        return "the connection was broken";
    case ERROR_WINHTTP_INVALID_SERVER_RESPONSE:
        return "the server's answer is no HTTP";
    case ERROR_WINHTTP_SECURE_CERT_CN_INVALID:
        return "certificate not trusted: it is not made for this server's name";
    case ERROR_WINHTTP_SECURE_CERT_DATE_INVALID:
        return "certificate not trusted: it has expired or is not valid yet";
    case ERROR_WINHTTP_SECURE_INVALID_CA:
    case ERROR_WINHTTP_SECURE_FAILURE:
    case ERROR_WINHTTP_SECURE_CHANNEL_ERROR:
        return "certificate not trusted: the system does not vouch for it (set TlsPin to its SHA-256 "
               "fingerprint to accept it)";
    default:
        return IsCertificateError(error) ? "certificate not trusted: the system refused it"
                                         : "the request failed (WinHTTP error " + std::to_string(error) + ")";
    }
}

DeliveryResult SystemFailure(const char* step, const std::string& url) {
    const DWORD error = ::GetLastError();
    if (IsCertificateError(error))
        return Outcome(Delivery::Final, "TLS", ErrorWords(error));
    return Outcome(Delivery::Temporary, step, "no answer from " + url + ": " + ErrorWords(error));
}

HINTERNET OpenSession() {
    // The automatic proxy (the system's settings, else discovery) exists from Windows 8.1 on.
    HINTERNET session = ::WinHttpOpen(L"Quillet", WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY, WINHTTP_NO_PROXY_NAME,
                                      WINHTTP_NO_PROXY_BYPASS, 0);
    if (!session)
        session = ::WinHttpOpen(L"Quillet", WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                                WINHTTP_NO_PROXY_BYPASS, 0);
    return session;
}

// Each stage may take no longer than what is left of the request's time.
void LimitTo(HINTERNET request, Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    const int ms = static_cast<int>(std::clamp<long long>(left, 1, 24LL * 3600 * 1000));
    ::WinHttpSetTimeouts(request, ms, ms, ms, ms);
}

std::wstring QueryText(HINTERNET request, DWORD what) {
    DWORD size = 0;
    ::WinHttpQueryHeaders(request, what, WINHTTP_HEADER_NAME_BY_INDEX, nullptr, &size, WINHTTP_NO_HEADER_INDEX);
    if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER || size == 0)
        return {};
    std::wstring text(size / sizeof(wchar_t) + 1, L'\0');
    if (!::WinHttpQueryHeaders(request, what, WINHTTP_HEADER_NAME_BY_INDEX, text.data(), &size,
                               WINHTTP_NO_HEADER_INDEX))
        return {};
    text.resize(size / sizeof(wchar_t));
    return text;
}

// Retry-After is a number of seconds or an HTTP date.
std::optional<std::chrono::seconds> RetryAfter(HINTERNET request) {
    const std::wstring text = QueryText(request, WINHTTP_QUERY_RETRY_AFTER);
    if (text.empty())
        return std::nullopt;
    if (std::all_of(text.begin(), text.end(), [](wchar_t c) { return c >= L'0' && c <= L'9'; }))
        return std::chrono::seconds(std::stoll(text.substr(0, 12)));
    SYSTEMTIME when = {};
    FILETIME whenFile, now;
    if (!::WinHttpTimeToSystemTime(text.c_str(), &when) || !::SystemTimeToFileTime(&when, &whenFile))
        return std::nullopt;
    ::GetSystemTimeAsFileTime(&now);
    const auto ticks = [](FILETIME f) { return (static_cast<long long>(f.dwHighDateTime) << 32) | f.dwLowDateTime; };
    return std::chrono::seconds(std::max(0LL, (ticks(whenFile) - ticks(now)) / 10000000));
}

// The first line of the server's answer, for the user to read beside the status.
std::string AnswerLine(HINTERNET request) {
    std::string body;
    char chunk[1024];
    DWORD got = 0;
    while (body.size() < 4096 && ::WinHttpReadData(request, chunk, sizeof chunk, &got) && got > 0)
        body.append(chunk, got);
    body = body.substr(0, body.find_first_of("\r\n"));
    return body.substr(0, 200);
}

DeliveryResult Answer(HINTERNET request) {
    DWORD code = 0, size = sizeof code;
    if (!::WinHttpQueryHeaders(request, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                               WINHTTP_HEADER_NAME_BY_INDEX, &code, &size, WINHTTP_NO_HEADER_INDEX))
        return Outcome(Delivery::Temporary, "request", "the server's answer has no status");
    std::string answer = "HTTP " + std::to_string(code);
    const std::string reason = win32::Utf8(QueryText(request, WINHTTP_QUERY_STATUS_TEXT));
    if (!reason.empty())
        answer += " " + reason;
    const std::string line = AnswerLine(request);
    if (!line.empty())
        answer += ": " + line;
    const int status = static_cast<int>(code);
    const bool temporary = status >= 500 || status == 408 || status == 429;
    DeliveryResult result = Outcome(status >= 200 && status < 300 ? Delivery::Delivered
                                    : temporary                   ? Delivery::Temporary
                                                                  : Delivery::Final,
                                    "request", answer, status);
    if (temporary)
        result.retryAfter = RetryAfter(request);
    return result;
}

// A pinned certificate stands in for the chain: only the chain and name errors are let
// through, and the pin is checked before the body leaves.
bool AcceptPinnedChain(HINTERNET request) {
    DWORD flags = SECURITY_FLAG_IGNORE_UNKNOWN_CA | SECURITY_FLAG_IGNORE_CERT_CN_INVALID;
    return ::WinHttpSetOption(request, WINHTTP_OPTION_SECURITY_FLAGS, &flags, sizeof flags);
}

std::optional<std::string> PinProblem(HINTERNET request, const std::string& pin) {
    PCCERT_CONTEXT certificate = nullptr;
    DWORD size = sizeof certificate;
    if (!::WinHttpQueryOption(request, WINHTTP_OPTION_SERVER_CERT_CONTEXT, &certificate, &size))
        certificate = nullptr;
    auto problem = win32::PinMismatch(certificate, pin);
    if (certificate)
        ::CertFreeCertificateContext(certificate);
    return problem;
}

bool WriteBody(HINTERNET request, const std::string& body) {
    for (std::size_t sent = 0; sent < body.size();) {
        DWORD wrote = 0;
        const DWORD part = static_cast<DWORD>(std::min<std::size_t>(body.size() - sent, 64 * 1024));
        if (!::WinHttpWriteData(request, body.data() + sent, part, &wrote) || wrote == 0)
            return false;
        sent += wrote;
    }
    return true;
}

DeliveryResult Exchange(HINTERNET request, const HttpRequest& http, const Target& target, Clock::time_point deadline) {
    const std::string pin = NormalizedPin(http.tlsPin);
    const bool pinned = target.secure && !pin.empty();
    DWORD noRedirects = WINHTTP_DISABLE_REDIRECTS; // a redirected POST would lose its body and its pin
    ::WinHttpSetOption(request, WINHTTP_OPTION_DISABLE_FEATURE, &noRedirects, sizeof noRedirects);
    if (pinned && !AcceptPinnedChain(request))
        return SystemFailure("TLS", http.url);
    const std::wstring headers =
        http.contentType.empty() ? std::wstring() : L"Content-Type: " + win32::Wide(http.contentType) + L"\r\n";
    LimitTo(request, deadline);
    if (!::WinHttpSendRequest(request, headers.empty() ? WINHTTP_NO_ADDITIONAL_HEADERS : headers.c_str(),
                              static_cast<DWORD>(-1L), WINHTTP_NO_REQUEST_DATA, 0,
                              static_cast<DWORD>(http.body.size()), 0))
        return SystemFailure("connect", http.url);
    if (pinned)
        if (auto problem = PinProblem(request, pin))
            return Outcome(Delivery::Final, "TLS", *problem);
    LimitTo(request, deadline);
    if (!WriteBody(request, http.body))
        return SystemFailure("request", http.url);
    LimitTo(request, deadline);
    if (!::WinHttpReceiveResponse(request, nullptr))
        return SystemFailure("request", http.url);
    return Answer(request);
}

} // namespace

DeliveryResult SendHttp(const HttpRequest& http) {
    const auto deadline = Clock::now() + http.timeout;
    const auto target = Parse(http.url);
    if (!target)
        return Outcome(Delivery::Final, "request", "not a web address: " + http.url);
    if (target->secure && !http.tlsPin.empty() && NormalizedPin(http.tlsPin).empty())
        return Outcome(Delivery::Final, "TLS", "TlsPin is no SHA-256 fingerprint (64 hex digits)");
    Handle session(OpenSession());
    if (!session)
        return SystemFailure("connect", http.url);
    Handle connection(::WinHttpConnect(session, target->host.c_str(), target->port, 0));
    if (!connection)
        return SystemFailure("connect", http.url);
    Handle request(::WinHttpOpenRequest(connection, win32::Wide(http.method).c_str(), target->path.c_str(), nullptr,
                                        WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                        target->secure ? WINHTTP_FLAG_SECURE : 0));
    if (!request)
        return SystemFailure("connect", http.url);
    return Exchange(request, http, *target, deadline);
}

} // namespace quillet::platform
