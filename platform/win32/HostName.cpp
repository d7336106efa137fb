#include "platform/HostName.h"

#include "platform/win32/WideText.h"

#include <windows.h>

namespace quillet::platform {

namespace {

std::wstring ComputerName(COMPUTER_NAME_FORMAT format) {
    DWORD size = 0;
    ::GetComputerNameExW(format, nullptr, &size);
    if (size == 0)
        return {};
    std::wstring name(size, L'\0');
    if (!::GetComputerNameExW(format, name.data(), &size))
        return {};
    name.resize(size);
    return name;
}

} // namespace

std::string HostName() {
    std::wstring name = ComputerName(ComputerNameDnsHostname);
    if (name.empty())
        name = ComputerName(ComputerNameNetBIOS);
    return name.empty() ? std::string("unknown") : win32::Utf8(name);
}

} // namespace quillet::platform
