#!/usr/bin/env bash
# `cmake --install` into a scratch prefix puts each file where a desktop looks for it; the program runs.
#   check-install.sh BUILD_DIR BINDIR MANDIR DATADIR gui|nogui
set -euo pipefail
build="$1" bindir="$2" mandir="$3" datadir="$4" gui="$5"
prefix="$(mktemp -d)"
trap 'rm -rf "$prefix"' EXIT

# DESTDIR keeps the install from refreshing the desktop caches of a live system.
DESTDIR="$prefix" cmake --install "$build" --prefix /usr >/dev/null
root="$prefix/usr"

expected=(
  "$bindir/tavrin"
  "$mandir/man1/tavrin.1.gz"
  "$datadir/mime/packages/tavrin.xml"
  "$datadir/doc/tavrin/README.md"
  "$datadir/doc/tavrin/copyright"
  "$datadir/doc/tavrin/changelog.Debian.gz"
  "$datadir/bash-completion/completions/tavrin"
)
if [ "$gui" = gui ]; then
  expected+=(
    "$bindir/tavrin-gui"
    "$mandir/man1/tavrin-gui.1.gz"
    "$datadir/applications/tavrin-gui.desktop"
    "$datadir/icons/hicolor/scalable/apps/tavrin.svg"
  )
fi
missing=0
for f in "${expected[@]}"; do
  [ -e "$root/$f" ] || { echo "not installed: /usr/$f"; missing=1; }
done
((missing == 0)) || exit 1
echo "installed: ${expected[*]}"

"$root/$bindir/tavrin" --version
# The compressed page holds the page itself, with the version filled in.
if zcat "$root/$mandir/man1/tavrin.1.gz" | grep -q '@PROJECT_VERSION@'; then
  echo "the installed manual page still says @PROJECT_VERSION@"
  exit 1
fi
# The launcher runs the window, and its icon and MIME type name what the package installs.
need_line() {
  grep -qx -- "$1" "$2" || { echo "$2 lacks the line: $1"; exit 1; }
}
for type in audio/x-s98 audio/x-vgm audio/x-vgz; do
  grep -q "type=\"$type\"" "$root/$datadir/mime/packages/tavrin.xml" || { echo "tavrin.xml: no $type"; exit 1; }
done
if [ "$gui" = gui ]; then
  desktop="$root/$datadir/applications/tavrin-gui.desktop"
  need_line 'Exec=tavrin-gui %F' "$desktop"
  need_line 'Icon=tavrin' "$desktop"
  need_line 'MimeType=audio/x-s98;audio/x-vgm;audio/x-vgz;' "$desktop"
fi
echo "the install tree is complete"
