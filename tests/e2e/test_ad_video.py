"""End-to-end acceptance of advertisement videos: "PlayADParam" writes the rectangle, moved by
the window's client origin, to "Player/mpc-be.ini" and the shipped player shows an mpv window
at exactly that screen rectangle, off the taskbar, playing a video of the stand-in; a second
command ends the first player first; a missing "Player" folder and non-numbers fail with their
texts while the page goes on; the window answers while the player starts; no player outlives
the browser, whether it is closed or ended with SIGTERM.

Run from tests/e2e inside scripts/netns.sh:  python3 -m unittest -v test_ad_video
"""

import configparser
import os
import shutil
import signal
import struct
import subprocess
import tempfile
import time
import unittest

from harness import E2ETestCase, cmdline, descendants, is_alive, wait_for

RED_VIDEO = "red.mp4"


def decode_rect(text):
    raw = bytes((ord(text[i]) - 65) | ((ord(text[i + 1]) - 65) << 4) for i in range(0, 32, 2))
    return struct.unpack("<iiii", raw)


def make_video(folder):
    """A short red video (made with ffmpeg; mpv loops it)."""
    path = os.path.join(folder, RED_VIDEO)
    subprocess.run(["ffmpeg", "-loglevel", "error", "-y", "-f", "lavfi", "-i",
                    "color=c=red:size=160x120:rate=10", "-t", "2", "-c:v", "mpeg4", "-q:v", "2",
                    "-pix_fmt", "yuv420p", path], check=True, timeout=60)
    return path


class AdVideoCase(E2ETestCase):

    @classmethod
    def setUpClass(cls):
        cls.media = tempfile.mkdtemp(prefix="zent-media-")
        make_video(cls.media)
        cls.server_args = ("--media-dir", cls.media)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.media, ignore_errors=True)

    def start_live(self):
        prog = self.start_live_page()
        self.addCleanup(self.kill_players, prog)
        return prog

    def players(self, prog):
        """The player processes the program started (the adapter becomes mpv in place)."""
        return [p for p in descendants(prog.pid) if is_alive(p) and cmdline(p)[:1] == ["mpv"]]

    def kill_players(self, prog):
        for p in self.players(prog):
            try:
                os.kill(p, signal.SIGKILL)
            except ProcessLookupError:
                pass

    def player_window(self, pid):
        return wait_for(lambda: self.display.windows_of([pid]), 30, f"the player {pid}'s window")[0]

    def ini_rect(self):
        cp = configparser.ConfigParser(interpolation=None, strict=False)
        with open(os.path.join(self.env.bin, "Player", "mpc-be.ini"), encoding="utf-8") as f:
            cp.read_string(f.read())
        return decode_rect(cp["Settings"]["LastWindowRect"])

    def play(self, left, top, width, height, url=f"/lumo7/media/{RED_VIDEO}"):
        self.server.send_console(
            f"ZENTCMD=PlayADParam,Left={left},Top={top},Width={width},Heigh={height},URL={url}")


