"""End-to-end acceptance of the page commands: pages of the stand-in write ZENTCMD messages to
the console and the window follows (full screen, closing and its refusal, the status text per
page, minimising, the login parameters of the disconnect notice, opening an address).

Run from tests/e2e inside scripts/netns.sh:  python3 -m unittest -v test_page_commands
"""

import http.server
import os
import threading
import time
import unittest

from harness import SCREEN, E2ETestCase, RecordingOpener, header_values, wait_for

DISCONNECT_PATH = "/lumo7/dbi/lumo7server/product/disconnect"
CLOSE_REFUSED = "当前正在进行业务处理，不允许退出。"
STATUS_BAR_H = 18
ICONS_W = 50


class CommandCase(E2ETestCase):

    def start_live(self, extra_env=None):
        """The main instance on the stand-in's live page, which writes what the test queues."""
        return self.start_live_page("live.html", extra_env)

    def send(self, *messages):
        self.server.send_console(*messages)

    def state(self, prog):
        return self.display.window_state(prog.window() or 0)

    def status_text_width(self, prog):
        """Width in pixels of the dark writing in the status text's area (left of the middle)."""
        x, y, w, h = self.display.geometry(prog.window())
        left = x + ICONS_W + 2
        cols = w // 2 - ICONS_W - 2
        rgb = self.display.grab_rgb(left, y + h - STATUS_BAR_H, cols, STATUS_BAR_H)
        dark = [c for c in range(cols) if any(
            sum(rgb[(r * cols + c) * 3: (r * cols + c) * 3 + 3]) < 300
            for r in range(2, STATUS_BAR_H - 2))]
        return dark[-1] - dark[0] if dark else 0

    def box_windows(self, prog, title="提示"):
        return [w for w in self.display.windows_of([prog.pid]) if self.display.window_name(w) == title]


class FullScreenAndMinimiseTests(CommandCase):

    def test_full_screen_twice_enters_and_leaves(self):
        prog = self.start_live()
        wait_for(lambda: "_NET_WM_STATE_MAXIMIZED_VERT" in self.state(prog), 30, "the maximised window")

        self.send("ZENTCMD=FullScreen")
        wait_for(lambda: "_NET_WM_STATE_FULLSCREEN" in self.state(prog), 20, "full-screen state")
        wait_for(lambda: self.display.geometry(prog.window()) == (0, 0, *SCREEN), 20,
                 "the window to cover the whole screen")

        self.send("ZENTCMD=FullScreen")
        wait_for(lambda: "_NET_WM_STATE_FULLSCREEN" not in self.state(prog), 20,
                 "full-screen state to end")
        wait_for(lambda: {"_NET_WM_STATE_MAXIMIZED_VERT", "_NET_WM_STATE_MAXIMIZED_HORZ"}
                 <= self.state(prog), 20, "the maximised window to come back")
        x, y, w, h = self.display.geometry(prog.window())
        self.assertLess(h, SCREEN[1], "the decorated window is lower than the screen")

    def test_names_ignore_case_and_blanks_make_no_command(self):
        prog = self.start_live()
        wait_for(lambda: "_NET_WM_STATE_MAXIMIZED_VERT" in self.state(prog), 30, "the maximised window")
        # None of these is a command; the last one is and proves the earlier ones were read.
        self.send("ZENTCMD= FullScreenOn", "ZENTCMD=FullScreenOn ", "x ZENTCMD=FullScreenOn",
                  "hello, world", "zentcmd=fullscreenon")
        wait_for(lambda: "_NET_WM_STATE_FULLSCREEN" in self.state(prog), 20, "full-screen state")
        self.send("ZENTCMD=FullScreenOn", "ZENTCMD=FullScreenOff,ZENTCMD=FullScreenOn")
        wait_for(lambda: "_NET_WM_STATE_FULLSCREEN" not in self.state(prog), 20,
                 "the first command item (FullScreenOff) to count")

    def test_minimize_browser_minimises(self):
        prog = self.start_live()
        self.send("ZENTCMD=MinimizeBrowser")
        wait_for(lambda: "_NET_WM_STATE_HIDDEN" in self.state(prog), 20, "the minimised window")
        self.assertTrue(prog.running())


