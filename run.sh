#!/usr/bin/env bash
# Builds, stages the program folder in build/stage/ and runs Corvane there.
set -euo pipefail
cd "$(dirname "$0")"

scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)" --target corvane simstandin

stage=build/stage
scripts/stage.sh build "$stage"

# The simulator stand-in on loopback; the program finds it through the SimConnect.cfg beside it. It is
# stopped with SIGTERM when the program ends, also on Ctrl-C.
coproc STANDIN { exec build/tools/simstandin/simstandin --tcp4 127.0.0.1:0 \
    --world tools/simstandin/worlds/default.json --control "$stage/simstandin.ctl"; }
standin_pid=$STANDIN_PID
stop_standin() {
    kill -TERM "$standin_pid" 2>/dev/null || true
    wait "$standin_pid" 2>/dev/null || true
}
trap stop_standin EXIT
trap 'exit 130' INT TERM
ports=""
read -r -t 10 ports <&"${STANDIN[0]}" || true
port=$(sed -n 's/^{"tcp4":\([0-9][0-9]*\),.*/\1/p' <<<"$ports")
if [[ -z "$port" ]]; then
    echo "run.sh: the simulator stand-in did not start" >&2
    exit 1
fi
printf '[SimConnect]\nProtocol=IPv4\nAddress=127.0.0.1\nPort=%s\n' "$port" >"$stage/SimConnect.cfg"
echo "Simulator stand-in on 127.0.0.1:$port"

cd "$stage"
status=0
# Without a display the program still gets a real window, on a virtual X server.
if [[ -z "${DISPLAY:-}" ]]; then
    xvfb-run -a ./corvane "$@" || status=$?
else
    ./corvane "$@" || status=$?
fi
echo "Log: $(pwd)/Log.txt"
[[ -f Log.txt ]] && head -n 1 Log.txt
exit "$status"
