#!/usr/bin/env python3
"""Stand-in for the restaurant's application server, for end-to-end tests and the demo.

One process serves:
  - the web application under /lumo7/ (test pages, status pages, a download, console pages,
    the disconnect notice) on the main address and, optionally, on an "other host" address;
  - the discovery service: UDP search answers on port 65530 and "/Directional" on port 7006;
  - a control interface (JSON over HTTP, bound to 127.0.0.1 only) to switch behaviours, feed
    console messages to the live page, read and await the records, and shut down.
Every HTTP request and every datagram is recorded as one JSON line in the record file.
When everything listens it prints "READY <json>" with the ports on stdout.

Python standard library only; written from the protocol descriptions, not from the browser's code.
"""

import argparse
import datetime
import html
import json
import os
import signal
import socket
import socketserver
import struct
import sys
import threading
import time
import urllib.parse
import zlib
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

APP_PREFIX = "/lumo7/"
DISCONNECT_PATH = "/lumo7/dbi/lumo7server/product/disconnect"

# Discovery wire layout: little-endian, strings are a length byte plus GBK bytes in a
# fixed-size field.
MSG_SEARCH = 10
MSG_SEARCH_ANSWER = 11
MSG_DIRECTIONAL = 13
REQUEST_SIZE = 112
REPLY_SIZE = 236
REPLY_FORMAT = "<ii16sHxxi101s101sxx"
assert struct.calcsize(REPLY_FORMAT) == REPLY_SIZE

UDP_MODES = ("once", "delay", "never", "twice", "short", "oversized", "wrong_type")
UDP_KINDS = ("valid", "second", "short", "oversized", "wrong_type")
DIRECTIONAL_MODES = ("ok", "wrong_type", "short_fields", "not_number", "http_500", "empty",
                     "close", "delay", "quoted")


def gbk_field(text, size):
    """A length-prefixed GBK string in a field of `size` bytes (length byte included)."""
    raw = text.encode("gbk", errors="replace")[: size - 1]
    return bytes([len(raw)]) + raw + bytes(size - 1 - len(raw))


def read_gbk_field(data, offset, size):
    if offset >= len(data):
        return None
    n = min(data[offset], size - 1, max(0, len(data) - offset - 1))
    return data[offset + 1: offset + 1 + n].decode("gbk", errors="replace")


def build_reply(mac_type, msg_type, ip, port, exist, url, text):
    return struct.pack(REPLY_FORMAT, mac_type, msg_type, gbk_field(ip, 16), port & 0xFFFF,
                       exist, gbk_field(url, 101), gbk_field(text, 101))


def parse_datagram(data):
    """Best-effort description of a received datagram for the records; never raises."""
    info = {"length": len(data), "hex": data.hex()}
    if len(data) >= 8:
        info["mac_type"], info["msg_type"] = struct.unpack_from("<ii", data, 0)
    if len(data) >= 9:
        info["text"] = read_gbk_field(data, 8, 104)
    return info


class Records:
    """Every request and datagram, in memory (for the control interface) and in the file."""

    def __init__(self, path):
        self._lock = threading.Condition()
        self._items = []
        self._file = open(path, "a", encoding="utf-8") if path else None

    def add(self, record):
        with self._lock:
            record["seq"] = len(self._items) + 1
            now = time.time()
            record["time"] = now
            record["time_text"] = datetime.datetime.fromtimestamp(now).isoformat(timespec="milliseconds")
            self._items.append(record)
            if self._file:
                self._file.write(json.dumps(record, ensure_ascii=False) + "\n")
                self._file.flush()
            self._lock.notify_all()
        return record

    def since(self, seq):
        with self._lock:
            return list(self._items[seq:])

    def wait(self, match, count, since, timeout):
        """Waits until `count` records after `since` satisfy `match`; returns them (maybe fewer)."""
        deadline = time.monotonic() + timeout
        with self._lock:
            while True:
                found = [r for r in self._items[since:] if match(r)]
                left = deadline - time.monotonic()
                if len(found) >= count or left <= 0:
                    return found
                self._lock.wait(left)

    def close(self):
        with self._lock:
            if self._file:
                self._file.close()
                self._file = None


