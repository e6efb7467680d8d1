"""End-to-end acceptance of the secondary-screen instance ("-suburl"): its identity caption,
borderless over the last monitor with nothing but the page, closed (and waited for) by the
main instance, and the debug request an outside party sends it.

The two-monitor cases run on Xorg's dummy driver with two heads (dual_display.py).
Run from tests/e2e inside scripts/netns.sh:  python3 -m unittest -v test_secondary_screen
"""

import glob
import os
import socket
import struct
import unittest

from dual_display import dual_head_environment
from harness import APP_URL, SCREEN, SUB_CAPTION, E2ETestCase, wait_for

SUB_INSTANCE = "{0452E629-7C0A-4874-9DE2-01D635F66EEB}"
MAIN_INSTANCE = "{90590EAD-140B-4B7A-8FDE-29B1D6581F4A}"
DEBUG_REQUEST = 0x8490


class SubScreenCase(E2ETestCase):

    def start_sub(self, page="title?t=Sub", *extra, extra_env=None):
        prog = self.env.start("-url", APP_URL, "-suburl", page, *extra, extra_env=extra_env)
        wait_for(lambda: self.display.window_name(prog.window() or 0) == SUB_CAPTION, 60,
                 "the secondary-screen window with its identity caption")
        return prog

    def start_main(self, page="title?t=Main"):
        since = self.server.last_seq()
        prog = self.env.start_app(page)
        prog.wait_window()
        self.server.wait_report("flag", "true", since=since, timeout=90)
        return prog

    def boxes(self, prog, title="提示"):
        return [w for w in self.display.windows_of([prog.pid]) if self.display.window_name(w) == title]

    def answer_box(self, box):
        self.display.xdotool("windowactivate", "--sync", box)
        self.display.key("Return")

    def close_by_window_manager(self, prog):
        self.display.xdotool("windowactivate", "--sync", prog.window())
        self.display.key("alt+F4")

    def placement_logged(self, rect):
        x, y, w, h = rect
        return self.env.wait_log(
            rf"tmrShowSubMonTimer\.Screen\.Left=\[{x}\];Top=\[{y}\];Width=\[{w}\];Height=\[{h}\]")


class TwoMonitorTests(SubScreenCase):

    def setUp(self):
        with dual_head_environment():
            super().setUp()

    def test_covers_exactly_the_monitor_listed_last_wherever_it_stands(self):
        for where in ("right-of", "left-of"):
            with self.subTest(second_head=where):
                self.display.layout(where)
                last = self.display.monitors()["DUMMY1"]
                since = self.server.last_seq()
                sub = self.start_sub()
                self.server.wait_request("/lumo7/title", since=since, timeout=60)
                wait_for(lambda: self.display.geometry(sub.window()) == last, 30,
                         f"the secondary window over {last} "
                         f"(now {self.display.geometry(sub.window())})")
                self.placement_logged(last)
                # Nothing but the page: no frame, no floating button or other window.
                self.assertEqual(self.display.windows_of(sub.tree()), [sub.window()])
                sub.stop()
                sub.wait_exit(30)

    def test_closing_the_main_instance_closes_the_secondary_one(self):
        sub = self.start_sub()
        main = self.start_main()
        self.close_by_window_manager(main)
        self.assertEqual(main.wait_exit(60), 0)
        self.assertEqual(sub.wait_exit(30), 0)
        self.env.wait_log(r"CloseSubScreen: the secondary-screen window closed")

    def test_refused_close_in_the_secondary_one_is_awaited_then_the_main_one_ends(self):
        sub = self.start_sub("live.html", extra_env={"PATH": "/nonexistent:/usr/bin:/bin"})
        self.server.wait_request("/lumo7/live/messages", timeout=60)
        # The open call only logs (no opener on PATH); commands run in order, so once its line
        # is in the log the refusal before it has been carried out.
        self.server.send_console("ZENTCMD=RefuseCloseBrowser", "ZENTCMD=openurl(refusal-set)")
        self.env.wait_log(r"ConsoleMessageProcess\.OpenURL\(refusal-set\)")
        main = self.start_main()

        self.close_by_window_manager(main)
        box = wait_for(lambda: self.boxes(sub), 60, "the refusal box of the secondary window")[0]
        bx, by, _, _ = self.display.geometry(box)
        x, y, w, h = self.display.monitors()["DUMMY1"]
        self.assertTrue(x <= bx < x + w and y <= by < y + h, "the box shows on the second display")
        self.assertTrue(main.running(), "the main instance went on before the box was answered")
        self.answer_box(box)
        self.assertEqual(main.wait_exit(60), 0)
        self.env.wait_log(r"CloseSubScreen: the secondary-screen window refused to close")
        self.assertTrue(sub.running())
        self.assertEqual(self.display.window_name(sub.window()), SUB_CAPTION)


