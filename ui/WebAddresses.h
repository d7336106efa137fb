// The product's web addresses, the same for both faces.
#pragma once

#include "core/ProgramVersion.h"

#include <string>

namespace quillet::ui {

inline const std::string ProductWebAddress = "https://www.orvane-software.com/quillet/";
inline const std::string MakerHomeAddress = "https://www.orvane-software.com/";
// What the about box's link shows: the home page without its scheme.
inline const std::string MakerHomeAddressText = "www.orvane-software.com";
// The home page with a query that tells the maker which program and version sent the visitor.
inline const std::string MakerHomeAddressFromAbout =
    std::string("https://www.orvane-software.com/?from=quillet-about&version=") + ProgramVersionText;
inline const std::string SupportEmailAddress =
    std::string("mailto:support@orvane-software.com?subject=Quillet%20") + ProgramVersionText + "%20feedback";

} // namespace quillet::ui
