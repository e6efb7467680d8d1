"""End-to-end acceptance of the journal: the program started with LUMO7_JOURNAL_SOCKET pointed
at a datagram socket of the test's own sends the begin banner, its level-1 entries and the end
banner there in the journal's native form (KEY=value lines, the length-prefixed form for a
value with a line break) with the program's name, the log's name, the level and the priority,
and its log file holds the same entries as ever.

Run from tests/e2e inside scripts/netns.sh:  python3 -m unittest -v test_system_journal
"""

import os
import re
import select
import signal
import socket
import struct
import time
import unittest

from harness import E2ETestCase, HarnessError

BEGIN = "****** Log Begin ******"
END = "****** Log End ******"


def parse_native(datagram):
    """The fields of one native journal datagram, in order; a malformed one raises."""
    fields, at = [], 0
    while at < len(datagram):
        nl = datagram.index(b"\n", at)
        eq = datagram.find(b"=", at, nl)
        if eq >= 0:
            fields.append((datagram[at:eq].decode(), datagram[eq + 1:nl]))
            at = nl + 1
            continue
        key = datagram[at:nl].decode()
        (length,) = struct.unpack("<Q", datagram[nl + 1:nl + 9])
        value = datagram[nl + 9:nl + 9 + length]
        if len(value) != length or datagram[nl + 9 + length:nl + 10 + length] != b"\n":
            raise ValueError(f"bad length-prefixed field {key}")
        fields.append((key, value))
        at = nl + 10 + length
    for key, _ in fields:
        if not re.fullmatch(r"[A-Z0-9_]+", key) or key.startswith("_"):
            raise ValueError(f"field name {key!r} is not one a client may send")
    return fields


class JournalSocket:
    """A bound AF_UNIX datagram socket standing in for the journal's."""

    def __init__(self, path):
        self.path = path
        self.sock = socket.socket(socket.AF_UNIX, socket.SOCK_DGRAM)
        self.sock.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 4 << 20)
        self.sock.bind(path)
        self.entries = []

    def drain(self, timeout):
        ready, _, _ = select.select([self.sock], [], [], timeout)
        while ready:
            raw = self.sock.recv(1 << 17)
            self.entries.append(dict((k, v.decode("utf-8", errors="replace"))
                                     for k, v in parse_native(raw)))
            ready, _, _ = select.select([self.sock], [], [], 0)

    def wait(self, predicate, timeout, what):
        deadline = time.monotonic() + timeout
        while True:
            found = [e for e in self.entries if predicate(e)]
            if found:
                return found
            left = deadline - time.monotonic()
            if left <= 0:
                raise HarnessError(f"timed out after {timeout} s waiting for {what}; "
                                   f"got {len(self.entries)} entries")
            self.drain(left)

    def close(self):
        self.sock.close()


class JournalTests(E2ETestCase):

    def test_banners_and_level_one_entries_arrive_in_native_form_and_the_log_is_unchanged(self):
        journal = JournalSocket(os.path.join(self.env.tmp, "journal.sock"))
        self.addCleanup(journal.close)
        prog = self.start_live_page(extra_env={"LUMO7_JOURNAL_SOCKET": journal.path})
        main_log = lambda e: e.get("ZENT_LOG") == "Lumo7Browser"

        begin = journal.wait(lambda e: main_log(e) and e.get("MESSAGE") == BEGIN, 30,
                             "the begin banner")[0]
        agent = journal.wait(lambda e: main_log(e) and e.get("MESSAGE", "").startswith("UserAgent: "),
                             30, "the level-1 user agent entry")[0]
        prog.proc.send_signal(signal.SIGTERM)
        self.assertEqual(prog.wait_exit(60), 0)
        end = journal.wait(lambda e: main_log(e) and e.get("MESSAGE") == END, 30, "the end banner")[0]

        for entry, level, priority in ((begin, "254", "6"), (agent, "1", "4"), (end, "255", "6")):
            with self.subTest(message=entry["MESSAGE"]):
                self.assertEqual(entry["SYSLOG_IDENTIFIER"], "Lumo7Browser")
                self.assertEqual(entry["ZENT_LEVEL"], level)
                self.assertEqual(entry["PRIORITY"], priority)
                self.assertRegex(entry["TID"], r"^[1-9]\d*$")
        # Level 0 stays out of the journal.
        self.assertFalse([e for e in journal.entries if e.get("ZENT_LEVEL") == "0"])

        # The log file as ever: every forwarded entry is there in the file's own line form,
        # and nothing of the journal's form got into it.
        log = self.env.log_text()
        lines = log.splitlines()
        self.assertEqual(sum(BEGIN in l for l in lines), 1, log[-2000:])
        self.assertEqual(sum(END in l for l in lines), 1, log[-2000:])
        for entry in journal.entries:
            if main_log(entry) and entry["ZENT_LEVEL"] in ("1", "2"):
                line = f"[{entry['ZENT_LEVEL']}-{entry['TID']}] " + entry["MESSAGE"].split("\n")[0]
                self.assertTrue(any(line in l for l in lines), f"{line!r} in the log")
        self.assertNotRegex(log, r"(?m)^(PRIORITY|SYSLOG_IDENTIFIER|ZENT_LOG)=")

    def test_an_absent_socket_drops_the_entries_and_the_program_runs_on(self):
        path = os.path.join(self.env.tmp, "no-journal.sock")
        prog = self.start_live_page(extra_env={"LUMO7_JOURNAL_SOCKET": path})
        self.env.wait_log(re.escape(BEGIN))
        prog.proc.send_signal(signal.SIGTERM)
        self.assertEqual(prog.wait_exit(60), 0)
        self.assertFalse(os.path.exists(path))
        self.env.wait_log(re.escape(END))


if __name__ == "__main__":
    unittest.main()
