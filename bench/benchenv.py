"""What every benchmark that starts the program does first: re-run inside the private network
namespace, find our program (and the bare WebEngine window) in the build folder and tell the
end-to-end harness about them; and the order of alternating runs."""

import os
import sys

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), ".."))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))


def prepare(script, build, bare=True):
    """Returns (harness module, our executable, the bare window's or None); exits with a
    message when the build lacks them."""
    import harness  # after sys.path is set; importing it starts nothing
    harness.reexec_in_namespace(script)
    ours = os.path.join(build, "bin", "Lumo7Browser")
    bare_exe = os.path.join(build, "bench", "bare_webengine") if bare else None
    for exe in filter(None, (ours, bare_exe)):
        if not os.access(exe, os.X_OK):
            sys.exit(f"missing {exe}: build with the GUI on first")
    os.environ["ZENT_BROWSER_BIN"] = ours
    os.environ["ZENT_SOURCE_DIR"] = ROOT
    return harness, ours, bare_exe


def alternating(runs):
    """(run index, "ours" or "bare") in alternating order, so a drift of the machine's load
    falls on both alike."""
    for i in range(max(1, runs)):
        for which in (("ours", "bare") if i % 2 == 0 else ("bare", "ours")):
            yield i, which


def percentile(values, p):
    values = sorted(values)
    return values[min(len(values) - 1, int(round(p / 100.0 * (len(values) - 1))))]
