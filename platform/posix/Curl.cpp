#include "platform/posix/Curl.h"

#include <openssl/evp.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>

#include <algorithm>
#include <mutex>

namespace quillet::platform::posix {

namespace {

std::once_flag globalInit;

std::string Sha256Hex(X509* cert) {
    unsigned char md[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (!cert || X509_digest(cert, EVP_sha256(), md, &length) != 1)
        return {};
    static const char hex[] = "0123456789abcdef";
    std::string out;
    for (unsigned int i = 0; i < length; ++i) {
        out += hex[md[i] >> 4];
        out += hex[md[i] & 15];
    }
    return out;
}

// The server's own certificate with the pinned fingerprint stands for a trusted chain;
// anything else goes through the ordinary check against the trust store.
int VerifyWithPin(X509_STORE_CTX* store, void* arg) {
    const std::string& pin = *static_cast<const std::string*>(arg);
    if (!pin.empty() && Sha256Hex(X509_STORE_CTX_get0_cert(store)) == pin) {
        X509_STORE_CTX_set_error(store, X509_V_OK);
        return 1;
    }
    return X509_verify_cert(store);
}

CURLcode UsePin(CURL*, void* sslContext, void* pin) {
    SSL_CTX_set_cert_verify_callback(static_cast<SSL_CTX*>(sslContext), VerifyWithPin, pin);
    return CURLE_OK;
}

} // namespace

CurlHandle::CurlHandle() {
    std::call_once(globalInit, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
    curl_ = curl_easy_init();
    if (curl_) {
        curl_easy_setopt(curl_, CURLOPT_ERRORBUFFER, error_);
        curl_easy_setopt(curl_, CURLOPT_NOSIGNAL, 1L);
    }
}

CurlHandle::~CurlHandle() {
    if (curl_)
        curl_easy_cleanup(curl_);
}

std::string CurlHandle::errorText(CURLcode code) const {
    return error_[0] ? std::string(error_) : std::string(curl_easy_strerror(code));
}

void SetTlsAndTimeout(CURL* curl, const std::string& pin, std::chrono::seconds timeout) {
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
    if (!pin.empty()) {
        curl_easy_setopt(curl, CURLOPT_SSL_CTX_FUNCTION, UsePin);
        curl_easy_setopt(curl, CURLOPT_SSL_CTX_DATA, &pin);
    }
    const long seconds = static_cast<long>(std::max<std::chrono::seconds::rep>(timeout.count(), 1));
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, seconds);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, seconds);
}

std::string TlsProblem(CURLcode code, const std::string& errorText) {
    if (code == CURLE_PEER_FAILED_VERIFICATION)
        return "certificate not trusted: " + errorText;
    if (code == CURLE_SSL_CACERT_BADFILE)
        return "the system's trust store cannot be read: " + errorText;
    if (code == CURLE_SSL_CONNECT_ERROR)
        return "the TLS handshake failed: " + errorText;
    return {};
}

} // namespace quillet::platform::posix