class State:
    """Switchable behaviours and the live page's message queue, shared by all services."""

    def __init__(self, args):
        self.lock = threading.Condition()
        self.args = args
        self.udp = {"mode": "once", "delay_ms": 2000, "sequence": None, "mac_type": 1,
                    "ip": args.address, "port": args.port, "exist": 1, "url": "lumo7/",
                    "text": "餐饮服务器"}
        self.directional = {"mode": "ok", "delay_ms": 3000, "mac_type": 1, "ip": args.address,
                            "port": args.port, "exist": 1, "url": "lumo7/", "text": "hello"}
        self.console = []  # messages for the live page, in order
        self.stopping = threading.Event()

    def snapshot(self):
        with self.lock:
            return {"udp": dict(self.udp), "directional": dict(self.directional),
                    "console_count": len(self.console)}

    def configure(self, body):
        with self.lock:
            for name, target, modes in (("udp", self.udp, UDP_MODES),
                                        ("directional", self.directional, DIRECTIONAL_MODES)):
                change = body.get(name)
                if change is None:
                    continue
                if not isinstance(change, dict):
                    raise ValueError(f"{name}: an object is expected")
                unknown = set(change) - set(target)
                if unknown:
                    raise ValueError(f"{name}: unknown keys {sorted(unknown)}")
                if "mode" in change and change["mode"] not in modes:
                    raise ValueError(f"{name}: mode must be one of {list(modes)}")
                seq = change.get("sequence")
                if seq is not None and (not isinstance(seq, list)
                                        or any(k not in UDP_KINDS for k in seq)):
                    raise ValueError(f"sequence: a list of {list(UDP_KINDS)} is expected")
                target.update(change)

    def add_console(self, messages):
        with self.lock:
            self.console.extend(str(m) for m in messages)
            self.lock.notify_all()
            return len(self.console)

    def wait_console(self, after, timeout):
        deadline = time.monotonic() + timeout
        with self.lock:
            while len(self.console) <= after and not self.stopping.is_set():
                left = deadline - time.monotonic()
                if left <= 0:
                    break
                self.lock.wait(min(left, 1.0))
            return self.console[after:], len(self.console)


# ---------------------------------------------------------------------------------------------
# Web application pages

PAGE_SCRIPT = """
<script>
// Tells the stand-in what the page saw, so a test can read it from the records.
function report(what, value) {
  var u = '/lumo7/report?what=' + encodeURIComponent(what) + '&value=' + encodeURIComponent(value)
        + '&page=' + encodeURIComponent(location.pathname + location.search);
  var x = new XMLHttpRequest(); x.open('GET', u, true); x.send();
}
// The browser sets the flag once the load has ended; wait for it a while.
(function () {
  var t0 = Date.now();
  function check() {
    if (window.inLumo7Browser === true) { report('flag', 'true'); return; }
    if (Date.now() - t0 > 15000) { report('flag', 'absent'); return; }
    setTimeout(check, 100);
  }
  window.addEventListener('load', function () { report('load', 'done'); setTimeout(check, 0); });
})();
</script>
"""


def page(title, body, head=""):
    return (f"<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>{html.escape(title)}</title>"
            f"<style>body{{font-family:sans-serif;margin:0;padding:12px}}"
            f".big{{display:block;position:fixed;left:0;top:0;right:0;bottom:0;background:#cde;"
            f"font-size:32px;padding:40px}}</style>{head}{PAGE_SCRIPT}</head>\n"
            f"<body>{body}</body></html>\n")


def other_base(state, handler):
    if not state.args.other_address:
        return None
    host = state.args.other_name or state.args.other_address
    return f"http://{host}:{handler.server.server_port}"


