#!/usr/bin/env bash
# The .deb as cpack builds it: licence, changelog, maintainer and completion inside, and no lintian error.
#   check-deb.sh BUILD_DIR "MAINTAINER"
# Lintian warnings are printed but do not fail the check; the ones this package is known to get are
# listed in KEPT below with the reason, and any other warning is pointed out as new.
set -euo pipefail
build="$1" maintainer="$2"
for tool in cpack dpkg-deb lintian; do
  command -v "$tool" >/dev/null || { echo "SKIPPED: $tool is not installed (make deps)"; exit 77; }
done
out="$(mktemp -d)"
trap 'rm -rf "$out"' EXIT

(cd "$build" && cpack -G DEB -B "$out" >"$out/cpack.log" 2>&1) || { cat "$out/cpack.log"; exit 1; }
deb=("$out"/tavrin_*.deb)
[ -f "${deb[0]}" ] || { echo "cpack wrote no tavrin_*.deb"; cat "$out/cpack.log"; exit 1; }
echo "built ${deb[0]##*/}"

field="$(dpkg-deb -f "${deb[0]}" Maintainer)"
[ "$field" = "$maintainer" ] || { echo "Maintainer is \"$field\", not \"$maintainer\""; exit 1; }

contents="$(dpkg-deb -c "${deb[0]}")"
for f in ./usr/share/doc/tavrin/copyright ./usr/share/doc/tavrin/changelog.Debian.gz \
         ./usr/share/bash-completion/completions/tavrin ./usr/bin/tavrin; do
  grep -q " $f\$" <<<"$contents" || { echo "the package lacks $f"; exit 1; }
done
dpkg-deb -x "${deb[0]}" "$out/root"
copyright="$out/root/usr/share/doc/tavrin/copyright"
grep -qx 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' "$copyright" ||
  { echo "the copyright file is not in the machine-readable format"; exit 1; }
grep -qx "Upstream-Contact: $maintainer" "$copyright" || { echo "the copyright file names another contact"; exit 1; }
grep -qx 'License: Expat' "$copyright" || { echo "the copyright file has no Expat (MIT) licence"; exit 1; }

# Known warnings, with the reason they stay:
KEPT=(
  # A first Debian upload closes its "intent to package" bug; Tavrin is packaged outside Debian's
  # archive, so there is no such bug to close.
  initial-upload-closes-no-bugs
)
set +e
report="$(lintian --fail-on error --tag-display-limit 0 "${deb[0]}" 2>&1)"
status=$?
set -e
[ -z "$report" ] || echo "$report"
if ((status != 0)); then
  echo "lintian reports errors (status $status)"
  exit 1
fi
new=0
while read -r level _ tag _; do
  [ "$level" = "W:" ] || continue
  printf '%s\n' "${KEPT[@]}" | grep -qx "$tag" || { echo "new lintian warning: $tag"; new=1; }
done <<<"$report"
((new == 0)) || exit 1
echo "lintian: no error, no warning outside the known list (${KEPT[*]:-none})"
