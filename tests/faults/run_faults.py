#!/usr/bin/env python3
"""Fault runs: the real program (through the end-to-end harness) against faults a terminal
meets in service, each scenario with an explicit time bound:

  - the stand-in stopped and started 50 times while the program connects: every cycle ends
    with the page shown;
  - 20 simultaneous starts: exactly one main instance remains, the others end with code 0;
  - the log folder read-only (a read-only bind mount: as root, permission bits stop nothing):
    entries are dropped, the program runs on;
  - the log folder on a tiny file system that is full: the program runs on;
  - the renderer killed: the page is back within a few seconds;
  - SIGTERM: the program ends with code 0, its end banner and its disconnect notice, also when
    the page has refused closing.

The stand-in runs on the far side of the namespace's veth pair, so the program finds it by its
ordinary search. Needs root inside the namespace (mounts).

Usage: tests/faults/run_faults.py [--build DIR] [unittest arguments, e.g. -k Sigterm]
       (re-runs itself in scripts/netns.sh)
"""

import argparse
import glob
import os
import random
import signal
import subprocess
import sys
import time
import unittest

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))

import harness  # noqa: E402  (after sys.path is set; importing it starts nothing)
from harness import PEER_HOST, HarnessError, wait_for  # noqa: E402

DISCONNECT_PATH = "/lumo7/dbi/lumo7server/product/disconnect"
END_BANNER = "****** Log End ******"

# Bounds, in seconds.
TOTAL_BOUND_S = 900          # the whole run; the alarm below fails it with a trace
PAGE_BOUND_S = 30            # from the server's (last) start to the page shown
EXIT_BOUND_S = 20            # from SIGTERM to the end (the disconnect notice waits at most 20 s)
CYCLES = 50
CYCLES_BOUND_S = 600         # about 8 s a cycle on a busy two-core machine
STARTS = 20
STARTS_BOUND_S = 90
RENDERER_BACK_S = 10


class FaultCase(unittest.TestCase):
    def setUp(self):
        self.env = harness.Environment(far_side=True)
        self.addCleanup(self.env.close)
        self.server = self.env.server

    def wait_page(self, since=0, timeout=PAGE_BOUND_S):
        """The page of the stand-in loaded and saw the program's flag."""
        return self.server.wait_report("flag", "true", since=since, timeout=timeout)

    def describe(self, prog=None):
        parts = [f"log tail:\n{self.env.log_text()[-2000:]}"]
        if prog:
            parts.append(f"output:\n{prog.output()[-1500:]}")
        return "\n".join(parts)

    def describe_running(self, progs):
        """For each program still running: its log lines and where its threads wait."""
        log = self.env.log_text()
        parts = []
        for p in progs:
            if not p.running():
                continue
            lines = [l for l in log.splitlines() if f"-{p.pid}]" in l]
            waits = []
            for task in sorted(glob.glob(f"/proc/{p.pid}/task/*")):
                try:
                    with open(os.path.join(task, "comm")) as f:
                        comm = f.read().strip()
                    with open(os.path.join(task, "wchan")) as f:
                        waits.append(f"{comm}:{f.read().strip()}")
                except OSError:
                    pass
            parts.append(f"pid {p.pid} still running; threads {' '.join(waits)}\n  " +
                         "\n  ".join(lines[-15:]) + f"\n  output: {p.output()[-500:]}")
        return "\n".join(parts)

    def terminate(self, prog, sig=signal.SIGTERM):
        """Sends `sig` to the program alone (not its group) and waits for its exit code."""
        os.kill(prog.pid, sig)
        return prog.wait_exit(EXIT_BOUND_S)

    def mount(self, *args):
        subprocess.run(["mount", *args], check=True, capture_output=True, timeout=20)

    def umount_later(self, path):
        self.addCleanup(lambda: subprocess.run(["umount", "-l", path], capture_output=True,
                                               timeout=20))


class ServerComesAndGoes(FaultCase):
    def test_stand_in_stopped_and_started_while_the_program_connects(self):
        rng = random.Random(8)  # the same delays every run
        deadline = time.monotonic() + CYCLES_BOUND_S
        for cycle in range(CYCLES):
            self.assertLess(time.monotonic(), deadline,
                            f"{cycle} of {CYCLES} cycles within {CYCLES_BOUND_S} s")
            with self.subTest(cycle=cycle):
                # Every other cycle starts without a stored server (a search first); the others
                # have the one the last cycle stored (a direct query first).
                if cycle % 2 == 0 and os.path.exists(self.env.config_path):
                    os.remove(self.env.config_path)
                down_at_start = cycle % 2 == 1 or cycle % 4 == 0
                if down_at_start:
                    self.server.close()
                prog = self.env.start()
                time.sleep(rng.uniform(0.0, 2.5))
                if not down_at_start:
                    # Gone in the middle of the search, the query or the page load.
                    self.server.close()
                    time.sleep(rng.uniform(0.0, 1.5))
                self.server = self.env.start_server()
                try:
                    # The program's own record of a shown page: the page may have loaded from
                    # the stand-in just stopped, whose records went with it.
                    self.env.wait_log(rf"\[0-{prog.pid}\] 已连接服务器", timeout=PAGE_BOUND_S)
                    self.assertEqual(self.terminate(prog), 0, self.describe(prog))
                except HarnessError as e:
                    self.fail(f"cycle {cycle}: {e}\n{self.describe(prog)}")
                finally:
                    # A program left running would hold the instance lock: every later
                    # start would only notify it and end.
                    prog.stop()
            if (cycle + 1) % 10 == 0:
                print(f"\n  {cycle + 1} cycles, {CYCLES_BOUND_S - (deadline - time.monotonic()):.0f} s",
                      file=sys.stderr, flush=True)


