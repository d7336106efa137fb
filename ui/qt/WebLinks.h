// The product's web addresses and the one routine that hands an address to the
// desktop: the system's shell on Windows, the desktop's URL opener elsewhere.
#pragma once

#include "core/ProgramVersion.h"

#include <QString>
#include <memory>
#include <vector>

namespace quillet::ui {

inline const QString ProductWebPage = QStringLiteral("https://www.orvane-software.com/quillet/");
inline const QString MakerHomePage = QStringLiteral("https://www.orvane-software.com/");
// What the about box's link shows: the home page without its scheme.
inline const QString MakerHomePageText = QStringLiteral("www.orvane-software.com");
// The home page with a query that tells the maker which program and version sent the
// visitor.
inline const QString MakerHomePageFromAbout =
    QStringLiteral("https://www.orvane-software.com/?from=quillet-about&version=") +
    QString::fromLatin1(ProgramVersionText);
inline const QString SupportEmail = QStringLiteral("mailto:support@orvane-software.com?subject=Quillet%20") +
                                    QString::fromLatin1(ProgramVersionText) + QStringLiteral("%20feedback");

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
