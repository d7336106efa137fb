// Reports beyond the machine end to end: the real compactor (and QuilletSched) in a
// fresh folder, real SMTP and HTTPS servers on the loopback recording what reached them;
// natively and, for the Windows programs, under wine.
#include "tests/support/DeliveryServers.h"
#include "tests/support/QuilletHarness.h"

#include "core/Reports.h"
#include "platform/HostName.h"
#include "platform/SecretStore.h"

#include <algorithm>

namespace quillet::test {
namespace {

using Lines = std::vector<std::string>;

std::string ReadAll(const std::string& path) {
    std::string bytes;
    platform::ReadWholeFile(path, bytes);
    return bytes;
}

// The files a server recorded, `stem`-1`suffix`, `stem`-2`suffix`, ... in order.
Lines Recorded(const DeliveryServer& server, const std::string& stem, const std::string& suffix) {
    Lines out;
    for (int i = 1; platform::FileExists(server.file(stem + std::to_string(i) + suffix)); ++i)
        out.push_back(server.read(stem + std::to_string(i) + suffix));
    return out;
}

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

class Reports : public ::testing::Test {
protected:
    void SetUp() override { engine_ = q_.install(QUILLET_FAKE_ENGINE, "engine/engine" + ExeSuffix); }

    void writeSettings(const Lines& keys) const {
        std::string text = "[Reports]\r\n";
        for (const auto& k : keys)
            text += k + "\r\n";
        WriteBytes(q_.file("Quillet.ini"), text);
    }
    Lines mailKeys(int port, const std::string& security, const std::string& pin) const {
        return {"MailServer=localhost", "MailPort=" + std::to_string(port), "MailSecurity=" + security,
                "MailUser=quillet", "MailFrom=quillet@example.org", "MailTo=admin@example.org, night@example.org",
                "TlsPin=" + pin};
    }
    void storePassword(const std::string& password) const {
        std::string reason;
        ASSERT_TRUE(StoreMailPassword(q_.dir().path().string() + "/", password, reason)) << reason;
    }
    // A pass over one database that is there and one that is not.
    std::string failingCfg(const std::string& name = "run.cfg") const {
        const std::string there = q_.file("Βάση δεδομένων.mdb");
        WriteBytes(there, "database");
        return q_.writeCfg({"CompactFiles=" + there + "|" + q_.file("数据库.mdb") + "|", "AccessPath=" + engine_,
                            "Description=Nightly"},
                           name);
    }
    Lines allChannels(const DeliveryServer& mail, const DeliveryServer& web) const {
        const std::string base = "https://localhost:" + std::to_string(web.port);
        Lines keys = mailKeys(mail.port, "starttls", mail.fingerprint);
        keys.push_back("PingUrl=" + base + "/ping/abc/");
        keys.push_back("WebhookUrl=" + base + "/hook");
        return keys;
    }
    std::size_t waiting() const {
        std::size_t n = 0;
        if (std::filesystem::exists(q_.dir().path() / "outbox"))
            for (const auto& e : std::filesystem::directory_iterator(q_.dir().path() / "outbox"))
                n += e.path().extension() == ".msg";
        return n;
    }
    std::string log() const { return ReadAll(q_.logPath()); }
    // QuilletSched --due beside the compactor, as the hourly background check starts it.
    int due() const {
        const std::string sched = q_.install(BinDir() + "QuilletSched" + ExeSuffix, "QuilletSched" + ExeSuffix);
        int code = -1;
        EXPECT_TRUE(RunAndWait(QuotePath(sched) + " --due", SW_HIDE_MODE, &code));
        return code;
    }