class SimultaneousStarts(FaultCase):
    def test_twenty_starts_leave_one_main_instance(self):
        deadline = time.monotonic() + STARTS_BOUND_S
        progs = [self.env.start() for _ in range(STARTS)]

        def others_ended():
            return sum(1 for p in progs if not p.running()) >= STARTS - 1
        try:
            wait_for(others_ended, deadline - time.monotonic(),
                     f"{STARTS - 1} of {STARTS} simultaneous starts to end")
        except HarnessError as e:
            self.fail(f"{e}\n{self.describe_running(progs)}")
        running = [p for p in progs if p.running()]
        ended = [p for p in progs if not p.running()]
        self.assertEqual(len(running), 1, [p.pid for p in running])
        self.assertEqual([p.proc.returncode for p in ended], [0] * (STARTS - 1))
        # The one left is a working main instance: its page loads, and no other start came back.
        self.wait_page(timeout=max(1, deadline - time.monotonic()))
        wait_for(lambda: len(running[0].windows()) == 1, 10, "the one main window")
        self.assertEqual(sum(1 for p in progs if p.running()), 1)


class LogFolderFaults(FaultCase):
    def logs(self):
        path = os.path.join(self.env.bin, "Logs")
        os.makedirs(path, exist_ok=True)
        return path

    def assert_runs_on(self, prog):
        self.wait_page()
        # Still going after more entries were attempted (the page load logged several).
        time.sleep(2)
        self.assertTrue(prog.running(), self.describe(prog))
        self.assertEqual(self.terminate(prog), 0, prog.output()[-1500:])

    def test_read_only_log_folder(self):
        logs = self.logs()
        self.mount("--bind", logs, logs)
        self.umount_later(logs)
        self.mount("-o", "remount,bind,ro", logs)
        with self.assertRaises(OSError):
            open(os.path.join(logs, "probe"), "w").close()
        prog = self.env.start()
        self.assert_runs_on(prog)
        # Neither the log nor its emergency files could be written there: dropped.
        self.assertEqual(os.listdir(logs), [])

    def test_full_log_file_system(self):
        logs = self.logs()
        self.mount("-t", "tmpfs", "-o", "size=64k,nr_inodes=64", "tmpfs", logs)
        self.umount_later(logs)
        fd = os.open(os.path.join(logs, "filler"), os.O_WRONLY | os.O_CREAT, 0o644)
        try:
            while os.write(fd, b"\0" * 4096) > 0:
                pass
        except OSError:
            pass  # ENOSPC: full, as wanted
        finally:
            os.close(fd)
        with self.assertRaises(OSError):
            with open(os.path.join(logs, "probe"), "wb") as f:
                f.write(b"x" * 4096)
        prog = self.env.start()
        self.assert_runs_on(prog)


class RendererKilled(FaultCase):
    def test_page_is_back_after_the_renderer_dies(self):
        prog = self.env.start()
        self.wait_page()
        renderers = wait_for(prog.renderers, 10, "the renderer process")
        since = self.server.last_seq()
        started = time.monotonic()
        for pid in renderers:
            os.kill(pid, signal.SIGKILL)
        self.wait_page(since=since, timeout=RENDERER_BACK_S)
        print(f"\n  page back {time.monotonic() - started:.1f} s after the renderer was killed",
              file=sys.stderr)
        self.assertTrue(prog.running())


class Sigterm(FaultCase):
    def assert_clean_end(self, prog, since):
        self.assertEqual(self.terminate(prog), 0, self.describe(prog))
        log = self.env.log_text()
        self.assertIn("SIGTERM received", log)
        self.assertIn("Browser end", log)
        self.assertTrue(log.rstrip().endswith(END_BANNER), log[-500:])
        notice = self.server.wait_request(DISCONNECT_PATH, since=since, listener="main",
                                          timeout=10)
        self.assertEqual(len(notice), 1)

    def test_sigterm_ends_cleanly_with_banner_and_disconnect_notice(self):
        prog = self.env.start()
        self.wait_page()
        wait_for(lambda: self.env.config().has_section("LumoServer"), 10,
                 "the found server in the configuration")
        self.assert_clean_end(prog, self.server.last_seq())

    def test_sigterm_ends_even_when_the_page_refused_closing(self):
        prog = self.env.start("-url", f"http://{PEER_HOST}:{harness.SERVER_PORT}/lumo7/"
                              "console?m=ZENTCMD%3DRefuseCloseBrowser")
        self.wait_page()
        wait_for(lambda: self.env.config().has_section("LumoServer"), 10,
                 "the server in the configuration")
        self.env.wait_log("RefuseCloseBrowser", timeout=10)
        self.assert_clean_end(prog, self.server.last_seq())
        self.assertIn("The page refused closing; the program ends anyway", self.env.log_text())


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--build", default=os.path.join(ROOT, "build"))
    args, rest = ap.parse_known_args()
    harness.reexec_in_namespace(__file__)
    exe = os.path.join(os.path.abspath(args.build), "bin", "Lumo7Browser")
    if not os.access(exe, os.X_OK):
        sys.exit(f"missing {exe}: build the program first")
    os.environ["ZENT_BROWSER_BIN"] = exe
    os.environ["ZENT_SOURCE_DIR"] = ROOT

    def overrun(signum, frame):
        raise HarnessError(f"the fault runs took longer than {TOTAL_BOUND_S} s")
    signal.signal(signal.SIGALRM, overrun)
    signal.alarm(TOTAL_BOUND_S)
    unittest.main(argv=[sys.argv[0], "-v", *rest])


if __name__ == "__main__":
    main()
