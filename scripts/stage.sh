#!/usr/bin/env bash
# stage.sh <build folder> <stage folder>: the program folder as a user gets it, the binary plus the data tree.
set -euo pipefail
build=$1
stage=$2
mkdir -p "$stage"
cp -f "$build/src/corvane" "$stage/corvane"
if [[ -d data ]]; then
    cp -rf data/. "$stage/"
fi
