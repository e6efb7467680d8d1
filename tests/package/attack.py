"""A member of lumo7 turned hostile, and what package maintenance must not do for it.

`plant` (run as root) makes victims outside the package: a root-owned file, a root-owned folder
with a file, and a path that must never come to exist. Then, as the member, it plants links to
them in every folder of the package's paths the member can write: new entries under the names
the maintainer scripts and the program use, and, where the member may, existing entries of
the package replaced by links (an older package let the group write the program folder).
`check` (root) says whether any victim changed, then removes the links still there and what
the member moved aside, so the next phase starts from a known state.

Usage: attack.py plant USER STATE_DIR | attack.py check STATE_DIR
"""

import hashlib
import json
import os
import pwd
import shutil
import stat
import sys

VICTIM_FILE = "/etc/lumo7-pkgtest-victim"
VICTIM_DIR = "/srv/lumo7-pkgtest-victim"
VICTIM_NEW = "/etc/lumo7-pkgtest-victim-new"  # must never exist

# Folders whose writable levels the member attacks (found by walking them as the member).
ROOTS = ["/opt/lumo7browser", "/var/lib/lumo7browser", "/var/log/lumo7browser",
         "/run/lumo7browser", "/etc/xdg/zent", "/etc/lumo7browser", "/usr/libexec/lumo7browser",
         "/etc/sudoers.d"]
# Names the scripts or the program use, with the victim each is pointed at: a folder name at the
# victim folder, a file root may read or rewrite at the victim file, a file root may create at
# the path that must not exist.
NAMES = {
    "Temp": VICTIM_DIR, "ExeBuf": VICTIM_DIR, "ExeBuf_O": VICTIM_DIR, "apply": VICTIM_DIR,
    "locks": VICTIM_DIR, "registry": VICTIM_DIR, "update-keys": VICTIM_DIR,
    "system.reg": VICTIM_FILE, "system.reg.lock": VICTIM_NEW, "system.reg.dpkg-tmp": VICTIM_NEW,
    "UpdateCmd.sh": VICTIM_NEW, "DO2_U_planted.exe": VICTIM_FILE,
    "victim-dir": VICTIM_DIR, "victim-file": VICTIM_FILE, "victim-new": VICTIM_NEW,
}
# Folders whose existing entries the member may not replace: the logs and the lock folder
# the program of the next phase uses as that member (it would only hurt itself).
KEEP_ENTRIES = ("/var/log/lumo7browser", "/run/lumo7browser/locks")
MOVED_PREFIX = ".moved-by-member."


def make_victims():
    if not os.path.exists(VICTIM_FILE):
        with open(VICTIM_FILE, "w") as f:
            f.write("root's file: maintenance must not change it\n")
        os.chmod(VICTIM_FILE, 0o644)
    os.makedirs(VICTIM_DIR, mode=0o755, exist_ok=True)
    inner = os.path.join(VICTIM_DIR, "inner")
    if not os.path.exists(inner):
        with open(inner, "w") as f:
            f.write("root's folder's file\n")
    if os.path.lexists(VICTIM_NEW):
        os.remove(VICTIM_NEW)


def describe(path):
    st = os.lstat(path)
    item = {"uid": st.st_uid, "gid": st.st_gid, "mode": oct(st.st_mode)}
    if stat.S_ISREG(st.st_mode):
        with open(path, "rb") as f:
            item["sha256"] = hashlib.sha256(f.read()).hexdigest()
    return item


def victims():
    state = {VICTIM_FILE: describe(VICTIM_FILE), VICTIM_DIR: describe(VICTIM_DIR)}
    for name in sorted(os.listdir(VICTIM_DIR)):
        state[os.path.join(VICTIM_DIR, name)] = describe(os.path.join(VICTIM_DIR, name))
    state[VICTIM_NEW] = os.path.lexists(VICTIM_NEW)
    return state


def plant_as_member():
    """Runs as the member: links everywhere it can write. Returns the paths it made."""
    made = []

    def try_link(target, path):
        try:
            os.symlink(target, path)
            made.append(path)
        except OSError:
            pass

    for root in ROOTS:
        for folder, dirs, files in os.walk(root):
            if not os.access(folder, os.W_OK | os.X_OK):
                continue
            if not any(folder == k or folder.startswith(k + "/") for k in KEEP_ENTRIES):
                # Existing entries become links: folders to the victim folder, files to the
                # victim file. A replaced folder is not walked into.
                for name in list(dirs) + files:
                    path = os.path.join(folder, name)
                    if name.startswith(MOVED_PREFIX) or os.path.islink(path):
                        continue
                    is_dir = name in dirs
                    try:
                        os.rename(path, os.path.join(folder, MOVED_PREFIX + name))
                    except OSError:
                        continue
                    if is_dir:
                        dirs.remove(name)
                    try_link(VICTIM_DIR if is_dir else VICTIM_FILE, path)
            for name, target in NAMES.items():
                path = os.path.join(folder, name)
                if not os.path.lexists(path):
                    try_link(target, path)
    return made


def plant(user, state_dir):
    make_victims()
    pw = pwd.getpwnam(user)
    read, write = os.pipe()
    pid = os.fork()
    if pid == 0:
        try:
            os.close(read)
            os.setgroups(os.getgrouplist(pw.pw_name, pw.pw_gid))
            os.setgid(pw.pw_gid)
            os.setuid(pw.pw_uid)
            os.umask(0o002)
            with os.fdopen(write, "w") as out:
                json.dump(plant_as_member(), out)
            os._exit(0)
        except BaseException as e:  # noqa: BLE001 - the child reports and ends
            print(f"planting failed: {e}", file=sys.stderr)
            os._exit(1)
    os.close(write)
    with os.fdopen(read) as f:
        text = f.read()
    _, status = os.waitpid(pid, 0)
    if status != 0:
        raise SystemExit("the member's planting failed")
    made = json.loads(text)
    with open(os.path.join(state_dir, "attack.json"), "w") as f:
        json.dump({"victims": victims(), "planted": made, "member_uid": pw.pw_uid}, f)
    print(f"the member planted {len(made)} links:")
    for path in made:
        print(f"  {path} -> {os.readlink(path)}")


def check(state_dir):
    with open(os.path.join(state_dir, "attack.json")) as f:
        before = json.load(f)
    now = victims()
    problems = [f"{path}: {before['victims'].get(path)} -> {now.get(path)}"
                for path in sorted(set(before["victims"]) | set(now))
                if before["victims"].get(path) != now.get(path)]
    # What the member planted or moved aside and maintenance left: gone before the next phase.
    for path in before["planted"]:
        # Only the member's own link: maintenance may have put the package's in its place.
        if os.path.islink(path) and os.lstat(path).st_uid == before["member_uid"]:
            os.remove(path)
    for root in ROOTS:
        for folder, dirs, files in os.walk(root):
            for name in [n for n in dirs + files if n.startswith(MOVED_PREFIX)]:
                path = os.path.join(folder, name)
                if name in dirs:
                    dirs.remove(name)
                    shutil.rmtree(path)
                else:
                    os.remove(path)
    if os.path.lexists(VICTIM_NEW):
        os.remove(VICTIM_NEW)
    if problems:
        raise SystemExit("maintenance changed files outside the package:\n  " + "\n  ".join(problems))
    print(f"victims unchanged ({len(before['planted'])} links had been planted)")


def main(argv):
    if len(argv) == 4 and argv[1] == "plant":
        plant(argv[2], argv[3])
    elif len(argv) == 3 and argv[1] == "check":
        check(argv[2])
    else:
        raise SystemExit(__doc__)


if __name__ == "__main__":
    main(sys.argv)
