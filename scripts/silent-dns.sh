#!/usr/bin/env bash
# silent-dns.sh COMMAND [ARGS...]
# Runs COMMAND in a network and mount namespace of its own: only loopback, and an /etc/resolv.conf that sends
# every question to 127.0.0.1 and waits 30 s for the answer. A test binds that name server and never answers
# (tests/support/silent_name_server.h), so a name look-up really hangs, as on a network whose name servers do
# not answer. CORVANE_SILENT_NAME_SERVER tells COMMAND the address. Where no namespace can be made, COMMAND
# runs as it is, without the variable, and its tests of a hanging look-up skip. The exit code is COMMAND's.
# The namespace also owns RealTraffic's fixed UDP ports, as scripts/isolate.sh would give them.
set -euo pipefail

if [[ $# -eq 0 || "$1" == --help ]]; then
    sed -n '2,8s/^# \{0,1\}//p' "$0"
    [[ $# -eq 0 ]] && exit 2
    exit 0
fi

if [[ "$1" == --inside ]]; then
    shift
    ip link set lo up
    conf=$(mktemp)
    printf 'nameserver 127.0.0.1\noptions timeout:30 attempts:1\n' >"$conf"
    mount --bind "$conf" /etc/resolv.conf
    rm -f "$conf" # the mount keeps the file for as long as the namespace lives
    CORVANE_SILENT_NAME_SERVER=127.0.0.1 CORVANE_PORTS_OWNED=$(readlink /proc/self/ns/net)
    export CORVANE_SILENT_NAME_SERVER CORVANE_PORTS_OWNED
    exec "$@"
fi

source "$(dirname "$0")/namespaces.sh"
way=$(namespace_way "--net --mount" "$0" --inside true)
if [[ -n "$way" ]]; then
    exec $way -- "$0" --inside "$@"
fi
echo "silent-dns.sh: no network and mount namespace can be made here; running without a silent name server" >&2
exec "$@"
