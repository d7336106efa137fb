#include "core/MailMessage.h"

#include "core/Include.h"
#include "platform/Delivery.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace quillet {

namespace {

const char Hex[] = "0123456789ABCDEF";

// The length of the UTF-8 sequence that begins with `lead`; 1 for a stray byte.
std::size_t SequenceLength(unsigned char lead) {
    if (lead >= 0xF0 && lead < 0xF8)
        return 4;
    if (lead >= 0xE0)
        return 3;
    if (lead >= 0xC0)
        return 2;
    return 1;
}

std::string Domain(const std::string& machine) {
    if (machine.empty())
        return "quillet.invalid";
    for (const char c : machine)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-' && c != '.')
            return "quillet.invalid";
    return machine;
}

std::string AddressList(const std::vector<std::string>& to) {
    std::string out;
    for (std::size_t i = 0; i < to.size(); ++i)
        out += (i ? ",\r\n " : "") + to[i];
    return out;
}

} // namespace

std::string HeaderText(const std::string& text) {
    // The plain ASCII words in front stay readable to mail rules that look at raw
    // headers: a report's token is always among them.
    std::size_t plain = 0;
    while (plain < text.size() && static_cast<unsigned char>(text[plain]) >= 0x20 &&
           static_cast<unsigned char>(text[plain]) <= 0x7E)
        ++plain;
    if (plain < text.size())
        plain = plain == 0 ? 0 : text.rfind(' ', plain - 1) == std::string::npos ? 0 : text.rfind(' ', plain - 1);
    std::string out;
    std::size_t column = 9; // after "Subject: "
    std::size_t from = 0;
    while (from < plain) {
        auto space = text.find(' ', from);
        if (space == std::string::npos || space > plain)
            space = plain;
        const std::string word = text.substr(from, space - from);
        if (from > 0) {
            const bool fold = column + 1 + word.size() > 76;
            out += fold ? "\r\n " : " ";
            column = fold ? 1 : column + 1;
        }
        out += word;
        column += word.size();
        from = space + 1;
    }
    // Encoded words of at most 75 characters, whole characters each: 45 bytes give 60
    // base64 characters, plus the 12 of "=?UTF-8?B??=".
    from = plain == 0 ? 0 : plain + 1;
    while (from < text.size()) {
        std::size_t end = from;
        while (end < text.size()) {
            const std::size_t n = SequenceLength(static_cast<unsigned char>(text[end]));
            if (end + n - from > 45)
                break;
            end += n;
        }
        end = std::min(std::max(end, from + 1), text.size());
        out += (out.empty() ? "" : "\r\n ") + std::string("=?UTF-8?B?") + platform::Base64(text.substr(from, end - from)) + "?=";
        from = end;
    }
    return out;
}

std::string QuotedPrintable(const std::string& text) {
    std::string out;
    std::string line; // encoded, without its end
    const auto breakLine = [&](bool soft) {
        out += line + (soft ? "=\r\n" : "\r\n");
        line.clear();
    };
    for (std::size_t i = 0; i <= text.size(); ++i) {
        const bool end = i == text.size();
        if (end || text[i] == '\n' || (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) {
            // Blanks at a line's end would be lost on the way.
            if (!line.empty() && (line.back() == ' ' || line.back() == '\t')) {
                const char last = line.back();
                line.pop_back();
                line += std::string("=") + Hex[last >> 4] + Hex[last & 15];
            }
            if (!end || !line.empty())
                breakLine(false);
            if (!end && text[i] == '\r')
                ++i;
            continue;
        }
        const auto u = static_cast<unsigned char>(text[i]);
        std::string piece;
        if ((u >= 33 && u <= 126 && u != '=' && !(u == '.' && line.empty())) || u == ' ' || u == '\t')
            piece = std::string(1, text[i]);
        else
            piece = std::string("=") + Hex[u >> 4] + Hex[u & 15];
        if (line.size() + piece.size() > 75)
            breakLine(true);
        line += piece;
    }
    return out;
}

std::string MailDate(const std::string& iso) {
    int y, mo, d, h, mi, s, oh, om;
    char sign;
    if (iso.size() < 25 || std::sscanf(iso.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%c%2d:%2d", &y, &mo, &d, &h, &mi, &s,
                                       &sign, &oh, &om) != 9 || (sign != '+' && sign != '-'))
        return {};
    const auto date = TryEncodeDate(y, mo, d);
    if (!date || mo < 1 || mo > 12)
        return {};
    static const char* const Days[] = {"Sat", "Sun", "Mon", "Tue", "Wed", "Thu", "Fri"}; // day 0 was a Saturday
    static const char* const Months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    char text[64];
    std::snprintf(text, sizeof text, "%s, %02d %s %04d %02d:%02d:%02d %c%02d%02d", Days[((*date % 7) + 7) % 7], d,
                  Months[mo - 1], y, h, mi, s, sign, oh, om);
    return text;
}

std::string ComposeMail(const MailParts& parts, const std::string& isoLocalTime, const std::string& uniqueId,
                        const std::string& machine) {
    std::string m;
    m += "From: " + parts.from + "\r\n";
    m += "To: " + AddressList(parts.to) + "\r\n";
    m += "Subject: " + HeaderText(parts.subject) + "\r\n";
    if (const std::string date = MailDate(isoLocalTime); !date.empty())
        m += "Date: " + date + "\r\n";
    m += "Message-ID: <" + uniqueId + "@" + Domain(machine) + ">\r\n";
    m += "MIME-Version: 1.0\r\n";
    m += "Content-Type: text/plain; charset=UTF-8\r\n";
    m += "Content-Transfer-Encoding: quoted-printable\r\n";
    m += "Auto-Submitted: auto-generated\r\n";
    m += "\r\n";
    return m + QuotedPrintable(parts.body);
}

} // namespace quillet
