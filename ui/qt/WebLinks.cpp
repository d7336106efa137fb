#include "ui/qt/WebLinks.h"

#include "platform/Shell.h"
#include "ui/qt/Dialogs.h"
#include "ui/qt/Text.h"

#include <QDesktopServices>
#include <QUrl>

namespace quillet::ui {

namespace {

class DesktopUrlOpener : public UrlOpener {
public:
    bool open(const QString& address) override {
        if (platform::HasSystemShell())
            return platform::ShellOpenAddress(ToStd(address));
        return QDesktopServices::openUrl(QUrl(address, QUrl::StrictMode));
    }
};

std::unique_ptr<UrlOpener>& installed() {
    static std::unique_ptr<UrlOpener> opener;
    return opener;
}

} // namespace

UrlOpener& UrlOpener::instance() {
    static DesktopUrlOpener real;
    auto& opener = installed();
    return opener ? *opener : real;
}

void UrlOpener::setInstance(std::unique_ptr<UrlOpener> opener) {
    installed() = std::move(opener);
}

bool OpenWebLink(const QString& address, bool askFirst) {
    if (askFirst && Dialogs::instance().question(
                        nullptr, QStringLiteral("Confirm"), QStringLiteral("Connect to the Internet now?"),
                        QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes) != QMessageBox::Yes)
        return false;
    if (!UrlOpener::instance().open(address)) {
        // The sentence is the title and the two words are the text.
        Dialogs::instance().error(nullptr, QStringLiteral("Could not start your Internet browser"),
                                  QStringLiteral("Launch Error"));
        return false;
    }
    return true;
}

} // namespace quillet::ui
