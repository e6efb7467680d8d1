"""End-to-end acceptance of the device manager's supervision: the stand-in "DeviceManager.exe"
registered but not running is started once the browser exists; the page's ResetDeviceMgr ends
and restarts it and the page's resetDeviceMgr() runs exactly once; a second ResetDeviceMgr
during a reset does nothing; a device manager that never opens its port gives no call; closing
the browser during a reset ends it at once.

The device manager is looked for among every process of the machine: CTest runs this file
under the resource lock "zent_device_manager". Needs ZENT_STANDIN_DEVICEMGR (the stand-in).

Run from tests/e2e inside scripts/netns.sh:  python3 -m unittest -v test_device_manager
"""

import datetime
import os
import re
import shutil
import signal
import time
import unittest

from harness import E2ETestCase, is_alive, wait_for

UNINSTALL_KEY = (r"Software\Microsoft\Windows\CurrentVersion\Uninstall"
                 r"\{08D43C99-F36B-43EF-AB43-CC826B38DCA7}_is1")
DISCONNECT_PATH = "/lumo7/dbi/lumo7server/product/disconnect"


def standin_processes(folder):
    """Pids of processes whose executable lies in `folder`."""
    out = []
    for d in os.listdir("/proc"):
        if not d.isdigit():
            continue
        try:
            exe = os.readlink(f"/proc/{d}/exe")
        except OSError:
            continue
        if exe.startswith(folder + "/") and is_alive(int(d)):
            out.append(int(d))
    return out


class DeviceManagerCase(E2ETestCase):

    def setUp(self):
        super().setUp()
        src = os.environ.get("ZENT_STANDIN_DEVICEMGR", "")
        if not os.path.isfile(src):
            raise RuntimeError(f"ZENT_STANDIN_DEVICEMGR does not name the stand-in: {src!r}")
        self.dm_dir = os.path.join(self.env.tmp, "DeviceMgr")
        os.makedirs(os.path.join(self.dm_dir, "Plugin"))
        shutil.copy2(src, os.path.join(self.dm_dir, "DeviceManager.exe"))
        with open(os.path.join(self.dm_dir, "Plugin", "dmReport.dll"), "w") as f:
            f.write("stand-in plug-in\n")
        self.starts_file = os.path.join(self.env.tmp, "devmgr-starts.txt")
        self.addCleanup(self.kill_standins)
        self.assertEqual(standin_processes("/"), [], "no device manager may run before the test")

    def kill_standins(self):
        # Started by the browser in a session of its own, so the harness does not know them.
        for pid in standin_processes(self.dm_dir):
            try:
                os.kill(pid, signal.SIGKILL)
            except ProcessLookupError:
                pass
        wait_for(lambda: not standin_processes(self.dm_dir), 10, "the stand-ins to end")

    def register_user(self):
        path = os.path.join(self.env.config_home, "zent", "registry", "user.reg")
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "w", encoding="utf-8") as f:
            f.write("Windows Registry Editor Version 5.00\n\n"
                    f"[HKEY_CURRENT_USER\\{UNINSTALL_KEY}]\n"
                    f"\"InstallLocation\"=\"{self.dm_dir}/\"\n")

    def start_live(self, **devmgr_env):
        env = {"ZENT_DEVMGR_RECORD": self.starts_file}
        env.update({f"ZENT_DEVMGR_{k.upper()}": str(v) for k, v in devmgr_env.items()})
        return self.start_live_page("devmgr.html", env)

    def starts(self):
        try:
            with open(self.starts_file) as f:
                return [int(l.split()[1]) for l in f if l.startswith("started ")]
        except OSError:
            return []

    def reset_calls(self, since):
        return [r for r in self.server.requests("/lumo7/report", since=since)
                if "what=resetDeviceMgr" in r["query"]]


class DeviceManagerTests(DeviceManagerCase):

    def test_started_with_the_browser_and_a_reset_restarts_it_and_tells_the_page_once(self):
        self.register_user()
        prog = self.start_live(port_delay_ms=1500)
        wait_for(lambda: len(self.starts()) == 1, 30, "the browser to start the device manager")
        first = self.starts()[0]

        since = self.server.last_seq()
        # The second command arrives while the first reset waits for the port: ignored.
        self.server.send_console("ZENTCMD=ResetDeviceMgr", "ZENTCMD=resetdevicemgr")
        self.server.wait_report("resetDeviceMgr", "called", since=since, timeout=60)
        self.assertEqual(len(self.starts()), 2, "one restart")
        self.assertFalse(is_alive(first), "the old instance was ended")
        self.assertEqual(standin_processes(self.dm_dir), [self.starts()[1]])
        time.sleep(3)
        self.assertEqual(len(self.reset_calls(since)), 1, "the page is told exactly once")
        self.assertEqual(len(self.starts()), 2)
        self.env.wait_log(r"ResetDeviceMgr: a reset is running already", timeout=5)

        # Once it has ended, a new reset runs.
        since = self.server.last_seq()
        self.server.send_console("ZENTCMD=ResetDeviceMgr")
        self.server.wait_report("resetDeviceMgr", "called", since=since, timeout=60)
        self.assertEqual(len(self.starts()), 3)
        self.assertTrue(prog.running())

    def test_no_port_no_call_and_closing_during_the_reset_ends_it_at_once(self):
        self.register_user()
        prog = self.start_live(no_port=1)
        wait_for(lambda: len(self.starts()) == 1, 30, "the browser to start the device manager")
        since = self.server.last_seq()
        self.server.send_console("ZENTCMD=ResetDeviceMgr")
        wait_for(lambda: len(self.starts()) == 2, 30, "the restart")
        time.sleep(3)  # the reset now waits for a port that never opens
        self.assertEqual(self.reset_calls(since), [])

        t0 = time.monotonic()
        self.server.send_console("ZENTCMD=CloseBrowser")
        prog.wait_exit(30)
        took = time.monotonic() - t0
        self.assertLess(took, 15, "closing did not sit out the port wait (about 61 s)")
        self.assertEqual(self.reset_calls(since), [])
        log = self.env.log_text()
        self.assertNotIn("does not answer on its port", log)
        self.assertNotIn("ResetDeviceMgr: done", log)
        # The window closes (its disconnect notice goes out) and the reset ends within a second.
        closed = self.server.requests(DISCONNECT_PATH, since=since)[-1]["time"]
        stopped = re.search(r"^\[([0-9-]+ [0-9:.]+)\]\S* ResetDeviceMgr: stopped$", log, re.M)
        self.assertIsNotNone(stopped, "the reset was stopped")
        stopped_at = datetime.datetime.strptime(stopped.group(1), "%Y-%m-%d %H:%M:%S.%f").timestamp()
        self.assertLess(stopped_at - closed, 1.0)

    def test_nothing_registered_nothing_started(self):
        self.start_live()
        since = self.server.last_seq()
        self.server.send_console("ZENTCMD=ResetDeviceMgr")
        self.env.wait_log(r"ResetDeviceMgr: the device manager was not started", timeout=30)
        self.assertEqual(self.starts(), [])
        self.assertEqual(self.reset_calls(since), [])


if __name__ == "__main__":
    unittest.main()
