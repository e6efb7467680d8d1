"""A test display with two monitors: Xvfb offers a single RandR output, so the dummy video
driver of Xorg runs with two virtual heads, openbox manages it, and xrandr lays the heads
out. Qt lists the screens in output order, so the head listed last is DUMMY1 wherever it
stands.

Use `dual_head_environment()` in place of harness.Environment's display in setUp.
"""

import contextlib
import os
import re
import subprocess
from unittest import mock

import harness
from harness import Display, log_file, read_line, wait_for

XORG_CONF = """\
Section "Device"
  Identifier "dummy"
  Driver "dummy"
  VideoRam 256000
  Option "VirtualHeads" "2"
EndSection
Section "Monitor"
  Identifier "monitor"
  HorizSync 5.0-1000.0
  VertRefresh 5.0-200.0
EndSection
Section "Screen"
  Identifier "screen"
  Device "dummy"
  Monitor "monitor"
  DefaultDepth 24
  SubSection "Display"
    Depth 24
    Virtual 3000 1200
  EndSubSection
EndSection
"""

PRIMARY = ("DUMMY0", 1280, 800)
SECOND = ("DUMMY1", 1024, 768)


class DualHeadDisplay(Display):
    """Xorg with the dummy driver, two heads: DUMMY0 1280x800 and DUMMY1 1024x768 to its right."""

    def __init__(self, workdir, size=None, window_manager=True):
        self.workdir = workdir
        self.window_manager = window_manager
        self.xvfb = self.wm = None
        conf = os.path.join(workdir, "xorg-dummy.conf")
        with open(conf, "w") as f:
            f.write(XORG_CONF)
        # Kept in the field Display.close ends, so it is stopped the same way as Xvfb.
        self._start(lambda fd: ["Xorg", "-displayfd", str(fd), "-config", conf, "-logfile",
                                os.path.join(workdir, "xorg.log"), "-noreset", "-nolisten", "tcp",
                                "-novtswitch", "-sharevts"],
                    "Xorg", log_file(workdir, "xorg.err"))

    def _configure(self):
        self.run("xrandr", "--addmode", SECOND[0], f"{SECOND[1]}x{SECOND[2]}")
        self.layout("right-of")

    def layout(self, where):
        """Puts the second head `where` ("right-of" or "left-of") the primary one."""
        self.run("xrandr", "--output", PRIMARY[0], "--mode", f"{PRIMARY[1]}x{PRIMARY[2]}",
                 "--output", SECOND[0], "--mode", f"{SECOND[1]}x{SECOND[2]}", f"--{where}",
                 PRIMARY[0])

    def monitors(self):
        """{output name: (x, y, width, height)} of the active heads."""
        out = self.run("xrandr", "--listmonitors")
        heads = {}
        for m in re.finditer(r"(\d+)/\d+x(\d+)/\d+\+(-?\d+)\+(-?\d+)\s+(\S+)\s*$", out, re.M):
            w, h, x, y, name = m.groups()
            heads[name] = (int(x), int(y), int(w), int(h))
        return heads


@contextlib.contextmanager
def dual_head_environment():
    """While active, harness.Environment builds its display with two heads."""
    with mock.patch.object(harness, "Display", DualHeadDisplay):
        yield
