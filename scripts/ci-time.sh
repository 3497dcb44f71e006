#!/usr/bin/env bash
# Times a cold CI run as a new two-core machine would see it: .ci/run in a fresh clone, without ccache,
# pinned to two cores. Prints each stage's time, the ctest count of each pass and the total.
#   scripts/ci-time.sh [REVISION]     the revision to clone (default HEAD)
#   CORVANE_CI_CORES=6,7              the cores to pin to (default 0,1)
#   CORVANE_CI_TIME_DIR=/path         where to clone (default a new folder under /tmp); the log goes beside it.
# The clone and its build folders stay for a look afterwards (several GB): remove them when done.
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
revision=$(git -C "$repo" rev-parse "${1:-HEAD}")
cores=${CORVANE_CI_CORES:-0,1}
dir=${CORVANE_CI_TIME_DIR:-$(mktemp -d /tmp/corvane-ci-time.XXXXXX)}
log=$dir.log

git clone -q --no-checkout "$repo" "$dir"
git -C "$dir" checkout -q "$revision"
echo "ci-time: ${revision:0:7} in $dir on cores $cores, log in $log"

start=$SECONDS
set +e
(cd "$dir" && env CCACHE_DISABLE=1 taskset -c "$cores" bash .ci/run) >"$log" 2>&1 </dev/null
status=$?
set -e
total=$((SECONDS - start))

grep -E '^stage [a-z]+: [0-9]+ s$|tests failed out of|^ctest count|^fuzz: |^stages total' "$log" || true
echo "total: $total s ($((total / 60)) min $((total % 60)) s), .ci/run exit $status"
exit "$status"
