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
stage_dir=$(pwd)

# Prepar3D as the program finds it through the registry: for this stand-in run only, a registry file that
# names an install folder with an empty Scenery folder, and an AppData folder inside the stage.
mkdir -p p3d/Scenery appdata
setup_path=$(sed 's/[\\"]/\\&/g' <<<"$stage_dir/p3d")
printf 'Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Lockheed Martin\\Prepar3D v5]\r\n"SetupPath"="%s"\r\n' \
    "$setup_path" >registry.reg
export CORVANE_REGISTRY_FILE="$stage_dir/registry.reg"
export CORVANE_APPDATA_DIR="$stage_dir/appdata"

# Without a display the program still gets a real window, on a virtual X server. The program writes its pid
# first, so that Ctrl-C and SIGTERM reach the program itself, which then closes down as its window's close
# button would.
launcher=()
if [[ -z "${DISPLAY:-}" ]]; then
    launcher=(xvfb-run -a)
fi
rm -f corvane.pid
"${launcher[@]}" sh -c 'echo $$ >corvane.pid; exec ./corvane "$@"' corvane "$@" &
launcher_pid=$!
stop_corvane() {
    if [[ -s corvane.pid ]]; then
        kill -TERM "$(cat corvane.pid)" 2>/dev/null || true
    fi
}
trap stop_corvane INT TERM
status=0
while true; do
    wait "$launcher_pid" && status=0 || status=$?
    # A trapped signal interrupts wait with a status above 128 while the program still closes down.
    if ! kill -0 "$launcher_pid" 2>/dev/null; then
        break
    fi
done
rm -f corvane.pid
echo "Log: $(pwd)/Log.txt"
[[ -f Log.txt ]] && head -n 1 Log.txt
exit "$status"
