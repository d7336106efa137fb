// The main window's shell and help commands: desktop shortcut, help, web links and the
// about box. The menu and toolbar run each of them inside guarded().
#include "admin/qt/fCfgMain.h"

#include "admin/qt/AboutBox.h"
#include "admin/Shortcut.h"
#include "core/Include.h"
#include "platform/Programs.h"
#include "ui/qt/Dialogs.h"
#include "ui/qt/Help.h"
#include "ui/qt/Text.h"
#include "ui/qt/WebLinks.h"

#include <QDir>

namespace quillet::admin {

using namespace quillet::ui;

void TForm1::CreateDesktopIcon1Click() {
    // The shortcut starts the compactor next to the administrator, whatever the Quillet
    // Path field says; CurrentCfgPath itself stays unquoted.
    const std::string arguments = QuotePath(ToStd(CurrentCfgPath()));
    const auto result = CreateShortcut(ToStd(AppFolder()) + platform::CompactorProgramName,
                                       ToStd(DescriptionText()), arguments, true, false);
    // Telling the user is better than a shortcut that silently never appears.
    if (!result.written())
        Dialogs::instance().error(
            this, QString(),
            QStringLiteral("Cannot create file %1.\n\n%2")
                .arg(QDir::toNativeSeparators(FromStd(result.linkPath)), FromStd(result.failure)));
}

void TForm1::Contents1Click() {
    ShowHelpContents(this);
}

void TForm1::KeywordSearch1Click() {
    ShowHelpSearch(this, QString());
}

void TForm1::QuilletWebPage1Click() {
    OpenWebLink(ProductWebPage, false);
}

void TForm1::OrvaneHomePage1Click() {
    if (!OpenWebLink(MakerHomePage, false))
        ShowHelpTopic(this, HelpTopicHomePage);
}

void TForm1::EmailFeedback1Click() {
    if (Dialogs::instance().question(this, QStringLiteral("Confirm"),
                                     QStringLiteral("Have you checked the help file and Orvane web site "
                                                    "first before requesting technical support?"),
                                     QMessageBox::Yes | QMessageBox::No,
                                     QMessageBox::Yes) == QMessageBox::Yes)
        OpenWebLink(SupportEmail, false);
}

void TForm1::About1Click() {
    if (aboutBox_) {
        aboutBox_->exec();
        return;
    }
    // Only a main window without the start-up around it (as in tests) gets here.
    TAboutBox box(this);
    box.exec();
}

} // namespace quillet::admin
