#!/bin/sh
# Checks the Windows ZIP file: one folder NAME holding exactly the two programs, README.md and LICENSE,
# the programs standing alone.
#   check-windows-package.sh ZIP NAME
set -eu
zip_file=$1 name=$2
listing=$(cmake -E tar tf "$zip_file" | grep -v '/$' | sort | tr '\n' ' ')
expected="$name/LICENSE $name/README.md $name/tavrin-gui.exe $name/tavrin.exe "
if [ "$listing" != "$expected" ]; then
  echo "FAIL: $zip_file holds: $listing"
  echo "      expected:  $expected"
  exit 1
fi
unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
(cd "$unpacked" && cmake -E tar xf "$zip_file")
"$(dirname "$0")/check-windows-programs.sh" "$unpacked/$name/tavrin.exe" "$unpacked/$name/tavrin-gui.exe"
echo "$zip_file: $listing"
