#include "admin/Branding.h"

#include "admin/MainPresenter.h"
#include "core/ProgramVersion.h"

namespace quillet::admin {

std::string AboutVersionText(const std::string& decimalSeparator) {
    return "Version " + VersionText(ProgramVersion, decimalSeparator);
}

std::string AboutBuildText() {
    return std::string("Build ") + ProgramBuild;
}

} // namespace quillet::admin
