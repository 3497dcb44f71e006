#!/usr/bin/env bash
# stage.sh <build folder> <stage folder>: the program folder as a user gets it, the binary plus the data tree.
# The data files go in sealed, as the build's sealed_data target made them: no plain copy of a data file is
# ever staged, and one left over from an earlier run is removed.
set -euo pipefail
build=$1
stage=$2
mkdir -p "$stage/input" "$stage/airports/my_thirdparty" "$stage/airports/my_ORBX"
cp -f "$build/src/corvane" "$stage/corvane"
if [[ -d data ]]; then
    # data/site is the maker's web site that run.sh plays, not part of the program folder.
    tar -C data --exclude='./input/*.xml' --exclude='./site' -cf - . | tar -C "$stage" -xf -
fi
rm -f "$stage"/input/*.xml
cp -f "$build"/sealed/input/*.enc "$stage/input/"
