#!/usr/bin/env bash
# Builds, stages the program folder in build/stage/ and runs Corvane there.
set -euo pipefail
cd "$(dirname "$0")"

scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)" --target corvane

stage=build/stage
scripts/stage.sh build "$stage"

cd "$stage"
status=0
./corvane "$@" || status=$?
echo "Log: $(pwd)/Log.txt"
[[ -f Log.txt ]] && head -n 1 Log.txt
exit "$status"