class OneMonitorTests(SubScreenCase):

    def test_secondary_window_covers_the_only_monitor(self):
        sub = self.start_sub("title?t=Sub")
        wait_for(lambda: self.display.geometry(sub.window()) == (0, 0, *SCREEN), 30,
                 "the secondary window over the whole screen")
        self.placement_logged((0, 0, *SCREEN))

    def test_full_screen_commands_do_nothing_in_the_secondary_window(self):
        sub = self.start_sub("live.html", extra_env={"PATH": "/nonexistent:/usr/bin:/bin"})
        self.server.wait_request("/lumo7/live/messages", timeout=60)
        self.server.send_console("ZENTCMD=FullScreen", "ZENTCMD=FullScreenOff",
                                 "ZENTCMD=openurl(done)")
        self.env.wait_log(r"ConsoleMessageProcess\.OpenURL\(done\)")
        self.assertEqual(self.display.geometry(sub.window()), (0, 0, *SCREEN))
        self.assertNotIn("_NET_WM_STATE_FULLSCREEN", self.display.window_state(sub.window()))

    def test_closing_the_main_instance_without_a_secondary_one(self):
        main = self.start_main()
        self.close_by_window_manager(main)
        self.assertEqual(main.wait_exit(60), 0)
        self.env.wait_log(r"CloseSubScreen: no secondary-screen window")

    def test_closing_the_secondary_one_by_hand_leaves_the_main_one(self):
        main = self.start_main()
        sub = self.start_sub()
        self.close_by_window_manager(sub)
        self.assertEqual(sub.wait_exit(60), 0)
        self.assertTrue(main.running())


class DebugRequestTests(SubScreenCase):

    def send_notice(self, role, message, wparam, lparam):
        """Drops the datagram into every socket of the role's notice folder."""
        folder = os.path.join(self.env.runtime, "zent-notice",
                              role.replace("{", "%7B").replace("}", "%7D"))
        sent = 0
        with socket.socket(socket.AF_UNIX, socket.SOCK_DGRAM) as s:
            for path in glob.glob(os.path.join(folder, "*.sock")):
                try:
                    s.sendto(struct.pack("<III", message, wparam, lparam), path)
                    sent += 1
                except OSError:
                    pass
        return sent

    def debug_windows(self, prog):
        return [w for w in self.display.windows_of([prog.pid])
                if self.display.window_name(w) == "调试窗口"]

    def test_only_the_exact_request_in_the_secondary_instance_shows_the_debug_window(self):
        sub = self.start_sub("title?t=Sub", "-fordebug")
        main = self.start_main()
        for role, wparam, lparam in ((SUB_INSTANCE, 128, 0), (MAIN_INSTANCE, 128, 144)):
            self.assertEqual(self.send_notice(role, DEBUG_REQUEST, wparam, lparam), 1)
            self.env.wait_log(rf"DebugRequest: wParam={wparam} lParam={lparam}")
        self.assertEqual(self.debug_windows(sub), [])
        self.assertEqual(self.debug_windows(main), [])

        self.assertEqual(self.send_notice(SUB_INSTANCE, DEBUG_REQUEST, 128, 144), 1)
        wait_for(lambda: self.debug_windows(sub), 30, "the secondary instance's debug window")
        self.assertEqual(self.debug_windows(main), [])


if __name__ == "__main__":
    unittest.main()