def app_page(state, handler, path, query):
    """Returns (status, content type, body bytes, extra headers) for a path under /lumo7/."""
    q = lambda name, default="": query.get(name, [default])[0]
    sub = path[len(APP_PREFIX):]
    if sub == "devmgr.html" or sub.startswith("media/"):
        return device_and_media_page(state, handler, sub, query)

    if sub in ("", "index.html"):
        links = ["title?t=Lumo7%20Title", "popup.html", "blank_link.html", "resources.html",
                 "other.html", "status/404", "status/500", "download.html", "console?m=hello",
                 "live.html", "crash.html"]
        items = "".join(f'<li><a href="{l}">{html.escape(l)}</a></li>' for l in links)
        return 200, "text/html", page("Lumo7 餐饮", f"<h1>Lumo7 stand-in</h1><ul>{items}</ul>"), {}

    if sub == "title":
        t = q("t", "Lumo7 Title")
        later = q("later")
        script = ""
        if later:
            script = (f"<script>setTimeout(function(){{document.title = {json.dumps(later)};}}, "
                      f"{int(q('after_ms', '500') or 500)});</script>")
        return 200, "text/html", page(t, f'<div class="big">{html.escape(t)}</div>{script}'), {}

    if sub == "popup.html":
        target = q("target", "/lumo7/title?t=Popup%20Target")
        auto = q("auto") == "1"
        body = (f'<a class="big" href="#" onclick="window.open({html.escape(json.dumps(target))}, '
                f'\'_blank\', \'width=400,height=300\'); return false;">window.open</a>')
        if auto:
            body += (f"<script>window.addEventListener('load', function(){{"
                     f"window.open({json.dumps(target)}, '_blank', 'width=400,height=300');}});</script>")
        return 200, "text/html", page("Popup Opener", body), {}

    if sub == "blank_link.html":
        target = q("target", "/lumo7/title?t=Blank%20Target")
        body = f'<a id="link" class="big" target="_blank" href="{html.escape(target)}">target=_blank</a>'
        if q("auto") == "1":
            body += "<script>window.addEventListener('load', function(){document.getElementById('link').click();});</script>"
        return 200, "text/html", page("Blank Link", body), {}

    if sub == "resources.html":
        other = other_base(state, handler)
        extra = ""
        if other:
            extra = (f'<img src="{other}/lumo7/res/pixel.png?from=other" width="1" height="1">'
                     f'<script src="{other}/lumo7/res/script.js?from=other"></script>')
        body = ('<img src="/lumo7/res/pixel.png?from=main" width="16" height="16">'
                '<script src="/lumo7/res/script.js?from=main"></script>' + extra
                + "<p>sub-resources</p>")
        return 200, "text/html", page("Resources", body), {}

    if sub == "res/pixel.png":
        return 200, "image/png", PIXEL_PNG, {}

    if sub == "res/script.js":
        return 200, "application/javascript", b"window.standinScriptLoaded = true;\n", {}

    if sub == "other.html":
        other = other_base(state, handler)
        if not other:
            return 404, "text/html", page("No other host", "<p>no other host configured</p>"), {}
        target = f"{other}/lumo7/title?t=Other%20Host"
        body = f'<a id="link" class="big" href="{html.escape(target)}">other host</a>'
        if q("auto") == "1":
            body += f"<script>window.addEventListener('load', function(){{location.href = {json.dumps(target)};}});</script>"
        return 200, "text/html", page("Other Host Link", body), {}

    if sub.startswith("status/"):
        try:
            code = int(sub[len("status/"):])
        except ValueError:
            code = 400
        if not 200 <= code <= 599:
            code = 400
        return code, "text/html", page(f"Status {code}", f"<h1>Status {code}</h1>"), {}

    if sub == "download.html":
        return 200, "text/html", page("Download", '<a class="big" href="/lumo7/download/report.xlsx">report.xlsx</a>'), {}

    if sub == "download/report.xlsx":
        data = b"PK\x03\x04" + b"stand-in report\n" * 64
        return 200, ("application/vnd.openxmlformats-officedocument.spreadsheetml.sheet"), data, {
            "Content-Disposition": 'attachment; filename="report.xlsx"'}

    if sub == "console":
        messages = query.get("m", [])
        calls = "".join(f"console.log({json.dumps(m)});" for m in messages)
        script = f"<script>window.addEventListener('load', function(){{{calls}}});</script>"
        return 200, "text/html", page(q("t", "Console"), f"<p>{len(messages)} messages</p>{script}"), {}

    if sub == "live.html":
        script = """
<script>
// Writes every message the control interface queues, in order, as soon as it arrives.
var next = 0;
function poll() {
  var x = new XMLHttpRequest();
  x.open('GET', '/lumo7/live/messages?after=' + next, true);
  x.onload = function () {
    try {
      var r = JSON.parse(x.responseText);
      r.messages.forEach(function (m) { console.log(m); });
      next = r.next;
    } catch (e) {}
    setTimeout(poll, 0);
  };
  x.onerror = function () { setTimeout(poll, 500); };
  x.send();
}
window.addEventListener('load', poll);
</script>"""
        return 200, "text/html", page(q("t", "Live Console"), "<p>live console</p>" + script), {}

    if sub == "live/messages":
        try:
            after = max(0, int(q("after", "0")))
        except ValueError:
            after = 0
        messages, total = state.wait_console(after, 20.0)
        body = json.dumps({"messages": messages, "next": total}, ensure_ascii=False)
        return 200, "application/json", body, {"Cache-Control": "no-store"}

    if sub == "crash.html":
        return 200, "text/html", page(q("t", "Crash Target"), "<p>renderer target</p>"), {}

    if sub == "report":
        return 204, None, b"", {}

    if path == DISCONNECT_PATH:
        return 200, "application/json", json.dumps({"success": True}), {}

    return 404, "text/html", page("Not Found", f"<h1>404</h1><p>{html.escape(path)}</p>"), {}


