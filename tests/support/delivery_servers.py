#!/usr/bin/python3
"""Real servers on the loopback for the delivery tests: SMTP (aiosmtpd) and HTTP(S).

    delivery_servers.py smtp --dir D [--security starttls|tls|none] [--user U --password P]
                             [--mail-replies R] [--rcpt-replies R] [--data-replies R]
    delivery_servers.py http --dir D [--plain] [--statuses 503,200] [--retry-after S]

Both listen on a free port (or --port) of 127.0.0.1 and ::1 where available (so "localhost" reaches
them) and make, when D has none, a self-signed certificate for "localhost" in
--cert-dir (default D), so that several servers can share one certificate and one pin.
When ready they write D/ready (renamed into place) holding "port=N" and
"fingerprint=<sha-256 of the certificate, 64 lower-case hex digits>". When D/stop appears they
close their ports and then remove D, or end after --lifetime seconds: under wine the test cannot wait for or
end a Unix process, so the server ends itself.

What arrived is kept in D: the SMTP server appends one line per command to D/session.log
("EHLO tls=0", "AUTH tls=1 ok", "MAIL tls=1 <from>", ...) and writes each message it took
as D/mail-N.eml (the bytes after dot-unstuffing), D/mail-N.txt (the message as a mail
program shows it, tests/support/read_mail.py) and D/mail-N.rcpt (one recipient a line); the HTTP server writes D/request-N.body and then D/request-N.head ("METHOD PATH"
and the headers, one a line). Replies are scripted per command as ';'-separated
sequences, the last one repeating ("451 4.3.0 busy;250 OK").
"""

import argparse
import asyncio
import hashlib
import http.server
import logging
import os
import shutil
import ssl
import subprocess
import sys
import threading
import time
import warnings

import read_mail


def write_whole(path, data):
    temporary = path + ".part"
    with open(temporary, "wb") as f:
        f.write(data)
    os.replace(temporary, path)


def certificate(cert_dir):
    cert = os.path.join(cert_dir, "cert.pem")
    key = os.path.join(cert_dir, "key.pem")
    if not os.path.exists(cert):
        os.makedirs(cert_dir, exist_ok=True)
        subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
                        "-subj", "/CN=localhost", "-addext", "subjectAltName=DNS:localhost",
                        "-keyout", key + ".part", "-out", cert + ".part"],
                       check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.replace(key + ".part", key)
        os.replace(cert + ".part", cert)
    with open(cert) as f:
        der = ssl.PEM_cert_to_DER_cert(f.read())
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(cert, key)
    return context, hashlib.sha256(der).hexdigest()


class Replies:
    """A scripted sequence of replies; the last one repeats."""

    def __init__(self, text, default):
        self.replies = text.split(";") if text else [default]

    def next(self):
        return self.replies.pop(0) if len(self.replies) > 1 else self.replies[0]


def announce_ready(args, port, fingerprint):
    write_whole(os.path.join(args.dir, "ready"), f"port={port}\nfingerprint={fingerprint}\n".encode())


def should_stop(args, started):
    if os.path.exists(os.path.join(args.dir, "stop")):
        return True
    return time.time() - started > args.lifetime


# --- SMTP -------------------------------------------------------------------------------

class MailHandler:
    def __init__(self, args):
        self.args = args
        self.count = 0
        self.mail = Replies(args.mail_replies, "250 OK")
        self.rcpt = Replies(args.rcpt_replies, "250 OK")
        self.data = Replies(args.data_replies, "250 OK: queued")

    def log(self, session, line):
        tls = 1 if self.args.security == "tls" or session.ssl is not None else 0
        word, _, rest = line.partition(" ")
        with open(os.path.join(self.args.dir, "session.log"), "a") as f:
            f.write(f"{word} tls={tls} {rest}".rstrip() + "\n")

    async def handle_EHLO(self, server, session, envelope, hostname, responses):
        session.host_name = hostname
        self.log(session, "EHLO " + hostname)
        return responses

    def handle_STARTTLS(self, server, session, envelope):  # called, not awaited
        self.log(session, "STARTTLS")
        return True

    async def handle_MAIL(self, server, session, envelope, address, options):
        self.log(session, "MAIL " + address)
        reply = self.mail.next()
        if reply.startswith("250"):
            envelope.mail_from = address
        return reply

    async def handle_RCPT(self, server, session, envelope, address, options):
        self.log(session, "RCPT " + address)
        reply = self.rcpt.next()
        if reply.startswith("250"):
            envelope.rcpt_tos.append(address)
        return reply

    async def handle_DATA(self, server, session, envelope):
        self.log(session, "DATA")
        reply = self.data.next()
        if reply.startswith("250"):
            self.count += 1
            stem = os.path.join(self.args.dir, f"mail-{self.count}")
            write_whole(stem + ".rcpt", "".join(r + "\n" for r in envelope.rcpt_tos).encode())
            write_whole(stem + ".txt", read_mail.shown(envelope.original_content))
            write_whole(stem + ".eml", envelope.original_content)
        return reply

    async def handle_QUIT(self, server, session, envelope):
        self.log(session, "QUIT")
        return "221 Bye"

    def authenticate(self, server, session, envelope, mechanism, data):
        from aiosmtpd.smtp import AuthResult
        ok = (data.login.decode() == self.args.user and data.password.decode() == self.args.password)
        self.log(session, f"AUTH {mechanism} {'ok' if ok else 'refused'}")
        return AuthResult(success=ok, handled=False)


