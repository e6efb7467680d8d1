"""End-to-end acceptance: a page that misbehaves cannot break the till. A script loop is
ended and the page reloaded; an open dialog, a slow load and a busy page are left alone;
zoom keys and Ctrl+wheel leave the page at zoom 1; dialog loops (from frames too) stop after
three; [Kiosk] AllowedHosts holds navigations; hostile status texts and console input are
shown as text or refused, never open a file, never reach the opener unless http/https, and
the window keeps answering throughout.

Run from tests/e2e inside scripts/netns.sh:  python3 -m unittest -v test_page_misbehaviour
"""

import ctypes
import http.server
import json
import os
import re
import threading
import time
import unittest
import urllib.parse

from harness import E2ETestCase, RecordingOpener, read_probe, wait_for

PROBE_LIMIT_MS = 2000.0  # the loop probe's worst wait; other tests may run beside this one


class Pages(http.server.BaseHTTPRequestHandler):
    """Serves the test's pages (`pages`: path -> html, or a callable(n) for the n-th load) and
    records every request with its time; "/report?..." records what a page measured."""

    pages = {}
    delays = {}  # path -> seconds to wait before answering (a slow network)
    requests = []
    cond = threading.Condition()

    def do_GET(self):
        url = urllib.parse.urlsplit(self.path)
        with self.cond:
            n = sum(1 for r in self.requests if r["path"] == url.path) + 1
            self.requests.append({"path": url.path, "host": self.headers.get("Host", ""),
                                  "query": dict(urllib.parse.parse_qsl(url.query)), "t": time.monotonic()})
            self.cond.notify_all()
        time.sleep(self.delays.get(url.path, 0))
        page = self.pages.get(url.path)
        if callable(page):
            page = page(n)
        body = (page or "ok").encode("utf-8")
        try:
            self.send_response(200 if page is not None or url.path.startswith("/report") else 404)
            self.send_header("Content-Type", "text/html; charset=utf-8")
            self.send_header("Cache-Control", "no-store")
            self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            self.wfile.write(body)
        except OSError:
            pass

    def log_message(self, *args):
        pass


def html(body_script, body=""):
    return ("<!DOCTYPE html><html><head><meta charset='utf-8'><title>t</title>"
            "<script>function report(q){var x=new XMLHttpRequest();x.open('GET','/report?'+q,false);"
            "try{x.send();}catch(e){}}</script></head>"
            f"<body>{body}<script>{body_script}</script></body></html>")


class PageCase(E2ETestCase):

    def setUp(self):
        super().setUp()
        Pages.pages, Pages.delays, Pages.requests = {}, {}, []
        self.http = http.server.ThreadingHTTPServer(("0.0.0.0", 0), Pages)
        self.http.daemon_threads = True
        threading.Thread(target=self.http.serve_forever, daemon=True).start()
        self.addCleanup(self.http.server_close)
        self.addCleanup(self.http.shutdown)
        self.port = self.http.server_address[1]
        self.base = f"http://127.0.0.1:{self.port}"
        self.probe = os.path.join(self.env.tmp, "loop-probe.txt")

    def start(self, path, extra_env=None):
        prog = self.env.start("-url", self.base + path,
                              extra_env=dict({"ZENT_LOOP_PROBE": self.probe}, **(extra_env or {})))
        prog.wait_window()
        return prog

    def requests(self, path):
        with Pages.cond:
            return [r for r in Pages.requests if r["path"] == path]

    def wait_request(self, path, count=1, timeout=60, **query):
        def match():
            got = [r for r in self.requests(path)
                   if all(r["query"].get(k) == str(v) for k, v in query.items())]
            return got if len(got) >= count else None
        with Pages.cond:
            if not Pages.cond.wait_for(match, timeout):
                raise AssertionError(f"timed out after {timeout} s waiting for {count} request(s) of "
                                     f"{path} {query}\n{self.describe()}")
            return match()

    def wait_reload(self, since, timeout):
        """The time of the first "loaded" report of a later load than the first (the
        recovery's reload may itself be replaced by the load watch's retry)."""
        def later():
            return [r for r in self.requests("/report") if r["query"].get("what") == "loaded"
                    and r["query"].get("n") != "1" and r["t"] >= since]
        with Pages.cond:
            if not Pages.cond.wait_for(later, timeout):
                raise AssertionError(f"timed out after {timeout} s waiting for the page to load "
                                     f"again\n{self.describe()}")
            return later()[0]["t"]

    def reports(self, what):
        return [r["query"] for r in self.requests("/report") if r["query"].get("what") == what]

    def dialogs(self, prog):
        return [w for w in self.display.windows_of([prog.pid])
                if re.search(r"(?i)javascript", self.display.window_name(w) or "")]

    def assert_window_answered(self, since, prog):
        """The window's loop kept turning from `since` on: fresh probe answers, none slow."""
        time.sleep(1.0)
        samples = [ms for t, ms in read_probe(self.probe) if t >= since]
        self.assertGreater(len(samples), 0, "the window's loop stopped turning")
        self.assertLessEqual(max(samples), PROBE_LIMIT_MS, f"the window's loop stalled {max(samples)} ms")
        self.assertTrue(prog.running())


