"""End-to-end acceptance of the languages: with English chosen in "Lang.config" the main
window, the server address dialog and the message boxes speak English; a text the English
table lacks is shown in Chinese; without "Lang.config" the program stays Chinese.

Screenshots of each step are written to $ZENT_E2E_SHOTS when it names a folder.
Run from tests/e2e inside scripts/netns.sh:  python3 -m unittest -v test_languages
"""

import os
import shutil
import struct
import time

from harness import APP_URL, E2ETestCase, HarnessError, wait_for

STATUS_BAR_H = 18
ENGLISH_TITLE = "Kestra Restaurant Management System"
CHINESE_TITLE = "Kestra餐饮管理系统"
ENGLISH_FILE = "Lumo7Browser_EN_US.lang"


def package_bytes(lang_id, name, texts):
    """A language package: u32 version 1, then length-prefixed UTF-16LE strings."""
    def field(text):
        raw = text.encode("utf-16-le")
        return struct.pack("<I", len(raw)) + raw
    out = struct.pack("<I", 1) + field(lang_id) + field(name)
    for key, value in texts.items():
        out += field(key) + field(value)
    return out


CARET_MAX_W = 3   # pixels: a text caret is a thin vertical bar
CARET_MAX_H = 40  # taller than the tallest line of text the dialogs show


