#include "platform/Shortcut.h"

namespace quillet::platform::detail {

std::string PlacementFailure(const std::string& folder, const std::string& linkName) {
    if (folder.empty())
        return "The desktop folder is not known.";
    if (std::string bad = InvalidLinkNameReason(linkName); !bad.empty())
        return bad;
    if (!IsExistingFolder(folder))
        return "The folder " + folder + " does not exist.";
    return {};
}

} // namespace quillet::platform::detail