class HangTests(PageCase):

    def test_a_script_loop_is_ended_and_the_page_loads_again(self):
        # The first load loops for good once it has said so; the next load only reports.
        Pages.pages["/hang"] = lambda n: html(
            "report('what=loaded&n=%d');" % n +
            ("setTimeout(function(){report('what=looping');while(true){}}, 500);" if n == 1 else ""))
        prog = self.start("/hang")
        looping = self.wait_request("/report", what="looping")[0]["t"]
        again = self.wait_reload(looping, 30)
        took = again - looping
        print(f"\nloop to new load: {took:.1f} s", flush=True)
        self.assertLess(took, 15.0)
        lines = self.env.wait_log(r"Renderer not answering for \d+ ms, ended: pid=\d+ url=" +
                                  re.escape(self.base + "/hang"))
        print(lines[0], flush=True)
        self.env.wait_log(r"RendererTerminated: .*/hang")
        self.assertTrue(prog.running())

    def test_a_loop_during_the_load_is_ended_too(self):
        # The first load never ends: its inline script loops before the document is done.
        # A load in progress has the longer limit, and the kill lands in the middle of it.
        Pages.pages["/inline"] = lambda n: html(
            "report('what=loaded&n=%d');" % n + ("report('what=looping');while(true){}" if n == 1 else ""))
        prog = self.start("/inline")
        looping = self.wait_request("/report", what="looping")[0]["t"]
        again = self.wait_reload(looping, 40)
        print(f"\nloop during load to new load: {again - looping:.1f} s", flush=True)
        self.assertLess(again - looping, 20.0)
        self.env.wait_log(r"Renderer not answering for \d+ ms, ended: .*/inline")
        # One new load, not one from the crash recovery and another from the load's retry.
        time.sleep(5)
        self.assertEqual(len(self.requests("/inline")), 2, self.describe())
        self.assertTrue(prog.running())

    def test_an_open_alert_is_no_hang(self):
        Pages.pages["/alert"] = html("report('what=loaded');alert('hold');report('what=answered');")
        prog = self.start("/alert")
        box = wait_for(lambda: self.dialogs(prog), 60, "the alert")[0]
        time.sleep(30)
        self.assertEqual(len(self.requests("/alert")), 1, "the page was reloaded under its alert")
        self.assertNotIn("Renderer not answering", self.env.log_text())
        self.display.xdotool("windowactivate", "--sync", box)
        self.display.key("Return")
        self.wait_request("/report", what="answered", timeout=20)
        self.assertEqual(len(self.requests("/alert")), 1)

    def test_a_busy_page_and_a_slow_load_are_no_hang(self):
        # Busy 300 ms at a time for 15 s, then a page whose answer takes 20 s.
        Pages.pages["/busy"] = html(
            "var end=Date.now()+15000;report('what=busy');"
            "function spin(){var s=Date.now();while(Date.now()-s<300){}"
            "if(Date.now()<end)setTimeout(spin,0);else location.href='/slow';}spin();")
        Pages.pages["/slow"] = html("report('what=slow');")
        Pages.delays["/slow"] = 20
        prog = self.start("/busy")
        self.wait_request("/report", what="busy")
        self.wait_request("/report", what="slow", timeout=60)
        self.assertEqual(len(self.requests("/busy")), 1)
        self.assertEqual(len(self.requests("/slow")), 1)
        self.assertNotIn("Renderer not answering", self.env.log_text())
        self.assertTrue(prog.running())

    def test_a_page_that_hangs_or_objects_while_closing_does_not_hold_the_close(self):
        # One page asks to stay (beforeunload) and loops once it is being left; the other is
        # already looping when the person closes, before the watchdog's limit has come.
        pages = {
            "/leave": "report('what=loaded');"
                      "addEventListener('beforeunload',function(e){e.preventDefault();e.returnValue='stay';"
                      "return 'stay';});"
                      "addEventListener('pagehide',function(){while(true){}});"
                      "addEventListener('unload',function(){while(true){}});",
            "/spin": "report('what=loaded');setTimeout(function(){report('what=looping');while(true){}},300);",
        }
        for path, script in pages.items():
            with self.subTest(path=path):
                Pages.pages[path] = html(script)
                prog = self.start(path)
                self.wait_request("/report", what="loaded")
                if path == "/spin":
                    self.wait_request("/report", what="looping")
                self.display.xdotool("windowactivate", "--sync", prog.window())
                began = time.monotonic()
                self.display.key("alt+F4")
                self.assertEqual(prog.wait_exit(60), 0)
                print(f"\n{path}: closed in {time.monotonic() - began:.1f} s", flush=True)
                with Pages.cond:
                    Pages.requests = []


