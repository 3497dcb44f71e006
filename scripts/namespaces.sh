# shellcheck shell=bash
# Sourced by the scripts that run a command in namespaces of its own (isolate.sh, silent-dns.sh, own-x11.sh).

# A display reached over the network would be out of reach from a namespace with only loopback.
local_display() {
    [[ -z "${DISPLAY:-}" || "$DISPLAY" == :* || "$DISPLAY" == unix:* ]]
}

# namespace_way FLAGS PROBE...: prints the first way to new namespaces FLAGS ("--net --mount") in which PROBE
# succeeds: `unshare FLAGS` as root, else through an unprivileged user namespace. Prints nothing where none
# does, where unshare or ip is missing, or where the display is reached over the network.
namespace_way() {
    local flags=$1 attempt
    shift
    if ! local_display || ! command -v unshare >/dev/null || ! command -v ip >/dev/null; then
        return 0
    fi
    local attempts=()
    [[ $(id -u) -eq 0 ]] && attempts+=("unshare $flags")
    attempts+=("unshare --user --map-root-user $flags")
    for attempt in "${attempts[@]}"; do
        if $attempt -- "$@" >/dev/null 2>&1; then
            echo "$attempt"
            return 0
        fi
    done
}