    QuilletFolder q_;
    std::string engine_;
};

TEST_F(Reports, APassWithAMissingDatabaseSendsOneFailedMailStartAndFailPingsAndTheWebhook) {
    DeliveryServer mail("smtp", "--security starttls --user quillet --password s3cret-pw");
    DeliveryServer web("http", "", &mail);
    ASSERT_TRUE(mail.ready() && web.ready());
    writeSettings(allChannels(mail, web));
    storePassword("s3cret-pw");
    const std::string cfg = failingCfg("夜間.cfg");

    EXPECT_EQ(q_.run(QuotePath(cfg)), 0);

    ASSERT_TRUE(mail.waitFor("mail-1.eml", 5)) << log();
    EXPECT_FALSE(platform::FileExists(mail.file("mail-2.eml")));
    EXPECT_EQ(mail.read("mail-1.rcpt"), "admin@example.org\nnight@example.org\n");
    const std::string text = mail.read("mail-1.txt");
    const std::string subject = "[Quillet FAILED] " + platform::HostName() + ": 1 of 2 databases failed (夜間.cfg)";
    EXPECT_TRUE(Has(text, "\nSubject: " + subject + "\n")) << text;
    EXPECT_TRUE(Has(text, "Charset: utf-8\nTransfer-Encoding: quoted-printable\n"));
    EXPECT_TRUE(Has(text, "\nDate: ") && Has(text, "\nMessage-ID: <"));
    EXPECT_TRUE(Has(text, "Description:   Nightly\n"));
    EXPECT_TRUE(Has(text, "Βάση δεδομένων.mdb: ok, 8 bytes \xE2\x86\x92 8 bytes"));
    EXPECT_TRUE(Has(text, "数据库.mdb does not exist."));
    for (const unsigned char c : mail.read("mail-1.eml"))
        ASSERT_LT(c, 0x80) << "the message is not 7-bit";
    // Nothing but the greeting before TLS, AUTH inside it.
    const std::string session = mail.read("session.log");
    EXPECT_EQ(session.rfind("EHLO tls=0 ", 0), 0u) << session;
    EXPECT_EQ(session.find("tls=0", session.find('\n')), std::string::npos) << session;
    EXPECT_TRUE(Has(session, "\nAUTH tls=1 ")) << session;

    ASSERT_TRUE(web.waitFor("request-3.head", 5));
    const auto head = [&](int n) { return web.read("request-" + std::to_string(n) + ".head"); };
    const auto body = [&](int n) { return web.read("request-" + std::to_string(n) + ".body"); };
    EXPECT_EQ(head(1).substr(0, head(1).find('\n')), "GET /ping/abc/start");
    EXPECT_EQ(head(2).substr(0, head(2).find('\n')), "POST /ping/abc/fail");
    EXPECT_EQ(body(2).substr(0, subject.size() + 1), subject + "\n");
    EXPECT_EQ(head(3).substr(0, head(3).find('\n')), "POST /hook");
    EXPECT_TRUE(Has(head(3), "Content-Type: application/json\n"));
    for (const std::string field :
         {"\"machine\":", "\"configuration\":", "\"result\":\"failed\"", "\"started\":\"", "\"finished\":\"",
          "\"databases\":[{\"path\":", "\"outcome\":\"ok\"", "\"size_before\":8", "\"size_after\":8",
          "\"seconds\":", "\"detail\":", "数据库.mdb"})
        EXPECT_TRUE(Has(body(3), field)) << field;
    EXPECT_FALSE(platform::FileExists(web.file("request-4.head")));
    EXPECT_EQ(waiting(), 0u);

    // With both servers down the next pass's reports wait; the background check then
    // delivers them once they answer again, and only once.
    ASSERT_TRUE(mail.stop() && web.stop());
    EXPECT_EQ(q_.run(QuotePath(cfg)), 0);
    EXPECT_GE(waiting(), 3u) << log();
    EXPECT_TRUE(Has(log(), "no connection to localhost")) << log();
    // The web server where it was: a queued request keeps its address.
    const DeliveryServer mailAgain("smtp", "--security starttls --user quillet --password s3cret-pw");
    const DeliveryServer webAgain("http", "--port " + std::to_string(web.port), &mailAgain);
    ASSERT_TRUE(mailAgain.ready() && webAgain.ready());
    writeSettings(allChannels(mailAgain, webAgain));
    due();
    due();
    EXPECT_EQ(Recorded(mailAgain, "mail-", ".eml").size(), 1u);
    EXPECT_TRUE(Has(mailAgain.read("mail-1.txt"), "\nSubject: " + subject + "\n"));
    const Lines hooks = Recorded(webAgain, "request-", ".head");
    EXPECT_EQ(std::count_if(hooks.begin(), hooks.end(), [](const std::string& h) { return Has(h, "POST /hook\n"); }),
              1);
    EXPECT_EQ(waiting(), 0u) << log();
}

TEST_F(Reports, NoStarttlsOrAWrongPasswordSendsNothingKeepsTheReportAndSaysWhy) {
    {
        const DeliveryServer plain("smtp", "--security none --user quillet --password pw");
        ASSERT_TRUE(plain.ready());
        writeSettings(mailKeys(plain.port, "starttls", plain.fingerprint));
        storePassword("pw");
        EXPECT_EQ(q_.run(QuotePath(failingCfg())), 0);
        const std::string session = plain.read("session.log");
        EXPECT_TRUE(session.rfind("EHLO tls=0 ", 0) == 0 && !Has(session, "AUTH") && !Has(session, "MAIL")) << session;
        EXPECT_TRUE(Has(log(), "does not offer STARTTLS, so nothing was sent")) << log();
        EXPECT_EQ(waiting(), 1u);
    }
    q_.clearLog();
    const DeliveryServer mail("smtp", "--security starttls --user quillet --password right");
    ASSERT_TRUE(mail.ready());
    writeSettings(mailKeys(mail.port, "starttls", mail.fingerprint));
    storePassword("wrong");
    EXPECT_EQ(q_.run(QuotePath(failingCfg())), 0);
    EXPECT_TRUE(Has(log(), "authentication refused: 535")) << log();
    EXPECT_FALSE(Has(mail.read("session.log"), "MAIL"));
    EXPECT_EQ(waiting(), 2u) << "both passes' reports wait for the password";
}

TEST_F(Reports, TemporaryRefusalsAreRetriedOldestFirstFinalOnesAreNot) {
    const DeliveryServer mail(
        "smtp", "--security tls --user quillet --password pw "
                "--data-replies \"451 4.3.0 Try again later;250 OK;250 OK;550 5.7.1 Relaying denied\"");
    ASSERT_TRUE(mail.ready());
    Lines keys = mailKeys(mail.port, "tls", mail.fingerprint);
    keys.push_back("MailWhen=always");
    writeSettings(keys);
    storePassword("pw");
    const std::string cfg = failingCfg();
    EXPECT_EQ(q_.run(QuotePath(cfg)), 0);
    EXPECT_EQ(waiting(), 1u);
    EXPECT_TRUE(Has(log(), "451 4.3.0 Try again later; it stays in the outbox.")) << log();

    EXPECT_EQ(q_.run(QuotePath(cfg)), 0);
    EXPECT_EQ(Recorded(mail, "mail-", ".eml").size(), 2u);
    EXPECT_EQ(waiting(), 0u);

    EXPECT_EQ(q_.run(QuotePath(cfg)), 0);
    EXPECT_EQ(waiting(), 0u);
    EXPECT_TRUE(Has(log(), "was refused: the server refused the message: 550 5.7.1 Relaying denied; it is not sent "
                           "again."))
        << log();
    EXPECT_EQ(Recorded(mail, "mail-", ".eml").size(), 2u);
}

TEST_F(Reports, ServerDownKeepsTheReportUntilTheNextPassDeliversItOnce) {
    {
        DeliveryServer gone("smtp", "--security starttls");
        ASSERT_TRUE(gone.ready() && gone.stop());
        writeSettings(mailKeys(gone.port, "starttls", ""));
    }
    storePassword("pw");
    const std::string cfg = failingCfg();
    EXPECT_EQ(q_.run(QuotePath(cfg)), 0);
    EXPECT_EQ(waiting(), 1u);
    EXPECT_TRUE(Has(log(), "no connection to localhost")) << log();

    const DeliveryServer mail("smtp", "--security starttls --user quillet --password pw");
    ASSERT_TRUE(mail.ready());
    Lines keys = mailKeys(mail.port, "starttls", mail.fingerprint);
    keys.push_back("MailWhen=never");
    writeSettings(keys);
    EXPECT_EQ(q_.run(QuotePath(cfg)), 0);
    EXPECT_EQ(q_.run(QuotePath(cfg)), 0);
    EXPECT_EQ(Recorded(mail, "mail-", ".eml").size(), 1u);
    EXPECT_EQ(waiting(), 0u);
}

TEST_F(Reports, ThePasswordIsInNoFileButItsOwn) {
    const std::string secret = "pässwörd-7Kq";
    const DeliveryServer mail("smtp", "--security starttls --user quillet --password other");
    ASSERT_TRUE(mail.ready());
    writeSettings(mailKeys(mail.port, "starttls", mail.fingerprint));
    storePassword(secret);
    EXPECT_EQ(q_.run(QuotePath(failingCfg())), 0);
    for (const auto& e : std::filesystem::recursive_directory_iterator(q_.dir().path())) {
        if (e.is_regular_file() && e.path().filename() != MailPasswordFileName) {
            EXPECT_FALSE(Has(ReadAll(platform::Utf8Path(e.path())), secret)) << e.path();
        }
    }
}

} // namespace
} // namespace quillet::test