ZOOM_PAGE = html(
    "var keys=[];document.addEventListener('keydown',function(e){keys.push(e.key);});"
    "setInterval(function(){report('what=zoom&dpr='+window.devicePixelRatio+'&scale='+"
    "(window.visualViewport?visualViewport.scale:1)+'&iw='+window.innerWidth+'&y='+window.scrollY+"
    "'&keys='+encodeURIComponent(keys.join(' ')));},300);",
    "<div style='height:5000px'>tall</div>")


class ZoomTests(PageCase):

    def last_zoom(self):
        return self.reports("zoom")[-1]

    def test_zoom_keys_and_ctrl_wheel_leave_the_page_at_zoom_1(self):
        Pages.pages["/zoom"] = ZOOM_PAGE
        prog = self.start("/zoom")
        self.wait_request("/report", what="zoom")
        first = self.last_zoom()
        self.assertEqual((first["dpr"], first["scale"]), ("1", "1"))
        wid = prog.window()
        self.display.xdotool("windowactivate", "--sync", wid)
        self.display.click_window_centre(wid)
        for keys in ("ctrl+plus", "ctrl+equal", "ctrl+shift+equal", "ctrl+KP_Add", "ctrl+plus",
                     "ctrl+minus", "ctrl+KP_Subtract", "ctrl+minus", "ctrl+minus"):
            self.display.key(keys)
        self.display.xdotool("keydown", "ctrl")
        for button in (4, 4, 4, 5, 5, 5, 5, 5):
            self.display.xdotool("click", button)
        self.display.xdotool("keyup", "ctrl")
        # Plain input reaches the page: a key and a scroll show the Ctrl ones would have too.
        self.display.key("x")
        self.display.xdotool("click", 5)
        wait_for(lambda: "x" in self.last_zoom()["keys"].split() and float(self.last_zoom()["y"]) > 0,
                 20, "the plain key and scroll to reach the page")
        time.sleep(1.5)
        last = self.last_zoom()
        self.assertEqual((last["dpr"], last["scale"], last["iw"]), ("1", "1", first["iw"]), last)
        self.assertEqual({r["dpr"] for r in self.reports("zoom")}, {"1"})
        # The modifiers themselves reach the page; no zoom key does.
        keys = [k for k in last["keys"].split() if k not in ("Control", "Shift")]
        self.assertEqual(keys, ["x"], f"a zoom key reached the page: {last['keys']}")


