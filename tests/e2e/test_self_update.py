"""End-to-end acceptance of the self-update: the check on the update service (port 7100) and
the web application's fallback, the download into the package folders, the hand-off at the
next start through "UpdateCmd.sh", the program's own installer replacing the program, the
restart with the new version, and the faults: cut connections, a program killed during a
download, hostile names, a huge download. Trust: downloads that are unsigned, signed with a
foreign key, altered after signing or not matching their announced MD5 never get a package
name; a file planted in the package folder is deleted, not run; a signed package whose
installation fails is handed off once.

The installer served is made by the test: a copy of the program and of the installer program
with their version notes re-stamped one build higher, packed by the build's zent-mksetup and
signed with the build's signing key (whose public half the program carries).
Run from tests/e2e inside scripts/netns.sh:
    python3 -m unittest -v test_self_update
"""

import hashlib
import os
import re
import shutil
import signal
import struct
import subprocess
import tempfile
import time

from harness import SERVER_PORT, E2ETestCase, HarnessError, wait_for

UNINSTALL_KEY = ("HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"
                 "{DD89D3FF-2163-49BD-822F-FD0AF2D7E6AE}_is1")
FIXED_SIGNATURE = struct.pack("<II", 0xFEEF04BD, 0x00010000)
MAIN_DOWNLOAD = "/autoupdate/download/Lumo7Browser-setup.exe"


def build_dir():
    return os.path.dirname(os.path.dirname(os.environ["ZENT_BROWSER_BIN"]))


def signing_key():
    return os.path.join(build_dir(), "update-keys", "build-signing.key")


def updatekey(*args):
    """Runs the build's key tool (keygen, sign, verify)."""
    tool = os.path.join(build_dir(), "setup", "zent-updatekey")
    return subprocess.run([tool, *args], check=True, timeout=120, capture_output=True)


def read_bytes(path):
    with open(path, "rb") as f:
        return f.read()


def note_version(data):
    """The file version in our version note: (major, minor, patch, tweak)."""
    at = data.find(FIXED_SIGNATURE)
    if at < 0:
        raise HarnessError("no version note")
    ms, ls = struct.unpack_from("<II", data, at + 8)
    return (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)


def restamp(src, dst, version):
    """Copies `src` to `dst` with its version note saying `version` (fixed part and texts)."""
    with open(src, "rb") as f:
        data = bytearray(f.read())
    at = data.find(FIXED_SIGNATURE)
    old = ".".join(map(str, note_version(data)))
    new = ".".join(map(str, version))
    ms = (version[0] << 16) | version[1]
    ls = (version[2] << 16) | version[3]
    struct.pack_into("<IIII", data, at + 8, ms, ls, ms, ls)
    if len(new) == len(old):
        for key in (b"FileVersion\0", b"ProductVersion\0"):
            data = data.replace(key + old.encode() + b"\0", key + new.encode() + b"\0")
    with open(dst, "wb") as f:
        f.write(data)
    os.chmod(dst, 0o755)


def program_pids(path):
    """Processes running the executable at `path` (also once it was replaced)."""
    pids = []
    for entry in os.listdir("/proc"):
        if entry.isdigit():
            try:
                target = os.readlink(f"/proc/{entry}/exe")
            except OSError:
                continue
            if target == path or target == path + " (deleted)":
                pids.append(int(entry))
    return pids


def vm_hwm_kib(pid):
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith("VmHWM:"):
                return int(line.split()[1])
    return 0


