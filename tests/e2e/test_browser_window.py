"""End-to-end acceptance of the browser window: process roles, the page's requests, pop-ups,
the context menu, the connected state, the caption and renderer crashes.

Run from tests/e2e inside scripts/netns.sh:  python3 -m unittest -v test_browser_window
"""

import os
import signal
import time
import unittest

from harness import (APP_URL, OTHER_HOST, SUB_CAPTION, E2ETestCase, HarnessError, header_values,
                     wait_for)

# The colour the stand-in paints behind its test pages; seen on screen only once the loading
# picture is gone.
PAGE_COLOUR = (0xCC, 0xDD, 0xEE)


class ProcessRoleTests(E2ETestCase):

    def test_second_start_with_single_instance_ends_and_raises_the_first(self):
        # No configuration file: one instance per role.
        first = self.env.start_app("title?t=First")
        first.wait_window()
        self.server.wait_report("flag", "true", timeout=90)
        wid = first.wait_window()
        self.display.minimize(wid)
        wait_for(lambda: "_NET_WM_STATE_HIDDEN" in self.display.window_state(wid), 10,
                 "the first window to be minimised")

        second = self.env.start_app("title?t=Second")
        self.assertEqual(second.wait_exit(60), 0, second.output())
        wait_for(lambda: self.display.active_window() == wid
                 and "_NET_WM_STATE_HIDDEN" not in self.display.window_state(wid), 15,
                 "the first window to come to the front")
        self.assertTrue(first.running())
        self.assertEqual(self.display.windows_of(first.tree()), [wid])

    def test_single_instance_off_lets_both_run(self):
        self.env.write_config("[Other]\nSingleInst=0\n")
        first = self.env.start_app("title?t=First")
        w1 = first.wait_window()
        second = self.env.start_app("title?t=Second")
        w2 = second.wait_window()
        self.assertNotEqual(w1, w2)
        self.assertTrue(first.running() and second.running())

    def test_secondary_screen_role_starts_beside_the_main_instance(self):
        main = self.env.start_app("title?t=Main")
        main.wait_window()
        for switch in ("-suburl", "-SUBURL", "-SubUrl"):
            with self.subTest(switch=switch):
                sub = self.env.start("-url", APP_URL, switch, "title?t=Sub")
                sub.wait_window()
                wait_for(lambda: self.display.window_name(sub.window() or 0) == SUB_CAPTION, 30,
                         "the secondary-screen window's caption")
                sub.stop()
                self.assertTrue(main.running())

    def test_engine_type_switch_starts_nothing(self):
        proc = self.env.start("--type=renderer")
        proc.wait_exit(60)
        self.assertEqual(self.display.windows_of([proc.pid]), [])
        self.assertEqual(self.env.log_files(), [], "an engine process wrote the program's log")
        self.assertFalse(os.path.exists(self.env.config_path))


