// Mail through Winsock and Schannel to a real SMTP server on the loopback. Wine trusts no
// root added here, so the certificate made for "localhost" is accepted by its pin.
#include "platform/Mail.h"

#include "tests/support/DeliveryServers.h"

#include <gtest/gtest.h>

using namespace quillet::platform;
using quillet::test::DeliveryServer;

namespace {

const std::string kMessage = "From: quillet@example.org\r\nTo: admin@example.org\r\nSubject: [Quillet FAILED] x\r\n"
                             "\r\n.leading dot\r\n..two dots\r\n.\r\n" +
                             std::string(998, 'x') + "\r\nlast line\r\n";

MailServer Server(const DeliveryServer& test, MailSecurity security, const std::string& password = "pass word") {
    MailServer server;
    server.host = "localhost";
    server.port = test.port;
    server.security = security;
    server.user = "quillet";
    server.password = password;
    server.tlsPin = test.fingerprint;
    server.timeout = std::chrono::seconds(8);
    return server;
}

const MailEnvelope kEnvelope{"quillet@example.org", {"admin@example.org", "night@example.org"}};

} // namespace

TEST(Mail, StartTlsThenAuthDeliversTheMessageIntact) {
    DeliveryServer test("smtp", "--security starttls --user quillet --password \"pass word\"");
    ASSERT_TRUE(test.ready());
    const DeliveryResult refused = SendMail(Server(test, MailSecurity::StartTls, "wrong"), kEnvelope, kMessage);
    EXPECT_EQ(refused.status, Delivery::Temporary) << "kept until the password is put right";
    EXPECT_EQ(refused.step, "authentication");
    EXPECT_EQ(refused.answer.rfind("authentication refused: 535", 0), 0u) << refused.answer;

    const DeliveryResult result = SendMail(Server(test, MailSecurity::StartTls), kEnvelope, kMessage);
    EXPECT_EQ(result.status, Delivery::Delivered) << result.step << ": " << result.answer;
    EXPECT_EQ(result.code, 250);
    EXPECT_EQ(test.read("mail-1.eml"), kMessage);
    EXPECT_EQ(test.read("mail-1.rcpt"), "admin@example.org\nnight@example.org\n");
    EXPECT_FALSE(test.waitFor("mail-2.eml", 0));
    const std::string log = test.read("session.log");
    EXPECT_EQ(log.find("AUTH tls=0"), std::string::npos) << log;
    EXPECT_EQ(log.find("MAIL tls=0"), std::string::npos) << log;
    EXPECT_NE(log.find("AUTH tls=1 PLAIN ok"), std::string::npos) << log;
}

TEST(Mail, NothingLeavesWithoutTrustedTls) {
    DeliveryServer plain("smtp", "--security none --user quillet --password \"pass word\"");
    ASSERT_TRUE(plain.ready());
    const DeliveryResult noStartTls = SendMail(Server(plain, MailSecurity::StartTls), kEnvelope, kMessage);
    EXPECT_EQ(noStartTls.status, Delivery::Temporary);
    EXPECT_EQ(noStartTls.step, "STARTTLS");
    EXPECT_NE(noStartTls.answer.find("does not offer STARTTLS, so nothing was sent"), std::string::npos) << noStartTls.answer;
    const std::string plainLog = plain.read("session.log");
    EXPECT_EQ(plainLog.find("AUTH"), std::string::npos) << plainLog;
    EXPECT_EQ(plainLog.find("MAIL"), std::string::npos) << plainLog;

    DeliveryServer tls("smtp", "--security starttls --user quillet --password \"pass word\"");
    ASSERT_TRUE(tls.ready());
    for (const std::string& pin : {std::string(64, 'b'), std::string()}) {
        MailServer server = Server(tls, MailSecurity::StartTls);
        server.tlsPin = pin;
        const DeliveryResult result = SendMail(server, kEnvelope, kMessage);
        EXPECT_EQ(result.status, Delivery::Final) << "pin '" << pin << "'";
        EXPECT_EQ(result.step, "TLS");
        EXPECT_EQ(result.answer.rfind("certificate not trusted: ", 0), 0u) << result.answer;
    }
    const std::string tlsLog = tls.read("session.log");
    EXPECT_EQ(tlsLog.find("AUTH"), std::string::npos) << tlsLog;
    EXPECT_FALSE(tls.waitFor("mail-1.eml", 0));
}

TEST(Mail, ImplicitTlsAndTheMixUpsSaySo) {
    DeliveryServer implicit("smtp", "--security tls --user quillet --password \"pass word\"");
    ASSERT_TRUE(implicit.ready());
    const DeliveryResult result = SendMail(Server(implicit, MailSecurity::Tls), kEnvelope, kMessage);
    EXPECT_EQ(result.status, Delivery::Delivered) << result.step << ": " << result.answer;
    EXPECT_EQ(implicit.read("mail-1.eml"), kMessage);

    const DeliveryResult startTls = SendMail(Server(implicit, MailSecurity::StartTls), kEnvelope, kMessage);
    EXPECT_EQ(startTls.status, Delivery::Temporary) << "kept until the setting is put right";
    EXPECT_EQ(startTls.answer, "the server at port " + std::to_string(implicit.port) +
                                   " expects TLS from the start: set MailSecurity=tls");

    DeliveryServer explicitTls("smtp", "--security starttls");
    ASSERT_TRUE(explicitTls.ready());
    const DeliveryResult tls = SendMail(Server(explicitTls, MailSecurity::Tls), kEnvelope, kMessage);
    EXPECT_EQ(tls.status, Delivery::Temporary);
    EXPECT_NE(tls.answer.find("set MailSecurity=starttls"), std::string::npos) << tls.answer;
}

TEST(Mail, RefusalsAreFinalAndDelaysTemporary) {
    DeliveryServer test("smtp", "--security starttls --rcpt-replies \"550 5.1.1 no such mailbox;250 OK\" "
                                "--data-replies \"451 4.3.0 try again later;250 OK\"");
    ASSERT_TRUE(test.ready());
    MailServer server = Server(test, MailSecurity::StartTls);
    server.user.clear();
    const DeliveryResult unknown = SendMail(server, kEnvelope, kMessage);
    EXPECT_EQ(unknown.status, Delivery::Final);
    EXPECT_EQ(unknown.step, "recipient");
    EXPECT_EQ(unknown.code, 550);
    EXPECT_EQ(unknown.answer, "the server refused the recipient: 550 5.1.1 no such mailbox");
    const DeliveryResult later = SendMail(server, kEnvelope, kMessage);
    EXPECT_EQ(later.status, Delivery::Temporary);
    EXPECT_EQ(later.step, "message");
    EXPECT_EQ(later.code, 451);
    EXPECT_FALSE(test.waitFor("mail-1.eml", 0));
    EXPECT_EQ(SendMail(server, kEnvelope, kMessage).status, Delivery::Delivered);
    EXPECT_EQ(test.read("mail-1.eml"), kMessage);
}

TEST(Mail, NoServerIsWorthAnotherTry) {
    MailServer server;
    server.host = "localhost";
    server.port = 9;
    server.timeout = std::chrono::seconds(5);
    const DeliveryResult result = SendMail(server, kEnvelope, kMessage);
    EXPECT_EQ(result.status, Delivery::Temporary);
    EXPECT_EQ(result.step, "connect");
}