class SelfUpdateCase(E2ETestCase):
    def setUp(self):
        super().setUp()
        self.base = self.env.tmp + "/"
        self.main_folder = os.path.join(self.env.tmp, "Temp", "ExeBuf")
        self.fallback_folder = os.path.join(self.env.tmp, "Temp", "ExeBuf_O")
        self.script = os.path.join(self.env.bin, "UpdateCmd.sh")
        # The machine hive of this test only: the installer reads its target folder there.
        self.xdg_dirs = os.path.join(self.env.tmp, "xdg")
        self.env.program_env["XDG_CONFIG_DIRS"] = self.xdg_dirs
        self.env.write_config(f"[LumoServer]\nHost=127.0.0.1\nPort={SERVER_PORT}\nUrl=lumo7/\n")
        self.version = note_version(read_bytes(self.env.exe))
        # Programs the update script restarted are no children of ours: end them too.
        self.addCleanup(self.kill_restarted)

    def kill_restarted(self):
        for pid in program_pids(self.env.exe):
            try:
                os.killpg(pid, signal.SIGKILL)
            except OSError:
                pass
        # Gone before the next start, which would otherwise find a running instance and end.
        wait_for(lambda: not program_pids(self.env.exe), 30, "the restarted program's end", interval=0.1)

    def record_install_folder(self):
        hive = os.path.join(self.xdg_dirs, "zent", "registry", "system.reg")
        os.makedirs(os.path.dirname(hive), exist_ok=True)
        with open(hive, "w", encoding="utf-8") as f:
            f.write(f'Windows Registry Editor Version 5.00\n\n[{UNINSTALL_KEY}]\n'
                    f'"InstallLocation"="{self.env.bin}/"\n')

    def newer_installer(self, key=None):
        """An installer one build higher than the program, with a program of that version,
        signed with `key` (the build's signing key by default; "" for none)."""
        key = signing_key() if key is None else key
        newer = self.version[:3] + (self.version[3] + 1,)
        work = tempfile.mkdtemp(prefix="installer-", dir=self.env.tmp)
        stage = os.path.join(work, "stage")
        os.makedirs(stage)
        restamp(self.env.exe, os.path.join(stage, os.path.basename(self.env.exe)), newer)
        setup_dir = os.path.join(build_dir(), "setup")
        stub = os.path.join(work, "setup-stub")
        restamp(os.path.join(setup_dir, "zent-setup-stub"), stub, newer)
        out = os.path.join(work, "Lumo7Browser-setup-new.exe")
        sign = ["--sign", key] if key else []
        subprocess.run([os.path.join(setup_dir, "zent-mksetup"), *sign, stub, stage,
                        os.path.basename(self.env.exe), out], check=True, timeout=120)
        return out, ".".join(map(str, newer))

    def marker_script(self, name, exit_code=0, signed=False):
        """A shell script that records each run in "<name>.ran" and exits with `exit_code`."""
        path = os.path.join(self.env.tmp, name)
        marker = path + ".ran"
        with open(path, "w") as f:
            f.write(f"#!/bin/sh\necho ran >> '{marker}'\nexit {exit_code}\n")
        os.chmod(path, 0o755)
        if signed:
            updatekey("sign", signing_key(), path)
        return path, marker

    def update(self, **body):
        return self.server.call("/update", body)

    def files(self, folder):
        return sorted(os.listdir(folder)) if os.path.isdir(folder) else []

    def update_log(self):
        return self.env.log_text("UpdateCheck")

    def wait_started_version(self, version, timeout=120):
        return self.env.wait_log(r"Browser start: main, version " + version.replace(".", r"\."), timeout)


