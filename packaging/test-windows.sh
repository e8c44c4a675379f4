#!/usr/bin/env bash
# make test-windows / make package-windows: the mingw-w64 cross build, its tests under wine, the ZIP.
#   packaging/test-windows.sh          build the engine, tavrin.exe, tavrin-gui.exe and the tests; run them
#   packaging/test-windows.sh package  build the two programs and pack build/tavrin-<version>-win64.zip
#   BUILD_WINDOWS_DIR  build folder (default build-windows)
#   JOBS               parallel compile jobs (default: the number of cores)
set -euo pipefail
cd "$(dirname "$0")/.."

MODE="${1:-test}"
case "$MODE" in test | package) ;; *) echo "usage: $0 [test|package]" >&2; exit 2 ;; esac
BUILD="${BUILD_WINDOWS_DIR:-build-windows}"
JOBS="${JOBS:-$(nproc 2>/dev/null || echo 2)}"
TOOLCHAIN="$PWD/packaging/mingw-w64-x86_64.cmake"

stamp() { printf '[%s-windows %(%H:%M:%S)T] %s\n' "$MODE" -1 "$*"; }
start=$SECONDS

# Installs what dpkg says is missing of the packages named.
install_missing() {
  local missing=() p
  for p in "$@"; do
    dpkg-query -W -f='${Status}\n' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  if ((${#missing[@]})); then
    stamp "installing ${missing[*]}"
    local sudo=""
    [ "$(id -u)" = 0 ] || sudo=sudo
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
  fi
}

# The cross compiler, wine and the sources of the test libraries; for the window tests Xvfb, xdotool,
# ImageMagick (the screenshot), Qt 6 and GoogleTest for the host-side drag source, the Tahoma that
# wine ships (fonts-wine) and a Japanese font for the instruction line (fonts-ipafont-gothic).
packages=(cmake make g++-mingw-w64-x86-64-posix nlohmann-json3-dev libcli11-dev libz-mingw-w64-dev)
if [ "$MODE" = test ]; then
  packages+=(wine wine64 fonts-wine fonts-ipafont-gothic googletest libgtest-dev python3 xvfb xauth xdotool
             imagemagick qt6-base-dev g++ pkg-config)
fi
install_missing "${packages[@]}"
stamp "packages ready ($((SECONDS - start)) s)"

mkdir -p "$BUILD"
BUILD="$(cd "$BUILD" && pwd)"
DEPS="$BUILD/deps"

# GoogleTest has no mingw build in Debian: build Debian's own sources with the cross compiler, once.
if [ "$MODE" = test ]; then
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

# The real-drop test drags from the project's own drag source, a Linux Qt program, and writes its
# sample songs with a host program: both come from a host build of their own.
HOST="$BUILD/host"
if [ "$MODE" = test ]; then
  [ -f "$HOST/CMakeCache.txt" ] ||
    cmake -S . -B "$HOST" -DCMAKE_BUILD_TYPE=Release -DTAVRIN_BUILD_GUI=ON -DTAVRIN_BUILD_TESTS=ON >/dev/null
  cmake --build "$HOST" -j"$JOBS" --target tavrin-drag-source tavrin-gui-sample >/dev/null
  stamp "host drag source ready ($((SECONDS - start)) s)"
fi

# The toolchain is set once, when the folder is configured first; the tests are switched on (with the
# host tools) whenever the tests are run, also in a folder that only packaged so far.
configure=(-DTAVRIN_BUILD_TESTS=OFF)
[ "$MODE" = test ] && configure=(-DTAVRIN_BUILD_TESTS=ON -DTAVRIN_HOST_TOOLS_DIR="$HOST/bin")
if [ ! -f "$BUILD/CMakeCache.txt" ]; then
  cmake -S . -B "$BUILD" -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" -DTAVRIN_WINDOWS_DEPS="$DEPS" \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAVRIN_BUILD_GUI=OFF "${configure[@]}"
elif [ "$MODE" = test ]; then
  cmake -S . -B "$BUILD" "${configure[@]}" >/dev/null
fi

if [ "$MODE" = package ]; then
  # Only the two programs are built; the install step copies them, the README and the LICENSE.
  cmake --build "$BUILD" -j"$JOBS" --target tavrin tavrin-gui
  version="$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$BUILD/CMakeCache.txt")"
  name="tavrin-$version-win64"
  stage="$BUILD/package"
  rm -rf "$stage"
  cmake --install "$BUILD" --prefix "$stage/$name" --strip >/dev/null
  mkdir -p build
  zip_file="$PWD/build/$name.zip"
  rm -f "$zip_file"
  (cd "$stage" && cmake -E tar cf "$zip_file" --format=zip "$name")
  packaging/check-windows-package.sh "$zip_file" "$name"
  stamp "done in $((SECONDS - start)) s: build/$name.zip"
  exit 0
fi

cmake --build "$BUILD" -j"$JOBS"
stamp "cross build done ($((SECONDS - start)) s)"

# Fresh wine prefixes take a while to set up; do it once before the tests run in parallel. The
# console tests share one; the window tests have their own, whose desktop takes their Xvfb display.
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
for prefix in "$BUILD/wine" "$BUILD/wine-gui"; do
  if [ ! -f "$prefix/system.reg" ]; then
    stamp "creating the wine prefix ${prefix##*/}"
    WINEPREFIX="$prefix" wine wineboot --init >/dev/null 2>&1 || true
    WINEPREFIX="$prefix" wineserver --wait || true
  fi
done
# The window's fonts as Windows has them: Tahoma (wine's own, which this wine does not load from its
# data folder) in the Fonts folder, and a Japanese font linked behind it, as Windows links MS UI
# Gothic, so the instruction line shows in Japanese.
cp -u /usr/share/wine/fonts/tahoma.ttf /usr/share/wine/fonts/tahomabd.ttf "$BUILD/wine-gui/drive_c/windows/Fonts/"
WINEPREFIX="$BUILD/wine-gui" wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink' \
  /v Tahoma /t REG_MULTI_SZ /d 'ipag.ttf,IPAGothic' /f >/dev/null 2>&1
WINEPREFIX="$BUILD/wine-gui" wineserver --wait || true
stamp "wine ready ($((SECONDS - start)) s)"

status=0
(cd "$BUILD" && WINEPREFIX="$BUILD/wine" ctest --output-on-failure -j"$JOBS") || status=$?
for prefix in "$BUILD/wine" "$BUILD/wine-gui"; do WINEPREFIX="$prefix" wineserver --kill >/dev/null 2>&1 || true; done
stamp "done in $((SECONDS - start)) s"
exit "$status"
