#include "ui/Prompts.h"

namespace quillet::ui {

std::string WithDefaultSuffix(const std::string& fileName, const std::string& suffix) {
    if (fileName.empty() || suffix.empty())
        return fileName;
    const auto slash = fileName.find_last_of("/\\");
    const auto name = slash == std::string::npos ? 0 : slash + 1;
    if (fileName.find('.', name) != std::string::npos)
        return fileName;
    return fileName + "." + suffix;
}

} // namespace quillet::ui
