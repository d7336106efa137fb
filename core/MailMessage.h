// A report as an Internet message: 7-bit text any SMTP server takes, UTF-8 inside.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quillet {

struct MailParts {
    std::string from;
    std::vector<std::string> to;
    std::string subject; // UTF-8
    std::string body;    // UTF-8, lines ending in LF or CR LF
};

// The whole message, lines ending in CR LF: From, To, Subject (RFC 2047 where not
// ASCII), Date (`isoLocalTime` as platform::IsoLocalTime gives it), Message-ID
// (`uniqueId` at `machine`), and the body as quoted-printable UTF-8 text.
std::string ComposeMail(const MailParts& parts, const std::string& isoLocalTime, const std::string& uniqueId,
                        const std::string& machine);

// Header text as RFC 2047 encoded words when it is not printable ASCII, folded so that
// no line passes 76 characters.
std::string HeaderText(const std::string& text);
// Quoted-printable body text: CR LF line ends, soft breaks before 76 characters, a
// line's leading dot and trailing blanks encoded.
std::string QuotedPrintable(const std::string& text);
// "Wed, 09 Dec 2026 01:00:03 +0100" from "2026-12-09T01:00:03+01:00"; empty when the
// text is not that form.
std::string MailDate(const std::string& isoLocalTime);

} // namespace quillet
