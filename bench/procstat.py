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


def cpu_ns(pid):
    """CPU time (ns) of the process's live threads, from the scheduler's own accounting."""
    total = 0
    for path in glob.glob(f"/proc/{pid}/task/*/schedstat"):
        try:
            with open(path) as f:
                total += int(f.read().split()[0])
        except (OSError, ValueError, IndexError):
            pass
    return total


def context_switches(pid):
    """Voluntary + involuntary context switches over the process's live threads: each
    voluntary one is a thread that went to sleep, i.e. a wake-up to come."""
    return sum(per_thread_switches(pid).values())


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
