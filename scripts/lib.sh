# Shared helpers for the project's scripts.
set -euo pipefail

QV_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
QV_JOBS="$(nproc 2>/dev/null || echo 2)"

# Installs the Debian packages that are not installed yet.
ensure_packages() {
    local missing=()
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    echo "== installing: ${missing[*]}" >&2
    $sudo apt-get update -q >&2
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}" >&2
}

BUILD_PACKAGES=(cmake make g++ libc6-dev libdrm-dev nlohmann-json3-dev)
TEST_PACKAGES=(cmake make g++ libc6-dev libdrm-dev nlohmann-json3-dev python3-jsonschema udev libgtest-dev util-linux dmidecode bzip2 libdrm-common
               g++-mingw-w64-i686-win32 g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
               wine64 xvfb xauth xdotool imagemagick fonts-wqy-microhei fonts-wine python3
               valgrind clang libclang-rt-14-dev x11-utils dpkg-dev ansible-core wixl msitools lintian rpm facter)

# build_linux BUILD_TYPE TESTS: TESTS is ON (needs GoogleTest) or OFF.
build_linux() {
    cmake -S "$QV_ROOT" -B "$QV_ROOT/build/linux" -DCMAKE_BUILD_TYPE="${1:-Release}" \
        -DQUORVIN_TESTS="${2:-ON}" >/dev/null
    cmake --build "$QV_ROOT/build/linux" -j "$QV_JOBS"
}

build_windows() {
    local arch
    for arch in i686 x86_64; do
        cmake -S "$QV_ROOT" -B "$QV_ROOT/build/win-$arch" \
            -DCMAKE_TOOLCHAIN_FILE="$QV_ROOT/cmake/mingw-$arch.cmake" >/dev/null
        cmake --build "$QV_ROOT/build/win-$arch" -j "$QV_JOBS"
    done
}
