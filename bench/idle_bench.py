#!/usr/bin/env python3
"""Idle benchmark: what our program costs while it only shows a loaded page, against a bare
Qt WebEngine window showing the same page.

Inside the private network namespace, with Xvfb + openbox and the stand-in server, it starts
both programs alternately (a fresh environment each run), waits until the page has loaded and
settled, then over WINDOW seconds reads, for the main process and for the whole process tree:
  - CPU time (the scheduler's per-thread accounting), as a percentage of one core;
  - wake-ups per second: voluntary + involuntary context switches summed over all threads.
Both are summed over what each thread added in the window (a thread that ends meanwhile loses
its share; without that its whole history would leave the sum).
Prints the medians, the differences and, for our main process, the threads that woke most.
The last line is JSON for bench/run.

Usage: bench/idle_bench.py [--build DIR] [--runs N] [--window S]   (re-runs itself in
       scripts/netns.sh)
"""

import argparse
import json
import os
import statistics
import sys
import time

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), ".."))
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import benchenv  # noqa: E402
import procstat  # noqa: E402

PAGE = "title?t=Idle"
SETTLE_S = 5.0  # the load's own after-work (caches, timers of the engine) goes by first


def sample(pids):
    """{pid: ({thread: CPU ns}, {thread: context switches})}."""
    return {p: (procstat.thread_cpu_ns(p), procstat.per_thread_switches(p)) for p in pids}


def one_run(harness, which, bare_exe, window_s):
    env = harness.Environment()
    try:
        if which == "ours":
            prog = env.start("-url", harness.APP_URL + PAGE)
        else:
            prog = env.start(harness.APP_URL + PAGE, "--stay", exe=bare_exe)
        env.server.wait_report("load", "done", timeout=120)
        time.sleep(SETTLE_S)
        tree = prog.tree()
        before = sample(tree)
        t0 = time.monotonic()
        time.sleep(window_s)
        after = sample(tree)
        elapsed = time.monotonic() - t0
        if not prog.running():
            raise harness.HarnessError(f"{which} ended during the idle window")

        def figures(pids):
            cpu = sum(procstat.growth(before[p][0], after[p][0]) for p in pids)
            switches = sum(procstat.growth(before[p][1], after[p][1]) for p in pids)
            return cpu / 1e9 / elapsed * 100.0, switches / elapsed

        names = procstat.thread_names(prog.pid)
        main0, main1 = before[prog.pid][1], after[prog.pid][1]
        busiest = sorted(((n - main0.get(t, 0), names.get(t, "?")) for t, n in main1.items()),
                         reverse=True)[:5]
        return {"main": figures([prog.pid]), "tree": figures(tree),
                "busiest": [(name, round(n / elapsed, 2)) for n, name in busiest]}
    finally:
        env.close()


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--build", default=os.path.join(ROOT, "build"))
    ap.add_argument("--runs", type=int, default=3)
    ap.add_argument("--window", type=float, default=60.0)
    args = ap.parse_args()
    args.build = os.path.abspath(args.build)

    harness, _, bare = benchenv.prepare(__file__, args.build)

    results = {"ours": [], "bare": []}
    for i, which in benchenv.alternating(args.runs):
        r = one_run(harness, which, bare, args.window)
        results[which].append(r)
        print(f"run {i + 1} {which:4}: main {r['main'][0]:6.3f} % CPU {r['main'][1]:7.1f} wake-ups/s; "
              f"tree {r['tree'][0]:6.3f} % CPU {r['tree'][1]:7.1f} wake-ups/s", flush=True)
        if which == "ours":
            print("   busiest threads of the main process (switches/s): " +
                  ", ".join(f"{n} {v}" for n, v in r["busiest"]), flush=True)

    def med(which, part, index):
        return statistics.median(r[part][index] for r in results[which])

    out = {k: {part: {"cpu_percent": med(k, part, 0), "wakeups_per_s": med(k, part, 1)}
               for part in ("main", "tree")} for k in results}
    out["runs"] = len(results["ours"])
    out["window_s"] = args.window
    out["busiest_ours"] = results["ours"][-1]["busiest"]
    print()
    for part in ("main", "tree"):
        o, b = out["ours"][part], out["bare"][part]
        print(f"{part:5}: ours {o['cpu_percent']:.3f} % / {o['wakeups_per_s']:.1f} per s, "
              f"bare {b['cpu_percent']:.3f} % / {b['wakeups_per_s']:.1f} per s, "
              f"difference {o['cpu_percent'] - b['cpu_percent']:+.3f} % / "
              f"{o['wakeups_per_s'] - b['wakeups_per_s']:+.1f} per s")
    print(json.dumps(out))


if __name__ == "__main__":
    main()
