// Hands web and "mailto:" addresses to the shell (ShellExecute), through a seam so that
// tests record addresses instead of starting a browser.
#pragma once

#include "ui/WebAddresses.h"

#include <memory>
#include <string>

namespace quillet::ui::win32 {

// With askFirst the user is asked "Connect to the Internet now?" and any answer but Yes
// opens nothing. A failure shows the "Launch Error" box. True when the address was handed over.
bool OpenWebLink(const std::string& address, bool askFirst);

class UrlOpener {
public:
    virtual ~UrlOpener() = default;
    virtual bool open(const std::string& address) = 0;
    static UrlOpener& instance();
    // Takes ownership; nullptr puts the shell back.
    static void setInstance(std::unique_ptr<UrlOpener> opener);
};

} // namespace quillet::ui::win32