class CloseTests(CommandCase):

    def test_refused_close_shows_the_box_and_allowed_close_closes(self):
        prog = self.start_live()
        wid = prog.wait_window()
        self.send("ZENTCMD=RefuseCloseBrowser", "ZENTCMD=CloseBrowser")
        box = wait_for(lambda: self.box_windows(prog), 30, "the refusal box")[0]
        self.assertTrue(prog.running())
        self.assertIn(wid, self.display.windows_of([prog.pid]))
        self.display.xdotool("windowactivate", "--sync", box)
        self.display.key("Return")
        wait_for(lambda: not self.box_windows(prog), 20, "the box to go")
        self.assertTrue(prog.running(), "the window closed although closing was refused")

        # Closing from the window manager is refused the same way.
        self.display.xdotool("windowactivate", "--sync", prog.window())
        self.display.key("alt+F4")
        box = wait_for(lambda: self.box_windows(prog), 30, "the refusal box again")[0]
        self.display.xdotool("windowactivate", "--sync", box)
        self.display.key("Return")
        wait_for(lambda: not self.box_windows(prog), 20, "the box to go")
        self.assertTrue(prog.running())

        self.send("ZENTCMD=AllowCloseBrowser", "ZENTCMD=CloseBrowser")
        self.assertEqual(prog.wait_exit(30), 0)

    def test_commands_run_in_the_order_the_page_wrote_them(self):
        prog = self.start_live()
        # Refused, then allowed again before the next close: the close is refused and the box
        # shows; what follows the close runs after it.
        self.send("ZENTCMD=RefuseCloseBrowser", "ZENTCMD=CloseBrowser", "ZENTCMD=AllowCloseBrowser")
        box = wait_for(lambda: self.box_windows(prog), 30, "the refusal box")[0]
        self.display.xdotool("windowactivate", "--sync", box)
        self.display.key("Return")
        wait_for(lambda: not self.box_windows(prog), 20, "the box to go")
        self.assertTrue(prog.running())
        self.send("ZENTCMD=CloseBrowser")
        self.assertEqual(prog.wait_exit(30), 0)

    def test_login_parameters_reach_the_disconnect_notice(self):
        prog = self.start_live()
        params = '{"user":"张三","shop":7,"note":"a, b"}'
        quoted = '"Params=' + params.replace('"', '""') + '"'
        since = self.server.last_seq()
        self.send("ZENTCMD=LumoLogin," + quoted, "ZENTCMD=CloseBrowser")
        notice = self.server.wait_request(DISCONNECT_PATH, since=since, timeout=30)
        # Header bytes are recorded as Latin-1 text; the program sends UTF-8.
        sent = [v.encode("latin-1").decode("utf-8") for v in header_values(notice[0], "Params")]
        self.assertEqual(sent, [params])
        self.assertEqual(prog.wait_exit(30), 0)


class OpenUrlTests(CommandCase):

    def setUp(self):
        super().setUp()
        # A recording opener first on PATH.
        self.opener = RecordingOpener(self.env.tmp)

    def opened(self):
        return self.opener.text()

    def test_the_exact_text_goes_to_the_opener_as_one_argument(self):
        path = self.opener.path_env(self.env.program_env)["PATH"]
        prog = self.start_live(extra_env={"PATH": path})
        # Everything a shell would act on; ")" would end the address, a blank is refused.
        address = "http://example.invalid/a%20b?c=1&d=$HOME;`touch${IFS}x`|y&e='q'>z"
        self.send("ZENTCMD=OPENURL( )", "ZENTCMD=openurl", "ZENTCMD=openurl(" + address + ")")
        # Commands run in order: once the last one has called the opener, the blank and the
        # missing address have been passed over.
        wait_for(lambda: self.opened().endswith(address + "\0"), 20, "the opener to be called")
        self.assertEqual(self.opened(), "call\0" + address + "\0")
        lines = [l for l in self.env.log_text().splitlines() if "ConsoleMessageProcess.OpenURL" in l]
        self.assertEqual(len(lines), 1, lines)
        self.assertTrue(lines[0].endswith("ConsoleMessageProcess.OpenURL(" + address + ")"), lines)
        self.assertFalse(os.path.exists(os.path.join(self.env.tmp, "x")))
        self.assertTrue(prog.running())

    def test_only_web_addresses_reach_the_opener_and_a_burst_starts_few(self):
        path = self.opener.path_env(self.env.program_env)["PATH"]
        prog = self.start_live(extra_env={"PATH": path})
        # Each refused address is its own second apart, so the rate gate is not what stops it.
        for n, address in enumerate(("file:///etc/", "smb://server/share", "--help", "http://a b/"), 1):
            self.send("ZENTCMD=openurl(" + address + ")")
            self.env.wait_log(r"ConsoleMessageProcess\.OpenURL refused", count=n)
            time.sleep(1.1)
        refused = [l for l in self.env.log_text().splitlines() if "ConsoleMessageProcess.OpenURL refused" in l]
        self.assertEqual(len(refused), 4, refused)
        self.assertEqual(self.opened(), "", "a refused address reached the opener")

        # 200 at once: the first opens, the rest are dropped with one line.
        self.send(*["ZENTCMD=openurl(http://example.invalid/%d)" % i for i in range(200)])
        wait_for(lambda: "http://example.invalid/0\0" in self.opened(), 20, "the first address to open")
        self.env.wait_log(r"OpenURL: more than one address a second, the rest dropped")
        self.send("ZENTCMD=MinimizeBrowser")  # commands run in order: the burst is through
        wait_for(lambda: "_NET_WM_STATE_HIDDEN" in self.state(prog), 20, "the minimised window")
        time.sleep(1)
        self.assertLessEqual(self.opened().count("call\0"), 3, self.opened()[:300])
        dropped = [l for l in self.env.log_text().splitlines() if "the rest dropped" in l]
        self.assertLessEqual(len(dropped), 3, dropped)
        self.assertTrue(prog.running())


