#!/usr/bin/env bash
# isolate.sh COMMAND [ARGS...]
# Runs COMMAND with RealTraffic's fixed UDP ports 49004 and 49005 to itself. Where the machine lets us, that
# is a network namespace of its own with only loopback (as root, or through an unprivileged user namespace),
# so runs side by side never see each other's datagrams and never fight over a port. Where no namespace can
# be made, it waits for a machine-wide lock (CORVANE_PORTS_LOCK, by default corvane-ports.lock in /tmp) and
# says so (CORVANE_ISOLATE=lock takes that way at once). A command started from inside, in the same
# namespace, runs at once: it already owns the ports. The exit code is the command's.
set -euo pipefail

if [[ $# -eq 0 || "$1" == --help ]]; then
    sed -n '2,7s/^# \{0,1\}//p' "$0"
    [[ $# -eq 0 ]] && exit 2
    exit 0
fi

here=$(readlink /proc/self/ns/net 2>/dev/null || echo unknown)
if [[ "${CORVANE_PORTS_OWNED:-}" == "$here" ]]; then
    exec "$@"
fi

# Inside the new namespace: loopback up, back to the caller's own user, marked as owning the ports.
if [[ "$1" == --inside ]]; then
    uid=$2 gid=$3
    shift 3
    ip link set lo up
    CORVANE_PORTS_OWNED=$(readlink /proc/self/ns/net)
    export CORVANE_PORTS_OWNED
    if [[ $(id -u) != "$uid" ]]; then
        exec unshare --map-user="$uid" --map-group="$gid" -- "$@"
    fi
    exec "$@"
fi

# The way to a namespace of our own, tried first with a command that does nothing.
source "$(dirname "$0")/namespaces.sh"
if [[ "${CORVANE_ISOLATE:-}" != lock ]]; then
    way=$(namespace_way --net "$0" --inside "$(id -u)" "$(id -g)" true)
    if [[ -n "$way" ]]; then
        exec $way -- "$0" --inside "$(id -u)" "$(id -g)" "$@"
    fi
fi

lock=${CORVANE_PORTS_LOCK:-/tmp/corvane-ports.lock}

# A run started as `flock LOCK ctest ...` holds the lock already, through an ancestor: waiting for it would
# never end. /proc/locks names the holder's pid beside the file's inode.
held_by_ancestor() {
    local inode holder pid
    inode=$(stat -c %i "$lock" 2>/dev/null) || return 1
    for holder in $(awk -v inode=":$inode" '$2 == "FLOCK" && substr($6, length($6) - length(inode) + 1) == inode {
        print $5 }' /proc/locks 2>/dev/null); do
        pid=$$
        while [[ -n "$pid" && "$pid" -gt 1 ]]; do
            [[ "$pid" == "$holder" ]] && return 0
            pid=$(awk '/^PPid:/ { print $2 }' "/proc/$pid/status" 2>/dev/null)
        done
    done
    return 1
}
# Made readable and writable by all, so runs of every user on the machine share it; a lock needs no more
# than reading.
[[ -e "$lock" ]] || (umask 0 && : >>"$lock")
exec 9<"$lock"
if ! held_by_ancestor && ! flock -n 9; then
    echo "isolate.sh: no network namespace can be made here; waiting for $lock, held by another run on" \
        "RealTraffic's UDP ports 49004/49005" >&2
    flock 9
fi
export CORVANE_PORTS_OWNED=$here
exec "$@"
