# --- Shared by the maintainer scripts (packaging/debian/common.sh, copied in at build time) ---
# Members of the group lumo7 may write the package's data folders, so root never works inside
# one of them: it only creates, closes or removes such a folder as a whole, from a parent only
# root may change, and removes without following links (rm --one-file-system never follows
# a link either).

# shellcheck disable=SC2034  # each script uses a part of these
group=lumo7
base=/opt/lumo7browser
data=/var/lib/lumo7browser
logs=/var/log/lumo7browser
run_dir=/run/lumo7browser
hive_dir=/etc/xdg/zent/registry
hive=$hive_dir/system.reg
install_folder=$base/bin/

# True for a folder that is not a link.
is_real_dir() {
  [ -d "$1" ] && [ ! -L "$1" ]
}

# Removes a link, file or folder (with everything in it) without following any link.
remove_path() {
  rm -rf --one-file-system -- "$1"
}

# Makes the folder $1 and everything below it root's and closed to group and others. Top down:
# a folder is closed before find reads its entries, so nothing a group member planted moves
# while we look at it. What root did not make (files and links of members, files with further
# hard links, pipes, devices) is removed, never changed. Root's own links stay (dpkg's).
# $1 must be a real folder whose parent only root may change.
lock_tree() {
  find -P "$1" -xdev \
    \( -type d -user root -exec chown -h root:root {} \; -exec chmod 00755 {} \; \) -o \
    \( -type f -user root -links 1 -exec chown -h root:root {} \; -exec chmod go-w {} \; \) -o \
    \( -type l -user root \) -o \
    \( -prune -exec rm -rf --one-file-system -- {} \; \)
}

# Closes the machine hive's folder (older packages let the group write it) and removes what
# members may have left there; a hive file of any owner stays, as it is read and replaced.
# Returns 1 when there is no such folder.
lock_hive_dir() {
  is_real_dir "$hive_dir" || return 1
  chown -h root:root "$hive_dir"
  chmod 00755 "$hive_dir"
  find -P "$hive_dir" -mindepth 1 -maxdepth 1 \
    \( -type f -links 1 -user root -exec chmod go-w {} + \) -o \
    \( -type f -links 1 -name system.reg \) -o \
    -exec rm -rf --one-file-system -- {} +
}

# Runs "$@" with the hive's lock held, as the program's own writers do. The hive's folder
# must be closed (lock_hive_dir). A lock held too long by someone else is not waited for.
with_hive_lock() {
  if [ ! -e "$hive.lock" ]; then
    install -m 0644 /dev/null "$hive.lock"
  fi
  (
    flock -w 30 9 || echo "lumo7browser: the registry hive stays locked; writing it anyway" >&2
    "$@"
  ) 9<"$hive.lock"
}

# The hive's text as UTF-8 on standard output: nothing for a missing, non-regular or
# oversized file (the program reads at most 64 MiB), converted from UTF-16 when it has
# that byte order mark.
hive_text() {
  [ -f "$hive" ] && [ ! -L "$hive" ] || return 0
  [ "$(stat -c %s "$hive")" -le 67108864 ] || return 0
  if [ "$(head -c 2 "$hive" | od -An -tx1 | tr -d ' \n')" = fffe ]; then
    head -c 67108864 "$hive" | iconv -f UTF-16 -t UTF-8 || true
  else
    head -c 67108864 "$hive"
  fi
}

# Filters hive text: drops every section of the installed-programs entry and, with APPEND set,
# adds the entry for the packaged program at the end. Keys and headers compare without case,
# carriage returns and surrounding blanks; other lines pass unchanged, in the file's line ends.
hive_awk='
  BEGIN { key = tolower(ENVIRON["KEY"]); nl = "\n"; header = "Windows Registry Editor Version 5.00" }
  {
    line = $0
    if (NR == 1) {
      sub(/^\357\273\277/, "", line)
      if (line ~ /\r$/) nl = "\r\n"
    }
    sub(/\r$/, "", line)
    norm = tolower(line)
    gsub(/^[ \t]+|[ \t]+$/, "", norm)
    if (NR == 1 && norm != tolower(header) && norm != "regedit4") printf "%s%s%s", header, nl, nl
    if (norm ~ /^\[/) skip = (norm == "[" key "]")
    if (!skip) { printf "%s%s", line, nl; blank = (norm == "") }
  }
  END {
    if (ENVIRON["APPEND"] == "") exit
    if (NR == 0) { printf "%s%s%s", header, nl, nl; blank = 1 }
    if (!blank) printf "%s", nl
    printf "[%s]%s", ENVIRON["KEY"], nl
    n = split(ENVIRON["APPEND"], lines, "\n")
    for (i = 1; i <= n; i++) if (lines[i] != "") printf "%s%s", lines[i], nl
  }
'
uninstall_key='HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Uninstall\{DD89D3FF-2163-49BD-822F-FD0AF2D7E6AE}_is1'

# Replaces the hive with its text filtered by hive_awk (APPEND: the entry's value lines, or
# empty to drop the entry), through a new file in the closed folder. A hive left with no key
# is removed with its lock file. Call with the hive's lock held.
rewrite_hive() {
  tmp=$(mktemp "$hive_dir/.system.reg.dpkg.XXXXXX")
  if ! hive_text | KEY="$uninstall_key" APPEND="$1" awk "$hive_awk" >"$tmp"; then
    rm -f "$tmp"
    return 1
  fi
  if grep -q '^[[:space:]]*\[' "$tmp"; then
    chmod 0644 "$tmp"
    sync "$tmp" 2>/dev/null || true
    mv -f "$tmp" "$hive"
  else
    rm -f "$tmp" "$hive" "$hive.lock"
  fi
}

# True when the hive's installed-programs entry names the packaged program's folder.
hive_names_our_folder() {
  hive_text | KEY="$uninstall_key" awk '
    BEGIN { key = "[" tolower(ENVIRON["KEY"]) "]" }
    {
      line = tolower($0); sub(/\r$/, "", line); gsub(/^[ \t]+|[ \t]+$/, "", line)
      if (line ~ /^\[/) in_key = (line == key)
      if (in_key && line ~ /^"installlocation"="\/opt\/lumo7browser\//) found = 1
    }
    END { exit !found }
  '
}
# --- End of the shared part ---
