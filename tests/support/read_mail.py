"""A stored message as a mail program shows it: its headers decoded (RFC 2047), one a
line, then "Charset:" and "Transfer-Encoding:", an empty line, and its text decoded
(quoted-printable or base64) with LF line ends, as UTF-8 bytes."""
import email
import email.policy


def shown(data):
    message = email.message_from_bytes(data, policy=email.policy.default)
    lines = ["%s: %s" % (k, str(v)) for k, v in message.items()]
    lines.append("Charset: %s" % message.get_content_charset())
    lines.append("Transfer-Encoding: %s" % message.get("Content-Transfer-Encoding"))
    return ("\n".join(lines) + "\n\n" + message.get_content().replace("\r\n", "\n")).encode("utf-8")
