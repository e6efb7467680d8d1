"""End-to-end acceptance of the floating restore button and the debug window: taps at the
button's place leave full screen, the button shows nothing on screen, the secondary instance
has none; Alt+F12 shows the developer tools in debug mode only, and only with exactly Alt.

Run from tests/e2e inside scripts/netns.sh:  python3 -m unittest -v test_float_button_debug
"""

import contextlib
import os
import subprocess
import time
import unittest

from harness import APP_URL, E2ETestCase, HarnessError, wait_for

PAGE_COLOUR = (0xCC, 0xDD, 0xEE)
BUTTON = (10, 0, 65, 65)  # over the full-screen browser area's top-left corner
BUTTON_CENTRE = (BUTTON[0] + BUTTON[2] // 2, BUTTON[1] + BUTTON[3] // 2)
NOTICE_CAPTION = "提示"
DEBUG_CAPTION = "调试窗口"
# Long enough for a tap or a key to have been handled, were it going to show something.
SETTLE = 2.0


class Case(E2ETestCase):

    def stays_false(self, predicate, message, seconds=SETTLE):
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline:
            self.assertFalse(predicate(), message)
            time.sleep(0.1)

    def start_main(self, *args, full_screen=False, page="title?t=Main"):
        if full_screen:
            with open(os.path.join(self.env.bin, "Lumo7Browser.cnfg"), "w") as f:
                f.write("[Cnfg]\nFullScreenOnRun=1\n")
        since = self.server.last_seq()
        prog = self.env.start_app(page, *args)
        prog.wait_window()
        self.server.wait_report("flag", "true", since=since, timeout=90)
        return prog

    def windows_named(self, prog, name):
        return [w for w in prog.windows() if self.display.window_name(w) == name]

    def find(self, prog, name, visible=True):
        """Windows of the program with exactly this name (override-redirect ones included)."""
        args = ["xdotool", "search", "--all"] + (["--onlyvisible"] if visible else [])
        res = subprocess.run(args + ["--pid", str(prog.pid), "--name", f"^{name}$"],
                             env=self.display.env, capture_output=True, timeout=20)
        return [int(x) for x in res.stdout.split()]

    def shown_windows_named(self, prog, name):
        return self.find(prog, name)


class FloatButtonTests(Case):

    @contextlib.contextmanager
    def other_program(self):
        """Another program's window, away from the button's corner; yields its window."""
        other = subprocess.Popen(["xmessage", "-geometry", "+600+500", "other program"],
                                 env=self.display.env, stdout=subprocess.DEVNULL,
                                 stderr=subprocess.DEVNULL)
        try:
            yield wait_for(lambda: self.display.search(pid=other.pid, visible=True)
                           or self.display.search(name="^xmessage$", visible=True), 20,
                           "the other program's window")[0]
        finally:
            other.terminate()
            other.wait(10)

    def float_windows(self, prog, visible=True):
        return self.find(prog, "frmFloatButton", visible)

    def main_window_full_screen(self, prog):
        wid = prog.window()
        return wid is not None and "_NET_WM_STATE_FULLSCREEN" in self.display.window_state(wid)

    def start_full_screen(self):
        prog = self.start_main(full_screen=True)
        wait_for(lambda: self.main_window_full_screen(prog), 30, "the window in full screen",)
        wait_for(lambda: self.float_windows(prog)
                 and self.display.geometry(self.float_windows(prog)[0]) == BUTTON, 30,
                 f"the floating button at {BUTTON}")
        # The pointer goes there once: a synchronous move to where it already is never ends.
        self.display.xdotool("mousemove", "--sync", *BUTTON_CENTRE)
        return prog

    def tap(self, button=1):
        self.display.xdotool("click", button)

    def test_four_taps_show_the_notice_once_and_leave_full_screen(self):
        prog = self.start_full_screen()
        self.assertIn("FloatButton: x11-input-only", self.env.log_text())
        # Any mouse button counts.
        for button in (1, 3, 2, 1):
            self.tap(button)
        notices = wait_for(lambda: self.windows_named(prog, NOTICE_CAPTION), 20, "the notice")
        self.assertEqual(len(notices), 1, self.describe())
        self.assertTrue(self.main_window_full_screen(prog), "full screen ended before the notice closed")
        self.display.xdotool("windowactivate", "--sync", notices[0])
        self.display.key("Return")
        wait_for(lambda: not self.main_window_full_screen(prog), 20, "the window to leave full screen")
        wait_for(lambda: not self.windows_named(prog, NOTICE_CAPTION), 20, "the notice to close")
        self.stays_false(lambda: self.windows_named(prog, NOTICE_CAPTION), "a second notice appeared")
        self.assertEqual(len(self.env.wait_log(r"FloatButton: four taps")), 1)

    def test_a_pause_of_more_than_five_seconds_starts_a_new_burst(self):
        prog = self.start_full_screen()
        for _ in range(3):
            self.tap()
        time.sleep(5.5)  # the behaviour under test is this pause
        for _ in range(3):
            self.tap()
        self.stays_false(lambda: self.windows_named(prog, NOTICE_CAPTION),
                         "taps before and after the pause were counted together")
        self.assertTrue(self.main_window_full_screen(prog))
        self.tap()  # the fourth of the new burst
        wait_for(lambda: self.windows_named(prog, NOTICE_CAPTION), 20, "the notice")

    def test_the_button_shows_nothing_over_the_page(self):
        prog = self.start_full_screen()
        x, y, w, h = BUTTON
        region = (x - 10, y, w + 40, h + 20)  # the button and some page around it
        wait_for(lambda: self.display.pixel(x + w + 200, y + h + 200) == PAGE_COLOUR, 30,
                 "the page's colour on screen")
        with_button = self.display.grab_rgb(*region)
        self.assertTrue(self.float_windows(prog), "the button was not there while the screen was read")
        # The same place with the button away: another program in front hides it.
        with self.other_program() as other_wid:
            self.display.xdotool("windowactivate", "--sync", other_wid)
            wait_for(lambda: not self.float_windows(prog), 20, "the button to hide")
            without_button = self.display.grab_rgb(*region)
        self.assertEqual(with_button, without_button, "the button's place looks different with the button")

    def test_the_button_follows_the_window_out_of_full_screen_and_hides_with_the_program(self):
        prog = self.start_full_screen()
        for _ in range(4):
            self.tap()
        notice = wait_for(lambda: self.windows_named(prog, NOTICE_CAPTION), 20, "the notice")[0]
        self.display.xdotool("windowactivate", "--sync", notice)
        self.display.key("Return")
        wait_for(lambda: not self.main_window_full_screen(prog), 20, "the window to leave full screen")
        # Out of full screen the browser area starts below the frame's title bar.
        wid = prog.window()

        def placed_on_browser_area():
            fx, fy, fw, fh = self.display.geometry(self.float_windows(prog)[0])
            wx, wy, _, _ = self.display.geometry(wid)
            return (fw, fh) == (65, 65) and fx == wx + 10 and fy == wy
        wait_for(placed_on_browser_area, 20, "the button at the browser area's corner")

        # Another program in front: the button hides; back to ours: it shows at the same place.
        place = self.display.geometry(self.float_windows(prog)[0])
        with self.other_program() as other_wid:
            self.display.xdotool("windowactivate", "--sync", other_wid)
            wait_for(lambda: not self.float_windows(prog), 20, "the button to hide")
            self.display.xdotool("windowactivate", "--sync", wid)
            wait_for(lambda: self.float_windows(prog), 20, "the button to show again")
            self.assertEqual(self.display.geometry(self.float_windows(prog)[0]), place)

    def test_the_secondary_instance_has_no_button(self):
        since = self.server.last_seq()
        sub = self.env.start("-url", APP_URL, "-suburl", "title?t=Sub")
        sub.wait_window()
        self.server.wait_report("load", since=since, timeout=90)
        self.assertEqual(self.float_windows(sub, visible=False), [])
        self.assertNotIn("FloatButton:", self.env.log_text())


class DebugWindowTests(Case):

    def test_alt_f12_shows_the_developer_tools_again_after_closing(self):
        prog = self.start_main("-fordebug")
        self.env.wait_log(r"Debug window created")
        self.env.wait_log(r"HotKey Alt\+F12: grabbed for the desktop")

        self.display.key("ctrl+alt+F12")
        self.stays_false(lambda: self.shown_windows_named(prog, DEBUG_CAPTION),
                         "Ctrl+Alt+F12 opened the debug window")

        for showing in (1, 2):
            with self.subTest(showing=showing):
                self.display.key("alt+F12")
                wid = wait_for(lambda: self.shown_windows_named(prog, DEBUG_CAPTION), 30,
                               "the debug window")[0]
                self.assertNotEqual(wid, prog.window())
                self.env.wait_log(r"DevTools loaded: devtools://", count=showing)
                self.display.xdotool("windowactivate", "--sync", wid)
                self.display.key("alt+F4")  # the window manager's close
                wait_for(lambda: not self.shown_windows_named(prog, DEBUG_CAPTION), 20,
                         "the debug window to close")
        self.assertTrue(prog.running())

    def test_alt_f12_reaches_the_program_while_another_has_the_focus(self):
        prog = self.start_main("-fordebug")
        self.env.wait_log(r"Debug window created")
        other = subprocess.Popen(["xmessage", "-geometry", "+300+300", "other program"],
                                 env=self.display.env, stdout=subprocess.DEVNULL,
                                 stderr=subprocess.DEVNULL)
        try:
            other_wid = wait_for(lambda: self.display.search(name="^xmessage$", visible=True), 20,
                                 "the other program's window")[0]
            self.display.xdotool("windowactivate", "--sync", other_wid)
            self.display.key("alt+F12")
            wait_for(lambda: self.shown_windows_named(prog, DEBUG_CAPTION), 30, "the debug window")
        finally:
            other.terminate()
            other.wait(10)

    def test_without_debug_mode_alt_f12_does_nothing(self):
        prog = self.start_main()
        self.env.wait_log(r"HotKey Alt\+F12: grabbed for the desktop")
        self.display.key("alt+F12")
        self.stays_false(lambda: self.windows_named(prog, DEBUG_CAPTION)
                         or self.shown_windows_named(prog, DEBUG_CAPTION),
                         "a debug window appeared without debug mode")
        self.assertNotIn("Debug window created", self.env.log_text())


if __name__ == "__main__":
    unittest.main()
