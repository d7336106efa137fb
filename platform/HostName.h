// The machine's name as its users know it: reports and the fleet folder name machines by it.
#pragma once

#include <string>

namespace quillet::platform {

// The host name (Windows: the DNS host name, else the NetBIOS name), UTF-8; "unknown"
// when the system gives none.
std::string HostName();

} // namespace quillet::platform