class AdVideoTests(AdVideoCase):

    def test_player_window_covers_the_rectangle_off_the_taskbar_and_a_second_video_replaces_it(self):
        prog = self.start_live()
        wait_for(lambda: "_NET_WM_STATE_MAXIMIZED_VERT" in self.display.window_state(prog.window() or 0),
                 30, "the maximised window")
        cx, cy, _, _ = self.display.geometry(prog.window())
        self.play(10, 20, 300, 200)
        first = wait_for(lambda: self.players(prog), 30, "the player to start")[0]
        expected = (cx + 10, cy + 20, 300, 200)
        self.assertEqual(self.ini_rect(), (cx + 10, cy + 20, cx + 310, cy + 220))
        self.env.wait_log(rf"S-TopLeft T:{cy + 20}, L:{cx + 10}", timeout=10)
        self.env.wait_log(rf"S-BottomRight B:{cy + 220}, R:{cx + 310}", timeout=10)
        self.env.wait_log(r"F_URL:http://127\.0\.0\.1:8080/lumo7/media/red\.mp4", timeout=10)
        win = self.player_window(first)
        wait_for(lambda: self.display.geometry(win) == expected, 20,
                 f"the player's window at {expected} (is {self.display.geometry(win)})")
        wait_for(lambda: "_NET_WM_STATE_SKIP_TASKBAR" in self.display.window_state(win), 10,
                 "the player's window off the taskbar")
        self.assertIn("_NET_WM_STATE_ABOVE", self.display.window_state(win))
        self.server.wait_request(f"/lumo7/media/{RED_VIDEO}", timeout=30)
        # The video plays: the middle of the rectangle turns red.
        mid = (expected[0] + 150, expected[1] + 100)
        wait_for(lambda: (lambda p: p[0] > 200 and p[1] < 60 and p[2] < 60)(self.display.pixel(*mid)),
                 30, "red video pixels in the rectangle")

        self.play(50, 60, 200, 100)
        second = wait_for(lambda: [p for p in self.players(prog) if p != first], 30, "the second player")[0]
        self.assertFalse(is_alive(first), "the first player ended before the second started")
        win2 = self.player_window(second)
        expected2 = (cx + 50, cy + 60, 200, 100)
        wait_for(lambda: self.display.geometry(win2) == expected2, 20, f"the second window at {expected2}")
        self.assertEqual(self.players(prog), [second])

    def test_missing_player_and_bad_numbers_fail_with_their_texts_and_the_page_goes_on(self):
        prog = self.start_live()
        shutil.rmtree(os.path.join(self.env.bin, "Player"))
        self.play(1, 2, 3, 4, url="/lumo7/media/a b'\"$(touch pwned).mp4")
        exe = os.path.join(self.env.bin, "Player", "mpc-be.exe")
        line = self.env.wait_log(r"播放视频失败\[参数\[", timeout=30)[0]
        text = self.env.log_text()
        self.assertIn(f"[CP('{exe}', ' /play \"http://127.0.0.1:8080/lumo7/media/a b'\"$(touch pwned).mp4\"')]", text)
        self.assertIn("错误信息[No such file or directory]", text)
        self.assertIn("ZENTCMD=PlayADParam\nLeft=1\n", text)  # CR LF, read as text
        self.assertEqual(self.players(prog), [])

        self.play("ten", 2, 3, 4)
        self.env.wait_log(r"播放视频失败\[参数\[ZENTCMD=PlayADParam\r?$", timeout=30, count=2)
        self.assertIn("Left=ten", self.env.log_text())
        # The page goes on: a later command still works.
        self.server.send_console("ZENTCMD=FullScreenOn")
        wait_for(lambda: "_NET_WM_STATE_FULLSCREEN" in self.display.window_state(prog.window() or 0),
                 20, "full-screen state after the failures")
        self.assertFalse(os.path.exists(os.path.join(self.env.tmp, "pwned")))
        self.assertFalse(os.path.exists(os.path.join(self.env.bin, "pwned")))

    def test_the_window_answers_while_the_player_starts(self):
        prog = self.start_live()
        # A player that never shows a window: the wait for it lasts its full 3 s.
        exe = os.path.join(self.env.bin, "Player", "mpc-be.exe")
        os.unlink(exe)  # a hard link into the build: replace, never write through
        with open(exe, "w") as f:
            f.write("#!/bin/sh\nexec sleep 60\n")
        os.chmod(exe, 0o755)
        self.play(10, 20, 300, 200)
        self.server.send_console("ZENTCMD=FullScreenOn")
        t0 = time.monotonic()
        wait_for(lambda: "_NET_WM_STATE_FULLSCREEN" in self.display.window_state(prog.window() or 0),
                 20, "full-screen state")
        self.assertLess(time.monotonic() - t0, 2.5, "the window waited for the player's window")
        self.env.wait_log(r"MPC: no window of the player", timeout=20)

    def end_browser_and_check_the_player(self, end):
        prog = self.start_live()
        self.play(10, 20, 300, 200)
        player = wait_for(lambda: self.players(prog), 30, "the player to start")[0]
        self.player_window(player)
        end(prog)
        prog.wait_exit(30)
        wait_for(lambda: not is_alive(player), 10, "the player to end with the browser")

    def test_no_player_outlives_the_browser_closed(self):
        self.end_browser_and_check_the_player(lambda prog: self.server.send_console("ZENTCMD=CloseBrowser"))

    def test_no_player_outlives_the_browser_terminated(self):
        self.end_browser_and_check_the_player(lambda prog: prog.proc.send_signal(signal.SIGTERM))

if __name__ == "__main__":
    unittest.main()
