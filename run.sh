#!/usr/bin/env bash
# Builds, stages the program folder in build/stage/ and runs the demo: Corvane against the simulator
# stand-in, the RealTraffic stand-in playing a six-minute scene at EDDF, and the maker's site, all on this
# machine (see build/stage/docs/demo.txt). build/stage is kept between runs, as an installation keeps its
# settings and what it learned; ./run.sh --fresh starts as a first installation does. Without a display the
# program runs under Xvfb and the scene ends after 355 seconds; other arguments go to scripts/demo.sh
# (--headless, --duration S, --scenario scenario|short|soak).
set -euo pipefail
cd "$(dirname "$0")"

stage_args=()
if [[ "${1:-}" == "--fresh" ]]; then
    shift
    stage_args=(--fresh)
fi

scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)" --target corvane simstandin rtfeed sealed_data gen_livery_tree gen_scenery \
    gen_demo simstandin_summary

scripts/stage.sh --build build --into build "${stage_args[@]}"
demo_args=()
if [[ -z "${DISPLAY:-}" ]]; then
    demo_args=(--duration 355)
fi
exec scripts/demo.sh --build build --in build "${demo_args[@]}" "$@"
