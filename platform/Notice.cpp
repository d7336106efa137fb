#include "platform/Notice.h"

namespace quillet::platform {

void ShowAccessErrorNative(const std::string& path);

namespace {
AccessErrorHandler& Handler() {
    static AccessErrorHandler handler;
    return handler;
}
} // namespace

void SetAccessErrorHandler(AccessErrorHandler handler) { Handler() = std::move(handler); }

void ShowAccessError(const std::string& path) {
    if (Handler())
        Handler()(path);
    else
        ShowAccessErrorNative(path);
}

} // namespace quillet::platform
