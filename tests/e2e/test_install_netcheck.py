"""End-to-end acceptance of the start-up services around the installation and the network:
the installed-programs entry in the machine hive (rewritten after the program folder moved),
the NFC check program beside the executable (started once per start, never waited for), and
the "NetCheck" log of the watched endpoints, all pointed at addresses inside the namespace.

Run from tests/e2e inside scripts/netns.sh:
    python3 -m unittest -v test_install_netcheck
"""

import datetime
import os
import re
import signal
import socket
import time

from harness import APP_URL, SERVER_HOST, SERVER_PORT, E2ETestCase, wait_for

NFC_PROGRAM = "vetu-6.6.100.2810.exe"
UNINSTALL_KEY = ("HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"
                 "{DD89D3FF-2163-49BD-822F-FD0AF2D7E6AE}_is1")


def reg_unescape(text):
    return re.sub(r"\\(.)", r"\1", text)


class Endpoint:
    """A listening TCP socket on the namespace's loopback that a test opens and closes."""

    def __init__(self):
        self.port = 0
        self.sock = None
        self.open()

    def open(self):
        self.sock = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        self.sock.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        self.sock.bind((SERVER_HOST, self.port))
        self.sock.listen(socket.SOMAXCONN)
        self.port = self.sock.getsockname()[1]

    def close(self):
        if self.sock:
            self.sock.close()
            self.sock = None


class InstallRegistrationAndNfcTests(E2ETestCase):

    def uninstall_values(self):
        """The string values of the program's uninstall entry, or None while it is missing."""
        try:
            text = self.env.registry_text(machine=True)
        except OSError:
            return None
        start = text.lower().find("[" + UNINSTALL_KEY.lower() + "]")
        if start < 0:
            return None
        body = text[start:].split("\n", 1)[1] if "\n" in text[start:] else ""
        body = re.split(r"^\[", body, maxsplit=1, flags=re.M)[0]
        return {reg_unescape(m.group(1)): reg_unescape(m.group(2))
                for m in re.finditer(r'^"((?:[^"\\]|\\.)*)"="((?:[^"\\]|\\.)*)"', body, re.M)}

    def nfc_starts(self):
        try:
            with open(self.starts_file) as f:
                return [int(line) for line in f.read().split()]
        except OSError:
            return []

    def stop_nfc_programs(self):
        for pid in self.nfc_starts():
            try:
                os.kill(pid, signal.SIGKILL)
            except OSError:
                pass

    def test_nfc_started_once_per_start_and_entry_follows_a_moved_folder(self):
        self.starts_file = os.path.join(self.env.tmp, "nfc-starts")
        self.addCleanup(self.stop_nfc_programs)  # in a session of its own: no group kill reaches it
        nfc = os.path.join(self.env.bin, NFC_PROGRAM)
        with open(nfc, "w") as f:
            # Never ends by itself: the window must not wait for it.
            f.write(f"#!/bin/sh\necho $$ >> '{self.starts_file}'\nexec sleep 600\n")
        os.chmod(nfc, 0o755)

        first = self.env.start_app()
        first.wait_window()
        wait_for(lambda: len(self.nfc_starts()) == 1, 15, "the NFC check program's start")
        version = re.search(r"version (\S+)", self.env.wait_log(r"Browser start: main, version")[0]).group(1)
        values = wait_for(self.uninstall_values, 15, "the uninstall entry")
        self.assertEqual(values["InstallLocation"], self.env.bin + "/")
        first.stop()

        # The installation moves: the next start points the entry at the new folder.
        moved = self.env.bin + "-moved"
        os.rename(self.env.bin, moved)
        self.env.bin, self.env.exe = moved, os.path.join(moved, os.path.basename(self.env.exe))
        second = self.env.start_app()
        second.wait_window()
        values = wait_for(lambda: (v := self.uninstall_values()) and
                          v["InstallLocation"] == moved + "/" and v, 15, "the rewritten entry")
        self.assertEqual(values["Inno Setup: App Path"], moved + "/")
        self.assertEqual(values["DisplayVersion"], version)
        self.assertEqual(values["DisplayName"], f"Kestra餐饮管理系统 版本 {version}")
        self.assertEqual(values["InstallDate"], datetime.date.today().strftime("%Y%m%d"))
        wait_for(lambda: len(self.nfc_starts()) == 2, 15, "the NFC check program's second start")
        time.sleep(2)
        self.assertEqual(len(self.nfc_starts()), 2, "one start per program start")
        self.assertTrue(second.running())


class NetCheckTests(E2ETestCase):

    def net_lines(self, pattern):
        return [l for l in self.env.log_text("NetCheck").splitlines() if re.search(pattern, l)]

    def test_watched_endpoints_log_each_change_once(self):
        site, cloud = Endpoint(), Endpoint()
        self.addCleanup(site.close)
        self.addCleanup(cloud.close)
        with open(os.path.join(self.env.bin, os.path.basename(self.env.exe) + ".cnfg"), "w") as f:
            f.write(f"[NetCheck]\nPublicSite={SERVER_HOST}:{site.port}\n"
                    f"CloudApi={SERVER_HOST}:{cloud.port}\n")
        # The configured server: the connect sequence opens its page and watches it.
        self.env.write_config(f"[LumoServer]\nHost={SERVER_HOST}\nPort={SERVER_PORT}\nUrl=lumo7/\n")
        self.env.start()
        self.server.wait_report("flag", "true", timeout=90)

        def up(port):
            return rf"\] {re.escape(SERVER_HOST)}:{port} - 127\.0\.0\.1 - 正常\s*$"

        def down(port):
            return rf"\] {re.escape(SERVER_HOST)}:{port} - 127\.0\.0\.1 - 无法连接\s*$"

        for port in (site.port, cloud.port, SERVER_PORT):
            self.env.wait_log(up(port), name="NetCheck", timeout=30)
        time.sleep(4.5)  # two more passes: a state that stays says nothing
        for port in (site.port, cloud.port, SERVER_PORT):
            self.assertEqual(len(self.net_lines(up(port))), 1, self.env.log_text("NetCheck"))

        site.close()
        # Within about three seconds (passes are two seconds apart), with room for a busy machine.
        self.env.wait_log(down(site.port), name="NetCheck", timeout=6)
        site.open()
        self.env.wait_log(up(site.port), name="NetCheck", timeout=10, count=2)
        self.assertEqual(self.net_lines(down(cloud.port)), [])


if __name__ == "__main__":
    import unittest
    unittest.main()
