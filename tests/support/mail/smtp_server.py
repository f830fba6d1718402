#!/usr/bin/python3
"""A real mail server on 127.0.0.1 for the mail tests (Debian's aiosmtpd).

Prints the port it listens on (--port, or one the system picks), then
serves until terminated. Every accepted
mail is read back with Python's own mail parser and stored in --out as
mail<N>.json (envelope, login, decoded headers, text parts, attachment file
names), mail<N>.eml (the raw data) and mail<N>-<attachment name> (each
attachment's decoded bytes). With --summary, for mails too big to parse and
keep, only mail<N>.json is written: the size of the data and the size and
SHA-256 of the attachment's decoded bytes. With --seven-bit the server is
one that takes only ASCII: its EHLO reply offers no 8BITMIME, a BODY=
parameter on MAIL FROM is refused, and so is mail text with a byte above 127.
"""
import argparse
import asyncio
import base64
import email
import email.policy
import hashlib
import json
import os
import ssl

from aiosmtpd.smtp import SMTP, AuthResult, LoginPassword


def summary(raw):
    """Size of the data and of the one attachment, without the mail parser."""
    info = {"size": len(raw), "attachment_size": -1, "attachment_sha256": ""}
    head = raw.find(b"Content-disposition: attachment")
    start = raw.find(b"\r\n\r\n", head) if head >= 0 else -1
    if start >= 0:
        end = raw.find(b"\r\n--", start)
        payload = base64.b64decode(raw[start + 4:end if end >= 0 else len(raw)])
        info["attachment_size"] = len(payload)
        info["attachment_sha256"] = hashlib.sha256(payload).hexdigest()
    return info


class Store:
    def __init__(self, out, summary_only):
        self.out = out
        self.summary_only = summary_only
        self.count = 0
        self.logins = []

    async def handle_DATA(self, server, session, envelope):
        self.count += 1
        base = os.path.join(self.out, "mail%d" % self.count)
        raw = envelope.original_content or envelope.content
        if self.summary_only:
            with open(base + ".json", "w") as f:
                json.dump(summary(raw), f)
            return "250 OK counted"
        with open(base + ".eml", "wb") as f:
            f.write(raw)
        message = email.message_from_bytes(raw, policy=email.policy.default)
        texts, attachments = [], []
        for part in message.walk():
            if part.is_multipart():
                continue
            if part.get_content_disposition() == "attachment":
                name = part.get_filename() or "attachment"
                attachments.append(name)
                with open(base + "-" + name, "wb") as f:
                    f.write(part.get_payload(decode=True))
            elif part.get_content_type() == "text/plain":
                texts.append(part.get_content())
        info = {
            "mail_from": envelope.mail_from,
            "mail_options": envelope.mail_options,
            "rcpt_tos": envelope.rcpt_tos,
            "logins": self.logins,
            "tls": bool(server.transport.get_extra_info("cipher")),
            "subject": str(message["subject"]),
            "from": str(message["from"]),
            "to": str(message["to"]),
            "header_names": list(message.keys()),
            "content_type": message.get_content_type(),
            "texts": texts,
            "attachments": attachments,
            "defects": [str(d) for p in message.walk() for d in p.defects],
        }
        with open(base + ".json", "w") as f:
            json.dump(info, f)
        return "250 OK stored"


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--mode", choices=["plain", "tls", "starttls"], default="plain")
    parser.add_argument("--cert")
    parser.add_argument("--key")
    parser.add_argument("--user", default="bugs@example.org")
    parser.add_argument("--password", default="secret")
    parser.add_argument("--out", required=True)
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--summary", action="store_true")
    parser.add_argument("--seven-bit", action="store_true")
    args = parser.parse_args()

    context = None
    if args.cert:
        context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
        context.load_cert_chain(args.cert, args.key)

    store = Store(args.out, args.summary)

    def authenticate(server, session, envelope, mechanism, auth_data):
        ok = (isinstance(auth_data, LoginPassword)
              and auth_data.login == args.user.encode()
              and auth_data.password == args.password.encode())
        store.logins.append({"mechanism": mechanism, "ok": ok})
        return AuthResult(success=ok, handled=False)

    def factory():
        return SMTP(store,
                    hostname="localhost",
                    tls_context=context if args.mode == "starttls" else None,
                    require_starttls=args.mode == "starttls",
                    authenticator=authenticate,
                    auth_required=True,
                    auth_require_tls=args.mode == "starttls",
                    data_size_limit=None,
                    # aiosmtpd's ASCII mode: the mail text is read as ASCII
                    # and 8BITMIME is not offered.
                    decode_data=args.seven_bit)

    loop = asyncio.new_event_loop()
    asyncio.set_event_loop(loop)
    server = loop.run_until_complete(loop.create_server(
        factory, host="127.0.0.1", port=args.port, ssl=context if args.mode == "tls" else None))
    print(server.sockets[0].getsockname()[1], flush=True)
    loop.run_forever()


if __name__ == "__main__":
    main()