async def serve_smtp(args):
    from aiosmtpd.smtp import SMTP
    # AUTH stays offered before TLS on purpose, to catch a client that would use it.
    warnings.simplefilter("ignore")
    logging.getLogger("mail.log").setLevel(logging.CRITICAL)
    context, fingerprint = certificate(args.cert_dir)
    handler = MailHandler(args)
    options = dict(hostname="localhost", auth_require_tls=False, timeout=60)
    if args.security == "starttls":
        options["tls_context"] = context
    if args.user:
        options.update(authenticator=handler.authenticate, auth_required=True)
    loop = asyncio.get_running_loop()
    tls = context if args.security == "tls" else None
    servers = [await loop.create_server(lambda: SMTP(handler, **options), host="127.0.0.1", port=args.port, ssl=tls)]
    port = servers[0].sockets[0].getsockname()[1]
    try:  # the same port on ::1, for clients that try "localhost" there first
        servers.append(await loop.create_server(lambda: SMTP(handler, **options), host="::1", port=port, ssl=tls))
    except OSError:
        pass
    announce_ready(args, port, fingerprint)
    started = time.time()
    while not should_stop(args, started):
        await asyncio.sleep(0.1)
    for server in servers:
        server.close()
        await server.wait_closed()


# --- HTTP -------------------------------------------------------------------------------

def http_handler(args, statuses):
    count = [0]
    lock = threading.Lock()

    class Handler(http.server.BaseHTTPRequestHandler):
        protocol_version = "HTTP/1.1"

        def answer(self):
            body = self.rfile.read(int(self.headers.get("Content-Length") or 0))
            with lock:
                count[0] += 1
                stem = os.path.join(args.dir, f"request-{count[0]}")
                status = int(statuses.next())
            write_whole(stem + ".body", body)
            head = f"{self.command} {self.path}\n" + "".join(f"{k}: {v}\n" for k, v in self.headers.items())
            write_whole(stem + ".head", head.encode())
            reply = f"answer {status}\n".encode()
            self.send_response(status)
            if args.retry_after is not None and status >= 400:
                self.send_header("Retry-After", str(args.retry_after))
            self.send_header("Content-Type", "text/plain")
            self.send_header("Content-Length", str(len(reply)))
            self.end_headers()
            self.wfile.write(reply)

        do_GET = answer
        do_POST = answer

        def log_message(self, *unused):
            pass

    return Handler


class LoopbackServer(http.server.ThreadingHTTPServer):
    daemon_threads = True

    def handle_error(self, request, client_address):
        pass  # a client that gives up (a refused certificate) is a case under test, not a fault


class LoopbackServer6(LoopbackServer):
    import socket
    address_family = socket.AF_INET6


def serve_http(args):
    context, fingerprint = certificate(args.cert_dir)
    handler = http_handler(args, Replies(args.statuses.replace(",", ";"), "200"))
    servers = [LoopbackServer(("127.0.0.1", args.port), handler)]
    port = servers[0].server_address[1]
    try:  # the same port on ::1, for clients that try "localhost" there first
        servers.append(LoopbackServer6(("::1", port), handler))
    except OSError:
        pass
    for server in servers:
        if not args.plain:
            server.socket = context.wrap_socket(server.socket, server_side=True)
        threading.Thread(target=server.serve_forever, daemon=True).start()
    announce_ready(args, port, fingerprint)
    started = time.time()
    while not should_stop(args, started):
        time.sleep(0.1)
    for server in servers:
        server.shutdown()
        server.server_close()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("kind", choices=["smtp", "http"])
    parser.add_argument("--dir", required=True)
    parser.add_argument("--cert-dir")
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--lifetime", type=float, default=300)
    parser.add_argument("--security", choices=["starttls", "tls", "none"], default="starttls")
    parser.add_argument("--user")
    parser.add_argument("--password")
    parser.add_argument("--mail-replies")
    parser.add_argument("--rcpt-replies")
    parser.add_argument("--data-replies")
    parser.add_argument("--plain", action="store_true")
    parser.add_argument("--statuses", default="200")
    parser.add_argument("--retry-after", type=int)
    args = parser.parse_args()
    args.cert_dir = args.cert_dir or args.dir
    os.makedirs(args.dir, exist_ok=True)
    if args.kind == "smtp":
        asyncio.run(serve_smtp(args))
    else:
        serve_http(args)
    # Only once the ports are closed: a test waits for D to go before it counts on that.
    shutil.rmtree(args.dir, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