# ---------------------------------------------------------------------------------------------
# Device manager reset and advertisement videos

DEVMGR_SCRIPT = """
<script>
// The browser calls this once the device manager has been restarted.
function resetDeviceMgr() { report('resetDeviceMgr', 'called'); }
</script>"""


def device_and_media_page(state, handler, sub, query):
    """The live console page with resetDeviceMgr() defined, and the files of --media-dir."""
    if sub == "devmgr.html":
        status, ctype, body, extra = app_page(state, handler, APP_PREFIX + "live.html", query)
        return status, ctype, body.replace("</body>", DEVMGR_SCRIPT + "</body>"), extra
    name = urllib.parse.unquote(sub[len("media/"):])
    folder = state.args.media_dir
    if not folder or not name or "/" in name or name.startswith("."):
        return 404, "text/html", page("Not Found", "<h1>404</h1>"), {}
    try:
        with open(os.path.join(folder, name), "rb") as f:
            data = f.read()
    except OSError:
        return 404, "text/html", page("Not Found", "<h1>404</h1>"), {}
    ctype = "video/mp4" if name.endswith(".mp4") else "application/octet-stream"
    return 200, ctype, data, {}


def _png_1x1():
    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data
                + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))
    ihdr = struct.pack(">IIBBBBB", 1, 1, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr)
            + chunk(b"IDAT", zlib.compress(b"\x00\x20\x60\xa0\xff")) + chunk(b"IEND", b""))


PIXEL_PNG = _png_1x1()


def headers_list(message):
    return [[k, v] for k, v in message.items()]


class Handler(BaseHTTPRequestHandler):
    """Shared request handling: record, then let the listener's role answer."""

    protocol_version = "HTTP/1.1"
    server_version = "Lumo7StandIn/1.0"

    def log_message(self, fmt, *args):  # the records are the log; keep stderr quiet
        pass

    def _body(self):
        length = int(self.headers.get("Content-Length") or 0)
        return self.rfile.read(length) if length > 0 else b""

    def _record(self, body):
        split = urllib.parse.urlsplit(self.path)
        rec = {"kind": "http", "listener": self.server.role, "method": self.command,
               "path": split.path, "query": split.query, "target": self.path,
               "headers": headers_list(self.headers),
               "peer": f"{self.client_address[0]}:{self.client_address[1]}",
               "local": f"{self.server.server_address[0]}:{self.server.server_port}"}
        if body:
            rec["body"] = body.decode("utf-8", errors="replace")
        if split.path == DISCONNECT_PATH:
            rec["disconnect"] = {"OSID": self.headers.get_all("OSID"),
                                 "Params": self.headers.get_all("Params")}
        return self.server.records.add(rec)

    def _send(self, status, ctype, body, extra=None):
        if isinstance(body, str):
            body = body.encode("utf-8")
        self.send_response(status)
        if ctype == "text/html":
            # Every page load must reach the stand-in, reloads included, so tests can count them.
            self.send_header("Cache-Control", "no-store")
        if ctype:
            self.send_header("Content-Type", ctype + ("; charset=utf-8" if ctype.startswith(("text/", "application/json")) else ""))
        self.send_header("Content-Length", str(len(body)))
        for k, v in (extra or {}).items():
            self.send_header(k, v)
        self.end_headers()
        if self.command != "HEAD":
            self.wfile.write(body)

    def _handle(self):
        body = self._body()
        self._record(body)
        try:
            self.server.respond(self, body)
        except OSError:
            self.close_connection = True  # the peer went away mid-answer; nothing to tell it

    do_GET = do_POST = do_HEAD = do_PUT = do_DELETE = _handle


