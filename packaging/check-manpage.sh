#!/usr/bin/env bash
# The manual page against the program: each option of `tavrin --help` is under OPTIONS; it renders cleanly.
#   check-manpage.sh TAVRIN PAGE
set -euo pipefail
tavrin="$1"
page="$2"

help="$("$tavrin" --help)"
# The tag lines of the OPTIONS section's items: the line after each .TP.
section="$(sed -n '/^\.SH OPTIONS/,/^\.SH /p' "$page" | awk '/^\.TP/ { if (getline > 0) print }')"
[ -n "$section" ] || { echo "$page has no items under OPTIONS"; exit 1; }

# Option names as --help prints them at the start of a line: "  -v, --verbose", "      --notes".
mapfile -t options < <(grep -oE '^ {2,6}-[A-Za-z0-9-]+(, --[A-Za-z0-9-]+)?' <<<"$help" |
                         sed 's/, /\n/' | sed 's/^ *//')
((${#options[@]})) || { echo "found no options in the output of $tavrin --help"; exit 1; }

missing=()
for option in "${options[@]}"; do
  # In roff every '-' is written '\-'; "\-v" must not count as found inside "\-\-verbose".
  roff="${option//-/\\\\-}"
  grep -qE "(^|[^-])${roff}([^A-Za-z0-9-]|$)" <<<"$section" || missing+=("$option")
done
if ((${#missing[@]})); then
  echo "$page has no item under OPTIONS for these options of tavrin --help: ${missing[*]}"
  exit 1
fi
echo "all ${#options[@]} options of tavrin --help are described: ${options[*]}"

# groff's own warnings (bad macros, unknown escapes); only where man and groff are installed.
if command -v man >/dev/null && command -v groff >/dev/null; then
  warnings="$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings=all -l "$page" 2>&1 >/dev/null || true)"
  if [ -n "$warnings" ]; then
    echo "man reports problems in $page:"
    echo "$warnings"
    exit 1
  fi
  echo "man renders $page without warnings"
else
  echo "man or groff is not installed: the page was not rendered (apt-get install man-db)"
fi
