#!/usr/bin/env bash
# Installs every Debian package that the build, the tests and the tools need.
# Silent when everything is present; names the packages and exits non-zero when it cannot install them.
set -euo pipefail

packages=(
    # build
    cmake ninja-build g++ pkg-config ccache
    # libraries
    libpugixml-dev libsodium-dev libcurl4-openssl-dev libzip-dev nlohmann-json3-dev libmsgsl-dev libfmt-dev
    libfltk1.3-dev libgtest-dev libgmock-dev libbenchmark-dev
    # test tooling
    xvfb xauth xdotool x11-apps x11-utils libx11-dev imagemagick python3 openssl nodejs npm
    # a network namespace of its own for each run on RealTraffic's fixed ports (unshare, flock; ip)
    util-linux iproute2
    # fuzz targets and symbolised sanitizer reports; the format check
    clang-14 libclang-rt-14-dev llvm-14 clang-format-14
)

is_installed() {
    local status
    status=$(dpkg-query -W -f='${Status}' "$1" 2>/dev/null || true)
    [[ "$status" == "install ok installed" ]]
}

# A Node.js build from another source already carries npm; the Debian npm package would fight it.
has_command_for() {
    case "$1" in
        npm) command -v npm >/dev/null 2>&1 ;;
        nodejs) command -v node >/dev/null 2>&1 ;;
        *) return 1 ;;
    esac
}

# node-simconnect, the independent SimConnect client of the simulator stand-in's cross-check, goes into
# build/nodetools/ (never committed, shared by every build folder). Without it the cross-check is skipped,
# so a failure here prints one line and does not fail the script.
install_node_tools() {
    local folder
    folder="$(cd "$(dirname "$0")/.." && pwd)/build/nodetools"
    [[ -f "$folder/node_modules/node-simconnect/package.json" ]] && return 0
    if ! command -v npm >/dev/null 2>&1 ||
       ! npm install --prefix "$folder" --no-audit --no-fund --silent --fetch-retries=1 node-simconnect@4.2.0 >/dev/null 2>&1; then
        echo "install-deps: node-simconnect could not be installed; the stand-in's cross-check will be skipped"
    fi
}

missing=()
for p in "${packages[@]}"; do
    if ! is_installed "$p" && ! has_command_for "$p"; then
        missing+=("$p")
    fi
done
if [[ ${#missing[@]} -eq 0 ]]; then
    install_node_tools
    exit 0
fi

echo "install-deps: installing ${missing[*]}"
sudo_cmd=()
if [[ $(id -u) -ne 0 ]]; then
    sudo_cmd=(sudo)
fi
if ! "${sudo_cmd[@]}" apt-get update -q >/dev/null ||
   ! "${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"; then
    echo "install-deps: could not install: ${missing[*]}" >&2
    exit 1
fi

still=()
for p in "${missing[@]}"; do
    is_installed "$p" || has_command_for "$p" || still+=("$p")
done
if [[ ${#still[@]} -ne 0 ]]; then
    echo "install-deps: still missing: ${still[*]}" >&2
    exit 1
fi
install_node_tools
