#include "platform/Https.h"

#include "platform/posix/Curl.h"

#include <cctype>
#include <cstring>
#include <strings.h>

namespace quillet::platform {

namespace {

struct Answer {
    std::string statusLine;
    std::optional<std::chrono::seconds> retryAfter;
};

std::string Trimmed(std::string text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
        text.pop_back();
    const auto first = text.find_first_not_of(" \t");
    return first == std::string::npos ? std::string() : text.substr(first);
}

size_t Header(char* data, size_t size, size_t count, void* user) {
    auto& a = *static_cast<Answer*>(user);
    const std::string line = Trimmed(std::string(data, size * count));
    if (line.rfind("HTTP/", 0) == 0) {
        a.statusLine = line; // the last response's, after any redirect or 100 Continue
        a.retryAfter.reset();
    } else if (line.size() > 12 && strncasecmp(line.c_str(), "retry-after:", 12) == 0) {
        const std::string value = Trimmed(line.substr(12));
        // Seconds only: a date needs a clock the server agrees with.
        if (!value.empty() && value.size() < 9 && value.find_first_not_of("0123456789") == std::string::npos)
            a.retryAfter = std::chrono::seconds(std::stol(value));
    }
    return size * count;
}

size_t Discard(char*, size_t size, size_t count, void*) {
    return size * count;
}

DeliveryResult Outcome(CURLcode code, long status, const Answer& a, const std::string& errorText,
                       const std::string& url) {
    DeliveryResult r;
    r.code = static_cast<int>(status);
    r.step = "request";
    if (code != CURLE_OK) {
        if (const std::string tls = posix::TlsProblem(code, errorText); !tls.empty()) {
            r.step = "TLS";
            r.answer = tls;
            r.status = code == CURLE_PEER_FAILED_VERIFICATION ? Delivery::Final : Delivery::Temporary;
        } else {
            r.step = "connect";
            r.answer = "no answer from " + url + ": " + errorText;
        }
        return r;
    }
    r.answer = a.statusLine.empty() ? "HTTP " + std::to_string(status) : a.statusLine;
    if (status >= 200 && status < 300)
        r.status = Delivery::Delivered;
    else if (status >= 500 || status == 408 || status == 429) {
        r.status = Delivery::Temporary;
        r.retryAfter = a.retryAfter;
    } else {
        r.status = Delivery::Final;
    }
    return r;
}

} // namespace

DeliveryResult SendHttp(const HttpRequest& request) {
    posix::CurlHandle handle;
    CURL* curl = handle.get();
    if (!curl)
        return {Delivery::Temporary, "connect", "libcurl could not start", 0, std::nullopt};
    Answer answer;
    curl_slist* headers = nullptr;
    if (!request.contentType.empty())
        headers = curl_slist_append(headers, ("Content-Type: " + request.contentType).c_str());
    headers = curl_slist_append(headers, "Expect:"); // no wait for a 100 Continue
    curl_easy_setopt(curl, CURLOPT_URL, request.url.c_str());
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_USERAGENT, "Quillet");
    if (request.method == "POST") {
        curl_easy_setopt(curl, CURLOPT_POST, 1L);
        curl_easy_setopt(curl, CURLOPT_POSTFIELDS, request.body.data());
        curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(request.body.size()));
    } else {
        curl_easy_setopt(curl, CURLOPT_HTTPGET, 1L);
    }
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, Header);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, &answer);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, Discard);
    posix::SetTlsAndTimeout(curl, request.tlsPin, request.timeout);
    const CURLcode code = curl_easy_perform(curl);
    long status = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    curl_slist_free_all(headers);
    return Outcome(code, status, answer, handle.errorText(code), request.url);
}

} // namespace quillet::platform
