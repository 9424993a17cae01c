#!/usr/bin/env python3
"""A chat robot or webhook receiver on 127.0.0.1 shaped like one vendor's, for tests.

It checks what the vendor checks (the key, token or hook; the signature and its timestamp
window) and the vendor's rate, and answers with the vendor's own replies. Every message it
accepts is appended to LOG as one JSON line, "signed" saying whether its signature and
timestamp were checked (a signing kind given a secret takes no message without them). A
file LOG.busy holding a number N makes it answer the next N requests with the vendor's "too
many requests"; LOG.down with N answers HTTP 503 N times; LOG.redirect holding an address
makes it answer every request with a redirect there. While LOG.hold exists, a message that
passed the checks waits before it is taken (a line in LOG.held says so), and one whose
sender went away meanwhile is dropped.

  channel_receiver.py KIND PORT TARGET SECRET LOG      (SECRET "-" for none)
"""
import base64
import hashlib
import hmac
import json
import os
import socket
import sys
import threading
import time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from urllib.parse import parse_qs, urlsplit

KIND, PORT, TARGET, SECRET, LOG = sys.argv[1], int(sys.argv[2]), sys.argv[3], sys.argv[4], sys.argv[5]
SECRET = "" if SECRET == "-" else SECRET
SIGNED = bool(SECRET) and KIND in ("dingtalk", "feishu", "webhook")  # the kinds that sign their messages
LOCK = threading.Lock()
SENDS = []  # times of the requests that passed the checks, for the vendor's rate
RATES = {"wecom": [(60, 20)], "dingtalk": [(60, 20)], "feishu": [(1, 5), (60, 100)], "slack": [(1, 1)],
         "webhook": []}


def take(name):
    """Counts down the number in LOG.name; True while it was above zero."""
    path = LOG + "." + name
    with LOCK:
        try:
            left = int(open(path).read().strip() or "0")
        except (OSError, ValueError):
            return False
        if left <= 0:
            return False
        with open(path, "w") as f:
            f.write(str(left - 1))
        return True


def over_rate(now):
    with LOCK:
        SENDS.append(now)
        for window, allowed in RATES[KIND]:
            if sum(1 for t in SENDS if t > now - window) > allowed:
                with open(LOG + ".violations", "a") as f:
                    f.write("%f\n" % now)
                return True
    return False


def sign_b64(key, message):
    return base64.b64encode(hmac.new(key.encode(), message.encode(), hashlib.sha256).digest()).decode()


# Per kind: (the reply to a wrong key or signature, to too many requests, to a good message).
REPLIES = {
    "wecom": ((200, {"errcode": 93000, "errmsg": "invalid webhook url"}),
              (200, {"errcode": 45009, "errmsg": "api freq out of limit"}),
              (200, {"errcode": 0, "errmsg": "ok"})),
    "dingtalk": ((200, {"errcode": 310000, "errmsg": "sign not match"}),
                 (200, {"errcode": 130101, "errmsg": "send too fast, exceed 20 times per minute"}),
                 (200, {"errcode": 0, "errmsg": "ok"})),
    "feishu": ((200, {"code": 19021, "msg": "sign match fail or timestamp is not within one hour"}),
               (200, {"code": 11232, "msg": "frequency limited"}),
               (200, {"code": 0, "msg": "success", "data": {}})),
    "slack": ((403, "invalid_token"), (429, "rate_limited"), (200, "ok")),
    "webhook": ((401, "bad signature"), (429, "slow down"), (200, "received")),
}