class PageTests(E2ETestCase):

    def load(self, page):
        """Starts the program on a stand-in page and waits until the page saw the flag."""
        since = self.server.last_seq()
        prog = self.env.start_app(page)
        prog.wait_window()
        self.server.wait_report("flag", "true", since=since, timeout=90)
        return prog, prog.wait_window()

    def test_osid_header_goes_to_the_server_host_only(self):
        self.load("resources.html")
        for path in ("/lumo7/res/pixel.png", "/lumo7/res/script.js"):
            self.server.wait_request(path, listener="main")
            self.server.wait_request(path, listener="other")
        osid = self.env.device_id()
        self.assertTrue(osid)

        main = self.server.requests(listener="main")
        other = self.server.requests(listener="other")
        self.assertTrue(any(r["path"] == "/lumo7/resources.html" for r in main))
        for r in main:
            with self.subTest(host="server", target=r["target"]):
                self.assertEqual(header_values(r, "OSID"), [osid])
        for r in other:
            with self.subTest(host="other", target=r["target"]):
                self.assertEqual(header_values(r, "OSID"), [])

    def test_new_windows_load_in_the_main_window(self):
        cases = [
            # (page, how it opens the new window, the title the main window must show)
            ("popup.html?auto=1", None, "Popup Target"),
            ("blank_link.html", "click", "Blank Target"),
        ]
        for page, action, title in cases:
            with self.subTest(page=page):
                since = self.server.last_seq()
                prog, wid = self.load(page)
                if action == "click":
                    self.display.click_window_centre(wid)
                self.server.wait_request("/lumo7/title", since=since)
                wait_for(lambda: self.display.window_name(wid) == title, 30,
                         f"the main window's caption to become {title!r}")
                self.assertEqual(self.display.windows_of(prog.tree()), [wid])
                prog.stop()

    def test_right_click_shows_no_menu(self):
        prog, wid = self.load("title?t=Menu")
        x, y, w, h = self.display.geometry(wid)
        cx, cy = x + w // 2, y + h // 4
        before_windows = set(self.display.search(pid=prog.pid))
        region = (cx, cy, min(300, x + w - cx), min(300, y + h - cy))
        # The page's flag is reported by its script, which may run before its first drawing
        # reaches the screen: the picture to compare with is the page as shown.
        wait_for(lambda: self.display.pixel(cx, cy) == PAGE_COLOUR, 20, "the page to show in the window")
        before = self.display.grab_rgb(*region)
        self.display.click(cx, cy, 3)
        # A menu would open within moments; give it a generous second and a half.
        time.sleep(1.5)
        self.assertEqual(set(self.display.search(pid=prog.pid)), before_windows)
        self.assertEqual(self.display.grab_rgb(*region), before,
                         "the screen changed around the right click")
        self.assertTrue(prog.running())

    def test_loaded_page_replaces_the_loading_picture(self):
        prog, wid = self.load("title?t=Connected")
        self.env.wait_log(r"LoadEnd: 200 http://127\.0\.0\.1:8080/lumo7/title\?t=Connected")
        self.env.wait_log(r"已连接服务器: \[127\.0\.0\.1\]")
        x, y, w, h = self.display.geometry(wid)
        wait_for(lambda: self.display.pixel(x + w // 2, y + h // 2) == PAGE_COLOUR, 20,
                 "the page (not the loading picture) to show in the window")
        # The status bar's right half holds the version and, once connected, the server text
        # "已连接服务器: [127.0.0.1]" right-aligned beside it: together far wider than the
        # version alone.
        wait_for(lambda: self.status_text_width(x, y, w, h) > 180, 20,
                 "the server text in the status bar")

    def status_text_width(self, x, y, w, h):
        """Width in pixels from the first to the last dark column in the status bar's right half."""
        bar_h = 18
        left = x + w // 2
        rgb = self.display.grab_rgb(left, y + h - bar_h, w // 2, bar_h)
        cols = w // 2
        dark = [c for c in range(cols) if any(
            sum(rgb[(r * cols + c) * 3: (r * cols + c) * 3 + 3]) < 300 for r in range(2, bar_h - 2))]
        return dark[-1] - dark[0] if dark else 0

    def test_page_sees_the_browser_flag(self):
        prog = self.env.start_app("title?t=Flag")
        report = self.server.wait_report("flag", timeout=90)
        self.assertEqual(report["value"], "true")
        self.assertEqual(report["page"], "/lumo7/title?t=Flag")

    def test_caption_follows_the_page_title(self):
        prog = self.env.start_app("title?t=第一页&later=Second%20标题&after_ms=1500")
        prog.wait_window()
        caption = lambda: self.display.window_name(prog.window() or 0)
        wait_for(lambda: caption() == "第一页", 60, "the caption to show the page title")
        wait_for(lambda: caption() == "Second 标题", 30, "the caption to follow the changed title")


class RendererCrashTests(E2ETestCase):

    PAGE = "/lumo7/crash.html"

    def start_page(self):
        prog = self.env.start_app("crash.html")
        prog.wait_window()
        self.server.wait_request(self.PAGE)
        self.server.wait_report("flag", "true", timeout=90)
        return prog

    def kill_renderers(self, prog, timeout=15):
        """SIGKILLs the page's renderer processes; False when none appeared in time."""
        try:
            pids = wait_for(prog.renderers, timeout, "a renderer process of the page")
        except HarnessError:
            return False
        for pid in pids:
            try:
                os.kill(pid, signal.SIGKILL)
            except ProcessLookupError:
                pass
        return True

    def test_killed_renderer_brings_the_page_back(self):
        prog = self.start_page()
        log_before = self.env.log_text()
        self.assertTrue(self.kill_renderers(prog))
        self.server.wait_request(self.PAGE, count=2, timeout=20)
        self.env.wait_log(r"RendererTerminated: .*crash\.html")
        self.env.wait_log(r"LoadEnd: 200 .*crash\.html", count=2)
        self.assertTrue(prog.running())

    def test_renderer_killed_five_times_reloads_at_most_three_times_a_minute(self):
        prog = self.start_page()
        first_kill = time.time()
        killed = 0
        for _ in range(5):
            if self.kill_renderers(prog):
                killed += 1
                # Let the reload (if any) reach the stand-in before the next kill.
                try:
                    self.server.wait_request(self.PAGE, count=killed + 1, timeout=8)
                except HarnessError:
                    pass
        self.assertGreaterEqual(killed, 3, "the page came back fewer than three times")
        # Watch the rest of the minute: no fourth reload may arrive within it.
        time.sleep(max(0.0, first_kill + 61 - time.time()))
        reloads = [r["time"] for r in self.server.requests(self.PAGE)][1:]
        in_minute = [t for t in reloads if t < first_kill + 60]
        self.assertLessEqual(len(in_minute), 3, f"reloads at {[round(t - first_kill, 1) for t in reloads]}")
        for a, b in zip(reloads, reloads[3:]):
            self.assertGreaterEqual(b - a, 59.9, "four reloads within one minute")
        self.assertTrue(prog.running())


if __name__ == "__main__":
    unittest.main()
