"""The installed package as a till uses it: the program started from /opt/lumo7browser/bin/ by a
member of the group lumo7 who is not root, the kiosk X session, and what an upgrade keeps.

Run by tests/package/run_package_tests.sh (which installs the package and makes the user),
inside scripts/netns.sh. Environment: ZENT_PKGTEST_USER (the non-root member of lumo7),
ZENT_PKGTEST_STATE (a folder owned by that user that outlives one run: the home whose
configuration, device identifier and logs an upgrade must keep), ZENT_SOURCE_DIR.
ZENT_BUILD_DIR (the build the package came from: the installer stub, zent-mksetup and the
build's update signing key).
Phases, chosen by the test names: BeforeUpgrade, AfterUpgrade, KioskSession, SelfUpdate.
"""

import grp
import hashlib
import json
import os
import pwd
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
import harness  # noqa: E402
from harness import APP_URL, HarnessError, wait_for  # noqa: E402
import test_self_update as self_update  # noqa: E402  (restamping versions, finding programs)

INSTALL_BIN = "/opt/lumo7browser/bin"
EXE = os.path.join(INSTALL_BIN, "Lumo7Browser")
SESSION = "/usr/libexec/lumo7browser/lumo7-kiosk-session"
LOG_ROOT = "/var/log/lumo7browser"
LOCK_FOLDER = "/run/lumo7browser/locks"
HELPER = "/usr/libexec/lumo7browser/lumo7-apply-update"
PACKAGE_FOLDER = "/var/lib/lumo7browser/Temp/ExeBuf"
# The colour the stand-in paints behind its test pages.
PAGE_COLOUR = (0xCC, 0xDD, 0xEE)


def test_user():
    name = os.environ.get("ZENT_PKGTEST_USER", "")
    try:
        return pwd.getpwnam(name)
    except KeyError:
        raise RuntimeError(f"ZENT_PKGTEST_USER does not name a user: {name!r}")


def state_dir():
    path = os.environ.get("ZENT_PKGTEST_STATE", "")
    if not os.path.isdir(path):
        raise RuntimeError(f"ZENT_PKGTEST_STATE is not a folder: {path!r}")
    return path


class InstalledEnvironment(harness.Environment):
    """The installed program in place (no copy), started as the non-root test user with a home
    kept in ZENT_PKGTEST_STATE, so that one run's configuration meets the next."""

    def __init__(self, window_manager=True, start_server=True):
        os.environ["ZENT_BROWSER_BIN"] = EXE
        super().__init__(start_server=start_server, window_manager=window_manager)
        try:
            self.user = test_user()
            self.bin = INSTALL_BIN
            self.exe = EXE
            state = state_dir()
            self.home = os.path.join(state, "home")
            self.config_home = os.path.join(state, "config")
            for d in (self.home, self.config_home):
                os.makedirs(d, exist_ok=True)
            # The user reaches its runtime folder through the test's folder.
            os.chmod(self.tmp, 0o755)
            for d in (self.home, self.config_home, self.runtime):
                os.chown(d, self.user.pw_uid, self.user.pw_gid)
            self.program_env.update(HOME=self.home, XDG_CONFIG_HOME=self.config_home,
                                    USER=self.user.pw_name, LOGNAME=self.user.pw_name)
            # The machine hive the package wrote, not a test's own.
            self.program_env.pop("XDG_CONFIG_DIRS", None)
            # The engine's sandbox needs user namespaces, which this test machine may refuse to
            # a non-root user inside the test namespace.
            self.program_env["QTWEBENGINE_DISABLE_SANDBOX"] = "1"
        except BaseException:
            self.close()
            raise

    @staticmethod
    def _copy_program_folder(src, dst):
        pass  # the installed folder is used as it is

    def start(self, *args, exe=None, extra_env=None):
        """Starts the program (or `exe`) as the test user; setpriv execs, so the pid stays."""
        return super().start("--reuid", str(self.user.pw_uid), "--regid", str(self.user.pw_gid),
                             "--init-groups", "--", exe or self.exe,
                             *args, exe="/usr/bin/setpriv", extra_env=extra_env)

    def close(self):
        # The harness removes its temporary folder; the state folder stays for the next phase.
        super().close()


