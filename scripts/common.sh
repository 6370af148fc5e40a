# Shared by scripts/run and scripts/test: install missing Debian packages, configure, build.
# Source it; it defines ensure_packages and build_tree.

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
PACKAGES=(cmake g++ make pkg-config freeglut3-dev libglu1-mesa-dev libgl-dev libgl1-mesa-dri
          libimgui-dev libfreeimage-dev libgtest-dev libbenchmark-dev xvfb xauth xdotool
          imagemagick x11-utils libtcmalloc-minimal4 libocct-foundation-dev
          libocct-modeling-data-dev libocct-modeling-algorithms-dev libocct-data-exchange-dev
          libtbb-dev admesh zenity libx11-dev libgmock-dev
          libcairo2-dev python3-ezdxf librsvg2-bin poppler-utils libeigen3-dev
          libcli11-dev)

# ensure_packages [extra packages...]: installs whatever of the list is missing.
ensure_packages() {
    local missing=()
    local package
    for package in "${PACKAGES[@]}" "$@"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" \
            || missing+=("$package")
    done
    if [ ${#missing[@]} -gt 0 ]; then
        echo "Installing: ${missing[*]}"
        local sudo=""
        [ "$(id -u)" -eq 0 ] || sudo="sudo"
        $sudo apt-get update -qq
        DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends \
            "${missing[@]}" >/dev/null
    fi
}

# build_tree BUILD_DIR [cmake options...]: configures once, then builds everything.
build_tree() {
    local dir="$1"
    shift
    cmake -S "$ROOT" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
    cmake --build "$dir" -j "$(nproc)"
}