class Handler(BaseHTTPRequestHandler):
    def log_message(self, *args):
        pass

    def answer(self, status, body, retry_after=None):
        data = body.encode() if isinstance(body, str) else json.dumps(body).encode()
        self.send_response(status)
        if retry_after is not None:
            self.send_header("Retry-After", str(retry_after))
        self.send_header("Content-Type", "application/json" if not isinstance(body, str) else "text/plain")
        self.send_header("Content-Length", str(len(data)))
        self.end_headers()
        self.wfile.write(data)

    def do_POST(self):
        now = time.time()
        url = urlsplit(self.path)
        query = parse_qs(url.query)
        raw = self.rfile.read(int(self.headers.get("Content-Length", "0")))
        refused, busy, good = REPLIES[KIND]
        if os.path.exists(LOG + ".redirect"):
            self.send_response(302)
            self.send_header("Location", open(LOG + ".redirect").read().strip())
            self.send_header("Content-Length", "0")
            self.end_headers()
            return
        if take("down"):
            return self.answer(503, "down for a while")
        try:
            body = json.loads(raw) if KIND != "slack" or raw else {}
        except ValueError:
            return self.answer(400, "bad json")
        if not self.accepted(url, query, raw, body, now):
            return self.answer(*refused)
        if take("busy") or over_rate(now):
            return self.answer(*busy, retry_after=1 if busy[0] == 429 else None)
        text = {"wecom": lambda: body["text"]["content"], "dingtalk": lambda: body["text"]["content"],
                "feishu": lambda: body["content"]["text"], "slack": lambda: body["text"],
                "webhook": lambda: body["text"]}[KIND]()
        if KIND == "wecom" and len(text.encode()) > 2048:
            return self.answer(200, {"errcode": 40058, "errmsg": "content exceed max length 2048"})
        if os.path.exists(LOG + ".hold"):
            with LOCK, open(LOG + ".held", "a") as f:
                f.write("1\n")
            while os.path.exists(LOG + ".hold"):
                time.sleep(0.05)
            if self.sender_gone():
                return
        with LOCK, open(LOG, "a") as f:
            f.write(json.dumps({"kind": KIND, "signed": SIGNED, "text": text, "body": body}, ensure_ascii=False) + "\n")
        return self.answer(*good)

    def sender_gone(self):
        try:
            self.connection.setblocking(False)
            return self.connection.recv(1, socket.MSG_PEEK) == b""
        except BlockingIOError:
            return False
        except OSError:
            return True
        finally:
            self.connection.setblocking(True)

    def accepted(self, url, query, raw, body, now):
        if KIND == "wecom":
            return url.path == "/cgi-bin/webhook/send" and query.get("key") == [TARGET]
        if KIND == "dingtalk":
            if url.path != "/robot/send" or query.get("access_token") != [TARGET]:
                return False
            if not SECRET:
                return True
            stamp = query.get("timestamp", ["0"])[0]
            if abs(int(stamp) / 1000 - now) > 3600:
                return False
            return hmac.compare_digest(query.get("sign", [""])[0], sign_b64(SECRET, stamp + "\n" + SECRET))
        if KIND == "feishu":
            if url.path != "/open-apis/bot/v2/hook/" + TARGET:
                return False
            if not SECRET:
                return True
            stamp = str(body.get("timestamp", "0"))
            if abs(int(stamp) - now) > 3600:
                return False
            return hmac.compare_digest(str(body.get("sign", "")), sign_b64(stamp + "\n" + SECRET, ""))
        if KIND == "slack":
            return url.path == "/services/" + TARGET
        if KIND == "webhook":
            if not SECRET:
                return True
            stamp = self.headers.get("X-Tarn-Timestamp", "0")
            if abs(int(stamp) - now) > 300:
                return False
            expected = "sha256=" + hmac.new(SECRET.encode(), stamp.encode() + b"." + raw, hashlib.sha256).hexdigest()
            return hmac.compare_digest(self.headers.get("X-Tarn-Signature", ""), expected)
        return False


ThreadingHTTPServer.allow_reuse_address = True
SERVER = ThreadingHTTPServer(("127.0.0.1", PORT), Handler)
open(LOG + ".ready", "w").close()  # bound: the port is this receiver's
SERVER.serve_forever()
