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
    xvfb xauth xdotool x11-apps imagemagick python3 openssl nodejs npm
    # fuzz targets and symbolised sanitizer reports
    clang-14 libclang-rt-14-dev llvm-14
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

missing=()
for p in "${packages[@]}"; do
    if ! is_installed "$p" && ! has_command_for "$p"; then
        missing+=("$p")
    fi
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

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