class InstalledCase(harness.E2ETestCase):
    window_manager = True
    start_server = True

    def setUp(self):
        self.env = InstalledEnvironment(self.window_manager, self.start_server)
        self.addCleanup(self.env.close)
        self.display = self.env.display
        self.server = self.env.server

    def log_lines(self, pattern):
        return [l for l in self.env.log_text().splitlines() if re.search(pattern, l)]

    def as_user(self, *cmd, user=None, timeout=120):
        """Runs a command as the test user (or `user`, a passwd entry) with its groups."""
        u = user or self.env.user
        return subprocess.run(["setpriv", "--reuid", str(u.pw_uid), "--regid", str(u.pw_gid),
                               "--init-groups", "--", *cmd], env=self.env.program_env,
                              capture_output=True, text=True, timeout=timeout)

    def run_program_to_the_page(self):
        """Starts the installed program at the stand-in's page and checks what a person sees:
        the page on a full screen, and the start written to the log under the installed folder."""
        starts_before = len(self.log_lines(r"Browser start: main"))
        app = self.env.start_app("title?t=Installed")
        try:
            wid = app.wait_window(90)
            self.server.wait_report("flag", "true", timeout=120)
        except HarnessError as e:
            self.fail(f"{e}\n{self.describe()}")
        self.assertEqual(app.proc.poll(), None, self.describe())
        # Not root, a member of lumo7.
        with open(f"/proc/{app.pid}/status") as f:
            status = f.read()
        uid = int(re.search(r"^Uid:\s+(\d+)", status, re.M).group(1))
        groups = re.search(r"^Groups:\s*(.*)$", status, re.M).group(1).split()
        self.assertNotEqual(uid, 0)
        self.assertIn(str(grp.getgrnam("lumo7").gr_gid), groups)
        # The run options the package installs: full screen from the start.
        wait_for(lambda: "_NET_WM_STATE_FULLSCREEN" in self.display.window_state(app.window() or wid),
                 30, "the installed program's window to be full screen")
        x, y, w, h = self.display.geometry(app.window())
        wait_for(lambda: self.display.pixel(x + w // 2, y + h // 2) == PAGE_COLOUR, 60,
                 "the stand-in's page on the screen")
        # Its log is under the installed folder (a link into /var/log/lumo7browser).
        lines = self.env.wait_log(r"Browser start: main, version \d+\.\d+\.\d+\.\d+",
                                  count=starts_before + 1)
        self.assertTrue(self.env.log_files())
        for path in self.env.log_files():
            self.assertTrue(path.startswith(os.path.join(INSTALL_BIN, "Logs") + "/"), path)
            self.assertTrue(os.path.realpath(path).startswith(LOG_ROOT + "/"), path)
        newest = max(self.env.log_files(), key=os.path.getmtime)
        self.assertEqual(os.stat(newest).st_uid, self.env.user.pw_uid)
        app.stop()
        return lines[-1]


def snapshot(env):
    """What an upgrade must keep: the configuration file's bytes, the device identifier and
    the logs (file and size)."""
    with open(env.config_path, "rb") as f:
        config = hashlib.sha256(f.read()).hexdigest()
    logs = {p: os.path.getsize(p) for p in env.log_files()}
    return {"config": config, "device_id": env.device_id(), "logs": logs}


SNAPSHOT_FILE = "before-upgrade.json"


class BeforeUpgrade(InstalledCase):

    def test_older_package_runs_and_leaves_configuration_identifier_and_logs(self):
        # The technician chose the server; the program adds to the file as it runs.
        self.env.write_config(f"[LumoServer]\nHost={harness.SERVER_HOST}\n")
        os.chown(os.path.dirname(self.env.config_path), self.env.user.pw_uid, self.env.user.pw_gid)
        os.chown(self.env.config_path, self.env.user.pw_uid, self.env.user.pw_gid)
        self.run_program_to_the_page()
        snap = snapshot(self.env)
        self.assertTrue(snap["device_id"])
        self.assertTrue(snap["logs"])
        with open(os.path.join(state_dir(), SNAPSHOT_FILE), "w") as f:
            json.dump(snap, f)


class AfterUpgrade(InstalledCase):

    def test_upgrade_kept_configuration_identifier_and_logs_and_the_new_program_runs(self):
        with open(os.path.join(state_dir(), SNAPSHOT_FILE)) as f:
            before = json.load(f)
        now = snapshot(self.env)
        self.assertEqual(now["config"], before["config"], "Lumo7BrowserCfg.ini changed")
        self.assertEqual(now["device_id"], before["device_id"])
        for path, size in before["logs"].items():
            self.assertIn(path, now["logs"], "a log disappeared in the upgrade")
            self.assertGreaterEqual(now["logs"][path], size)

        # The package recorded the install location; the program's start check finds it right
        # and neither writes nor tries to write the hive, which only root may change.
        registrations = len(self.log_lines(r"Install registration"))
        self.run_program_to_the_page()
        self.assertEqual(self.log_lines(r"Install registration")[registrations:], [])
        self.assertEqual(self.env.device_id(), before["device_id"])
        osid = [harness.header_values(r, "OSID") for r in self.server.requests("/lumo7/title")]
        self.assertIn([before["device_id"]], osid)


class MachineWideLocks(InstalledCase):
    """The folder of machine-wide named locks (the device manager's, the logs'): the group may
    take names there, a local user outside it can neither create nor open one."""
    window_manager = False
    start_server = False

    def test_only_members_may_take_machine_wide_names(self):
        probe = os.path.join(LOCK_FOLDER, "pkgtest-probe.lock")
        take = ["python3", "-c", "import fcntl, os, sys\n"
                "fd = os.open(sys.argv[1], os.O_RDONLY | os.O_CREAT | os.O_NOFOLLOW, 0o666)\n"
                "fcntl.flock(fd, fcntl.LOCK_EX | fcntl.LOCK_NB)", probe]
        try:
            member = self.as_user(*take)
            self.assertEqual(member.returncode, 0, member.stderr)
            outsider = self.as_user(*take, user=pwd.getpwnam("nobody"))
            self.assertNotEqual(outsider.returncode, 0)
            self.assertIn("PermissionError", outsider.stderr)
        finally:
            if os.path.lexists(probe):
                os.remove(probe)


# ---------------------------------------------------------------------------------------------
# Self-update of the installed program through the root helper

def file_digest(path):
    with open(path, "rb") as f:
        return hashlib.sha256(f.read()).hexdigest()


class SelfUpdate(InstalledCase):
    """The installed program, run by a member, installs a newer signed package through the one
    privileged step; packages the helper must refuse change nothing."""

    def setUp(self):
        if not os.path.exists(HELPER):
            self.skipTest(f"the package holds no {HELPER} (built without lumo7-apply-update)")
        super().setUp()
        self.build = os.environ["ZENT_BUILD_DIR"]
        self.key = os.path.join(self.build, "update-keys", "build-signing.key")
        self.version = self_update.note_version(self_update.read_bytes(EXE))
        os.chmod(self.env.tmp, 0o755)  # the member copies installers from here
        self.addCleanup(self.clear_package_folder)
        self.addCleanup(self.end_restarted_programs)

    def end_restarted_programs(self):
        for pid in self_update.program_pids(EXE):
            try:
                os.kill(pid, signal.SIGKILL)
            except OSError:
                pass

    def clear_package_folder(self):
        if os.path.isdir(PACKAGE_FOLDER):
            shutil.rmtree(PACKAGE_FOLDER)

    def installer(self, version, signed=True):
        """An installer of the program stamped `version`, signed with the build's key or not."""
        stage = tempfile.mkdtemp(dir=self.env.tmp)
        self_update.restamp(EXE, os.path.join(stage, "Lumo7Browser"), version)
        stub = os.path.join(stage, "..", f"stub-{os.path.basename(stage)}")
        self_update.restamp(os.path.join(self.build, "setup", "zent-setup-stub"), stub, version)
        out = stage + ".exe"
        sign = ["--sign", self.key] if signed else []
        subprocess.run([os.path.join(self.build, "setup", "zent-mksetup"), *sign, stub, stage,
                        "Lumo7Browser", out], check=True, timeout=120, capture_output=True)
        os.chmod(out, 0o644)
        return out

    def place(self, installer):
        """The member puts the installer where the update check would have stored it."""
        name = f"DO2_U_{hashlib.md5(self_update.read_bytes(installer)).hexdigest()}.exe"
        self.clear_package_folder()
        for cmd in (["mkdir", "-p", PACKAGE_FOLDER], ["cp", installer, os.path.join(PACKAGE_FOLDER, name)]):
            res = self.as_user(*cmd)
            self.assertEqual(res.returncode, 0, res.stderr)

    def assert_program_is_roots(self):
        st = os.stat(EXE)
        self.assertEqual(st.st_uid, 0)
        self.assertEqual(st.st_mode & 0o022, 0, oct(st.st_mode))

    def test_helper_refuses_unsigned_and_older_packages_and_arguments(self):
        newer = self.version[:3] + (self.version[3] + 1,)
        older = self.version[:3] + (self.version[3] - 1,)
        before = file_digest(EXE)
        cases = [("unsigned newer package", self.installer(newer, signed=False), []),
                 ("signed older package", self.installer(older), []),
                 ("signed newer package, with an argument", self.installer(newer), ["/DIR=/tmp"])]
        for what, installer, args in cases:
            with self.subTest(what):
                self.place(installer)
                res = self.as_user("sudo", "-n", HELPER, *args)
                self.assertEqual(res.returncode, 1, f"{res.stdout}{res.stderr}")
                self.assertEqual(file_digest(EXE), before)
                self.assert_program_is_roots()

    def test_member_program_installs_a_newer_signed_package_through_the_helper(self):
        newer = self.version[:3] + (self.version[3] + 1,)
        self.place(self.installer(newer))
        run = self.env.start_app()
        self.assertEqual(run.wait_exit(60), 0, self.describe())
        self.env.wait_log(r"Browser start: main, version " + re.escape(".".join(map(str, newer))), 180)
        self.assertEqual(self_update.note_version(self_update.read_bytes(EXE)), newer)
        self.assert_program_is_roots()
        wait_for(lambda: not os.path.exists("/var/lib/lumo7browser/Temp/UpdateCmd.sh"), 60,
                 "the hand-off script to delete itself")


# ---------------------------------------------------------------------------------------------
# The kiosk session

def fake_browser(folder, script, user):
    """A stand-in for the browser in its own program folder (with a "Logs" the user may write)."""
    bin_dir = os.path.join(folder, "bin")
    os.makedirs(os.path.join(bin_dir, "Logs"))
    os.chown(os.path.join(bin_dir, "Logs"), user.pw_uid, user.pw_gid)
    path = os.path.join(bin_dir, "Lumo7Browser")
    with open(path, "w") as f:
        f.write("#!/bin/sh\n" + script)
    os.chmod(path, 0o755)
    return path


class KioskSession(InstalledCase):
    window_manager = False  # the session brings its own
    start_server = False

    def setUp(self):
        super().setUp()
        marks = os.path.join(self.env.tmp, "marks")
        os.mkdir(marks)
        os.chown(marks, self.env.user.pw_uid, self.env.user.pw_gid)
        self.starts = os.path.join(marks, "starts")  # one line per start of a fake browser
        self.session_log = os.path.join(self.env.home, ".local", "state", "lumo7browser",
                                        "kiosk-session.log")
        if os.path.exists(self.session_log):
            os.remove(self.session_log)

    def start_session(self, browser=None):
        extra = {"LUMO7_KIOSK_BROWSER": browser} if browser else None
        session = self.env.start(exe=SESSION, extra_env=extra)
        self.addCleanup(session.stop)
        return session

    def session_text(self):
        try:
            with open(self.session_log, encoding="utf-8", errors="replace") as f:
                return f.read()
        except OSError:
            return ""

    def browsers(self, session):
        """Pids of the installed program's main processes below the session."""
        return [p for p in harness.descendants(session.pid)
                if harness.is_alive(p) and os.path.realpath(f"/proc/{p}/exe") == EXE]

    def start_count(self):
        try:
            with open(self.starts) as f:
                return len(f.read().split())
        except FileNotFoundError:
            return 0

    def message_windows(self):
        return self.display.search(name="^Lumo7 Kiosk$")

    def answer_message(self):
        """Presses Return (the default button) once the message has the keyboard."""
        wait_for(lambda: self.display.active_window() in self.message_windows(), 30,
                 "the message to have the keyboard")
        self.display.key("Return")

    def wait_full_screen(self, pid):
        # The toolkit may replace its first window, so the window is looked up each time.
        def full():
            return any("_NET_WM_STATE_FULLSCREEN" in self.display.window_state(w)
                       for w in self.display.windows_of([pid]))
        wait_for(full, 90, f"a full-screen window of the browser {pid}")

    def test_session_runs_the_browser_full_screen_and_brings_it_back_after_sigkill(self):
        session = self.start_session()
        wait_for(lambda: "window id" in self.display.xprop_root("_NET_SUPPORTING_WM_CHECK"), 30,
                 "the session's window manager")
        first = wait_for(lambda: self.browsers(session), 60, "the browser in the session")[0]
        self.wait_full_screen(first)
        # Only the browser's window is managed: no desktop, no panel.
        self.assertEqual(self.display.client_windows(), self.display.windows_of([first]))

        os.kill(first, signal.SIGKILL)
        killed_at = time.monotonic()
        second = wait_for(lambda: [p for p in self.browsers(session) if p != first], 15,
                          "the browser to be started again")[0]
        back_in = time.monotonic() - killed_at
        self.wait_full_screen(second)
        print(f"browser started again {back_in:.1f} s after SIGKILL", file=sys.stderr)
        self.assertLess(back_in, 10)
        self.assertIn("killed by signal 9", self.session_text())
        self.assertTrue(session.running())

    def test_browser_that_exits_at_once_is_restarted_five_times_then_a_message_shows(self):
        browser = fake_browser(self.env.tmp, f'echo "$$" >> "{self.starts}"\n'
                                             'echo "cannot start: test" >&2\nexit 3\n', self.env.user)
        session = self.start_session(browser)
        wait_for(self.message_windows, 60, "the message on the screen")
        text = self.session_text()
        self.assertIn("restart limit reached: 5 restarts within 60 s", text)
        self.assertEqual(self.start_count(), 6, text)  # the first start and 5 restarts
        # Nothing spins behind the message.
        time.sleep(3)
        self.assertEqual(self.start_count(), 6)
        self.assertTrue(session.running())
        # "Retry" (the default button) gives the browser another round.
        self.answer_message()
        wait_for(lambda: text.count("restart limit") < self.session_text().count("restart limit"),
                 60, "the second round to reach the limit")
        self.assertEqual(self.start_count(), 12)

    def test_update_hand_off_is_awaited_and_the_browser_started_again(self):
        # The first start hands over to an "update script" that removes itself after 3 s: beside
        # the program, or in Temp/ under the installation base when the program folder is root's.
        for where in ('"$(dirname "$0")"', '"$(dirname "$(dirname "$0")")/Temp"'):
            with self.subTest(script_folder=where):
                if os.path.exists(self.starts):
                    os.remove(self.starts)
                folder = tempfile.mkdtemp(dir=self.env.tmp)
                os.chmod(folder, 0o755)
                browser = fake_browser(folder, f"""
starts="{self.starts}"
first=$([ -s "$starts" ] && echo no || echo yes)
echo "$$" >> "$starts"
if [ "$first" = yes ]; then
  mkdir -p {where}
  script={where}/UpdateCmd.sh
  touch "$script"
  setsid sh -c 'sleep 3; rm -f "$1"' _ "$script" </dev/null >/dev/null 2>&1 &
  exit 0
fi
exec sleep 600
""", self.env.user)
                for d in (folder, os.path.dirname(browser)):
                    os.chown(d, self.env.user.pw_uid, self.env.user.pw_gid)
                if os.path.exists(self.session_log):
                    os.remove(self.session_log)
                session = self.start_session(browser)
                wait_for(lambda: "update hand-off finished" in self.session_text(), 30,
                         "the session to wait for the update")
                wait_for(lambda: self.start_count() == 2, 30, "the browser after the update")
                self.assertTrue(session.running())
                self.assertNotIn("session ends", self.session_text())
                session.stop()

    def test_folder_without_group_write_access_is_reported_on_the_screen(self):
        browser = fake_browser(self.env.tmp, f'echo "$$" >> "{self.starts}"\nexec sleep 600\n',
                               self.env.user)
        logs = os.path.join(os.path.dirname(browser), "Logs")
        os.chown(logs, 0, 0)  # root's, not the group's
        self.start_session(browser)
        wait_for(self.message_windows, 60, "the message on the screen")
        self.assertIn(f"no write access for {self.env.user.pw_name} to: {logs}", self.session_text())
        self.assertFalse(os.path.exists(self.starts), "the browser started before the answer")
        self.answer_message()  # "Start anyway"
        wait_for(lambda: os.path.exists(self.starts), 30, "the browser after 'Start anyway'")

    def test_missing_library_is_reported_on_the_screen(self):
        work = os.path.join(self.env.tmp, "lib")
        os.makedirs(work)
        with open(os.path.join(work, "gone.c"), "w") as f:
            f.write("int gone(void) { return 0; }\n")
        with open(os.path.join(work, "main.c"), "w") as f:
            f.write("int gone(void);\nint main(void) { return gone(); }\n")
        subprocess.run(["gcc", "-shared", "-fPIC", "-o", os.path.join(work, "libzentgone.so"),
                        os.path.join(work, "gone.c")], check=True, timeout=60)
        browser = fake_browser(self.env.tmp, "", self.env.user)
        subprocess.run(["gcc", "-o", browser, os.path.join(work, "main.c"), f"-L{work}",
                        "-lzentgone"], check=True, timeout=60)
        os.remove(os.path.join(work, "libzentgone.so"))
        session = self.start_session(browser)
        wait_for(self.message_windows, 60, "the message on the screen")
        self.assertIn("libraries are missing: libzentgone.so => not found", self.session_text())
        self.answer_message()  # "Log out"
        self.assertEqual(session.wait_exit(30), 1)

    def test_no_display_ends_at_once_with_a_clear_message(self):
        for display in ("", ":97"):
            with self.subTest(display=display):
                env = dict(self.env.program_env, DISPLAY=display)
                res = subprocess.run(
                    ["setpriv", "--reuid", str(self.env.user.pw_uid), "--regid",
                     str(self.env.user.pw_gid), "--init-groups", "--", SESSION],
                    env=env, capture_output=True, timeout=30)
                self.assertEqual(res.returncode, 1)
                err = res.stderr.decode(errors="replace")
                if display:
                    self.assertIn("cannot open the display :97", err)
                else:
                    self.assertIn("no display: DISPLAY is not set", err)


if __name__ == "__main__":
    unittest.main()
