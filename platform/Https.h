// One HTTP request to a web service (https://, or http:// for a service on the own
// network), through the system's proxy settings.
#pragma once

#include "platform/Delivery.h"

#include <chrono>
#include <string>

namespace quillet::platform {

struct HttpRequest {
    std::string url;
    std::string method = "POST"; // "GET" or "POST"
    std::string contentType;     // empty: none
    std::string body;
    std::string tlsPin; // as MailServer::tlsPin
    std::chrono::seconds timeout{30};
};

// Delivered for 2xx; Temporary for no connection, a time-out, 5xx, 408 and 429 (with
// Retry-After when given); Final for other answers and a certificate that is not trusted.
DeliveryResult SendHttp(const HttpRequest& request);

} // namespace quillet::platform
