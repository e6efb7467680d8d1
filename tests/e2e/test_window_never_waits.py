"""End-to-end acceptance: the window's thread never waits on the network. A fixed host
answers the echo (it is this machine) but black-holes port 7006: it accepts the connection
and never answers. The program's loop probe (ZENT_LOOP_PROBE) posts a call to the window's
thread every 200 ms and writes how long it waited; for 30 s of direct queries, and again
while the window closes with a disconnect notice that nobody answers, no call may wait
longer than 100 ms.

Run from tests/e2e inside scripts/netns.sh:
    python3 -m unittest -v test_window_never_waits
"""

import os
import re
import socket
import time

from harness import E2ETestCase, read_probe, wait_for

SILENT_HOST = "127.0.0.1"
SILENT_PORT = 7006
PROBE_S = 30.0
LIMIT_MS = 100.0


def silent_listener():
    """Accepts connections (through the kernel's queue) and never reads or answers."""
    s = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    s.bind((SILENT_HOST, SILENT_PORT))
    s.listen(128)
    return s


class WindowNeverWaitsTests(E2ETestCase):
    server_far_side = True  # the stand-in far away; this side's 7006 is ours

    def test_black_holed_server_and_closing_never_stall_the_window(self):
        listener = silent_listener()
        self.addCleanup(listener.close)
        probe = os.path.join(self.env.tmp, "loop-probe.txt")
        prog = self.env.start("-ip", SILENT_HOST, extra_env={"ZENT_LOOP_PROBE": probe})
        prog.wait_window()
        # The fixed host's page was opened after the first unanswered query; from now on the
        # query is repeated, each one waiting on the silent port.
        self.env.wait_log(r"Directional 127\.0\.0\.1: no answer", timeout=60)
        self.env.wait_log(r"LoadURL: http://127\.0\.0\.1/", timeout=30)

        start = time.time()
        time.sleep(PROBE_S)
        samples = [(t, ms) for t, ms in read_probe(probe) if t >= start]
        self.assertGreaterEqual(len(samples), PROBE_S / 0.2 * 0.8,
                                f"too few probe answers: {len(samples)}\n{self.describe()}")
        worst = max(ms for _, ms in samples)
        self.assertLessEqual(worst, LIMIT_MS, f"the window's loop stalled {worst} ms")
        queries = re.findall(r"Directional 127\.0\.0\.1: no answer", self.env.log_text())
        self.assertGreaterEqual(len(queries), 3, "the fixed host was not asked again")
        self.assertTrue(prog.running())

        # Closing: the notice goes to the configured server, which is the silent port now,
        # so it waits for its read time-out while the window is already gone.
        self.env.write_config(f"[LumoServer]\nHost={SILENT_HOST}\nPort={SILENT_PORT}\nUrl=lumo7/\n")
        wid = prog.window()
        closed_at = time.time()
        self.display.xdotool("windowactivate", "--sync", wid)
        self.display.key("alt+F4")
        # Well inside the notice's own time-out, with room for a busy machine.
        wait_for(lambda: prog.window() is None, 6, "the window to go at once")
        self.assertTrue(prog.running(), "ended before its disconnect notice was done")
        self.assertEqual(prog.wait_exit(40), 0)
        self.assertGreaterEqual(time.time() - closed_at, 5.0, "the notice was not waited for")
        self.assertRegex(self.env.log_text(),
                         r"Disconnect http://127\.0\.0\.1:7006/lumo7/dbi/lumo7server/product/disconnect: ")
        closing = [(t, ms) for t, ms in read_probe(probe) if t >= closed_at]
        self.assertGreaterEqual(len(closing), 20, f"too few probe answers while closing: {len(closing)}")
        worst_closing = max(ms for _, ms in closing)
        self.assertLessEqual(worst_closing, LIMIT_MS, f"the loop stalled {worst_closing} ms while closing")
        print(f"\nlongest probe reply: {worst:.1f} ms over {len(samples)} probes; "
              f"while closing {worst_closing:.1f} ms over {len(closing)}", flush=True)


if __name__ == "__main__":
    import unittest
    unittest.main()
