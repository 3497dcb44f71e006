#!/usr/bin/env bash
# Builds, stages the program folder in build/stage/ and runs Corvane there. build/stage is kept between runs,
# as an installation keeps its settings and scan results; ./run.sh --fresh removes it first. Other arguments
# go to the program.
set -euo pipefail
cd "$(dirname "$0")"

if [[ "${1:-}" == "--fresh" ]]; then
    shift
    rm -rf build/stage
fi

scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)" --target corvane simstandin rtfeed sealed_data gen_livery_tree

stage=build/stage
scripts/stage.sh build "$stage"

# The simulator stand-in on loopback; the program finds it through the SimConnect.cfg beside it. It is
# stopped with SIGTERM when the program ends, also on Ctrl-C.
coproc STANDIN { exec build/tools/simstandin/simstandin --tcp4 127.0.0.1:0 \
    --world tools/simstandin/worlds/default.json --control "$stage/simstandin.ctl"; }
standin_pid=$STANDIN_PID
rtfeed_pid=""
site_pid=""
stop_standins() {
    for pid in "$standin_pid" $rtfeed_pid $site_pid; do
        kill -TERM "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
}
trap stop_standins EXIT
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

# RealTraffic counts as on this PC when its program file lies under AppData; an empty marker is enough. The
# RealTraffic stand-in then connects to the program's server on PORT_NUMBER (as the last run saved it, else
# its default), asks for traffic around the user aircraft and sends it with a QNH of 1008 hPa to the UDP
# ports 49005 and 49004. It keeps reconnecting, so restarts of the run find it again.
mkdir -p "$stage/appdata/InsideSystems"
: >"$stage/appdata/InsideSystems/RealTraffic.jar"
rt_port=$(sed -n 's/.*name="PORT_NUMBER"[^>]*value="\([0-9][0-9]*\)".*/\1/p' \
    "$stage/appdata/Corvane_P3D/parameters.xml" 2>/dev/null | head -n 1 || true)
rt_port=${rt_port:-10747}
build/tools/rtfeed/rtfeed --tcp-port "$rt_port" --auto 12 --edition prof --qnh 1008 \
    >"$stage/rtfeed.log" 2>&1 &
rtfeed_pid=$!
echo "RealTraffic stand-in for 127.0.0.1:$rt_port (its lines in $stage/rtfeed.log)"

# The maker's downloads folder on loopback: the site's own files, this version's sealed data files, and a
# versions.json that publishes this program version and every data file and scan at 1.0.0.
site=build/site
rm -rf "$site"
mkdir -p "$site/downloads/11"
cp -R data/site/downloads/. "$site/downloads/"
cp -f build/sealed/input/*.enc "$site/downloads/11/"
one='{"major": 1, "minor": 0, "patch": 0}'
printf '{"p3d": {"major": 11, "minor": 10, "patch": 5}, "airports": %s, "aig": %s, "liveries": %s, "addons": %s, "dbase": %s}\n' \
    "$one" "$one" "$one" "$one" "$one" >"$site/downloads/versions.json"
python3 -u -m http.server --bind 127.0.0.1 --directory "$site" 0 >"$site.log" 2>&1 &
site_pid=$!
site_port=""
for _ in $(seq 100); do
    site_port=$(sed -n '1s/.* port \([0-9][0-9]*\) .*/\1/p' "$site.log")
    [[ -n "$site_port" ]] && break
    sleep 0.1
done
if [[ -z "$site_port" ]]; then
    echo "run.sh: the download site did not start" >&2
    exit 1
fi
export CORVANE_DOWNLOAD_BASE_URL="http://127.0.0.1:$site_port/downloads/"
echo "Download site on $CORVANE_DOWNLOAD_BASE_URL (its requests in $site.log)"

project=$(pwd)
cd "$stage"
stage_dir=$(pwd)

# Prepar3D as the program finds it through the registry: for this stand-in run only, a registry file that
# names an install folder with an empty Scenery folder, and an AppData folder inside the stage.
mkdir -p p3d/Scenery appdata/InsideSystems
setup_path=$(sed 's/[\\"]/\\&/g' <<<"$stage_dir/p3d")
printf 'Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Lockheed Martin\\Prepar3D v5]\r\n"SetupPath"="%s"\r\n' \
    "$setup_path" >registry.reg
export CORVANE_REGISTRY_FILE="$stage_dir/registry.reg"
export CORVANE_APPDATA_DIR="$stage_dir/appdata"

# A generated livery tree (made once; it stays with the stage) and an empty scenery folder, named in
# parameters.xml as a user names theirs before the first scan. Keys the program or the user has set since
# stay as they are, so a later run does not scan again.
if [[ ! -d liveries ]]; then
    rm -rf liveries.tmp
    "$project/build/tools/gen/gen_livery_tree" --out liveries.tmp --files 300 --seed 1 \
        --dbase "$project/data/input/dbase.xml"
    mv liveries.tmp liveries
fi
mkdir -p sample_scenery
python3 "$project/scripts/seed_parameters.py" appdata/Corvane_P3D/parameters.xml SCAN_LIVERIES=true \
    "lfolder0=$stage_dir/liveries" SCAN_AIRPORTS=true "afolder0=$stage_dir/sample_scenery"

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
