#!/usr/bin/env python3
"""Stall benchmark: how long the program's event loop goes unanswered while its fixed server
host answers the echo but black-holes the direct-query port 7006, and while it closes.

Inside the private network namespace: on the far side of the veth pair (10.77.0.1, which
answers pings) a socket listens on port 7006 with the smallest backlog and never accepts; the
benchmark fills that backlog first, so every connection the program tries afterwards gets no
answer at all (its SYN is dropped). The program starts with "-ip 10.77.0.1", so the direct
query (repeated every second) goes into the black hole. (The disconnect notice on close goes to
the stored server, which the fixed host's failed query leaves at port 0: it fails at once.)

The probe (bench/loop_probe.py): a notice every PERIOD seconds for SECONDS seconds, then
SIGTERM and the probe goes on until the program has ended; a notice never answered counts
until the program's end. Prints the longest and the 95th percentile delay of each phase; the
last line is JSON for bench/run.

Usage: bench/stall_bench.py [--build DIR] [--seconds S]   (re-runs itself in scripts/netns.sh)
"""

import argparse
import json
import os
import signal
import socket
import statistics
import subprocess
import sys
import time

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), ".."))
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import benchenv  # noqa: E402
from loop_probe import logged_notice_times, send_debug_notice  # noqa: E402

PERIOD_S = 0.2
BLACK_HOLE = ("10.77.0.1", 7006)
CLOSE_BOUND_S = 40

# Runs on the far side: listens with the smallest backlog and never accepts.
_HOLE = r"""
import socket, sys, time
s = socket.socket()
s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
s.bind((sys.argv[1], int(sys.argv[2])))
s.listen(0)
print("READY", flush=True)
sys.stdin.read()
"""


def fill_backlog():
    """Connects until a connection no longer completes: from then on SYNs are dropped."""
    held = []
    for _ in range(8):
        c = socket.socket()
        c.settimeout(1.0)
        try:
            c.connect(BLACK_HOLE)
            held.append(c)
        except OSError:
            c.close()
            return held
    raise RuntimeError("the black hole still accepts connections")


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--build", default=os.path.join(ROOT, "build"))
    ap.add_argument("--seconds", type=float, default=30.0)
    args = ap.parse_args()
    args.build = os.path.abspath(args.build)

    harness, _, _ = benchenv.prepare(__file__, args.build, bare=False)

    hole = subprocess.Popen(
        ["nsenter", f"--net={os.environ['ZENT_PEER_NETNS']}", sys.executable, "-c", _HOLE,
         *map(str, BLACK_HOLE)], stdin=subprocess.PIPE, stdout=subprocess.PIPE)
    env = None
    held = []
    try:
        harness.read_line(hole.stdout, 20, "the black hole's READY line")
        held = fill_backlog()
        env = harness.Environment(start_server=False)
        prog = env.start("-ip", BLACK_HOLE[0])
        prog.wait_window()
        harness.wait_for(lambda: os.path.isdir(os.path.join(env.runtime, "zent-notice")), 30,
                         "the program's notice socket")
        sent = {}
        number = 1
        end = time.time() + args.seconds
        while time.time() < end:
            send_debug_notice(env.runtime, number)
            sent[number] = ("connect", time.time())
            number += 1
            time.sleep(PERIOD_S)
        os.kill(prog.pid, signal.SIGTERM)
        close_start = time.time()
        while prog.running() and time.time() - close_start < CLOSE_BOUND_S:
            try:
                send_debug_notice(env.runtime, number)
            except OSError:
                break  # the socket is gone: the program is past its loop
            sent[number] = ("close", time.time())
            number += 1
            time.sleep(PERIOD_S)
        prog.wait_exit(CLOSE_BOUND_S)
        ended = time.time()
        close_s = ended - close_start

        logged = logged_notice_times(env.log_text())
        delays = {"connect": [], "close": []}
        for n, (phase, t) in sent.items():
            delays[phase].append(((logged[n] if n in logged else ended) - t) * 1000.0)
        out = {"close_s": close_s}
        for phase, d in delays.items():
            d = d or [0.0]
            out[phase] = {"probes": len(d), "max_ms": max(d), "p95_ms": benchenv.percentile(d, 95),
                          "median_ms": statistics.median(d),
                          "unanswered": sum(1 for n, (p, _) in sent.items()
                                            if p == phase and n not in logged)}
            print(f"{phase:8}: {len(d)} probes, longest {max(d):.0f} ms, 95th {benchenv.percentile(d, 95):.0f} ms, "
                  f"median {statistics.median(d):.0f} ms, unanswered {out[phase]['unanswered']}")
        print(f"close took {close_s:.1f} s")
        print(json.dumps(out))
    finally:
        if env:
            env.close()
        for c in held:
            c.close()
        if hole.poll() is None:
            hole.stdin.close()
            try:
                hole.wait(5)
            except subprocess.TimeoutExpired:
                hole.kill()
                hole.wait(5)


if __name__ == "__main__":
    main()
