#!/usr/bin/env bash
# make test-windows: builds the engine, decoders, tavrin.exe and tests with mingw-w64, runs them under wine.
#   BUILD_WINDOWS_DIR  build folder (default build-windows)
#   JOBS               parallel compile jobs (default: the number of cores)
set -euo pipefail
cd "$(dirname "$0")/.."

BUILD="${BUILD_WINDOWS_DIR:-build-windows}"
JOBS="${JOBS:-$(nproc 2>/dev/null || echo 2)}"
TOOLCHAIN="$PWD/packaging/mingw-w64-x86_64.cmake"

stamp() { printf '[test-windows %(%H:%M:%S)T] %s\n' -1 "$*"; }
start=$SECONDS

# The cross compiler, wine, and the sources of the test libraries; only what dpkg says is missing.
# wine's recommended extras (fonts, sound, gstreamer) are not needed for console programs.
packages=(cmake make g++-mingw-w64-x86-64-posix wine wine64 googletest libcli11-dev nlohmann-json3-dev)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}\n' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if ((${#missing[@]})); then
  stamp "installing ${missing[*]}"
  sudo=""; [ "$(id -u)" = 0 ] || sudo=sudo
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" \
    >/dev/null
fi
stamp "packages ready ($((SECONDS - start)) s)"

mkdir -p "$BUILD"
BUILD="$(cd "$BUILD" && pwd)"
DEPS="$BUILD/deps"

# GoogleTest has no mingw build in Debian: build Debian's own sources with the cross compiler, once.
gtest_version="$(dpkg-query -W -f='${Version}' googletest)"
if [ "$(cat "$DEPS/.googletest-version" 2>/dev/null)" != "$gtest_version" ]; then
  stamp "building GoogleTest $gtest_version for Windows"
  rm -rf "$BUILD/googletest"
  cmake -S /usr/src/googletest -B "$BUILD/googletest" -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$DEPS" -DBUILD_SHARED_LIBS=OFF \
    -DBUILD_GMOCK=ON -DINSTALL_GTEST=ON >/dev/null
  cmake --build "$BUILD/googletest" -j"$JOBS" >/dev/null
  cmake --install "$BUILD/googletest" >/dev/null
  echo "$gtest_version" >"$DEPS/.googletest-version"
fi

# The header-only libraries (CLI11, nlohmann-json): stage Debian's headers and CMake package files
# under the same prefix, so the cross build never sees the host's /usr/include.
header_only=(
  "libcli11-dev CLI CLI11"
  "nlohmann-json3-dev nlohmann nlohmann_json"
)
mkdir -p "$DEPS/include" "$DEPS/share/cmake"
for entry in "${header_only[@]}"; do
  read -r _ headers package <<<"$entry"
  rm -rf "${DEPS:?}/include/$headers" "${DEPS:?}/share/cmake/$package"
  cp -a "/usr/include/$headers" "$DEPS/include/$headers"
  cp -a "/usr/share/cmake/$package" "$DEPS/share/cmake/$package"
done
stamp "test libraries ready ($((SECONDS - start)) s)"

if [ ! -f "$BUILD/CMakeCache.txt" ]; then
  cmake -S . -B "$BUILD" -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" -DTAVRIN_WINDOWS_DEPS="$DEPS" \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAVRIN_BUILD_GUI=OFF -DTAVRIN_BUILD_TESTS=ON
fi
cmake --build "$BUILD" -j"$JOBS"
stamp "cross build done ($((SECONDS - start)) s)"

# A fresh wine prefix takes a while to set up; do it once before the tests run in parallel.
export WINEPREFIX="$BUILD/wine" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  stamp "creating the wine prefix"
  wine wineboot --init >/dev/null 2>&1 || true
  wineserver --wait || true
fi
stamp "wine ready ($((SECONDS - start)) s)"

status=0
(cd "$BUILD" && ctest --output-on-failure -j"$JOBS") || status=$?
wineserver --kill >/dev/null 2>&1 || true
stamp "done in $((SECONDS - start)) s"
exit "$status"
