"""What the benchmarks read about a process from /proc beyond the harness's PSS: private
memory (USS), CPU time and context switches summed over its threads."""

import glob
import re


def _rollup(pid):
    try:
        with open(f"/proc/{pid}/smaps_rollup") as f:
            return {m.group(1): int(m.group(2))
                    for m in re.finditer(r"^(\w+):\s+(\d+) kB", f.read(), re.M)}
    except OSError:
        return {}


def uss_kib(pid):
    """Private memory: what the process alone holds (clean and dirty private pages)."""
    r = _rollup(pid)
    return r.get("Private_Clean", 0) + r.get("Private_Dirty", 0)


def thread_cpu_ns(pid):
    """{thread id: CPU time in ns} from the scheduler's own per-thread accounting."""
    out = {}
    for tid in threads(pid):
        try:
            with open(f"/proc/{pid}/task/{tid}/schedstat") as f:
                out[tid] = int(f.read().split()[0])
        except (OSError, ValueError, IndexError):
            pass
    return out


def growth(before, after):
    """What per-thread counters ({thread id: value}) grew by between two samples: a thread
    born in between counts from zero, one that ended is left out (its share is lost, rather
    than its whole history making the sum go down)."""
    return sum(v - before.get(t, 0) for t, v in after.items())


def threads(pid):
    return [int(p.rsplit("/", 1)[1]) for p in glob.glob(f"/proc/{pid}/task/*")]


def thread_names(pid):
    """{thread id: name}, for reports of who wakes up."""
    out = {}
    for tid in threads(pid):
        try:
            with open(f"/proc/{pid}/task/{tid}/comm") as f:
                out[tid] = f.read().strip()
        except OSError:
            pass
    return out


def per_thread_switches(pid):
    """{thread id: context switches}."""
    out = {}
    for tid in threads(pid):
        try:
            with open(f"/proc/{pid}/task/{tid}/status") as f:
                text = f.read()
        except OSError:
            continue
        out[tid] = sum(int(m.group(1)) for m in re.finditer(
            r"^(?:non)?voluntary_ctxt_switches:\s+(\d+)", text, re.M))
    return out
