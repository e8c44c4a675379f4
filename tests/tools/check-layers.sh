#!/bin/sh
# Fails when a source file includes a header of a layer above its own: includes run only downward.
#   core < formats < chips < model < report < engine < cli, gui, win32
# formats and chips are siblings: neither includes the other.
root=${1:-.}
cd "$root" || exit 2

rank() {
  case "$1" in
    core/*) echo 1 ;;
    formats/*) echo 2 ;;
    chips/*) echo 2 ;;
    model/*) echo 3 ;;
    report/*) echo 4 ;;
    engine/*) echo 5 ;;
    cli/*|gui/*|win32/*) echo 6 ;;
    *) echo 0 ;;
  esac
}

status=0
checked=0
for file in $(find core formats chips model report engine cli gui win32 -name '*.h' -o -name '*.cpp' 2>/dev/null | sort); do
  own=$(rank "$file")
  checked=$((checked + 1))
  for header in $(sed -n 's/^#include "\([^"]*\)".*/\1/p' "$file"); do
    theirs=$(rank "$header")
    [ "$theirs" = 0 ] && continue
    if [ "$theirs" -gt "$own" ] ||
       { [ "$own" = 2 ] && [ "$theirs" = 2 ] && [ "${file%%/*}" != "${header%%/*}" ]; }; then
      echo "upward include: $file includes $header"
      status=1
    fi
  done
done
echo "layer includes: $checked files checked"
exit $status
