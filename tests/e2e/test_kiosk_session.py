"""End-to-end acceptance of the kiosk session's parts in the program: minimised under the
session's own window manager settings (openbox with packaging/openbox-rc.xml, no panel), a tap
on the empty screen brings the browser back in full screen, while outside the session
minimising keeps its meaning; and the hidden pointer over the main window, the secondary
screen's window and the empty screen, from the session's variable or the run options.

Run from tests/e2e inside scripts/netns.sh:  python3 -m unittest -v test_kiosk_session
"""

import os
import subprocess
import time
import unittest

from dual_display import dual_head_environment
from harness import (APP_URL, SCREEN, SUB_CAPTION, E2ETestCase, Environment, log_file,
                     source_dir, wait_for)
from pointer import cursor_visible

KIOSK = {"LUMO7_KIOSK_SESSION": "1"}
CATCHER = "Lumo7Browser:TapToRestore"


class KioskCase(E2ETestCase):
    """The harness's display with openbox started on the kiosk session's settings."""

    kiosk_window_manager = True

    def setUp(self):
        if not self.kiosk_window_manager:
            return super().setUp()
        self.env = Environment(window_manager=False)
        self.addCleanup(self.env.close)
        self.server = self.env.server
        self.display = self.env.display
        rc = os.path.join(source_dir(), "packaging", "openbox-rc.xml")
        # Ended with the display (Display.close stops its window manager).
        self.display.wm = subprocess.Popen(
            ["openbox", "--sm-disable", "--config-file", rc], env=self.display.env,
            stdout=subprocess.DEVNULL, stderr=log_file(self.env.tmp, "openbox.log"),
            start_new_session=True)
        wait_for(lambda: "window id" in self.display.xprop_root("_NET_SUPPORTING_WM_CHECK"), 30,
                 "openbox with the kiosk settings to manage the display")

    def state(self, prog):
        return self.display.window_state(prog.window() or 0)

    def full_screen(self, prog):
        wid = prog.window()
        return (wid and "_NET_WM_STATE_FULLSCREEN" in self.display.window_state(wid)
                and "_NET_WM_STATE_HIDDEN" not in self.display.window_state(wid)
                and self.display.geometry(wid) == (0, 0, *SCREEN))

    def minimise_by_page(self, prog):
        self.server.send_console("ZENTCMD=MinimizeBrowser")
        wait_for(lambda: "_NET_WM_STATE_HIDDEN" in self.state(prog), 20, "the minimised window")

    def catchers(self):
        return self.display.search(name=CATCHER)

    def pointer_visible_at(self, x, y):
        self.display.xdotool("mousemove", x, y)
        wait_for(lambda: self.display.pointer() == (x, y), 5, f"the pointer at {x},{y}")
        # The server changes the cursor as the pointer enters a window; give it that turn.
        time.sleep(0.3)
        return cursor_visible(self.display.name)


