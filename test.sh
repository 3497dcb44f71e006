#!/usr/bin/env bash
# Installs what is missing, configures, builds and runs every test through ctest.
#   ./test.sh             the normal build in build/
#   ./test.sh --sanitize  ASan+UBSan build with clang in build-asan/ (GUI tests skipped); the fuzz targets
#                         live in the same folder (target corvane_fuzz_targets)
#   ./test.sh --tsan      ThreadSanitizer build in build-tsan/, only the tests labelled tsan
#   ./test.sh --long      the normal build, with the whole six-minute demo scene as a test (whole_run_full)
#   ./test.sh --soak      the normal build, with the 500-aircraft soak of the whole program (whole_run_soak)
# CI (CI=true) builds with warnings as errors and in unity builds; CORVANE_UNITY=ON asks for the latter here.
set -euo pipefail
cd "$(dirname "$0")"

mode=${1:-normal}
scripts/install-deps.sh

werror=OFF
unity=${CORVANE_UNITY:-OFF}
if [[ "${CI:-}" == "true" ]]; then
    werror=ON
    unity=ON
fi
jobs=$(nproc)

configure() {
    local dir=$1
    shift
    cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCORVANE_WERROR="$werror" \
        -DCORVANE_UNITY="$unity" "$@" >/dev/null
}

# The count of the pass just run, from the same selection as the run.
print_count() {
    echo "ctest count ($mode): $(ctest -N "$@" | sed -n 's/^Total Tests: //p')"
}

case "$mode" in
    normal | --long | --soak)
        long=OFF soak=OFF
        [[ "$mode" == --long ]] && long=ON
        [[ "$mode" == --soak ]] && soak=ON
        configure build -DCORVANE_LONG_TESTS=$long -DCORVANE_SOAK=$soak
        cmake --build build -j "$jobs"
        cd build
        ctest --output-on-failure -j "$jobs" --timeout 300
        print_count
        ;;
    --sanitize)
        export ASAN_OPTIONS=halt_on_error=1
        export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
        # One clang build serves these tests and the fuzz targets; a folder made by g++ before is made anew.
        if [[ -f build-asan/CMakeCache.txt ]] && ! grep -q '^CMAKE_CXX_COMPILER:.*clang' build-asan/CMakeCache.txt; then
            rm -rf build-asan
        fi
        CC=clang-14 CXX=clang++-14 configure build-asan -DCORVANE_SANITIZE=address,undefined -DCORVANE_FUZZ=ON \
            -DCORVANE_BENCH=OFF
        cmake --build build-asan -j "$jobs" --target corvane_all_tests
        cd build-asan
        # LeakSanitizer reports from libX11 and fontconfig at exit would turn the GUI checks red. Of the whole
        # runs only the short bad-data one fits a sanitizer build's pace.
        ctest --output-on-failure -j "$jobs" --timeout 300 -LE gui -E '^whole_run$'
        print_count -LE gui -E '^whole_run$'
        ;;
    --tsan)
        # libstdc++'s exception_ptr is not instrumented: tests/tsan.supp says which reports that makes false.
        export TSAN_OPTIONS="suppressions=$PWD/tests/tsan.supp${TSAN_OPTIONS:+ $TSAN_OPTIONS}"
        configure build-tsan -DCORVANE_TSAN=ON -DCORVANE_BENCH=OFF
        cmake --build build-tsan -j "$jobs" --target corvane_all_tests
        cd build-tsan
        # GCC 12's TSan fails on hosts with high mmap randomisation.
        setarch "$(uname -m)" -R ctest --output-on-failure -j "$jobs" --timeout 300 -L tsan
        print_count -L tsan
        ;;
    *)
        echo "usage: $0 [--sanitize|--tsan|--long|--soak]" >&2
        exit 2
        ;;
esac
