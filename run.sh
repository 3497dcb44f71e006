#!/usr/bin/env bash
# Builds, stages the program folder in build/stage/ and runs the demo: Corvane against the simulator
# stand-in, the RealTraffic stand-in playing a six-minute scene at EDDF, and the maker's site, all on this
# machine (see build/stage/docs/demo.txt). build/stage is kept between runs, as an installation keeps its
# settings and what it learned. The run ends by itself once the scene is over; the remaining arguments go to
# scripts/demo.sh.
set -euo pipefail
cd "$(dirname "$0")"

usage() {
    cat <<'EOF'
usage: ./run.sh [--fresh] [--stay] [--headless] [--scenario scenario|short|soak] [--duration S]
Builds Corvane, stages it in build/stage/ and runs it against a simulator stand-in and a RealTraffic
stand-in playing a six-minute scene at an invented Frankfurt apron (EDDF), all on this machine.
  --fresh       start as a first installation does (downloads, both scans); without it the run keeps
                what the last one saved
  --stay        with a display, keep the window open after the scene until you close it
  --headless    no window at all (the program's headless backend)
  --scenario    the scene to play: scenario (six minutes, the default), short, or soak (500 aircraft)
  --duration S  end the run S seconds after the first position (355 by default, the scene's length)
Without a display the window opens on a virtual X server (Xvfb).
EOF
}

stage_args=() demo_args=() stay=0
while [[ $# -gt 0 ]]; do
    case "$1" in
    --help | -h) usage; exit 0 ;;
    --fresh) stage_args=(--fresh); shift ;;
    --stay) stay=1; shift ;;
    *) demo_args+=("$1"); shift ;;
    esac
done

scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)" --target corvane simstandin rtfeed sealed_data gen_livery_tree gen_scenery \
    gen_demo simstandin_summary

scripts/stage.sh --build build --into build "${stage_args[@]}"

# The scene's length, unless the window stays or the arguments name another.
duration=()
if [[ $stay -eq 0 || -z "${DISPLAY:-}" ]]; then
    duration=(--duration 355)
fi
cat <<EOF

What you will see: at EDDF six static aircraft stand at their learned stands, two live ones stay parked,
two push back, taxi, take off and are removed, a third taxis out and departs, two land and park at A16 and
B3 (one created again after the simulator refused its title), an overflight leaves the range.
How long: the program's start-up (longer with --fresh: downloads and both scans), then the six-minute
scene; a line every 30 s tells the scene's time and the aircraft in the simulator stand-in.
How it ends: $(if [[ ${#duration[@]} -eq 0 ]]; then
    echo "the window stays open after the scene; close it to end the run."
else
    echo "the program closes by itself when the scene is over (./run.sh --stay keeps the window open)."
fi)
Then a summary of what the simulator saw; build/stage/docs/demo.txt says more, build/stage/demo/ holds
the records.

EOF
exec scripts/demo.sh --build build --in build "${duration[@]}" "${demo_args[@]}"
