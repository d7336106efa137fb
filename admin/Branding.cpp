#include "admin/Branding.h"

#include "admin/MainPresenter.h"
#include "core/ProgramVersion.h"

#include <algorithm>
#include <charconv>

namespace quillet::admin {

std::string AboutVersionText(const std::string& decimalSeparator) {
    return "Version " + VersionText(ProgramVersion, decimalSeparator);
}

std::string AboutBuildText() {
    return std::string("Build ") + ProgramBuild;
}

std::chrono::milliseconds SplashHold(const std::vector<std::string>& arguments) {
    const std::string prefix = "--splash-ms=";
    for (const std::string& argument : arguments) {
        if (argument.rfind(prefix, 0) != 0)
            continue;
        int ms = 0;
        const char* end = argument.data() + argument.size();
        const auto [stop, error] = std::from_chars(argument.data() + prefix.size(), end, ms);
        return std::chrono::milliseconds(error == std::errc() && stop == end ? std::clamp(ms, 0, 60000) : 0);
    }
    return {};
}

} // namespace quillet::admin
