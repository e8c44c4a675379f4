#!/usr/bin/env bash
# The desktop entry passes desktop-file-validate with no error or warning; skipped (77) without the tool.
#   check-desktop.sh FILE.desktop
set -euo pipefail
if ! command -v desktop-file-validate >/dev/null; then
  echo "SKIPPED: desktop-file-validate is not installed (apt-get install desktop-file-utils)"
  exit 77
fi
out="$(desktop-file-validate "$1" 2>&1)" && status=0 || status=$?
[ -z "$out" ] || echo "$out"
if [ "$status" -ne 0 ] || grep -qE '(error|warning):' <<<"$out"; then
  exit 1
fi
echo "$1 is valid"
