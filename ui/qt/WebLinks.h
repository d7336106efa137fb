// The product's web addresses and the one routine that hands an address to the
// desktop: the system's shell on Windows, the desktop's URL opener elsewhere.
#pragma once

#include "ui/WebAddresses.h"

#include "ui/qt/Text.h"

#include <QString>
#include <memory>
#include <vector>

namespace quillet::ui {

inline const QString ProductWebPage = FromStd(ProductWebAddress);
inline const QString MakerHomePage = FromStd(MakerHomeAddress);
inline const QString MakerHomePageText = FromStd(MakerHomeAddressText);
inline const QString MakerHomePageFromAbout = FromStd(MakerHomeAddressFromAbout);
inline const QString SupportEmail = FromStd(SupportEmailAddress);

// Hands the address to the desktop. With askFirst the user is asked "Connect to the
// Internet now?" and any answer but Yes opens nothing. A failure shows the "Launch
// Error" box. True when the address was handed over.
bool OpenWebLink(const QString& address, bool askFirst);

// The seam behind OpenWebLink, so tests record addresses instead of starting a browser.
class UrlOpener {
public:
    virtual ~UrlOpener() = default;
    // True when the desktop took the address.
    virtual bool open(const QString& address) = 0;

    static UrlOpener& instance();
    // Takes ownership; nullptr puts the real opener back.
    static void setInstance(std::unique_ptr<UrlOpener> opener);
};

} // namespace quillet::ui
