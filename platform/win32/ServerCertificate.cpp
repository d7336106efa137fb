#include "platform/win32/ServerCertificate.h"

#include "platform/win32/WideText.h"

#include <cstdio>

namespace quillet::platform::win32 {

std::string Sha256Fingerprint(PCCERT_CONTEXT certificate) {
    BYTE hash[32];
    DWORD size = sizeof hash;
    if (!certificate || !::CryptHashCertificate2(L"SHA256", 0, nullptr, certificate->pbCertEncoded,
                                                 certificate->cbCertEncoded, hash, &size) ||
        size != sizeof hash)
        return {};
    std::string hex;
    char digits[3];
    for (const BYTE b : hash) {
        std::snprintf(digits, sizeof digits, "%02x", b);
        hex += digits;
    }
    return hex;
}

std::optional<std::string> PinMismatch(PCCERT_CONTEXT certificate, const std::string& pin) {
    const std::string fingerprint = Sha256Fingerprint(certificate);
    if (!fingerprint.empty() && fingerprint == pin)
        return std::nullopt;
    if (fingerprint.empty())
        return std::string("certificate not trusted: the server's certificate could not be read");
    return "certificate not trusted: its SHA-256 fingerprint " + fingerprint + " is not the TlsPin";
}

namespace {

std::string ChainProblem(DWORD error, const std::wstring& host) {
    switch (error) {
    case static_cast<DWORD>(CERT_E_UNTRUSTEDROOT):
    case static_cast<DWORD>(CERT_E_CHAINING):
        return "certificate not trusted: it is issued by an authority this system does not trust "
               "(set TlsPin to its SHA-256 fingerprint to accept it)";
    case static_cast<DWORD>(CERT_E_CN_NO_MATCH):
        return "certificate not trusted: it is not made for the name " + Utf8(host);
    case static_cast<DWORD>(CERT_E_EXPIRED):
        return "certificate not trusted: it has expired or is not valid yet";
    case static_cast<DWORD>(CRYPT_E_REVOKED):
        return "certificate not trusted: it has been revoked";
    default: {
        char code[16];
        std::snprintf(code, sizeof code, "0x%08lx", static_cast<unsigned long>(error));
        return std::string("certificate not trusted: the system refused its chain (") + code + ")";
    }
    }
}

} // namespace

std::optional<std::string> UntrustedBySystem(PCCERT_CONTEXT certificate, const std::wstring& host) {
    if (!certificate)
        return std::string("certificate not trusted: the server sent none");
    LPSTR serverAuth[] = {const_cast<LPSTR>(szOID_PKIX_KP_SERVER_AUTH)};
    CERT_CHAIN_PARA chainPara = {};
    chainPara.cbSize = sizeof chainPara;
    chainPara.RequestedUsage.dwType = USAGE_MATCH_TYPE_OR;
    chainPara.RequestedUsage.Usage.cUsageIdentifier = 1;
    chainPara.RequestedUsage.Usage.rgpszUsageIdentifier = serverAuth;
    PCCERT_CHAIN_CONTEXT chain = nullptr;
    if (!::CertGetCertificateChain(nullptr, certificate, nullptr, certificate->hCertStore, &chainPara, 0, nullptr,
                                   &chain))
        return ChainProblem(::GetLastError(), host);
    std::wstring name = host;
    SSL_EXTRA_CERT_CHAIN_POLICY_PARA ssl = {};
    ssl.cbSize = sizeof ssl;
    ssl.dwAuthType = AUTHTYPE_SERVER;
    ssl.pwszServerName = name.data();
    CERT_CHAIN_POLICY_PARA policy = {};
    policy.cbSize = sizeof policy;
    policy.pvExtraPolicyPara = &ssl;
    CERT_CHAIN_POLICY_STATUS status = {};
    status.cbSize = sizeof status;
    const BOOL checked = ::CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, chain, &policy, &status);
    ::CertFreeCertificateChain(chain);
    if (!checked)
        return ChainProblem(::GetLastError(), host);
    if (status.dwError != 0)
        return ChainProblem(status.dwError, host);
    return std::nullopt;
}

} // namespace quillet::platform::win32
