#!/usr/bin/env python3
"""Start-up benchmark: our program against a bare Qt WebEngine window.

Inside the private network namespace, with Xvfb + openbox and the stand-in server, it starts
both programs alternately (a fresh home, configuration and program folder each run) on the
same stand-in page and measures:
  - the time from process start to the first page loaded: the moment the stand-in receives the
    page's own report from its load event (the same page and the same measure for both);
  - the total PSS of the process tree (the program and its engine helpers) and the private
    memory (USS) of the main process, with the page loaded.
Prints a table with the medians and the ratios (target: time ratio <= 1.15); the last line is
JSON for bench/run.

Usage: bench/startup_bench.py [--build DIR] [--runs N]      (re-runs itself in scripts/netns.sh)
"""

import argparse
import json
import os
import statistics
import subprocess
import sys
import time

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), ".."))
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import benchenv  # noqa: E402
import procstat  # noqa: E402

PAGE = "title?t=Bench"
SETTLE_S = 2.0  # let the loaded page settle before its memory is read


def one_run(harness, which, bare_exe):
    env = harness.Environment()
    try:
        since = env.server.last_seq()
        if which == "ours":
            prog = env.start("-url", harness.APP_URL + PAGE)
        else:
            prog = env.start(harness.APP_URL + PAGE, "--stay", exe=bare_exe,
                             extra_env={"ZENT_BENCH_T0_NS": str(time.time_ns())})
        rec = env.server.call(f"/wait?kind=http&path=/lumo7/report&count=1&since={since}"
                              f"&timeout=120", timeout=130)["records"]
        loads = [r for r in env.server.records(since)
                 if r.get("path") == "/lumo7/report" and "what=load" in r.get("query", "")]
        if not rec or not loads:
            raise harness.HarnessError(f"{which}: the page never reported its load; "
                                       f"output: {prog.output()[-1500:]}")
        load_ms = (loads[0]["time"] - prog.started) * 1000.0
        time.sleep(SETTLE_S)
        tree = prog.tree()
        return load_ms, sum(harness.pss_kib(p) for p in tree), procstat.uss_kib(prog.pid), len(tree)
    finally:
        env.close()


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--build", default=os.path.join(ROOT, "build"))
    ap.add_argument("--runs", type=int, default=7)
    args = ap.parse_args()
    args.build = os.path.abspath(args.build)  # the runs change the working folder

    harness, _, bare = benchenv.prepare(__file__, args.build)

    results = {"ours": [], "bare": []}
    for i, which in benchenv.alternating(args.runs):
        load_ms, pss, uss, procs = one_run(harness, which, bare)
        results[which].append((load_ms, pss, uss))
        print(f"run {i + 1} {which:4}: {load_ms:8.1f} ms  {pss / 1024:7.1f} MiB PSS of the tree  "
              f"{uss / 1024:7.1f} MiB USS of the main process ({procs} processes)", flush=True)

    med = {k: tuple(statistics.median(r[i] for r in v) for i in range(3)) for k, v in results.items()}
    print()
    print(f"{'':22}{'ours':>12}{'bare':>12}{'ratio':>9}")
    print(f"{'start -> loaded (ms)':22}{med['ours'][0]:12.1f}{med['bare'][0]:12.1f}"
          f"{med['ours'][0] / med['bare'][0]:9.3f}   (target <= 1.15)")
    print(f"{'PSS of tree (MiB)':22}{med['ours'][1] / 1024:12.1f}{med['bare'][1] / 1024:12.1f}"
          f"{med['ours'][1] / med['bare'][1]:9.3f}")
    print(f"{'USS of main (MiB)':22}{med['ours'][2] / 1024:12.1f}{med['bare'][2] / 1024:12.1f}"
          f"{(med['ours'][2] - med['bare'][2]) / 1024:+9.1f} MiB   (target <= +10)")
    print(f"medians of {len(results['ours'])} runs each")
    print(json.dumps({k: {"load_ms": v[0], "tree_pss_kib": v[1], "main_uss_kib": v[2]}
                      for k, v in med.items()} | {"runs": len(results["ours"])}))


if __name__ == "__main__":
    main()
