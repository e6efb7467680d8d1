#!/usr/bin/env bash
# Demo: the browser against the stand-in restaurant server, inside the private network
# namespace (nothing leaves the machine).
#   - installs what is missing and builds into build/ when needed;
#   - starts the stand-in server (tools/standin_server.py) and the browser on
#     http://127.0.0.1:8080/lumo7/ with a throw-away home and configuration;
#   - with no $DISPLAY: runs Xvfb + openbox, waits until the page has loaded, saves a
#     screenshot, prints its path and closes everything;
#   - with a display: shows the window there until it is closed.
# Usage: scripts/demo.sh      Environment: JOBS (build jobs, default 2), BUILD_DIR (default build/)
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="${BUILD_DIR:-$root/build}"
url="http://127.0.0.1:8080/lumo7/"

if [ "${1:-}" != __inside ]; then
  "$root/scripts/install-deps.sh"
  if [ ! -f "$build/build.ninja" ]; then
    cmake -S "$root" -B "$build" -G Ninja >/dev/null
  fi
  cmake --build "$build" -j "${JOBS:-2}" --target Lumo7Browser
  exec "$root/scripts/netns.sh" run "$root/scripts/demo.sh" __inside
fi

# ---- inside the namespace ----------------------------------------------------------------
[ "${ZENT_NETNS:-}" = 1 ] || { echo "demo: not inside the private namespace" >&2; exit 1; }

tmp=$(mktemp -d /tmp/zent-demo.XXXXXX)
pids=()
cleanup() {
  local p
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
    p=${pids[i]}
    kill -TERM -- "-$p" 2>/dev/null || kill -TERM "$p" 2>/dev/null || true
  done
  for p in "${pids[@]}"; do
    for _ in $(seq 50); do kill -0 "$p" 2>/dev/null || break; sleep 0.1; done
    kill -KILL -- "-$p" 2>/dev/null || kill -KILL "$p" 2>/dev/null || true
  done
  rm -rf "$tmp"
}
trap cleanup EXIT

# Reads one line from a FIFO written by a background process, with a time-out.
read_fifo_line() {  # read_fifo_line FIFO SECONDS WHAT
  local line
  exec 9<"$1"
  if ! read -t "$2" -r line <&9; then
    echo "demo: no answer from $3 within $2 s" >&2
    exit 1
  fi
  exec 9<&-
  printf '%s\n' "$line"
}

mkdir -p "$tmp/home" "$tmp/config" "$tmp/runtime"
chmod 700 "$tmp/runtime"

# The stand-in server; it prints READY once it listens.
mkfifo "$tmp/ready"
setsid python3 "$root/tools/standin_server.py" --other-address 127.0.0.2 \
  --record "$tmp/records.jsonl" >"$tmp/ready" 2>"$tmp/standin.err" &
pids+=($!)
ready=$(read_fifo_line "$tmp/ready" 30 "the stand-in server")
case "$ready" in READY*) ;; *) echo "demo: stand-in said: $ready" >&2; exit 1 ;; esac
control=$(printf '%s' "${ready#READY }" | python3 -c 'import json,sys; print(json.load(sys.stdin)["control"])')
echo "Stand-in server: $url (records: control port $control)"

headless=0
if [ -z "${DISPLAY:-}" ]; then
  headless=1
  mkfifo "$tmp/display"
  setsid Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp -noreset 3>"$tmp/display" \
    >/dev/null 2>"$tmp/xvfb.log" &
  pids+=($!)
  display=$(read_fifo_line "$tmp/display" 30 "Xvfb")
  export DISPLAY=":$display"
  setsid openbox --sm-disable >/dev/null 2>"$tmp/openbox.log" &
  pids+=($!)
  for _ in $(seq 300); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
    sleep 0.1
  done
fi

env_args=(HOME="$tmp/home" XDG_CONFIG_HOME="$tmp/config" XDG_RUNTIME_DIR="$tmp/runtime"
          QT_QPA_PLATFORM=xcb DISPLAY="$DISPLAY")
# The installed-programs entry goes to a machine hive of the demo's own, not /etc/xdg.
env_args+=(XDG_CONFIG_DIRS="$tmp/xdg")
[ "$(id -u)" -ne 0 ] || env_args+=(QTWEBENGINE_DISABLE_SANDBOX=1)

if ((headless)); then
  setsid env "${env_args[@]}" "$build/bin/Lumo7Browser" -url "$url" >"$tmp/browser.out" 2>&1 &
  pids+=($!)
  # The stand-in's pages report their load event; wait for it (in the server, no polling).
  if ! python3 - "$control" <<'EOF'
import json, sys, urllib.request
url = f"http://127.0.0.1:{sys.argv[1]}/wait?kind=http&path=/lumo7/report&count=2&timeout=120"
with urllib.request.urlopen(url, timeout=130) as r:
    sys.exit(0 if json.load(r)["complete"] else 1)
EOF
  then
    echo "demo: the page did not load within two minutes; browser output:" >&2
    tail -n 30 "$tmp/browser.out" >&2
    exit 1
  fi
  sleep 1  # let the loaded page paint before the picture is taken
  mkdir -p "$build/demo"
  shot="$build/demo/screenshot-$(date +%Y%m%d-%H%M%S).png"
  import -window root "$shot"
  echo "Screenshot: $shot"
else
  echo "Showing the browser on $DISPLAY; close its window to end the demo."
  env "${env_args[@]}" "$build/bin/Lumo7Browser" -url "$url" || true
fi
