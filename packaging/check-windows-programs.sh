#!/bin/sh
# Checks that Windows programs stand alone: every DLL they import is one that Windows itself has.
#   check-windows-programs.sh PROGRAM.exe...
set -eu
objdump=x86_64-w64-mingw32-objdump
command -v "$objdump" >/dev/null || { echo "SKIP: $objdump not found"; exit 77; }
status=0
for program in "$@"; do
  imports=$("$objdump" -p "$program" | sed -n 's/^[[:space:]]*DLL Name: //p')
  [ -n "$imports" ] || { echo "FAIL: $program: no import table found"; status=1; continue; }
  for dll in $imports; do
    # Windows' own libraries, the C runtime included; a toolchain or Qt DLL would have to be shipped.
    case "$(printf '%s' "$dll" | tr 'A-Z' 'a-z')" in
      kernel32.dll | user32.dll | gdi32.dll | shell32.dll | comctl32.dll | advapi32.dll | ole32.dll | \
        msvcrt.dll | api-ms-win-*.dll) ;;
      *) echo "FAIL: $program imports $dll, which Windows does not have"; status=1 ;;
    esac
  done
  echo "$(basename "$program"): $(echo $imports)"
done
exit "$status"
