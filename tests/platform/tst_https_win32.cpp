// HTTP requests through WinHTTP to a real server on the loopback. Wine trusts no root
// added here, so the certificate made for "localhost" is accepted by its pin only.
#include "platform/Https.h"

#include "tests/support/DeliveryServers.h"

#include <gtest/gtest.h>

using namespace quillet::platform;
using quillet::test::DeliveryServer;

namespace {

// The pin as a user copies it from a certificate viewer: upper case, colons.
std::string AsUserWritesIt(const std::string& fingerprint) {
    std::string text;
    for (std::size_t i = 0; i < fingerprint.size(); i += 2)
        text += (i ? ":" : "") + fingerprint.substr(i, 2);
    for (char& c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

HttpRequest Post(const std::string& url, const std::string& body) {
    HttpRequest request;
    request.url = url;
    request.contentType = "text/plain; charset=utf-8";
    request.body = body;
    request.timeout = std::chrono::seconds(20);
    return request;
}

} // namespace

TEST(Https, PinnedCertificateTakesThePostWhole) {
    DeliveryServer server("http", "");
    ASSERT_TRUE(server.ready());
    const std::string body = "Κόμβος 数据库 ok\r\n.\r\nend";
    HttpRequest request = Post("https://localhost:" + std::to_string(server.port) + "/ping/abc?x=1", body);
    request.tlsPin = AsUserWritesIt(server.fingerprint);
    const DeliveryResult result = SendHttp(request);
    EXPECT_EQ(result.status, Delivery::Delivered) << result.step << ": " << result.answer;
    EXPECT_EQ(result.code, 200);
    const std::string head = server.read("request-1.head");
    EXPECT_EQ(head.rfind("POST /ping/abc?x=1\n", 0), 0u) << head;
    EXPECT_NE(head.find("Content-Type: text/plain; charset=utf-8\n"), std::string::npos) << head;
    EXPECT_EQ(server.read("request-1.body"), body);
}

TEST(Https, UntrustedCertificateIsRefusedForGoodAndTheBodyStaysHere) {
    DeliveryServer server("http", "");
    ASSERT_TRUE(server.ready());
    const std::string url = "https://localhost:" + std::to_string(server.port) + "/hook";
    for (const std::string& pin : {std::string(64, 'a'), std::string()}) {
        HttpRequest request = Post(url, "secret report");
        request.tlsPin = pin;
        const DeliveryResult result = SendHttp(request);
        EXPECT_EQ(result.status, Delivery::Final) << "pin '" << pin << "': " << result.answer;
        EXPECT_EQ(result.step, "TLS");
        EXPECT_EQ(result.answer.rfind("certificate not trusted", 0), 0u) << result.answer;
    }
    for (const char* name : {"request-1.body", "request-2.body"})
        EXPECT_EQ(server.read(name).find("secret"), std::string::npos);
}

TEST(Https, AnswersAreClassifiedAsTheStatusSays) {
    DeliveryServer server("http", "--plain --statuses 503,429,404,204 --retry-after 7");
    ASSERT_TRUE(server.ready());
    const std::string url = "http://localhost:" + std::to_string(server.port) + "/hook";
    const DeliveryResult unavailable = SendHttp(Post(url, "{}"));
    EXPECT_EQ(unavailable.status, Delivery::Temporary);
    EXPECT_EQ(unavailable.code, 503);
    EXPECT_EQ(unavailable.retryAfter, std::chrono::seconds(7));
    EXPECT_NE(unavailable.answer.find("answer 503"), std::string::npos) << unavailable.answer;
    EXPECT_EQ(SendHttp(Post(url, "{}")).status, Delivery::Temporary);
    const DeliveryResult missing = SendHttp(Post(url, "{}"));
    EXPECT_EQ(missing.status, Delivery::Final);
    EXPECT_EQ(missing.code, 404);
    EXPECT_EQ(SendHttp(Post(url, "{}")).status, Delivery::Delivered);
}

TEST(Https, NoServerIsWorthAnotherTry) {
    const DeliveryResult result = SendHttp(Post("https://localhost:9/", "x"));
    EXPECT_EQ(result.status, Delivery::Temporary);
    EXPECT_EQ(result.step, "connect");
}