class FullCycleTests(SelfUpdateCase):

    def test_main_service_package_is_installed_by_the_real_installer_and_the_program_restarts(self):
        installer, newer = self.newer_installer()
        md5 = hashlib.md5(read_bytes(installer)).hexdigest()
        self.record_install_folder()
        self.update(main={"check": {"mode": "offer", "download_url": MAIN_DOWNLOAD, "md5": md5},
                          "download": {"mode": "file", "path": installer}})
        # Run 1: the check finds the newer build and stores its installer.
        run1 = self.env.start_app()
        package = os.path.join(self.main_folder, f"DO2_U_{md5}.exe")
        wait_for(lambda: os.path.exists(package), 120, "the downloaded package", interval=0.2)
        self.assertEqual(read_bytes(package), read_bytes(installer))
        self.assertEqual(self.files(self.main_folder), [f"DO2_U_{md5}.exe"])
        self.assertIn(f"DownloadUpdate: {MAIN_DOWNLOAD}", self.update_log())
        run1.stop()
        self.update(main={"check": {"mode": "none"}})

        # Run 2: hands over to the script and ends at once, without a window.
        run2 = self.env.start_app()
        self.assertEqual(run2.wait_exit(30), 0, self.describe())
        self.assertEqual(run2.windows(), [])
        log = self.env.log_text()
        self.assertIn("ExecUpdate-Begin", log)
        self.assertIn("ExecUpdate-End", log)
        self.assertNotIn("ExecUpdate异常", log)

        # The script installs, restarts the program (now the newer build) and deletes itself.
        self.wait_started_version(newer)
        self.assertEqual(note_version(read_bytes(self.env.exe)),
                         tuple(map(int, newer.split("."))))
        wait_for(lambda: not os.path.exists(self.script), 60, "the script to delete itself")
        # The restarted program is the following start: it finds its own version and deletes it.
        self.env.wait_log(r"升级程序版本与当前程序版本相同: ", 60)
        wait_for(lambda: not os.path.exists(package), 30, "the package to be deleted")
        restarted = program_pids(self.env.exe)
        self.assertTrue(restarted, "the program was not restarted")
        wait_for(lambda: self.display.windows_of(restarted), 90, "the restarted program's window")

    def test_installer_that_does_not_begin_leaves_the_program_stopped_and_the_script_gone(self):
        installer, _ = self.newer_installer()
        os.makedirs(self.main_folder)
        package = os.path.join(self.main_folder, "DO2_U_abc.exe")
        shutil.copy(installer, package)
        # No installed-programs entry and no /DIR=: the installer exits with 2. The machine
        # hive's folder lies below a plain file, so the start cannot record one either.
        blocker = os.path.join(self.env.tmp, "no-machine-hive")
        with open(blocker, "w"):
            pass
        self.env.program_env["XDG_CONFIG_DIRS"] = os.path.join(blocker, "xdg")
        run = self.env.start_app()
        self.assertEqual(run.wait_exit(30), 0, self.describe())
        wait_for(lambda: not os.path.exists(self.script), 60, "the script to delete itself")
        time.sleep(2)
        self.assertEqual(program_pids(self.env.exe), [], "the program was restarted")
        self.assertTrue(os.path.exists(package))
        self.assertEqual(note_version(read_bytes(self.env.exe)), self.version)


class FallbackTests(SelfUpdateCase):
    server_args = ("--update-port", "-1")  # nothing answers on port 7100

    def test_refused_service_makes_the_fallback_download_and_install_a_newer_build(self):
        installer, newer = self.newer_installer()
        self.record_install_folder()
        self.update(fallback={"check": {"mode": "offer", "file_name": "Lumo7Browser-setup.exe"},
                              "download": {"mode": "file", "path": installer}})
        run1 = self.env.start_app()
        package = os.path.join(self.fallback_folder, "LumoBrowserUpdate_Lumo7Browser-setup.exe")
        wait_for(lambda: os.path.exists(package), 120, "the fallback package", interval=0.2)
        self.env.wait_log(r"DownloadApp: ", 30)
        self.assertEqual(read_bytes(package), read_bytes(installer))
        checks = self.server.requests("/lumo7/canyin/sys/autoupdate/checkbrowserupdatev2")
        self.assertEqual(len(checks), 1)
        self.assertTrue(checks[0]["body"].startswith('{"curVer":"%d.%d.%d","systemVer":"' % self.version[:3]))
        self.assertEqual(self.server.requests("/lumo7/canyin/index/browser/browserv2")[0]["query"],
                         "filename=Lumo7Browser-setup.exe")
        run1.stop()
        self.update(fallback={"check": {"mode": "none"}})
        run2 = self.env.start_app()
        self.assertEqual(run2.wait_exit(30), 0, self.describe())
        self.wait_started_version(newer)
        wait_for(lambda: not os.path.exists(self.script), 60, "the script to delete itself")
        # Now equal to the program: deleted at this start.
        wait_for(lambda: not os.path.exists(package), 30, "the equal fallback package to be deleted")

    def test_equal_fallback_package_is_deleted_and_the_program_starts(self):
        os.makedirs(self.fallback_folder)
        package = os.path.join(self.fallback_folder, "LumoBrowserUpdate_same.exe")
        shutil.copy(self.env.exe, package)
        updatekey("sign", signing_key(), package)
        run = self.env.start_app()
        run.wait_window(90)
        wait_for(lambda: not os.path.exists(package), 30, "the equal package to be deleted")
        self.assertNotIn("ExecUpdate-Begin", self.env.log_text())

    def test_hostile_file_names_write_nothing_outside_the_package_folder(self):
        for name in ("../../x.exe", "a/b.exe"):
            self.update(fallback={"check": {"mode": "offer", "file_name": name},
                                  "download": {"mode": "status", "status": 200}})
            run = self.env.start_app()
            self.env.wait_log(r"升级包名称无效", 60, count=1 if name.startswith("..") else 2)
            run.stop()
        self.assertEqual(self.server.requests("/lumo7/canyin/index/browser/browserv2"), [])
        self.assertFalse(os.path.exists(os.path.join(self.env.tmp, "x.exe")))
        self.assertFalse(os.path.exists(os.path.join(os.path.dirname(self.env.tmp), "x.exe")))
        self.assertEqual(self.files(self.fallback_folder), [])


