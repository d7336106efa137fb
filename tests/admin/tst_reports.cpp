// The Qt Reports dialog's wiring, headless: typing and choosing reach the presenter, its
// refusal keeps the dialog open, what was kept comes back, and a test report's answers
// arrive from its thread. The rules are tested with the presenter.
#include "admin/qt/fReports.h"
#include "core/AdminSettings.h"
#include "core/ReportSettings.h"
#include "tests/support/ScriptedPrompts.h"
#include "ui/qt/Text.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

using namespace quillet;
using namespace quillet::admin;
using quillet::ui::FromStd;
using quillet::ui::ToStd;

namespace {

QLineEdit* Box(QWidget* dialog, ReportsField field) {
    return dialog->findChild<QLineEdit*>(QLatin1String(ReportsRows[static_cast<std::size_t>(field)].name));
}

void Type(QWidget* dialog, ReportsField field, const QString& text) {
    QLineEdit* box = Box(dialog, field);
    box->selectAll();
    QTest::keyClick(box, Qt::Key_Delete);
    // As a keyboard or an input method delivers text beyond Latin-1: one key event with it.
    QKeyEvent key(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, text);
    QApplication::sendEvent(box, &key);
}

void Ok(QWidget* dialog) {
    dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
}

} // namespace

class ReportsTest : public QObject {
    Q_OBJECT

private slots:
    void typedValuesAreKeptAndARefusalKeepsTheDialog();
    void aTestReportsAnswersArriveFromItsThread();

private:
    QTemporaryDir dir_;
    std::string folder() const { return ToStd(dir_.path()) + "/"; }
};

void ReportsTest::typedValuesAreKeptAndARefusalKeepsTheDialog() {
    const QString user = QStringLiteral("Νύχτα 夜间");
    test::ScriptedPrompts prompts;
    {
        TfrmReports dialog(prompts, folder());
        dialog.show();
        Type(&dialog, ReportsField::MailServer, QStringLiteral("mail.example.org"));
        Type(&dialog, ReportsField::MailUser, user);
        Type(&dialog, ReportsField::MailFrom, QStringLiteral("quillet@example.org"));
        Type(&dialog, ReportsField::MailTo, QStringLiteral("admin@example.org"));
        auto* security = dialog.findChild<QComboBox*>(QLatin1String(ReportsRows[2].name));
        QTest::keyClick(security, Qt::Key_Down); // TLS from the start: its port follows
        QCOMPARE(Box(&dialog, ReportsField::MailPort)->text(), QStringLiteral("465"));
        Type(&dialog, ReportsField::MailPort, QStringLiteral("46x"));
        Ok(&dialog);
        QVERIFY(dialog.isVisible());
        QCOMPARE(prompts.shown.size(), std::size_t{1});
        QVERIFY(prompts.shown[0].text.rfind("Mail port: \"46x\"", 0) == 0);
        Type(&dialog, ReportsField::MailPort, QStringLiteral("465"));
        Ok(&dialog);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
    }
    const StoredReportSettings kept = ReadStoredReportSettings(folder() + SettingsFileName);
    QCOMPARE(FromStd(kept.mailUser), user);
    QCOMPARE(kept.mailSecurity, std::string("tls"));
    TfrmReports again(prompts, folder());
    QCOMPARE(Box(&again, ReportsField::MailUser)->text(), user);
    QCOMPARE(Box(&again, ReportsField::MailPort)->text(), QStringLiteral("465"));
}

void ReportsTest::aTestReportsAnswersArriveFromItsThread() {
    const ReportsServices shipped = CurrentReportsServices();
    std::string passwordUsed;
    ReportsServices services = shipped;
    services.storedPassword = [](const std::string&, std::string& reason) -> std::optional<std::string> {
        reason = "no password is stored";
        return std::nullopt;
    };
    services.sendTest = [&](const ReportSettings&, const std::string& password, const std::string&) {
        passwordUsed = password;
        return std::vector<ChannelAnswer>{{"mail", true, "250 OK queued"}, {"webhook", false, "404 Not Found"}};
    };
    SetReportsServices(services);
    test::ScriptedPrompts prompts;
    {
        TfrmReports dialog(prompts, folder());
        Type(&dialog, ReportsField::MailServer, QStringLiteral("localhost"));
        Type(&dialog, ReportsField::MailUser, QStringLiteral("quillet"));
        Type(&dialog, ReportsField::MailPassword, QStringLiteral("pass wörd"));
        Type(&dialog, ReportsField::WebhookUrl, QStringLiteral("https://localhost/hook"));
        QPushButton* send = nullptr;
        for (auto* button : dialog.findChildren<QPushButton*>())
            if (button->text() == FromStd(SendTestLabel))
                send = button;
        QVERIFY(send && send->isEnabled());
        send->click();
        auto* answers = dialog.findChild<QPlainTextEdit*>();
        QTRY_VERIFY(answers->toPlainText().contains(QStringLiteral("Webhook: NOT delivered. 404 Not Found")));
        QVERIFY(answers->toPlainText().contains(QStringLiteral("Mail: delivered. 250 OK queued")));
        QVERIFY(send->isEnabled());
    }
    SetReportsServices(shipped);
    QCOMPARE(passwordUsed, std::string("pass wörd"));
}

QTEST_MAIN(ReportsTest)
#include "tst_reports.moc"
