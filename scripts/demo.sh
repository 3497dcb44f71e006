#!/usr/bin/env bash
# demo.sh --build DIR --in DEST [--headless] [--duration S] [--scenario scenario|short|soak]
# Runs the staged program in DEST/stage against the simulator stand-in, the RealTraffic stand-in and the
# maker's site, all on 127.0.0.1. The run ends when the program exits by itself, or with SIGTERM S seconds
# after RealTraffic received the first position line; then the stand-ins are stopped, DEST/stage/demo/
# result.json gets the exit codes and the summary of the simulator's record is printed.
# Exit 3: the RealTraffic UDP ports are taken (another run?), before anything starts. Exit 4: a stand-in
# did not come up; all that started is stopped. Otherwise the program's exit code, or 1 when it exited 0
# but a stand-in did not.
# While it runs, a line every 30 s gives the scene's time and the aircraft in the simulator stand-in.
# It runs where RealTraffic's fixed UDP ports are its own (scripts/isolate.sh): in a network namespace of its
# own, or after waiting for the other runs on this machine.
# Only the processes started here are ever signalled, each by its own pid.
set -euo pipefail
project=$(cd "$(dirname "$0")/.." && pwd)
if [[ "${CORVANE_PORTS_OWNED:-}" != "$(readlink /proc/self/ns/net)" ]]; then
    exec "$project/scripts/isolate.sh" bash "$0" "$@"
fi