class DialogLoopTests(PageCase):

    def test_dialog_loops_from_the_page_and_its_frames_end_after_three(self):
        loop = ("var n=0;for(var i=0;i<20;i++){%s;n++;}report('what=done&from=%s&n='+n);")
        frame = html(loop % ("alert('f'+i);confirm('c');prompt('p')", "frame"))
        Pages.pages["/frame"] = frame
        Pages.pages["/loops"] = html(
            "setTimeout(function(){" + loop % ("alert('m'+i)", "main") + "},3000);",
            "<iframe src='/frame'></iframe><iframe srcdoc=\"<script>for(var i=0;i<20;i++)confirm(i);"
            "parent.postMessage('x','*');</script>\"></iframe>")
        prog = self.start("/loops")
        shown = 0
        deadline = time.monotonic() + 50
        while len(self.reports("done")) < 2 and time.monotonic() < deadline:
            boxes = self.dialogs(prog)
            if boxes:
                self.display.xdotool("windowactivate", "--sync", boxes[0])
                self.display.key("Return")
                wait_for(lambda: boxes[0] not in self.dialogs(prog), 10, "the dialog to go")
                shown += 1
            else:
                time.sleep(0.2)
        self.assertEqual(sorted(r["from"] for r in self.reports("done")), ["frame", "main"], self.describe())
        self.assertEqual(shown, 3)
        self.env.wait_log(r"Page dialogs suppressed until the next page load")
        self.assert_window_answered(time.time() - 5, prog)


class AllowedHostsTests(PageCase):

    def test_an_unlisted_host_is_refused_and_a_listed_one_allowed(self):
        with open(os.path.join(self.env.bin, "Lumo7Browser.cnfg"), "w") as f:
            f.write("[Kiosk]\nAllowedHosts=127.0.0.3\n")
        other = f"http://127.0.0.2:{self.port}"
        listed = f"http://127.0.0.3:{self.port}"
        Pages.pages["/start"] = html(
            "report('what=start');location.href='%s/forbidden';"
            "setTimeout(function(){window.open('%s/forbidden-popup');},1000);"
            "setTimeout(function(){location.href='%s/allowed';},3000);" % (other, other, listed))
        Pages.pages["/allowed"] = html("report('what=allowed');")
        prog = self.start("/start")
        hit = self.wait_request("/report", what="allowed", timeout=60)[0]
        self.assertEqual(hit["host"], f"127.0.0.3:{self.port}")
        self.assertEqual(self.requests("/forbidden") + self.requests("/forbidden-popup"), [])
        self.assertRegex(self.env.log_text(), r"Navigation refused, host not in \[Kiosk\] AllowedHosts: 127\.0\.0\.2")
        self.assertTrue(prog.running())


IN_OPEN = 0x20
IN_NONBLOCK = 0o4000


class OpenWatch:
    """Every open of a file in `folder` (inotify), so a test can say nothing was opened."""

    def __init__(self, folder):
        self.libc = ctypes.CDLL(None, use_errno=True)
        self.fd = self.libc.inotify_init1(IN_NONBLOCK)
        if self.fd < 0 or self.libc.inotify_add_watch(self.fd, folder.encode(), IN_OPEN) < 0:
            raise OSError(ctypes.get_errno(), "inotify")

    def opened(self):
        names = []
        while True:
            try:
                data = os.read(self.fd, 65536)
            except BlockingIOError:
                return names
            off = 0
            while off < len(data):
                _, _, _, length = __import__("struct").unpack_from("iIII", data, off)
                names.append(data[off + 16: off + 16 + length].rstrip(b"\0").decode(errors="replace"))
                off += 16 + length

    def close(self):
        os.close(self.fd)