def only_caret_differs(before, after, width):
    """True when two RGB pictures of the same size are equal, or differ only inside one bar
    at most CARET_MAX_W wide and CARET_MAX_H high (a text caret that blinked in between)."""
    if len(before) != len(after):
        return False
    if before == after:
        return True
    row = width * 3
    rows = [r for r in range(len(after) // row) if before[r * row:(r + 1) * row] != after[r * row:(r + 1) * row]]
    if rows[-1] - rows[0] + 1 > CARET_MAX_H:
        return False
    columns = set()
    for r in rows:
        base = r * row
        columns.update(i // 3 for i in range(row) if before[base + i] != after[base + i])
        if max(columns) - min(columns) + 1 > CARET_MAX_W:
            return False
    return True


class LanguageCase(E2ETestCase):
    server_at_start = False  # the window stays on its loading screen until the test starts one

    def lang_dir(self):
        return os.path.join(self.env.bin, "Lang")

    def choose(self, lang_id):
        with open(os.path.join(self.lang_dir(), "Lang.config"), "w", encoding="utf-8") as f:
            f.write(f"[Lang]\nid={lang_id}\n")

    def settled(self, wid):
        """Waits until the window's picture stops changing, so a screenshot shows it drawn.
        A blinking text caret is the one change that never stops: two pictures that differ
        only within a caret-sized bar count as the same."""
        x, y, w, h = self.display.geometry(wid)
        last = [None]

        def same_twice():
            now = self.display.grab_rgb(x, y, w, h)
            done = (last[0] is not None and only_caret_differs(last[0], now, w)
                    and len(set(now[i] for i in range(0, len(now), 997))) > 1)
            last[0] = now
            if not done:
                time.sleep(0.3)
            return done
        wait_for(same_twice, 30, "the window to be drawn")

    def shot(self, name, wid=None):
        if wid:
            self.settled(wid)
        path = self.env.screenshot(name)
        keep = os.environ.get("ZENT_E2E_SHOTS")
        if keep:
            os.makedirs(keep, exist_ok=True)
            shutil.copy(path, os.path.join(keep, name))
        return path

    def named_windows(self, prog, name):
        return [w for w in self.display.windows_of([prog.pid]) if self.display.window_name(w) == name]

    def caption(self, prog):
        return self.display.window_name(prog.window() or 0)

    def wait_caption(self, prog, title, what):
        """Waits for the main window's caption; a time-out names every window the program has."""
        try:
            wait_for(lambda: self.caption(prog) == title, 60, what)
        except HarnessError as e:
            names = [(hex(w), self.display.window_name(w)) for w in prog.windows()]
            raise HarnessError(f"{e}; the program's windows: {names}, running: {prog.running()}") from None

    def open_address_dialog(self, prog, title):
        """Clicks the settings icon at the left of the status bar; returns the dialog."""
        x, y, w, h = self.display.geometry(prog.window())
        self.display.click(x + 10, y + h - STATUS_BAR_H // 2)
        return wait_for(lambda: self.named_windows(prog, title), 30, f"the dialog {title!r}")[0]

    def close_dialog(self, prog, dialog, title):
        self.display.xdotool("windowactivate", "--sync", dialog)
        self.display.key("Escape")
        wait_for(lambda: not self.named_windows(prog, title), 20, "the dialog to close")


class EnglishTests(LanguageCase):

    def test_english_window_dialog_and_message_box(self):
        self.choose("EN_US")
        prog = self.env.start_app("live.html")
        prog.wait_window()
        self.wait_caption(prog, ENGLISH_TITLE, "the English caption")
        wait_for(lambda: "_NET_WM_STATE_MAXIMIZED_VERT" in self.display.window_state(prog.window() or 0),
                 30, "the maximised window")
        self.shot("en-main-loading.png", prog.window())

        dialog = self.open_address_dialog(prog, "Settings")
        self.shot("en-address-dialog.png", dialog)
        self.close_dialog(prog, dialog, "Settings")

        server = self.env.start_server()
        since = server.last_seq()
        server.wait_report("flag", "true", since=since, timeout=90)
        server.wait_request("/lumo7/live/messages", since=since, timeout=30)
        self.shot("en-main-connected.png", prog.window())
        server.send_console("ZENTCMD=RefuseCloseBrowser", "ZENTCMD=CloseBrowser")
        box = wait_for(lambda: self.named_windows(prog, "Notice"), 30, "the English refusal box")[0]
        self.shot("en-close-refused.png", box)
        self.assertEqual(self.named_windows(prog, "提示"), [])
        self.display.xdotool("windowactivate", "--sync", box)
        self.display.key("Return")
        wait_for(lambda: not self.named_windows(prog, "Notice"), 20, "the box to go")
        self.assertTrue(prog.running())
        self.assertIn("Language: EN_US", self.env.log_text())

    def test_text_missing_from_english_falls_back_to_chinese(self):
        # An English package without the dialog's title: every other text stays English.
        english = os.path.join(self.lang_dir(), ENGLISH_FILE)
        os.remove(english)  # a hard link to the build's file: replace, never write through it
        with open(english, "wb") as f:
            f.write(package_bytes("EN_US", "English",
                                  {"Kestra餐饮管理系统": ENGLISH_TITLE, "确定": "OK", "取消": "Cancel",
                                   "版本: [%s]": "Version: [%s]"}))
        self.choose("en_us")
        prog = self.env.start_app()
        prog.wait_window()
        self.wait_caption(prog, ENGLISH_TITLE, "the English caption")
        dialog = self.open_address_dialog(prog, "配置")
        self.shot("en-missing-text-dialog.png", dialog)
        self.close_dialog(prog, dialog, "配置")


class DefaultLanguageTests(LanguageCase):

    def test_without_lang_config_chinese_stays_the_default(self):
        prog = self.env.start_app()
        prog.wait_window()
        self.wait_caption(prog, CHINESE_TITLE, "the Chinese caption")
        # No server yet: the engine's error pages under the loading panel (titled with the
        # server's address) never take the caption.
        self.env.wait_log(r"LoadError: ", count=2)
        self.assertEqual(self.caption(prog), CHINESE_TITLE)
        dialog = self.open_address_dialog(prog, "配置")
        self.close_dialog(prog, dialog, "配置")

    def test_damaged_language_files_leave_every_text_chinese(self):
        # A header that reads, entries that do not: the file is skipped as a whole.
        english = os.path.join(self.lang_dir(), ENGLISH_FILE)
        os.remove(english)
        with open(english, "wb") as f:
            f.write(package_bytes("EN_US", "English", {}) + struct.pack("<I", 0x7FFFFFF0) + b"x")
        with open(os.path.join(self.lang_dir(), "Lumo7Browser_XX.lang"), "wb") as f:
            f.write(struct.pack("<II", 1, 0xFFFFFFFF))
        self.choose("EN_US")
        prog = self.env.start_app()
        prog.wait_window()
        self.wait_caption(prog, CHINESE_TITLE, "the Chinese caption")
        self.assertTrue(prog.running())