class AppServer(ThreadingHTTPServer):
    daemon_threads = True
    allow_reuse_address = True

    def __init__(self, address, role, state, records):
        self.role, self.state, self.records = role, state, records
        super().__init__(address, Handler)

    def server_bind(self):
        # HTTPServer.server_bind asks DNS for the host's full name, which stalls where no
        # resolver answers (the test namespace); the name is never used here.
        socketserver.TCPServer.server_bind(self)
        host, port = self.server_address[:2]
        self.server_name, self.server_port = host, port

    def respond(self, h, body):
        split = urllib.parse.urlsplit(h.path)
        path = split.path
        query = urllib.parse.parse_qs(split.query, keep_blank_values=True)
        if self.state.updates.handles(path):
            self.state.updates.respond_fallback(h, path, self.state)
            return
        if path.startswith(APP_PREFIX) or path == APP_PREFIX.rstrip("/"):
            if path == APP_PREFIX.rstrip("/"):
                h._send(301, "text/plain", "", {"Location": APP_PREFIX})
                return
            status, ctype, data, extra = app_page(self.state, h, path, query)
        else:
            status, ctype, data, extra = 404, "text/html", page("Not Found", "<h1>404</h1>"), {}
        h._send(status, ctype, data, extra)


class DirectionalServer(AppServer):
    """Port 7006: "/Directional" answers the comma-separated server record."""

    def respond(self, h, body):
        path = urllib.parse.urlsplit(h.path).path
        if path != "/Directional":
            h._send(404, "text/plain", "not found")
            return
        with self.state.lock:
            d = dict(self.state.directional)
        mode = d["mode"]
        fields = [str(d["mac_type"]), str(MSG_DIRECTIONAL), d["ip"], str(d["port"]),
                  str(d["exist"]), d["url"], d["text"]]
        if mode == "delay":
            if self.state.stopping.wait(d["delay_ms"] / 1000.0):
                return
        elif mode == "wrong_type":
            fields[1] = str(MSG_SEARCH_ANSWER)
        elif mode == "short_fields":
            fields = fields[:6]
        elif mode == "not_number":
            fields[3] = "port"
        elif mode == "http_500":
            h._send(500, "text/plain", "server error")
            return
        elif mode == "empty":
            h._send(200, "text/plain", "")
            return
        elif mode == "close":
            h.close_connection = True
            try:
                h.connection.shutdown(socket.SHUT_RDWR)
            except OSError:
                pass
            return
        elif mode == "quoted":
            fields[6] = '"hello, ""quoted"" world"'
        h._send(200, "text/plain", ",".join(fields))


# ---------------------------------------------------------------------------------------------
# Update services: the update service on its own port (7100) and the web application's
# fallback endpoints under /lumo7/canyin/. Each service has a "check" answer and a "download"
# answer, switchable through the control call /update.

UPDATE_CHECK_PATH = "/autoupdate/checkupdate"
FALLBACK_CHECK_PATH = APP_PREFIX + "canyin/sys/autoupdate/checkbrowserupdatev2"
FALLBACK_DOWNLOAD_PATH = APP_PREFIX + "canyin/index/browser/browserv2"
UPDATE_CHECK_MODES = ("none", "offer", "fail", "no_md5", "status", "raw", "slow")
UPDATE_DOWNLOAD_MODES = ("file", "status", "cut", "slow", "huge")


