#!/usr/bin/env bash
# The S98, VGM and VGZ MIME types: the shared MIME database takes them; xdg-mime names the files by them,
# by name and (S98, VGM) by content.
#   check-mime.sh tavrin-mime.xml     (skipped, 77, where update-mime-database is missing)
set -euo pipefail
xml="$1"

if ! command -v update-mime-database >/dev/null; then
  echo "SKIPPED: update-mime-database is not installed (apt-get install shared-mime-info)"
  exit 77
fi
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# A data folder of its own holding only this package, built as installation builds it.
mkdir -p "$work/share/mime/packages" "$work/home" "$work/files"
cp "$xml" "$work/share/mime/packages/tavrin.xml"
export XDG_DATA_DIRS="$work/share:/usr/share" XDG_DATA_HOME="$work/home/.local/share" HOME="$work/home"
if ! errors="$(update-mime-database "$work/share/mime" 2>&1)" || [ -n "$errors" ]; then
  echo "update-mime-database refuses $xml:"
  echo "$errors"
  exit 1
fi
for entry in audio/x-s98:s98 audio/x-vgm:vgm audio/x-vgz:vgz; do
  type="${entry%:*}" extension="${entry#*:}"
  grep -qx "50:$type:\*.$extension" "$work/share/mime/globs2" || { echo "no *.$extension glob for $type"; exit 1; }
  echo "the shared MIME database knows $type by the name *.$extension"
done
for type in audio/x-s98 audio/x-vgm; do
  grep -qa "$type" "$work/share/mime/magic" || { echo "no magic for $type"; exit 1; }
done
echo "and audio/x-s98 and audio/x-vgm by their first bytes"

# What a desktop answers: xdg-mime asks mimetype(1) or gio, which read the database; without either
# it falls back to file(1), which does not.
if ! command -v xdg-mime >/dev/null; then
  echo "xdg-mime is not installed: the desktop's answer was not checked (apt-get install xdg-utils)"
  exit 0
fi
desktop=""
if mimetype --version >/dev/null 2>&1; then
  desktop=""  # xdg-mime's generic branch uses mimetype
elif command -v gio >/dev/null; then
  desktop="GNOME"
else
  echo "neither mimetype nor gio is installed: xdg-mime's answer was not checked" \
       "(apt-get install libfile-mimeinfo-perl)"
  exit 0
fi
printf 'S983\x00\x00\x00\x00' >"$work/files/song.s98"  # an S98 head's first bytes
cp "$work/files/song.s98" "$work/files/no-extension"  # known by content alone
printf 'S983' >"$work/files/SONG.S98"                 # the glob ignores case
printf 'Vgm \x00\x00\x00\x00' >"$work/files/song.vgm"
cp "$work/files/song.vgm" "$work/files/vgm-no-extension"
printf 'Vgm \x00\x00\x00\x00' | gzip -n >"$work/files/song.vgz"
failed=0
for entry in song.s98:audio/x-s98 no-extension:audio/x-s98 SONG.S98:audio/x-s98 song.vgm:audio/x-vgm \
             vgm-no-extension:audio/x-vgm song.vgz:audio/x-vgz; do
  f="${entry%%:*}" type="${entry#*:}"
  got="$(XDG_CURRENT_DESKTOP="$desktop" DE="" xdg-mime query filetype "$work/files/$f" 2>&1 || true)"
  if [ "$got" = "$type" ]; then
    echo "xdg-mime query filetype $f: $got"
  else
    echo "xdg-mime query filetype $f: '$got', expected $type"
    failed=1
  fi
done
exit "$failed"