class HostileInputTests(PageCase):

    def setUp(self):
        super().setUp()
        self.opener = RecordingOpener(self.env.tmp)
        self.path_env = self.opener.path_env(self.env.program_env)

    def opener_calls(self):
        return self.opener.calls()

    def test_file_references_in_status_texts_open_nothing(self):
        files = os.path.join(self.env.tmp, "files")
        os.mkdir(files)
        pic = os.path.join(files, "pic.png")
        with open(pic, "wb") as f:
            f.write(b"\x89PNG\r\n\x1a\n")
        fifo = os.path.join(files, "fifo")
        os.mkfifo(fifo)
        watch = OpenWatch(files)
        self.addCleanup(watch.close)
        texts = ['<img src="file://%s">' % pic, '<img src="file://%s"><b>x</b>' % fifo,
                 '<a href="file://%s">f</a><style>*{background:url(file://%s)}</style>' % (fifo, pic),
                 "file://" + fifo]
        script = "".join("console.log(%s);" % json.dumps("ZENTCMD=ZentShop,MsgText=" + t) for t in texts)
        Pages.pages["/texts"] = html("setTimeout(function(){%s report('what=sent');},1000);" % script)
        prog = self.start("/texts")
        sent_at = time.time()
        self.wait_request("/report", what="sent")
        self.assert_window_answered(sent_at, prog)
        time.sleep(2)
        # No reader: the program never opened the FIFO (an open for reading would still wait).
        with self.assertRaises(OSError) as no_reader:
            os.close(os.open(fifo, os.O_WRONLY | os.O_NONBLOCK))
        self.assertEqual(no_reader.exception.errno, 6)  # ENXIO
        self.assertEqual(watch.opened(), [], "a file named by a status text was opened")
        self.assert_window_answered(time.time(), prog)

    def test_hostile_console_input_keeps_the_window_and_only_web_addresses_reach_the_opener(self):
        cases = [
            "'x'.repeat(4<<20)",  # megabytes of plain console text
            "'ZENTCMD=ZentShop,MsgText='+'y'.repeat(2<<20)",
            "'ZENTCMD='+'FullScreen,'.repeat(200000)",
            "'ZENTCMD=ZentShop,MsgText=a\\u0000b\\u0007c\\u001b[31m\\r\\nd\\u202eevil'",
            "'ZENTCMD=ZentShop,MsgText=\\ud800x\\udfff\\udc00\\ud83d'",
            "'ZENTCMD=openurl(\\ud800http://example.invalid/)'",
            "'ZENTCMD=openurl(\"http://example.invalid/q\")'",
            "'ZENTCMD=openurl(\\'http://example.invalid/q\\')'",
            "'ZENTCMD=openurl(http://example.invalid/a\\nb)'",
            "'ZENTCMD=openurl(http://example.invalid/a\\r\\n--b)'",
            "'ZENTCMD=openurl(-http://example.invalid/)'",
            "'ZENTCMD=openurl(--version)'",
            "'ZENTCMD=openurl(-)'",
            "'ZENTCMD=openurl( http://example.invalid/lead)'",
            "'ZENTCMD=openurl(javascript:alert(1))'",
            "'ZENTCMD=openurl(http://example.invalid/\\u0000nul)'",
            "'ZENTCMD=openurl(file:///etc/passwd#http://x)'",
            "'ZENTCMD=openurl(HTTP://example.invalid/upper)'",
            "'ZENTCMD=openurl(http://example.invalid/end)'",  # the opener works after all that
        ]
        # One per 1.1 s: the one-a-second gate must not be what keeps any of them out.
        script = ("var c=[%s];var i=0;function next(){if(i<c.length){console.log(c[i++]);"
                  "setTimeout(next,1100);}else{report('what=sent');}}setTimeout(next,500);" % ",".join(cases))
        Pages.pages["/hostile"] = html(script)
        prog = self.start("/hostile", self.path_env)
        sent_at = time.time()
        self.wait_request("/report", what="sent", timeout=60)
        wait_for(lambda: ["http://example.invalid/end"] in self.opener_calls(), 20, "the last address to open")
        self.assert_window_answered(sent_at, prog)
        calls = self.opener_calls()
        for call in calls:
            self.assertEqual(len(call), 1, call)
            self.assertRegex(call[0], r"^(?i:https?)://[^\s\x00-\x1f]*$", call)
        self.assertIn(["http://example.invalid/end"], calls, calls)
        self.assertTrue(prog.running())


if __name__ == "__main__":
    unittest.main()