class FaultTests(SelfUpdateCase):

    def start_download(self, mode, **download):
        installer, _ = self.newer_installer()
        self.update(main={"check": {"mode": "offer", "download_url": MAIN_DOWNLOAD, "md5": "m"},
                          "download": dict(mode=mode, path=installer, **download)})
        return self.env.start_app()

    def assert_next_start_installs_nothing(self):
        self.update(main={"check": {"mode": "none"}})
        run = self.env.start_app()
        run.wait_window(90)
        self.assertNotIn("ExecUpdate-Begin", self.env.log_text())
        self.assertEqual(self.files(self.main_folder), [])

    def test_connection_cut_halfway_leaves_no_partial_package(self):
        run = self.start_download("cut")
        self.env.wait_log(r"执行异常:下载升级包失败: ", 120, name="UpdateCheck")
        self.assertEqual(self.files(self.main_folder), [])
        run.stop()
        self.assert_next_start_installs_nothing()

    def test_program_killed_during_a_download_leaves_no_partial_package(self):
        run = self.start_download("slow", delay_ms=100)
        self.server.wait_request(MAIN_DOWNLOAD, timeout=120)
        time.sleep(2)  # well inside the download
        os.killpg(run.pid, signal.SIGKILL)
        run.wait_exit(30)
        self.assertEqual(self.files(self.main_folder), [])
        self.assert_next_start_installs_nothing()

    def test_huge_download_is_streamed_to_disk(self):
        size = 200 << 20
        # The signature of `size` zero bytes, made on a sparse file of the test's own.
        zeros = os.path.join(self.env.tmp, "zeros")
        with open(zeros, "wb") as f:
            f.truncate(size)
        updatekey("sign", signing_key(), zeros)
        with open(zeros, "rb") as f:
            f.seek(size)
            tail = f.read()
        os.remove(zeros)
        self.update(main={"check": {"mode": "offer", "download_url": MAIN_DOWNLOAD, "md5": "huge"},
                          "download": {"mode": "huge", "size": size, "tail": tail.hex(), "delay_ms": 20000}})
        run = self.env.start_app()
        # Measured from the moment the body begins, once the page has loaded.
        self.server.wait_report("flag", "true", timeout=90)
        self.server.wait_request(MAIN_DOWNLOAD, timeout=120)
        time.sleep(max(0.0, 20.5 - (time.time() - run.started)))
        before = vm_hwm_kib(run.pid)
        package = os.path.join(self.main_folder, "DO2_U_huge.exe")
        wait_for(lambda: os.path.exists(package), 300, "the 200 MB package", interval=0.2)
        after = vm_hwm_kib(run.pid)
        self.assertEqual(os.path.getsize(package), size + len(tail))
        print(f"\npeak RSS (VmHWM) of the program: {before} KiB when the 200 MB download began, "
              f"{after} KiB after it", flush=True)
        # Far less than the body: it was never held in memory.
        self.assertLess(after - before, 64 << 10)