class TapBackTests(KioskCase):

    def test_a_tap_on_the_empty_screen_brings_the_minimised_browser_back_full_screen(self):
        prog = self.start_live_page(extra_env=KIOSK)
        # Maximised, not full screen: the tap brings it back in full screen all the same.
        wait_for(lambda: "_NET_WM_STATE_MAXIMIZED_VERT" in self.state(prog), 30, "the maximised window")
        for round_ in range(2):
            with self.subTest(round=round_):
                self.minimise_by_page(prog)
                self.env.wait_log(r"TapToRestore: armed over 0,0 1280x800", count=round_ + 1)
                self.assertTrue(self.catchers(), "the catcher over the screen")
                self.display.click(SCREEN[0] // 2, SCREEN[1] // 2)
                wait_for(lambda: self.full_screen(prog), 30,
                         f"the browser back in full screen (state {self.state(prog)})")
                wait_for(lambda: not self.catchers(), 10, "the catcher to go")
                self.assertEqual(self.display.active_window(), prog.window())
        # The page is still usable: a tap now reaches the page, not a catcher.
        self.assertTrue(prog.running())

    def test_minimised_by_the_window_manager_too_and_closing_leaves_no_catcher(self):
        prog = self.start_live_page(extra_env=KIOSK)
        self.display.minimize(prog.window())
        self.env.wait_log(r"TapToRestore: armed")
        self.display.click(100, 100)
        wait_for(lambda: self.full_screen(prog), 30, "the browser back in full screen")
        self.server.send_console("ZENTCMD=CloseBrowser")
        self.assertEqual(prog.wait_exit(60), 0)
        self.assertFalse(self.catchers())


class OutsideTheSessionTests(E2ETestCase):

    def test_minimise_keeps_its_meaning_without_the_kiosk_session(self):
        prog = self.start_live_page()
        self.server.send_console("ZENTCMD=MinimizeBrowser")
        wait_for(lambda: "_NET_WM_STATE_HIDDEN" in self.display.window_state(prog.window()), 20,
                 "the minimised window")
        self.display.click(SCREEN[0] // 2, SCREEN[1] // 2)
        # Nothing is there to take the tap; the window stays minimised.
        time.sleep(2)
        self.assertIn("_NET_WM_STATE_HIDDEN", self.display.window_state(prog.window()))
        self.assertEqual(self.display.search(name=CATCHER), [])
        self.assertNotIn("TapToRestore", self.env.log_text())


class HiddenPointerTests(KioskCase):

    def write_run_options(self, text):
        with open(os.path.join(self.env.bin, "Lumo7Browser.cnfg"), "w") as f:
            f.write(text)

    def test_the_sessions_choice_hides_it_over_the_window_and_the_empty_screen(self):
        # The session's "yes" wins over run options that say 0.
        self.write_run_options("[Kiosk]\nHidePointer=0\n")
        self.assertTrue(self.pointer_visible_at(5, 5), "the server's own cursor before the start")
        prog = self.start_live_page(extra_env=dict(KIOSK, LUMO7_HIDE_POINTER="yes"))
        self.env.wait_log(r"Pointer hidden \(windows and screen\)")
        x, y, w, h = self.display.geometry(prog.window())
        self.assertFalse(self.pointer_visible_at(x + w // 2, y + h // 2), "pointer over the page")
        self.assertFalse(self.pointer_visible_at(x + 20, y + 20), "pointer over the floating button")
        # Minimised: the screen is empty, and the pointer stays hidden over it.
        self.minimise_by_page(prog)
        self.env.wait_log(r"TapToRestore: armed")
        self.assertFalse(self.pointer_visible_at(SCREEN[0] // 3, SCREEN[1] // 3), "over the empty screen")

    def pointer_over_window(self, extra_env):
        prog = self.start_live_page(extra_env=extra_env)
        x, y, w, h = self.display.geometry(prog.window())
        return self.pointer_visible_at(x + w // 2, y + h // 2)

    def test_the_run_options_hide_it_outside_the_session(self):
        self.write_run_options("[Kiosk]\nHidePointer=1\n")
        self.assertFalse(self.pointer_over_window({}))

    def test_the_sessions_no_shows_it_whatever_the_run_options_say(self):
        self.write_run_options("[Kiosk]\nHidePointer=1\n")
        self.assertTrue(self.pointer_over_window(dict(KIOSK, LUMO7_HIDE_POINTER="no")))
        self.assertNotIn("Pointer hidden", self.env.log_text())

    def test_without_the_option_the_pointer_shows(self):
        self.assertTrue(self.pointer_over_window(KIOSK))
        self.assertNotIn("Pointer hidden", self.env.log_text())


class SecondaryScreenPointerTests(KioskCase):
    kiosk_window_manager = False  # the two-head display brings its own openbox

    def setUp(self):
        with dual_head_environment():
            super().setUp()

    def test_hidden_over_the_main_and_the_secondary_screens_windows(self):
        hide = {"LUMO7_HIDE_POINTER": "yes"}
        sub = self.env.start("-url", APP_URL, "-suburl", "title?t=Sub", extra_env=hide)
        wait_for(lambda: self.display.window_name(sub.window() or 0) == SUB_CAPTION, 60,
                 "the secondary-screen window")
        last = self.display.monitors()["DUMMY1"]
        wait_for(lambda: self.display.geometry(sub.window()) == last, 30,
                 "the secondary window over the second monitor")
        main = self.start_live_page(extra_env=hide)
        for name, prog in (("main", main), ("secondary", sub)):
            with self.subTest(window=name):
                x, y, w, h = self.display.geometry(prog.window())
                self.assertFalse(self.pointer_visible_at(x + w // 2, y + h // 2))


if __name__ == "__main__":
    unittest.main()
