#!/usr/bin/env bash
# stage.sh --build DIR --into DEST [--fresh]
# Lays out DEST/stage, the program folder as a user has it, and DEST/site, the maker's downloads folder that
# the demo serves on loopback. The program, its documents, the sealed data files, the demo's scenarios and
# the Prepar3D stand-in folders are laid anew each time; airports/, the sample liveries and scenery and
# parameters.xml only when absent, so a staged folder keeps what the program learned and saved, as an
# installation keeps its settings. --fresh first removes what a run leaves, for a first start again.
# No plain copy of a data file is ever staged: the data files go in sealed, as the build's sealed_data
# target made them, and one left over from an earlier run is removed.
set -euo pipefail
project=$(cd "$(dirname "$0")/.." && pwd)

usage() {
    echo "usage: stage.sh --build DIR --into DEST [--fresh]" >&2
    exit 2
}
fail() {
    echo "stage.sh: $*" >&2
    exit 2
}

build="" dest="" fresh=0
while [[ $# -gt 0 ]]; do
    case "$1" in
    --build) [[ $# -ge 2 ]] || usage; build=$2; shift 2 ;;
    --into) [[ $# -ge 2 ]] || usage; dest=$2; shift 2 ;;
    --fresh) fresh=1; shift ;;
    *) usage ;;
    esac
done
[[ -n "$build" && -n "$dest" ]] || usage
[[ -d "$build" ]] || fail "missing build folder $build"
build=$(cd "$build" && pwd)
mkdir -p "$dest"
dest=$(cd "$dest" && pwd)
stage=$dest/stage
site=$dest/site
data=$project/data
sealed=(dbase.enc AIG-regcodes.enc airports.enc)

need() {
    [[ -e "$1" ]] || fail "missing $1"
}
# A generator of the build, wherever below tools/ its folder put it.
tool() {
    local found
    found=$(find "$build/tools" -maxdepth 3 -type f -name "$1" -perm -u+x 2>/dev/null | head -n 1)
    [[ -n "$found" ]] || fail "missing $build/tools/.../$1 (build the target $1)"
    echo "$found"
}
need "$build/src/corvane"
for file in "${sealed[@]}"; do
    need "$build/sealed/input/$file"
done
for source in docs demo/eddf-scene.json demo/registry.reg airports liveries/sample.json \
    site/downloads/P3D/archive/stock/EDDF.xml; do
    need "$data/$source"
done
gen_demo=$(tool gen_demo)

if [[ $fresh -eq 1 ]]; then
    rm -f "$stage"/Log*.txt "$stage/SimConnect.cfg" "$stage/appdata/Corvane_P3D/parameters.xml"
    rm -rf "$stage/output" "$stage/tblo" "$stage/airports" "$stage/appdata/Corvane_P3D/orig_dest" \
        "$stage/liveries"
fi

# Laid anew each time.
mkdir -p "$stage/input/my_regcodes" "$stage/docs" "$stage/p3d/Scenery" "$stage/appdata/InsideSystems"
cp -f "$build/src/corvane" "$stage/corvane"
cp -R "$data/docs/." "$stage/docs/"
rm -f "$stage"/input/*.xml "$stage"/input/*.enc
for file in "${sealed[@]}"; do
    cp -f "$build/sealed/input/$file" "$stage/input/$file"
done
"$gen_demo" --airport "$data/site/downloads/P3D/archive/stock/EDDF.xml" --scene "$data/demo/eddf-scene.json" \
    --out "$stage/demo"
# Prepar3D as the program finds it through the registry: a registry file naming an install folder with an
# empty Scenery folder. RealTraffic counts as installed on this PC when its program file lies under AppData.
# The template names the folder as {p3d}; a .reg string escapes its backslashes and quotes.
grep -q '{p3d}' "$data/demo/registry.reg" || fail "$data/demo/registry.reg: no {p3d} for the install folder"
shopt -u patsub_replacement 2>/dev/null || true
setup_path=$stage/p3d
setup_path=${setup_path//\\/\\\\}
setup_path=${setup_path//\"/\\\"}
template=$(<"$data/demo/registry.reg")
printf '%s\n' "${template//\{p3d\}/$setup_path}" >"$stage/registry.reg.tmp"
mv -f "$stage/registry.reg.tmp" "$stage/registry.reg"
: >"$stage/appdata/InsideSystems/RealTraffic.jar"

# The maker's site: its own files, this version's sealed data files in 11/, and a versions.json that
# publishes this program version and every data file and scan at 1.0.0.
rm -rf "$site"
mkdir -p "$site/11"
cp -R "$data/site/downloads/." "$site/"
rm -f "$site/.gitkeep"
for file in "${sealed[@]}"; do
    cp -f "$build/sealed/input/$file" "$site/11/$file"
done
one='{"major": 1, "minor": 0, "patch": 0}'
printf '{"p3d": {"major": 11, "minor": 10, "patch": 5}, "airports": %s, "aig": %s, "liveries": %s, "addons": %s, "dbase": %s}\n' \
    "$one" "$one" "$one" "$one" "$one" >"$site/versions.json"

# Only where absent: what the program learns, scans and saves stays from run to run. Each is made under a
# temporary name and renamed, so an interrupted staging leaves no half folder that looks complete.
if [[ ! -d "$stage/airports" ]]; then
    rm -rf "$stage/airports.tmp"
    cp -R "$data/airports" "$stage/airports.tmp"
    mkdir -p "$stage/airports.tmp/my_thirdparty" "$stage/airports.tmp/my_ORBX"
    mv "$stage/airports.tmp" "$stage/airports"
fi
if [[ ! -d "$stage/sample_scenery" ]]; then
    gen_scenery=$(tool gen_scenery)
    rm -rf "$stage/sample_scenery.tmp"
    "$gen_scenery" --sample "$stage/sample_scenery.tmp"
    mv "$stage/sample_scenery.tmp" "$stage/sample_scenery"
fi
if [[ ! -d "$stage/sample_liveries" ]]; then
    rm -rf "$stage/sample_liveries.tmp"
    "$(tool gen_livery_tree)" --out "$stage/sample_liveries.tmp" --list "$data/liveries/sample.json"
    mv "$stage/sample_liveries.tmp" "$stage/sample_liveries"
fi
if [[ ! -f "$stage/appdata/Corvane_P3D/parameters.xml" ]]; then
    python3 "$project/scripts/seed_parameters.py" "$stage/appdata/Corvane_P3D/parameters.xml" \
        PROGRAM_VERSION=11.10.5 SCAN_LIVERIES=true "lfolder0=$stage/sample_liveries" \
        SCAN_AIRPORTS=true "afolder0=$stage/sample_scenery"
fi
