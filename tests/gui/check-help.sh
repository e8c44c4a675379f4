#!/usr/bin/env bash
# tavrin-gui --help and --version answer without a display, where opening the window would fail.
#   check-help.sh TAVRIN_GUI VERSION
set -euo pipefail
gui="$1" version="$2"
# No display of any kind, and Qt told to use X.
run() { env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb timeout 30 "$gui" "$@"; }

# Without --help the program tries to open its window here and fails: the premise of the test.
if run >/dev/null 2>&1; then
  echo "tavrin-gui started without a display: this check proves nothing here"
  exit 1
fi
for option in --help -h; do
  out="$(run "$option")" || { echo "tavrin-gui $option failed"; exit 1; }
  grep -qx 'Usage: tavrin-gui \[FILE...\]' <<<"$out" || { echo "tavrin-gui $option printed: $out"; exit 1; }
done
out="$(run --version)" || { echo "tavrin-gui --version failed"; exit 1; }
[ "$out" = "tavrin-gui $version" ] || { echo "tavrin-gui --version printed: $out"; exit 1; }
echo "tavrin-gui --help and --version answer without opening the window"
