#!/usr/bin/env bash
# own-x11.sh COMMAND [ARGS...]
# Runs COMMAND where the X servers it starts are its own: a network namespace with only loopback, which
# makes the servers' abstract sockets private, and a mount namespace in which /tmp/.X11-unix is an empty
# folder of its own, so no X client of COMMAND reaches another server's socket file, even once its own
# server is gone. The namespace also owns RealTraffic's fixed UDP ports, as scripts/isolate.sh would give
# them. Where no namespace can be made, COMMAND runs as it is and says so. The exit code is COMMAND's.
set -euo pipefail

if [[ $# -eq 0 || "$1" == --help ]]; then
    sed -n '2,7s/^# \{0,1\}//p' "$0"
    [[ $# -eq 0 ]] && exit 2
    exit 0
fi

here=$(dirname "$0")
# Inside: the folder as an X server makes it, covered by an empty one; then loopback, the ports and the
# caller's own user as isolate.sh sets them.
if [[ "$1" == --inside ]]; then
    shift
    mkdir -m 1777 /tmp/.X11-unix 2>/dev/null || [[ -d /tmp/.X11-unix ]]
    mount -t tmpfs -o mode=1777,size=1m own-x11 /tmp/.X11-unix
    # Tells the command's tests that the folder is theirs, as long as they stay in this mount namespace.
    CORVANE_X11_OWNED=$(readlink /proc/self/ns/mnt)
    export CORVANE_X11_OWNED
    exec "$here/isolate.sh" --inside "$@"
fi

source "$here/namespaces.sh"
# The command's X servers are its own, so the caller's display does not matter.
way=$(DISPLAY='' namespace_way "--net --mount" "$0" --inside "$(id -u)" "$(id -g)" true)
if [[ -n "$way" ]]; then
    exec $way -- "$0" --inside "$(id -u)" "$(id -g)" "$@"
fi
echo "own-x11.sh: no network and mount namespace can be made here; running with the machine's X sockets" >&2
exec "$@"
