"""Helpers for the end-to-end tests: the real program under Xvfb and openbox, against the
stand-in server, each test in a fresh temporary folder.

Every test gets its own HOME, XDG_CONFIG_HOME, XDG_RUNTIME_DIR and a copy of the program
folder (so Logs/ and the run-options file are its own), a display with a window manager and a
stand-in server awaited through its READY line. Teardown kills everything this harness started,
even when the test failed. Nothing runs outside the private network namespace.

Environment: ZENT_BROWSER_BIN (the executable), ZENT_SOURCE_DIR (the source tree),
ZENT_NETNS=1 (set by scripts/netns.sh). ZENT_E2E_KEEP=1 keeps the temporary folders.
"""

import configparser
import datetime
import glob
import json
import os
import re
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import unittest
import urllib.error
import urllib.parse
import urllib.request

SERVER_HOST = "127.0.0.1"
# The far side of the namespace's veth pair: a stand-in there is reached over a real link, so
# the program's search goes out as a broadcast.
PEER_HOST = "10.77.0.1"
OTHER_HOST = "127.0.0.2"
SERVER_PORT = 8080
APP_URL = f"http://{SERVER_HOST}:{SERVER_PORT}/lumo7/"
SUB_CAPTION = "Lumo7Browser:{276E2177-7A03-4C90-9DE8-CD662DC7250E}"
SCREEN = (1280, 800)


class HarnessError(AssertionError):
    """A wait ran out or a helper tool failed; the message says what was awaited."""


def source_dir():
    return os.environ.get("ZENT_SOURCE_DIR") or os.path.abspath(
        os.path.join(os.path.dirname(__file__), "..", ".."))


def require_namespace():
    if os.environ.get("ZENT_NETNS") != "1":
        raise RuntimeError("end-to-end tests open sockets and must run inside the private network "
                           "namespace: scripts/netns.sh run ...")


def reexec_in_namespace(script):
    """For scripts run by hand (benchmarks): runs `script` again with the same arguments
    inside the private network namespace, unless already there."""
    if os.environ.get("ZENT_NETNS") == "1":
        return
    netns = os.path.join(source_dir(), "scripts", "netns.sh")
    os.execvp(netns, [netns, "run", sys.executable, os.path.abspath(script), *sys.argv[1:]])


def wait_for(predicate, timeout, message, interval=0.1):
    """Polls `predicate` until it returns a true value (returned) or `timeout` seconds pass.

    Only for conditions that offer no event to wait on (files, X11 properties, processes)."""
    deadline = time.monotonic() + timeout
    last_error = None
    while True:
        try:
            value = predicate()
            if value:
                return value
        except (OSError, subprocess.SubprocessError, ValueError) as e:
            last_error = e
        if time.monotonic() >= deadline:
            extra = f" (last error: {last_error})" if last_error else ""
            raise HarnessError(f"timed out after {timeout:.0f} s waiting for {message}{extra}")
        time.sleep(interval)


def read_line(stream, timeout, what):
    """Reads one line from a pipe within `timeout` seconds."""
    deadline = time.monotonic() + timeout
    buf = b""
    fd = stream.fileno()
    while not buf.endswith(b"\n"):
        left = deadline - time.monotonic()
        if left <= 0:
            raise HarnessError(f"timed out after {timeout:.0f} s waiting for {what}")
        ready, _, _ = select.select([fd], [], [], left)
        if ready:
            chunk = os.read(fd, 1)
            if not chunk:
                raise HarnessError(f"{what}: the stream ended ({buf!r})")
            buf += chunk
    return buf.decode("utf-8", errors="replace").rstrip("\n")


def log_file(workdir, name):
    """An output file for a child process; the parent's copy is closed once the child has it."""
    return _ChildOutput(os.path.join(workdir, name))


class _ChildOutput:
    # Popen only needs fileno(); the descriptor is closed when this object is collected,
    # which happens right after Popen has duplicated it into the child.
    def __init__(self, path):
        self._fd = os.open(path, os.O_WRONLY | os.O_CREAT | os.O_TRUNC | os.O_CLOEXEC, 0o644)

    def fileno(self):
        return self._fd

    def __del__(self):
        try:
            os.close(self._fd)
        except OSError:
            pass


