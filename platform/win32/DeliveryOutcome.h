// Windows only: how the mail and the HTTPS client end an attempt.
#pragma once

#include "platform/Delivery.h"

#include <string>

namespace quillet::platform::win32 {

inline DeliveryResult Outcome(Delivery status, const char* step, std::string answer, int code = 0) {
    DeliveryResult result;
    result.status = status;
    result.step = step;
    result.answer = std::move(answer);
    result.code = code;
    return result;
}

} // namespace quillet::platform::win32
