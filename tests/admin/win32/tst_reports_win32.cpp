// The Win32 Reports dialog under wine, driven by messages inside its own modal loop:
// what its boxes show read back as the user sees them, a refused field named and kept
// in front, and a test report answered by real servers on the loopback. The rules are
// tested with the presenter.
#include "admin/win32/fReports.h"

#include "core/ReportSettings.h"
#include "tests/support/DeliveryServers.h"
#include "tests/support/Win32Doubles.h"
#include "core/AdminSettings.h"
#include "ui/win32/Layout.h"
#include "ui/win32/Win32Prompts.h"

#include <gtest/gtest.h>

using namespace quillet;
using namespace quillet::admin;
using quillet::ui::win32::SetText;
using quillet::ui::win32::WindowText;

namespace {

test::Watchdog watchdog(120);

HWND Box(HWND dialog, ReportsField field) {
    return GetDlgItem(dialog, idReportsBox + static_cast<int>(field));
}

void Press(HWND dialog, int id) {
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

class ReportsDialog : public ::testing::Test {
protected:
    void SetUp() override { prompts = &test::InstallScriptedPrompts(); }
    void TearDown() override { ui::win32::SetPrompts(nullptr); }
    // Shows the dialog, runs `act` inside it; whether it closed confirmed.
    bool Show(std::function<void(HWND)> act) {
        test::WhenWindowAppears("#32770", ReportsCaption, std::move(act));
        TfrmReports dialog(folder.path() + "\\");
        return dialog.ShowModal(nullptr);
    }

    test::TempFolder folder;
    test::ScriptedPrompts* prompts = nullptr;
};

} // namespace

TEST_F(ReportsDialog, ValuesInAnyScriptAreKeptAndARefusedFieldIsNamed) {
    const std::string user = test::UnicodeName;
    const std::string hook = "https://localhost/\xE5\xA4\x9C\xE9\x97\xB4/\xCE\xA9";
    EXPECT_TRUE(Show([&](HWND dialog) {
        SetText(Box(dialog, ReportsField::MailServer), "mail.example.org");
        SetText(Box(dialog, ReportsField::MailUser), user);
        SetText(Box(dialog, ReportsField::MailFrom), "quillet@example.org");
        SetText(Box(dialog, ReportsField::MailTo), "admin@example.org");
        SetText(Box(dialog, ReportsField::WebhookUrl), hook);
        SetText(Box(dialog, ReportsField::MailPort), "58x");
        Press(dialog, IDOK); // refused: it stays, the port in front
        EXPECT_TRUE(IsWindow(dialog));
        EXPECT_EQ(GetFocus(), Box(dialog, ReportsField::MailPort));
        SetText(Box(dialog, ReportsField::MailPort), "587");
        Press(dialog, IDOK);
    }));
    ASSERT_EQ(test::Count(*prompts, "warn"), 1u);
    EXPECT_EQ(prompts->shown[0].text.rfind("Mail port: \"58x\"", 0), 0u) << prompts->shown[0].text;

    const StoredReportSettings kept = ReadStoredReportSettings(folder.file(SettingsFileName));
    EXPECT_EQ(kept.mailUser, user);
    EXPECT_EQ(kept.webhookUrl, hook);
    EXPECT_FALSE(Show([&](HWND dialog) {
        EXPECT_EQ(WindowText(Box(dialog, ReportsField::MailUser)), user);
        EXPECT_EQ(WindowText(Box(dialog, ReportsField::WebhookUrl)), hook);
        EXPECT_EQ(WindowText(Box(dialog, ReportsField::MailPort)), "587");
        Press(dialog, IDCANCEL);
    }));
}

TEST_F(ReportsDialog, SendTestReportShowsEachChannelsAnswer) {
    const test::DeliveryServer mail("smtp", "--security starttls --user quillet --password \"pass word\"");
    const test::DeliveryServer web("http", "--statuses \"200;404\"", &mail);
    ASSERT_TRUE(mail.ready() && web.ready());
    const std::string base = "https://localhost:" + std::to_string(web.port);
    std::string answers;
    Show([&](HWND dialog) {
        SetText(Box(dialog, ReportsField::MailServer), "localhost");
        SetText(Box(dialog, ReportsField::MailPort), std::to_string(mail.port));
        SetText(Box(dialog, ReportsField::MailUser), "quillet");
        SetText(Box(dialog, ReportsField::MailPassword), "pass word");
        SetText(Box(dialog, ReportsField::MailFrom), "quillet@example.org");
        SetText(Box(dialog, ReportsField::MailTo), "admin@example.org");
        SetText(Box(dialog, ReportsField::PingUrl), base + "/ping/abc");
        SetText(Box(dialog, ReportsField::WebhookUrl), base + "/hook");
        SetText(Box(dialog, ReportsField::TlsPin), mail.fingerprint);
        Press(dialog, idSendTest);
        const DWORD start = GetTickCount();
        do {
            test::PumpMessages();
            Sleep(10);
            answers = WindowText(GetDlgItem(dialog, idTestAnswers));
        } while (answers.rfind("Sending", 0) == 0 && GetTickCount() - start < 30000);
        Press(dialog, IDCANCEL);
    });
    EXPECT_NE(answers.find("Mail: delivered. 250"), std::string::npos) << answers;
    EXPECT_NE(answers.find("Heartbeat ping: delivered."), std::string::npos) << answers;
    EXPECT_NE(answers.find("Webhook: NOT delivered. "), std::string::npos) << answers;
    EXPECT_NE(answers.find("404"), std::string::npos) << answers;
    EXPECT_TRUE(mail.waitFor("mail-1.eml", 0));
}