def stop_process(proc, group=False, grace=5.0):
    """Ends a process this harness started (its own process group when `group`)."""
    if proc is None or proc.poll() is not None and not group:
        return
    def send(sig):
        try:
            if group:
                os.killpg(proc.pid, sig)
            else:
                proc.send_signal(sig)
        except (ProcessLookupError, PermissionError):
            pass
    send(signal.SIGTERM)
    try:
        proc.wait(grace)
    except subprocess.TimeoutExpired:
        pass
    send(signal.SIGKILL)  # the group may hold children that outlived the leader
    try:
        proc.wait(grace)
    except subprocess.TimeoutExpired:
        pass


# ---------------------------------------------------------------------------------------------
# Display

class Display:
    """Xvfb on a free display number (learnt through -displayfd) with openbox managing it
    (without, when `window_manager` is false: for programs that bring their own)."""

    def __init__(self, workdir, size=SCREEN, window_manager=True):
        self.workdir = workdir
        self.xvfb = self.wm = None
        self.window_manager = window_manager
        self._start(lambda fd: ["Xvfb", "-displayfd", str(fd), "-screen", "0",
                                f"{size[0]}x{size[1]}x24", "-nolisten", "tcp", "-noreset"],
                    "Xvfb", log_file(workdir, "xvfb.log"))

    def _start(self, server_argv, label, server_log):
        """Starts the X server `server_argv(fd)` (which reports its display number on fd),
        runs `_configure()`, then openbox; everything started is ended again on failure."""
        r, w = os.pipe()
        try:
            self.xvfb = subprocess.Popen(
                server_argv(w), pass_fds=(w,), stdout=subprocess.DEVNULL, stderr=server_log,
                start_new_session=True)
            os.close(w)
            w = None
            with os.fdopen(r, "rb", buffering=0) as pipe:
                r = None
                number = read_line(pipe, 30, f"{label}'s display number").strip()
            self.name = f":{int(number)}"
            self.env = dict(os.environ, DISPLAY=self.name)
            self.env.pop("WAYLAND_DISPLAY", None)
            self._configure()
            self._settle_keyboard()
            if not self.window_manager:
                return
            self.wm = subprocess.Popen(
                ["openbox", "--sm-disable"], env=self.env, stdout=subprocess.DEVNULL,
                stderr=log_file(self.workdir, "openbox.log"), start_new_session=True)
            # openbox announces itself on the root window once it manages the screen.
            wait_for(lambda: "window id" in self.xprop_root("_NET_SUPPORTING_WM_CHECK"), 30,
                     "openbox to manage the display")
        except BaseException:
            self.close()
            raise
        finally:
            for fd in (r, w):
                if fd is not None:
                    os.close(fd)

    def _configure(self):
        """Sets the display up before the window manager starts (nothing for Xvfb)."""

    def _settle_keyboard(self):
        """Makes the keyboard the tests type on the server's keyboard before any client
        listens. The first synthetic key switches the core keyboard to the server's test
        device, which tells every client that the keyboard map changed; openbox then drops
        all its key bindings and grabs them again, and a key pressed in between (the Alt+F4
        that closes a window) goes to the focused window instead. Pressed here, before the
        window manager starts, every later key finds the bindings in place."""
        self.run("xdotool", "key", "shift")

    def run(self, *cmd, check=True, timeout=20):
        res = subprocess.run(list(cmd), env=self.env, capture_output=True, timeout=timeout)
        if check and res.returncode != 0:
            raise HarnessError(f"{' '.join(cmd)} failed ({res.returncode}): "
                               f"{res.stderr.decode(errors='replace').strip()}")
        return res.stdout.decode("utf-8", errors="replace")

    def xprop_root(self, prop):
        return self.run("xprop", "-root", prop, check=False)

    # Windows ---------------------------------------------------------------------------

    def client_windows(self):
        """Top-level windows the window manager manages, in mapping order."""
        out = self.xprop_root("_NET_CLIENT_LIST")
        return [int(x, 16) for x in re.findall(r"0x[0-9a-fA-F]+", out.split("#", 1)[-1])]

    def window_pid(self, wid):
        m = re.search(r"=\s*(\d+)", self.run("xprop", "-id", hex(wid), "_NET_WM_PID", check=False))
        return int(m.group(1)) if m else None

    def windows_of(self, pids):
        pids = set(pids)
        return [w for w in self.client_windows() if self.window_pid(w) in pids]

    def window_name(self, wid):
        out = self.run("xprop", "-id", hex(wid), "_NET_WM_NAME", check=False)
        m = re.search(r'=\s*"(.*)"\s*$', out, re.S)
        if not m:
            return None
        # xprop escapes quotes and backslashes; UTF-8 text is printed as is.
        return re.sub(r'\\(.)', r'\1', m.group(1))

    def window_state(self, wid):
        out = self.run("xprop", "-id", hex(wid), "_NET_WM_STATE", check=False)
        return set(re.findall(r"_NET_WM_STATE_[A-Z_]+", out))

    def active_window(self):
        m = re.search(r"window id # (0x[0-9a-fA-F]+)", self.xprop_root("_NET_ACTIVE_WINDOW"))
        return int(m.group(1), 16) if m else None

    def geometry(self, wid):
        """(x, y, width, height) of the window on the screen."""
        out = self.run("xwininfo", "-id", hex(wid))
        get = lambda key: int(re.search(rf"{key}:\s*(-?\d+)", out).group(1))
        return (get("Absolute upper-left X"), get("Absolute upper-left Y"), get("Width"),
                get("Height"))

    def xdotool(self, *args):
        return self.run("xdotool", *[str(a) for a in args])

    def search(self, *, pid=None, name=None, visible=True):
        args = ["search"] + (["--onlyvisible"] if visible else [])
        if pid is not None:
            args += ["--pid", pid]
        if name is not None:
            args += ["--name", name]
        res = subprocess.run(["xdotool"] + [str(a) for a in args], env=self.env,
                             capture_output=True, timeout=20)
        return [int(x) for x in res.stdout.split()]

    def pointer(self):
        out = self.xdotool("getmouselocation", "--shell")
        fields = dict(line.split("=", 1) for line in out.split() if "=" in line)
        return int(fields["X"]), int(fields["Y"])

    def click(self, x, y, button=1):
        # "mousemove --sync" waits for a motion event, which never comes when the pointer is
        # already there; so move, then wait for the position.
        if self.pointer() != (x, y):
            self.xdotool("mousemove", x, y)
            wait_for(lambda: self.pointer() == (x, y), 5, f"the pointer to reach {x},{y}")
        self.xdotool("click", button)

    def click_window_centre(self, wid, button=1):
        x, y, w, h = self.geometry(wid)
        self.click(x + w // 2, y + h // 2, button)
        return x + w // 2, y + h // 2

    def type_text(self, text):
        self.xdotool("type", "--delay", 20, text)

    def key(self, *keys):
        self.xdotool("key", *keys)

    def minimize(self, wid):
        self.xdotool("windowminimize", "--sync", wid)

    # Pictures --------------------------------------------------------------------------

    def screenshot(self, path):
        self.run("import", "-window", "root", path, timeout=60)
        return path

    def grab_rgb(self, x, y, w, h):
        """Raw RGB bytes of a screen rectangle (clipped to the screen by the caller)."""
        res = subprocess.run(["import", "-window", "root", "-crop", f"{w}x{h}+{x}+{y}",
                              "-depth", "8", "rgb:-"], env=self.env, capture_output=True,
                             timeout=60)
        if res.returncode != 0:
            raise HarnessError(f"import failed: {res.stderr.decode(errors='replace')}")
        return res.stdout

    def pixel(self, x, y):
        return tuple(self.grab_rgb(x, y, 1, 1)[:3])

    def close(self):
        stop_process(self.wm, group=True)
        stop_process(self.xvfb, group=True)


# ---------------------------------------------------------------------------------------------
# Stand-in server

# Runs one control call inside the far side's namespace (its control port is on its loopback).
_FAR_CALL = r"""
import sys, urllib.error, urllib.request
url, method, timeout = sys.argv[1], sys.argv[2], float(sys.argv[3])
data = sys.stdin.buffer.read() if method == "POST" else None
try:
    with urllib.request.urlopen(urllib.request.Request(url, data=data, method=method),
                                timeout=timeout) as r:
        sys.stdout.buffer.write(r.read())
except urllib.error.HTTPError as e:
    sys.stderr.write(f"{e.code} {e.read().decode(errors='replace')}")
    sys.exit(3)
"""


class StandIn:
    def __init__(self, workdir, extra_args=(), far_side=False):
        self.record_path = os.path.join(workdir, "standin-records.jsonl")
        script = os.path.join(source_dir(), "tools", "standin_server.py")
        self.netns = os.environ.get("ZENT_PEER_NETNS") if far_side else None
        if far_side and not self.netns:
            raise RuntimeError("ZENT_PEER_NETNS is not set: run inside scripts/netns.sh")
        prefix = ["nsenter", f"--net={self.netns}"] if self.netns else []
        self.address = PEER_HOST if far_side else SERVER_HOST
        self.proc = subprocess.Popen(
            [*prefix, sys.executable, script, "--address", self.address, "--port", str(SERVER_PORT),
             "--other-address", OTHER_HOST, "--record", self.record_path, *extra_args],
            stdout=subprocess.PIPE, stderr=log_file(workdir, "standin.err"),
            start_new_session=True)
        try:
            while True:
                line = read_line(self.proc.stdout, 30, "the stand-in's READY line")
                if line.startswith("READY "):
                    self.ports = json.loads(line[len("READY "):])
                    break
        except BaseException:
            self.close()
            raise
        self.control = f"http://127.0.0.1:{self.ports['control']}"

    def call(self, path, body=None, timeout=30):
        data = None if body is None else json.dumps(body).encode("utf-8")
        if self.netns:
            res = subprocess.run(
                ["nsenter", f"--net={self.netns}", sys.executable, "-c", _FAR_CALL,
                 self.control + path, "GET" if body is None else "POST", str(timeout)],
                input=data or b"", capture_output=True, timeout=timeout + 10)
            if res.returncode == 3:
                raise HarnessError(f"stand-in control {path}: {res.stderr.decode(errors='replace')}")
            if res.returncode != 0:
                raise OSError(f"stand-in control {path}: {res.stderr.decode(errors='replace')}")
            return json.loads(res.stdout.decode("utf-8"))
        req = urllib.request.Request(self.control + path, data=data,
                                     method="GET" if body is None else "POST")
        try:
            with urllib.request.urlopen(req, timeout=timeout) as r:
                return json.loads(r.read().decode("utf-8"))
        except urllib.error.HTTPError as e:
            raise HarnessError(f"stand-in control {path}: {e.code} {e.read().decode(errors='replace')}")

    def configure(self, **sections):
        return self.call("/config", sections)

    def send_console(self, *messages):
        return self.call("/console", {"messages": list(messages)})

    def records(self, since=0):
        return self.call(f"/records?since={since}")["records"]

    def requests(self, path=None, listener=None, since=0):
        return [r for r in self.records(since) if r["kind"] == "http"
                and (path is None or r["path"] == path)
                and (listener is None or r["listener"] == listener)]

    def last_seq(self):
        recs = self.records()
        return recs[-1]["seq"] if recs else 0

    def wait_request(self, path, count=1, since=0, listener=None, timeout=60):
        """Waits (in the stand-in, no polling) until `count` requests of `path` arrived."""
        q = f"/wait?kind=http&path={urllib.request.quote(path)}&count={count}&since={since}&timeout={timeout}"
        if listener:
            q += f"&listener={listener}"
        out = self.call(q, timeout=timeout + 10)
        if not out["complete"]:
            raise HarnessError(f"timed out after {timeout} s waiting for {count} request(s) of "
                               f"{path} (got {len(out['records'])})")
        return out["records"]

    def wait_report(self, what, value=None, since=0, timeout=60):
        """Waits for the page's report `what` (see the stand-in's pages) and returns it."""
        deadline = time.monotonic() + timeout
        seen = since
        while True:
            left = deadline - time.monotonic()
            if left <= 0:
                raise HarnessError(f"timed out waiting for the page's report {what}={value}")
            recs = self.call(f"/wait?kind=http&path=/lumo7/report&count=1&since={seen}"
                             f"&timeout={max(1, int(left))}", timeout=left + 10)["records"]
            for r in recs:
                seen = max(seen, r["seq"])
                q = dict(urllib.parse.parse_qsl(r["query"]))
                if q.get("what") != what:
                    continue
                if value is not None and q.get("value") != value:
                    raise HarnessError(f"the page {q.get('page')} reported {what}={q.get('value')}, "
                                       f"expected {value}")
                return q

    def close(self):
        if self.proc and self.proc.poll() is None:
            try:
                self.call("/shutdown", {}, timeout=5)
                self.proc.wait(5)
            except (OSError, HarnessError, subprocess.TimeoutExpired, ValueError):
                pass
        stop_process(self.proc, group=True)
        if self.proc and self.proc.stdout:
            self.proc.stdout.close()


def read_probe(path):
    """(unix seconds, latency ms) per answer the window's loop probe wrote to `path`."""
    out = []
    try:
        with open(path, encoding="ascii") as f:
            for line in f:
                parts = line.split()
                if len(parts) == 2:
                    out.append((int(parts[0]) / 1000.0, float(parts[1])))
    except OSError:
        pass
    return out


def header_values(record, name):
    return [v for k, v in record["headers"] if k.lower() == name.lower()]


# ---------------------------------------------------------------------------------------------
# The program

def descendants(pid):
    """Pids of all processes below `pid` (from /proc)."""
    children = {}
    for d in glob.glob("/proc/[0-9]*/stat"):
        try:
            with open(d) as f:
                stat = f.read()
            fields = stat[stat.rindex(")") + 2:].split()
            children.setdefault(int(fields[1]), []).append(int(d.split("/")[2]))
        except (OSError, ValueError):
            continue
    out, todo = [], [pid]
    while todo:
        for c in children.get(todo.pop(), []):
            out.append(c)
            todo.append(c)
    return out


def parent_pid(pid):
    try:
        with open(f"/proc/{pid}/stat") as f:
            return int(f.read().rsplit(")", 1)[1].split()[1])
    except (OSError, ValueError, IndexError):
        return 0


def cmdline(pid):
    try:
        with open(f"/proc/{pid}/cmdline", "rb") as f:
            return [a.decode(errors="replace") for a in f.read().split(b"\0") if a]
    except OSError:
        return []


def is_alive(pid):
    try:
        with open(f"/proc/{pid}/stat") as f:
            return f.read().rsplit(")", 1)[1].split()[0] != "Z"
    except OSError:
        return False


def pss_kib(pid):
    try:
        with open(f"/proc/{pid}/smaps_rollup") as f:
            m = re.search(r"^Pss:\s+(\d+) kB", f.read(), re.M)
            return int(m.group(1)) if m else 0
    except OSError:
        return 0


class Program:
    """One started process of the program."""

    def __init__(self, env, args, workdir, index, exe=None, extra_env=None):
        self.args = list(args)
        self.out_path = os.path.join(workdir, f"program-{index}.out")
        self.started = time.time()
        self.proc = subprocess.Popen(
            [exe or env.exe, *self.args], env=dict(env.program_env, **(extra_env or {})),
            cwd=workdir, stdout=log_file(workdir, os.path.basename(self.out_path)),
            stderr=subprocess.STDOUT, start_new_session=True)
        self.pid = self.proc.pid
        self.env = env

    def wait_exit(self, timeout=30):
        try:
            return self.proc.wait(timeout)
        except subprocess.TimeoutExpired:
            raise HarnessError(f"the program {self.args} did not end within {timeout} s")

    def running(self):
        return self.proc.poll() is None

    def windows(self):
        return self.env.display.windows_of([self.pid])

    def window(self):
        """The program's top-level window now, or None. The toolkit may replace its first
        window while the browser view is set up, so look it up again rather than keep it."""
        ws = self.windows()
        return ws[0] if ws else None

    def wait_window(self, timeout=60):
        def one():
            if not self.running():
                raise HarnessError(f"the program {self.args} ended with {self.proc.returncode} "
                                   f"before showing a window; output: {self.output()[-2000:]}")
            return self.windows()
        return wait_for(one, timeout, f"a window of the program {self.args}")[0]

    def renderers(self):
        """The engine's renderer processes: "--type=renderer", or forked by a zygote (whose
        children keep the zygote's command line)."""
        out = []
        for p in descendants(self.pid):
            args = cmdline(p)
            if not is_alive(p):
                continue
            if "--type=renderer" in args or (
                    "--type=zygote" in args and "--type=zygote" in cmdline(parent_pid(p))):
                out.append(p)
        return out

    def tree(self):
        return [self.pid] + descendants(self.pid)

    def output(self):
        try:
            with open(self.out_path, encoding="utf-8", errors="replace") as f:
                return f.read()
        except OSError:
            return ""

    def stop(self):
        stop_process(self.proc, group=True)


class RecordingOpener:
    """A stand-in `xdg-open` in a folder of its own under `tmp`: each call appends "call" and
    then its arguments to a record file, each NUL-terminated. Put `folder` first on the
    program's PATH (`path_env`)."""

    def __init__(self, tmp):
        self.folder = os.path.join(tmp, "opener")
        os.mkdir(self.folder)
        self.record = os.path.join(tmp, "opened")
        script = os.path.join(self.folder, "xdg-open")
        with open(script, "w") as f:
            f.write("#!/bin/sh\nprintf 'call\\0' >> '%s'\nfor a in \"$@\"; do printf '%%s\\0' \"$a\" >> '%s'; done\n"
                    % (self.record, self.record))
        os.chmod(script, 0o755)

    def path_env(self, program_env):
        return {"PATH": self.folder + ":" + program_env.get("PATH", "/usr/bin:/bin")}

    def text(self):
        """The record as it stands: "" before the first call."""
        try:
            with open(self.record, "rb") as f:
                return f.read().decode("utf-8", errors="replace")
        except FileNotFoundError:
            return ""

    def calls(self):
        """Each call's arguments, in order."""
        calls = []
        for part in self.text().split("\0")[:-1]:
            if part == "call":
                calls.append([])
            else:
                calls[-1].append(part)
        return calls


class Environment:
    """Everything one test needs; `close` tears it all down."""

    def __init__(self, server_args=(), far_side=False, start_server=True, window_manager=True):
        require_namespace()
        self.server_far_side = far_side
        self.exe_src = os.environ.get("ZENT_BROWSER_BIN", "")
        if not os.path.isfile(self.exe_src):
            raise RuntimeError(f"ZENT_BROWSER_BIN does not name the program: {self.exe_src!r}")
        self.tmp = tempfile.mkdtemp(prefix="zent-e2e-")
        self.programs, self.display, self.server = [], None, None
        try:
            self.home = self._mkdir("home")
            self.config_home = self._mkdir("config")
            self.runtime = self._mkdir("runtime", 0o700)
            self.bin = os.path.join(self.tmp, "bin")
            self._copy_program_folder(os.path.dirname(self.exe_src), self.bin)
            self.exe = os.path.join(self.bin, os.path.basename(self.exe_src))
            self.display = Display(self.tmp, window_manager=window_manager)
            if start_server:
                self.start_server(server_args)
            env = dict(self.display.env)
            for k in list(env):
                if k.startswith(("XDG_", "QT_", "QTWEBENGINE_")):
                    del env[k]
            # The machine hive too stays in the test's folder.
            self.config_dirs = self._mkdir("xdg")
            env.update(XDG_CONFIG_DIRS=self.config_dirs)
            env.update(HOME=self.home, XDG_CONFIG_HOME=self.config_home,
                       XDG_RUNTIME_DIR=self.runtime, QT_QPA_PLATFORM="xcb",
                       LANG=os.environ.get("LANG", "C.UTF-8"))
            if os.geteuid() == 0:
                env["QTWEBENGINE_DISABLE_SANDBOX"] = "1"
            self.program_env = env
        except BaseException:
            self.close()
            raise

    def _mkdir(self, name, mode=0o755):
        path = os.path.join(self.tmp, name)
        os.mkdir(path)
        os.chmod(path, mode)
        return path

    @staticmethod
    def _copy_program_folder(src, dst):
        # Hard links where possible: the copy is per test but costs nothing.
        def link_or_copy(s, d):
            try:
                os.link(s, d)
            except OSError:
                shutil.copy2(s, d)
        shutil.copytree(src, dst, symlinks=True, copy_function=link_or_copy,
                        ignore=shutil.ignore_patterns("Logs", "*.cnfg", "Temp"))

    def start_server(self, server_args=()):
        """Starts the stand-in (on the far side when the environment says so)."""
        self.server = StandIn(self.tmp, server_args, self.server_far_side)
        return self.server

    # Program ---------------------------------------------------------------------------

    def start(self, *args, exe=None, extra_env=None):
        """Starts the program (or another executable `exe`) with this test's environment."""
        p = Program(self, args, self.tmp, len(self.programs), exe, extra_env)
        self.programs.append(p)
        return p

    def start_app(self, page="", *extra):
        """The main instance pointed at a page of the stand-in."""
        return self.start("-url", APP_URL + page, *extra)

    # Files -----------------------------------------------------------------------------

    def log_files(self, name="Lumo7Browser"):
        return sorted(glob.glob(os.path.join(self.bin, "Logs", "*", f"{name}.log")))

    def log_text(self, name="Lumo7Browser"):
        text = []
        for path in self.log_files(name):
            with open(path, encoding="utf-8", errors="replace") as f:
                text.append(f.read())
        return "".join(text)

    def wait_log(self, pattern, timeout=60, name="Lumo7Browser", count=1):
        """Waits for `count` log lines matching the regular expression; returns them."""
        rx = re.compile(pattern)
        def found():
            lines = [l for l in self.log_text(name).splitlines() if rx.search(l)]
            return lines if len(lines) >= count else None
        return wait_for(found, timeout, f"{count} line(s) matching {pattern!r} in the {name} log",
                        interval=0.2)

    @property
    def config_path(self):
        return os.path.join(self.config_home, "ZentLumo7", "Lumo7BrowserCfg.ini")

    def config(self):
        cp = configparser.ConfigParser(interpolation=None, strict=False)
        cp.optionxform = str.lower
        if os.path.exists(self.config_path):
            with open(self.config_path, encoding="utf-8-sig", errors="replace") as f:
                cp.read_string(f.read())
        return cp

    def write_config(self, text):
        os.makedirs(os.path.dirname(self.config_path), exist_ok=True)
        with open(self.config_path, "w", encoding="utf-8") as f:
            f.write(text)

    def registry_text(self, machine=False):
        """The user's hive, or with `machine` the machine-wide one."""
        path = os.path.join(self.config_dirs if machine else self.config_home, "zent", "registry",
                            "system.reg" if machine else "user.reg")
        with open(path, "rb") as f:
            raw = f.read()
        if raw.startswith(b"\xff\xfe"):
            return raw[2:].decode("utf-16-le", errors="replace")
        return raw.decode("utf-8-sig", errors="replace")

    def device_id(self, timeout=30):
        """The MachineGuid value of HKEY_CURRENT_USER\\SOFTWARE\\ZENT, once written."""
        def read():
            text = self.registry_text()
            section = re.search(r"^\[HKEY_CURRENT_USER\\SOFTWARE\\ZENT\]\s*$(.*?)(?=^\[|\Z)",
                                text, re.M | re.S | re.I)
            if not section:
                return None
            m = re.search(r'^"MachineGuid"="([^"]*)"', section.group(1), re.M | re.I)
            return m.group(1) if m else None
        return wait_for(read, timeout, "the device identifier in the registry")

    def screenshot(self, name):
        return self.display.screenshot(os.path.join(self.tmp, name))

    # Teardown --------------------------------------------------------------------------

    def close(self):
        for p in reversed(self.programs):
            p.stop()
        if self.server:
            self.server.close()
        if self.display:
            self.display.close()
        if os.environ.get("ZENT_E2E_KEEP") == "1":
            print(f"kept {self.tmp}", file=sys.stderr)
        else:
            shutil.rmtree(self.tmp, ignore_errors=True)


class E2ETestCase(unittest.TestCase):
    """Gives each test `self.env`, torn down whatever the test's outcome."""

    server_args = ()
    server_far_side = False  # the stand-in on the far side of the veth pair
    server_at_start = True   # False: the test starts it with self.env.start_server()

    def setUp(self):
        self.env = Environment(self.server_args, self.server_far_side, self.server_at_start)
        self.addCleanup(self.env.close)
        self.server = self.env.server
        self.display = self.env.display

    def start_live_page(self, page="live.html", extra_env=None):
        """The main instance on a live page of the stand-in (one that writes what the test
        queues with `send_console`), once the page has loaded and asks for messages."""
        since = self.server.last_seq()
        prog = self.env.start("-url", APP_URL + page, extra_env=extra_env)
        prog.wait_window()
        self.server.wait_report("flag", "true", since=since, timeout=90)
        # The live page asks for its first messages right after loading.
        self.server.wait_request("/lumo7/live/messages", since=since, timeout=30)
        return prog

    def describe(self):
        """Diagnostics for failure messages: the program's log tail and output."""
        parts = [f"log:\n{self.env.log_text()[-3000:]}"]
        for p in self.env.programs:
            parts.append(f"program {p.args} output:\n{p.output()[-1500:]}")
        return "\n".join(parts)


def now_text():
    return datetime.datetime.now().isoformat(timespec="milliseconds")
