#include "ui/win32/WebLinks.h"

#include "platform/Shell.h"
#include "ui/win32/Win32Prompts.h"

namespace quillet::ui::win32 {

namespace {

class ShellOpener : public UrlOpener {
public:
    bool open(const std::string& address) override { return platform::ShellOpenAddress(address); }
};

std::unique_ptr<UrlOpener>& installed() {
    static std::unique_ptr<UrlOpener> opener;
    return opener;
}

} // namespace

UrlOpener& UrlOpener::instance() {
    static ShellOpener real;
    auto& opener = installed();
    return opener ? *opener : real;
}

void UrlOpener::setInstance(std::unique_ptr<UrlOpener> opener) {
    installed() = std::move(opener);
}

bool OpenWebLink(const std::string& address, bool askFirst) {
    if (askFirst && CurrentPrompts().ask("Confirm", "Connect to the Internet now?", false) != Answer::Yes)
        return false;
    if (!UrlOpener::instance().open(address)) {
        // The sentence is the title and the two words are the text.
        CurrentPrompts().warn("Could not start your Internet browser", "Launch Error");
        return false;
    }
    return true;
}

} // namespace quillet::ui::win32