class StatusTextPages(http.server.BaseHTTPRequestHandler):
    """Page A writes its status text on its first load only, then moves to page B; page B
    empties the status line and moves back to A. A's second load can only show the text again
    from what the window remembered."""

    loads = {}
    lock = threading.Lock()

    def do_GET(self):
        with self.lock:
            n = self.loads[self.path] = self.loads.get(self.path, 0) + 1
        script = ""
        if self.path == "/a" and n == 1:
            script = ("console.log('ZENTCMD=ZentShop,MsgText=桌台 12 正在点餐 Table twelve ordering');"
                      "setTimeout(function(){location.href='/b';}, 2500);")
        elif self.path == "/b":
            script = "console.log('ZENTCMD=ZentShop');setTimeout(function(){location.href='/a';}, 2500);"
        body = (f"<!DOCTYPE html><html><head><meta charset='utf-8'><title>{self.path}</title></head>"
                f"<body><script>window.addEventListener('load', function(){{{script}}});</script>"
                f"</body></html>").encode("utf-8")
        self.send_response(200)
        self.send_header("Content-Type", "text/html; charset=utf-8")
        self.send_header("Cache-Control", "no-store")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def log_message(self, *args):
        pass


class StatusTextTests(CommandCase):

    def test_status_text_comes_back_when_its_page_loads_again(self):
        StatusTextPages.loads = {}
        pages = http.server.ThreadingHTTPServer(("127.0.0.1", 0), StatusTextPages)
        threading.Thread(target=pages.serve_forever, daemon=True).start()
        self.addCleanup(pages.server_close)
        self.addCleanup(pages.shutdown)
        base = f"http://127.0.0.1:{pages.server_address[1]}"
        prog = self.env.start("-url", base + "/a")
        prog.wait_window()
        # The text, then the empty line of page B, then the text again on A's second load.
        wait_for(lambda: self.status_text_width(prog) > 150, 60, "page A's status text")
        wait_for(lambda: self.status_text_width(prog) == 0, 20, "page B's empty status line")
        wait_for(lambda: StatusTextPages.loads.get("/a", 0) >= 2, 20, "page A's second load")
        wait_for(lambda: self.status_text_width(prog) > 150, 20, "page A's status text again")

    def test_markup_in_the_status_text_is_shown_as_text(self):
        prog = self.start_live()
        wait_for(lambda: "_NET_WM_STATE_MAXIMIZED_VERT" in self.state(prog), 30, "the maximised window")
        self.send("ZENTCMD=ZentShop,MsgText=AB")
        wait_for(lambda: self.status_text_width(prog) > 0, 20, "the plain status text")
        plain = self.status_text_width(prog)
        # Read as markup, a FIFO as an image would stop the window's thread for good, and the
        # bold tags would leave only "AB".
        fifo = os.path.join(self.env.tmp, "fifo")
        os.mkfifo(fifo)
        self.send('ZENTCMD=ZentShop,MsgText=<img src="file://%s"><b>AB</b>' % fifo)
        wait_for(lambda: self.status_text_width(prog) > 5 * plain, 20, "the tags shown as text")
        self.send("ZENTCMD=MinimizeBrowser")
        wait_for(lambda: "_NET_WM_STATE_HIDDEN" in self.state(prog), 20, "the window to go on working")


if __name__ == "__main__":
    unittest.main()
