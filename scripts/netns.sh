#!/usr/bin/env bash
# Runs a command inside a private network namespace, so that nothing it sends can leave
# the machine:
#   - loopback up;
#   - a veth pair: our side veth0 10.77.0.2/24 with the default route via 10.77.0.1, the peer
#     side veth1 10.77.0.1/24 in a second private namespace (the "far side" where test
#     servers can run, so broadcasts really cross a link);
#   - /sys mounted afresh, so /sys/class/net shows the namespace's own interfaces.
# The far side's namespace is exported as ZENT_PEER_NETNS; run a command there with
#   nsenter --net="$ZENT_PEER_NETNS" CMD...
# Usage: scripts/netns.sh run CMD [ARGS...]      (needs root or user namespaces)
#        scripts/netns.sh own CMD [ARGS...]      a namespace of its own even inside another
#                                                 one, so commands that use the same fixed
#                                                 ports can run side by side
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

case "${1:-}" in
  run)
    shift
    if [ "${ZENT_NETNS:-}" = 1 ]; then exec "$@"; fi
    exec unshare --net --mount --fork -- "$here/netns.sh" __inside "$@"
    ;;
  own)
    shift
    exec unshare --net --mount --fork -- "$here/netns.sh" __inside "$@"
    ;;
  __inside)
    shift
    mount --make-rprivate /
    mount -t sysfs sysfs /sys
    ip link set lo up
    # The far side: a namespace held open by a sleeping process.
    unshare --net -- sleep infinity &
    peer=$!
    trap 'kill $peer 2>/dev/null || true' EXIT
    for _ in $(seq 100); do
      [ "$(readlink /proc/$peer/ns/net)" != "$(readlink /proc/self/ns/net)" ] && break
      sleep 0.01
    done
    ip link add veth0 type veth peer name veth1 netns "$peer"
    ip addr add 10.77.0.2/24 dev veth0
    ip link set veth0 up
    nsenter --net=/proc/$peer/ns/net ip link set lo up
    nsenter --net=/proc/$peer/ns/net ip addr add 10.77.0.1/24 dev veth1
    nsenter --net=/proc/$peer/ns/net ip link set veth1 up
    ip route add default via 10.77.0.1
    export ZENT_NETNS=1 ZENT_PEER_NETNS=/proc/$peer/ns/net
    "$@"
    ;;
  *)
    echo "usage: $0 run|own CMD [ARGS...]" >&2
    exit 2
    ;;
esac