class TrustTests(SelfUpdateCase):

    def test_untrusted_downloads_never_get_a_package_name_and_never_run(self):
        script, marker = self.marker_script("evil.sh")
        script_md5 = hashlib.md5(read_bytes(script)).hexdigest()
        foreign = os.path.join(self.env.tmp, "foreign")
        os.makedirs(foreign)
        updatekey("keygen", os.path.join(foreign, "other.key"), os.path.join(foreign, "other.pub"))
        foreign_installer, _ = self.newer_installer(key=os.path.join(foreign, "other.key"))
        signed_installer, _ = self.newer_installer()
        flipped = os.path.join(self.env.tmp, "flipped.exe")
        data = bytearray(read_bytes(signed_installer))
        data[len(data) // 2] ^= 0x01
        with open(flipped, "wb") as f:
            f.write(data)
        cases = [  # (served file, announced md5, expected reason)
            (script, script_md5, "升级包签名无效: "),                    # unsigned, md5 right
            (foreign_installer, hashlib.md5(read_bytes(foreign_installer)).hexdigest(), "升级包签名无效: "),
            (flipped, hashlib.md5(data).hexdigest(), "升级包签名无效: "),
            (signed_installer, "0" * 32, "升级包校验失败: MD5为"),        # wrong md5
        ]
        for i, (served, md5, reason) in enumerate(cases):
            with self.subTest(served=os.path.basename(served), reason=reason):
                self.update(main={"check": {"mode": "offer", "download_url": MAIN_DOWNLOAD, "md5": md5},
                                  "download": {"mode": "file", "path": served}})
                run = self.env.start_app()
                lines = self.env.wait_log(r"执行异常:下载升级包失败: ", 120, name="UpdateCheck", count=i + 1)
                self.assertIn(reason, lines[i])
                run.stop()
                self.assertEqual(self.files(self.main_folder), [])
        self.assertEqual(len(self.server.requests(MAIN_DOWNLOAD)), len(cases))
        # The next start finds nothing to hand over, and nothing ever ran.
        self.update(main={"check": {"mode": "none"}})
        run = self.env.start_app()
        run.wait_window(90)
        self.assertNotIn("ExecUpdate-Begin", self.env.log_text())
        self.assertFalse(os.path.exists(marker))

    def test_planted_package_is_deleted_at_start_and_not_run(self):
        script, marker = self.marker_script("planted.sh")
        os.makedirs(self.main_folder)
        package = os.path.join(self.main_folder, "DO2_U_planted.exe")
        shutil.copy(script, package)
        run = self.env.start_app()
        run.wait_window(90)
        self.env.wait_log(r"升级包签名无效，已删除: " + re.escape(package), 30)
        self.assertEqual(self.files(self.main_folder), [])
        self.assertNotIn("ExecUpdate-Begin", self.env.log_text())
        self.assertFalse(os.path.exists(marker))

    def test_signed_package_whose_installation_fails_is_handed_off_once(self):
        installer, marker = self.marker_script("failing-installer.sh", exit_code=4, signed=True)
        md5 = hashlib.md5(read_bytes(installer)).hexdigest()
        name = f"DO2_U_{md5}.exe"
        self.update(main={"check": {"mode": "offer", "download_url": MAIN_DOWNLOAD, "md5": md5},
                          "download": {"mode": "file", "path": installer}})
        # Run 1 downloads it.
        run1 = self.env.start_app()
        package = os.path.join(self.main_folder, name)
        wait_for(lambda: os.path.exists(package), 120, "the downloaded package", interval=0.2)
        run1.stop()
        # Start 2 hands it off; the installer fails (4) and the script restarts the program.
        run2 = self.env.start_app()
        self.assertEqual(run2.wait_exit(30), 0, self.describe())
        # Start 3 (the restart) finds the program unchanged: the package goes and is listed, and
        # the service's same offer is not downloaded again.
        self.env.wait_log(r"升级未完成，程序版本仍为", 90)
        self.env.wait_log(r"升级包曾安装失败，不再下载: " + re.escape(name), 90, name="UpdateCheck")
        restarted = program_pids(self.env.exe)
        self.assertTrue(restarted, "the program was not restarted")
        self.kill_restarted()
        # Start 4, started by hand as a kiosk session would: nothing is handed off.
        run4 = self.env.start_app()
        run4.wait_window(90)
        self.env.wait_log(r"升级包曾安装失败，不再下载: " + re.escape(name), 90, name="UpdateCheck", count=2)
        self.assertEqual(self.env.log_text().count("ExecUpdate-Begin"), 1)
        with open(marker) as f:
            self.assertEqual(f.read(), "ran\n")
        self.assertEqual(self.files(self.main_folder), ["FailedPackages.txt"])
        self.assertEqual(len(self.server.requests(MAIN_DOWNLOAD)), 1)
