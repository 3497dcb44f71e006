#!/usr/bin/env bash
# crosscheck.sh <simstandin program> <nodetools folder>: the node-simconnect cross-check of the simulator
# stand-in. Exits 77 (skipped) when node or node-simconnect is missing; scripts/install-deps.sh installs both.
set -uo pipefail
standin=$1
modules=$2/node_modules
script="$(cd "$(dirname "$0")/.." && pwd)/tools/simstandin/crosscheck.cjs"

if ! command -v node >/dev/null 2>&1; then
    echo "node-simconnect cross-check skipped: node is not installed"
    exit 77
fi
if [[ ! -f "$modules/node-simconnect/package.json" ]]; then
    echo "node-simconnect cross-check skipped: node-simconnect is not installed in $modules"
    exit 77
fi
exec node "$script" --standin "$(realpath "$standin")" --modules "$(realpath "$modules")"