class UpdateServices:
    """check modes: none (no update), offer (the download below), fail (success false with
    msg), no_md5 (offer without md5), status (answer `status` with an error page), raw (send
    `body` as it stands), slow (offer after `delay_ms`).
    download modes: file (the bytes of `path`), status (`status` with an error page), cut
    (announce the file, send half of it, close), slow (the file in 64 KiB pieces, `delay_ms`
    apart), huge (`size` zero bytes streamed in 1 MiB pieces and then the bytes of the hexadecimal
    `tail` (a signature block), with Content-Length, after `delay_ms`)."""

    def __init__(self):
        self.lock = threading.Lock()
        self.main = {"check": {"mode": "none", "msg": "", "download_url": "/autoupdate/download/setup.exe",
                               "md5": "0123456789abcdef", "status": 500, "body": "", "delay_ms": 0},
                     "download": {"mode": "file", "path": "", "status": 404, "size": 0, "tail": "", "delay_ms": 0}}
        self.fallback = {"check": {"mode": "none", "file_name": "Lumo7Browser-setup.exe", "status": 500,
                                   "body": "", "delay_ms": 0},
                         "download": {"mode": "file", "path": "", "status": 404, "size": 0, "tail": "",
                                      "delay_ms": 0}}

    def snapshot(self):
        with self.lock:
            return json.loads(json.dumps({"main": self.main, "fallback": self.fallback}))

    def configure(self, body):
        with self.lock:
            for name, target in (("main", self.main), ("fallback", self.fallback)):
                for part, modes in (("check", UPDATE_CHECK_MODES), ("download", UPDATE_DOWNLOAD_MODES)):
                    change = (body.get(name) or {}).get(part)
                    if change is None:
                        continue
                    unknown = set(change) - set(target[part])
                    if unknown:
                        raise ValueError(f"{name}.{part}: unknown keys {sorted(unknown)}")
                    if "mode" in change and change["mode"] not in modes:
                        raise ValueError(f"{name}.{part}: mode must be one of {list(modes)}")
                    target[part].update(change)

    def handles(self, path):
        return path in (FALLBACK_CHECK_PATH, FALLBACK_DOWNLOAD_PATH)

    def respond_main(self, h, state):
        """The update service's port: the check, and any other path is the download."""
        path = urllib.parse.urlsplit(h.path).path
        with self.lock:
            check, download = dict(self.main["check"]), dict(self.main["download"])
        if path != UPDATE_CHECK_PATH:
            return self._download(h, download, state)
        mode = check["mode"]
        answer = {"success": mode != "fail", "msg": check["msg"],
                  "DownloadUrl": check["download_url"] if mode in ("offer", "slow", "no_md5") else ""}
        if mode in ("offer", "slow"):
            answer["md5"] = check["md5"]
        self._check(h, check, answer, state)

    def respond_fallback(self, h, path, state):
        with self.lock:
            check, download = dict(self.fallback["check"]), dict(self.fallback["download"])
        if path == FALLBACK_DOWNLOAD_PATH:
            return self._download(h, download, state)
        answer = {"doesNeedUpdate": check["mode"] in ("offer", "slow"), "fileName": check["file_name"]}
        self._check(h, check, answer, state)

    def _check(self, h, check, answer, state):
        """Sends a check's answer the way its mode says."""
        mode = check["mode"]
        if mode == "slow" and state.stopping.wait(check["delay_ms"] / 1000.0):
            return
        if mode == "status":
            return h._send(check["status"], "text/html", page("Error", f"<h1>{check['status']}</h1>"))
        if mode == "raw":
            return h._send(200, "application/json", check["body"])
        h._send(200, "application/json", json.dumps(answer, ensure_ascii=False))

    def _download(self, h, d, state):
        mode = d["mode"]
        if mode == "status":
            return h._send(d["status"], "text/html", page("Error", f"<h1>{d['status']}</h1>"))
        if mode == "huge":
            if state.stopping.wait(d["delay_ms"] / 1000.0):
                return
            size = int(d["size"])
            tail = bytes.fromhex(d["tail"])
            h.send_response(200)
            h.send_header("Content-Type", "application/octet-stream")
            h.send_header("Content-Length", str(size + len(tail)))
            h.end_headers()
            piece = bytes(1 << 20)
            sent = 0
            while sent < size and not state.stopping.is_set():
                n = min(len(piece), size - sent)
                h.wfile.write(piece[:n])
                sent += n
            if sent == size:
                h.wfile.write(tail)
            return
        with open(d["path"], "rb") as f:
            data = f.read()
        if mode == "file":
            return h._send(200, "application/octet-stream", data)
        h.send_response(200)
        h.send_header("Content-Type", "application/octet-stream")
        h.send_header("Content-Length", str(len(data)))
        h.end_headers()
        if mode == "cut":
            h.wfile.write(data[: len(data) // 2])
            h.wfile.flush()
            h.close_connection = True
            h.connection.shutdown(socket.SHUT_RDWR)
            return
        for i in range(0, len(data), 1 << 16):  # slow
            h.wfile.write(data[i:i + (1 << 16)])
            h.wfile.flush()
            if state.stopping.wait(d["delay_ms"] / 1000.0):
                return


class UpdateServer(AppServer):
    """The update service's port (7100)."""

    def respond(self, h, body):
        self.state.updates.respond_main(h, self.state)


class ControlServer(AppServer):
    """Loopback-only JSON interface for tests."""

    def respond(self, h, body):
        split = urllib.parse.urlsplit(h.path)
        query = urllib.parse.parse_qs(split.query)
        q = lambda name, default: query.get(name, [default])[0]
        try:
            data = json.loads(body.decode("utf-8")) if body else {}
            path = split.path
            if path == "/config" and h.command == "GET":
                out = self.state.snapshot()
            elif path == "/config" and h.command == "POST":
                self.state.configure(data)
                out = self.state.snapshot()
            elif path == "/update" and h.command == "GET":
                out = self.state.updates.snapshot()
            elif path == "/update" and h.command == "POST":
                self.state.updates.configure(data)
                out = self.state.updates.snapshot()
            elif path == "/console" and h.command == "POST":
                msgs = data.get("messages")
                if not isinstance(msgs, list):
                    raise ValueError("messages: a list is expected")
                out = {"total": self.state.add_console(msgs)}
            elif path == "/records":
                out = {"records": self.records.since(int(q("since", "0")))}
            elif path == "/wait":
                want_path = q("path", None)
                want_kind = q("kind", None)
                want_listener = q("listener", None)

                def match(r):
                    return ((want_path is None or r.get("path") == want_path)
                            and (want_kind is None or r.get("kind") == want_kind)
                            and (want_listener is None or r.get("listener") == want_listener))
                found = self.records.wait(match, int(q("count", "1")), int(q("since", "0")),
                                          min(float(q("timeout", "10")), 120.0))
                out = {"records": found, "complete": len(found) >= int(q("count", "1"))}
            elif path == "/shutdown" and h.command == "POST":
                h._send(200, "application/json", "{}")
                self.state.stopping.set()
                return
            else:
                h._send(404, "application/json", json.dumps({"error": f"no such call {path}"}))
                return
        except (ValueError, TypeError, json.JSONDecodeError) as e:
            h._send(400, "application/json", json.dumps({"error": str(e)}))
            return
        h._send(200, "application/json", json.dumps(out, ensure_ascii=False))


class ControlHandler(Handler):
    # The control calls are not part of what the browser did; keep them out of the records.
    def _record(self, body):
        return None


# ---------------------------------------------------------------------------------------------
# UDP search answers

class UdpDiscovery:
    def __init__(self, address, port, second_address, state, records):
        self.state, self.records = state, records
        self.sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        self.sock.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        self.sock.setsockopt(socket.SOL_SOCKET, socket.SO_BROADCAST, 1)
        self.sock.bind((address, port))
        self.sock.settimeout(0.5)
        self.port = self.sock.getsockname()[1]
        self.second = None
        if second_address:
            self.second = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
            self.second.bind((second_address, 0))
        self.thread = threading.Thread(target=self._run, name="udp", daemon=True)

    def start(self):
        self.thread.start()

    def _run(self):
        while not self.state.stopping.is_set():
            try:
                data, peer = self.sock.recvfrom(65535)
            except socket.timeout:
                continue
            except OSError:
                if self.state.stopping.is_set():
                    return
                continue
            rec = {"kind": "udp_in", "peer": f"{peer[0]}:{peer[1]}", "local_port": self.port}
            rec.update(parse_datagram(data))
            self.records.add(rec)
            if rec.get("msg_type") != MSG_SEARCH:
                continue  # only search requests are answered
            threading.Thread(target=self._answer, args=(peer,), daemon=True).start()

    def _datagram(self, kind, cfg):
        valid = lambda: build_reply(cfg["mac_type"], MSG_SEARCH_ANSWER, cfg["ip"], cfg["port"],
                                    cfg["exist"], cfg["url"], cfg["text"])
        if kind == "valid":
            return valid()
        if kind == "second":
            return build_reply(cfg["mac_type"], MSG_SEARCH_ANSWER, cfg["ip"], cfg["port"] + 1,
                               cfg["exist"], cfg["url"], cfg["text"] + " 2")
        if kind == "short":
            return valid()[: REPLY_SIZE - 1]
        if kind == "oversized":
            return valid() + bytes(1100 - REPLY_SIZE)
        if kind == "wrong_type":
            return build_reply(cfg["mac_type"], MSG_DIRECTIONAL, cfg["ip"], cfg["port"],
                               cfg["exist"], cfg["url"], cfg["text"])
        raise ValueError(kind)

    def _answer(self, peer):
        with self.state.lock:
            cfg = dict(self.state.udp)
        mode = cfg["mode"]
        kinds = cfg["sequence"] or {
            "once": ["valid"], "delay": ["valid"], "never": [], "twice": ["valid", "second"],
            "short": ["short"], "oversized": ["oversized"], "wrong_type": ["wrong_type"]}[mode]
        if mode == "delay" and self.state.stopping.wait(cfg["delay_ms"] / 1000.0):
            return
        for i, kind in enumerate(kinds):
            data = self._datagram(kind, cfg)
            sock = self.second if (kind == "second" and self.second) else self.sock
            try:
                sock.sendto(data, peer)
                src = sock.getsockname()
                self.records.add({"kind": "udp_out", "what": kind, "peer": f"{peer[0]}:{peer[1]}",
                                  "source": f"{src[0]}:{src[1]}", **parse_datagram(data)})
            except OSError as e:
                self.records.add({"kind": "udp_out_error", "what": kind, "error": str(e),
                                  "peer": f"{peer[0]}:{peer[1]}"})

    def close(self):
        self.sock.close()
        if self.second:
            self.second.close()


# ---------------------------------------------------------------------------------------------

def serve(server):
    t = threading.Thread(target=server.serve_forever, kwargs={"poll_interval": 0.2}, daemon=True)
    t.start()
    return t


def main(argv=None):
    p = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    p.add_argument("--address", default="127.0.0.1", help="address of the web application (default 127.0.0.1)")
    p.add_argument("--port", type=int, default=8080, help="web application port (default 8080; 0 picks one)")
    p.add_argument("--other-address", default="", help="second listening address serving the same pages, the 'other host' (e.g. 127.0.0.2)")
    p.add_argument("--other-name", default="", help="host name the pages use for the other host (default: its address)")
    p.add_argument("--directional-port", type=int, default=7006, help="'/Directional' port (default 7006; -1 disables)")
    p.add_argument("--directional-address", default=None, help="'/Directional' address (default: --address)")
    p.add_argument("--udp-port", type=int, default=65530, help="UDP search port (default 65530; -1 disables)")
    p.add_argument("--udp-address", default="0.0.0.0", help="UDP bind address (default 0.0.0.0, so broadcasts arrive)")
    p.add_argument("--udp-second-address", default="", help="source address of the second answer in mode 'twice'")
    p.add_argument("--control-port", type=int, default=0, help="control port on 127.0.0.1 (default 0 picks one)")
    p.add_argument("--record", default="", help="JSON-lines file that receives every record")
    p.add_argument("--media-dir", default="", help="folder whose files are served under /lumo7/media/")
    p.add_argument("--update-port", type=int, default=7100, help="update service port on --address (default 7100; -1 disables)")
    args = p.parse_args(argv)

    records = Records(args.record)
    state = State(args)
    state.updates = UpdateServices()
    servers, ready = [], {}

    main_srv = AppServer((args.address, args.port), "main", state, records)
    servers.append(main_srv)
    ready["http"] = main_srv.server_port
    ready["address"] = args.address
    if args.port == 0:
        state.udp["port"] = state.directional["port"] = main_srv.server_port
    if args.other_address:
        other = AppServer((args.other_address, main_srv.server_port), "other", state, records)
        servers.append(other)
        ready["other"] = f"{args.other_address}:{other.server_port}"
    if args.directional_port >= 0:
        d = DirectionalServer((args.directional_address or args.address, args.directional_port),
                              "directional", state, records)
        servers.append(d)
        ready["directional"] = d.server_port
    if args.update_port >= 0:
        u = UpdateServer((args.address, args.update_port), "update", state, records)
        servers.append(u)
        ready["update"] = u.server_port
    control = ControlServer(("127.0.0.1", args.control_port), "control", state, records)
    control.RequestHandlerClass = ControlHandler
    servers.append(control)
    ready["control"] = control.server_port
    udp = None
    if args.udp_port >= 0:
        udp = UdpDiscovery(args.udp_address, args.udp_port, args.udp_second_address, state, records)
        ready["udp"] = udp.port
        udp.start()

    for s in servers:
        serve(s)

    def stop(signum, frame):
        state.stopping.set()
    signal.signal(signal.SIGTERM, stop)
    signal.signal(signal.SIGINT, stop)

    print("READY " + json.dumps(ready), flush=True)
    state.stopping.wait()
    with state.lock:
        state.lock.notify_all()
    for s in servers:
        s.shutdown()
        s.server_close()
    if udp:
        udp.close()
    records.close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