usage() {
    echo "usage: demo.sh --build DIR --in DEST [--headless] [--duration S] [--scenario scenario|short|soak]" >&2
    exit 2
}
[[ "${1:-}" == --help ]] && { sed -n '2,12s/^# \{0,1\}//p' "$0"; exit 0; }
build="" dest="" headless=0 duration="" scenario=scenario
while [[ $# -gt 0 ]]; do
    case "$1" in
    --build) [[ $# -ge 2 ]] || usage; build=$2; shift 2 ;;
    --in) [[ $# -ge 2 ]] || usage; dest=$2; shift 2 ;;
    --headless) headless=1; shift ;;
    --duration) [[ $# -ge 2 && "$2" =~ ^[0-9]+$ ]] || usage; duration=$2; shift 2 ;;
    --scenario) [[ $# -ge 2 && "$2" =~ ^(scenario|short|soak)$ ]] || usage; scenario=$2; shift 2 ;;
    *) usage ;;
    esac
done
[[ -n "$build" && -n "$dest" && -d "$build" && -d "$dest/stage" ]] || usage
build=$(cd "$build" && pwd)
dest=$(cd "$dest" && pwd)
stage=$dest/stage
demo=$stage/demo

# 1. The program's readers need the RealTraffic UDP ports; a second run on this machine would steal them.
for port in 49004 49005; do
    if ! python3 -c 'import socket,sys; s=socket.socket(socket.AF_INET,socket.SOCK_DGRAM); s.bind(("0.0.0.0",int(sys.argv[1])))' \
        "$port" 2>/dev/null; then
        echo "port $port is in use" >&2
        exit 3
    fi
done
tcp_port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
python3 "$project/scripts/seed_parameters.py" --replace "$stage/appdata/Corvane_P3D/parameters.xml" \
    "PORT_NUMBER=$tcp_port"

# What a killed run may have left: the stand-in's control socket, the pipe and runtime folders, the pid file.
rm -rf "$dest/pipes" "$dest/runtime"
rm -f "$demo/simstandin.ctl" "$stage/corvane.pid" "$demo/result.json"
mkdir -p "$dest/pipes" "$dest/runtime" "$dest/documents" "$dest/public_documents"
chmod 700 "$dest/runtime"

tool() {
    find "$build/tools" -maxdepth 3 -type f -name "$1" -perm -u+x 2>/dev/null | head -n 1
}
simstandin_pid="" site_pid="" rtfeed_pid="" launcher_pid=""
simstandin_status="" site_status="" rtfeed_status=""
stopped_status=0
stop_child() { # pid; sets stopped_status to its exit status
    stopped_status=0
    kill -TERM "$1" 2>/dev/null || true
    wait "$1" 2>/dev/null || stopped_status=$?
}
stop_standins() {
    if [[ -n "$rtfeed_pid" ]]; then stop_child "$rtfeed_pid"; rtfeed_status=$stopped_status; rtfeed_pid=""; fi
    if [[ -n "$site_pid" ]]; then stop_child "$site_pid"; site_status=$stopped_status; site_pid=""; fi
    if [[ -n "$simstandin_pid" ]]; then
        stop_child "$simstandin_pid"
        simstandin_status=$stopped_status
        simstandin_pid=""
    fi
}
stop_program() {
    if [[ -s "$stage/corvane.pid" ]]; then
        kill -TERM "$(cat "$stage/corvane.pid")" 2>/dev/null || true
    fi
}
trap 'stop_program; [[ -n "$launcher_pid" ]] && wait "$launcher_pid" 2>/dev/null; stop_standins' EXIT
trap 'exit 130' INT TERM

# The first line of a child's output file matching a pattern, within 10 s, or exit 4 naming the child.
port_line() { # name file sed-expression pid
    local value=""
    for _ in $(seq 100); do
        value=$(sed -n "$3" "$2" 2>/dev/null | head -n 1)
        [[ -n "$value" ]] && break
        kill -0 "$4" 2>/dev/null || break
        sleep 0.1
    done
    if [[ -z "$value" ]]; then
        echo "demo.sh: $1 gave no port line within 10 s (its output in $2)" >&2
        exit 4
    fi
    echo "$value"
}

# 2. The stand-ins, each started from the stage so their files land in demo/.
cd "$stage"
"$build/tools/simstandin/simstandin" --tcp4 127.0.0.1:0 --world demo/world.json --control demo/simstandin.ctl \
    --record demo/sim.jsonl >demo/simstandin.out 2>demo/simstandin.err &
simstandin_pid=$!
sim_port=$(port_line simstandin demo/simstandin.out 's/^{"tcp4":\([0-9][0-9]*\).*/\1/p' "$simstandin_pid") || exit 4
printf '[SimConnect]\nProtocol=IPv4\nAddress=127.0.0.1\nPort=%s\n' "$sim_port" >SimConnect.cfg

python3 "$project/scripts/site_server.py" "$dest/site" >demo/site.out 2>demo/site.log &
site_pid=$!
site_port=$(port_line "site server" demo/site.out 's/^port \([0-9][0-9]*\)$/\1/p' "$site_pid") || exit 4

"$build/tools/rtfeed/rtfeed" --edition prof --qnh 1008 --tcp-port "$tcp_port" --scenario "demo/$scenario.scn" \
    --start-on-position --clock-start 2024-01-03T10:00:00Z --record demo/rt.jsonl >demo/rtfeed.out 2>&1 &
rtfeed_pid=$!
sleep 0.5
if ! kill -0 "$rtfeed_pid" 2>/dev/null; then
    echo "demo.sh: rtfeed did not start (its output in demo/rtfeed.out)" >&2
    exit 4
fi
echo "Simulator stand-in on 127.0.0.1:$sim_port, site on 127.0.0.1:$site_port, RealTraffic to port $tcp_port"

# 3. The program, with every folder it uses inside DEST. Without a display it still gets a real window,
# on a virtual X server; it writes its pid first, so that SIGTERM reaches the program itself.
export CORVANE_APPDATA_DIR=$stage/appdata CORVANE_REGISTRY_FILE=$stage/registry.reg
export CORVANE_DOCUMENTS_DIR=$dest/documents CORVANE_PUBLIC_DOCUMENTS_DIR=$dest/public_documents
export XDG_RUNTIME_DIR=$dest/runtime CORVANE_PIPE_DIR=$dest/pipes
export CORVANE_DOWNLOAD_BASE_URL=http://127.0.0.1:$site_port/
launcher=()
if [[ $headless -eq 1 ]]; then
    export CORVANE_UI=headless
else
    export CORVANE_UI=fltk
    # The virtual server listens on its abstract socket only, so it neither makes nor removes a socket file
    # in /tmp/.X11-unix, where another server's may lie.
    [[ -n "${DISPLAY:-}" ]] || launcher=(xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten unix")
fi
"${launcher[@]}" sh -c 'echo $$ >corvane.pid; exec ./corvane' &
launcher_pid=$!
trap 'stop_program' INT TERM

summary=$(tool simstandin_summary)
# One line of how far the scene is, from the simulator stand-in's record as it grows.
progress() {
    local scene=$((SECONDS - t0)) aircraft="the simulator's record is not readable yet"
    if [[ -n "$summary" ]]; then
        aircraft=$("$summary" demo/sim.jsonl --now 2>/dev/null | head -n 1) || true
    fi
    printf 'scene %d:%02d%s: %s\n' $((scene / 60)) $((scene % 60)) \
        "${duration:+ of $((duration / 60)):$(printf %02d $((duration % 60)))}" "$aircraft"
}

# 4. t = 0 is the first position line RealTraffic received; the run ends --duration seconds later.
started=$SECONDS
t0="" term_at="" killed="" next_progress=""
while kill -0 "$launcher_pid" 2>/dev/null; do
    if [[ -z "$t0" ]] && { grep '"line":"Qs121=' demo/rt.jsonl 2>/dev/null | grep -q '"dir":"in"' ||
        ((SECONDS - started > 120)); }; then
        t0=$SECONDS
        next_progress=$((t0 + 30))
        echo "The scene begins: RealTraffic received the first position from the program"
    fi
    if [[ -n "$next_progress" && -z "$term_at" ]] && ((SECONDS >= next_progress)); then
        progress
        next_progress=$((next_progress + 30))
    fi
    if [[ -n "$duration" && -n "$t0" && -z "$term_at" ]] && ((SECONDS - t0 >= duration)); then
        stop_program
        term_at=$(date +%s.%N)
    fi
    if [[ -n "$term_at" && -z "$killed" ]] && (($(date +%s) - ${term_at%.*} > 10)); then
        echo "demo.sh: the program did not exit within 10 s of SIGTERM" >&2
        kill -KILL "$(cat corvane.pid)" 2>/dev/null || true
        killed=1
    fi
    sleep 0.2
done
corvane_status=0
wait "$launcher_pid" || corvane_status=$?
launcher_pid=""
exit_seconds=null
[[ -n "$term_at" ]] && exit_seconds=$(python3 -c 'import sys,time; print(round(time.time()-float(sys.argv[1]),2))' "$term_at")
stop_standins
rm -f corvane.pid
printf '{"corvane": %s, "simstandin": %s, "rtfeed": %s, "site": %s, "secondsFromSigtermToExit": %s}\n' \
    "$corvane_status" "$simstandin_status" "$rtfeed_status" "$site_status" "$exit_seconds" >demo/result.json.tmp
mv -f demo/result.json.tmp demo/result.json

if [[ -n "$summary" ]]; then
    "$summary" demo/sim.jsonl --log Log.txt || true
else
    echo "demo.sh: no simstandin_summary in $build/tools; the simulator's record is $demo/sim.jsonl"
fi
echo "Log: $stage/Log.txt; result: $demo/result.json"
status=$corvane_status
if [[ $status -eq 0 && ("$simstandin_status" != 0 || "$rtfeed_status" != 0 || "$site_status" != 0) ]]; then
    status=1
fi
exit "$status"
