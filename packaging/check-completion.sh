#!/usr/bin/env bash
# The bash completion of tavrin, called as bash calls it: a table of command lines and what each offers.
#   check-completion.sh tavrin.bash-completion
set -uo pipefail
source "$1"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
cd "$scratch" || exit 1
mkdir music
touch song.s98 LOUD.S98 notes.txt 'with space.s98' music/inner.s98 tune.vgm OLD.VGZ tune.vgm.txt

# Completes the last word of `line` (words split on blanks and '=', as bash does) and prints the
# offers sorted on one line, separated by '|'.
offers() {
  local line="$1"
  line="${line//=/ = }"
  read -ra COMP_WORDS <<<"$line"
  [[ $1 == *' ' || $1 == *= ]] && COMP_WORDS+=("")
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  COMPREPLY=()
  _tavrin
  printf '%s\n' "${COMPREPLY[@]}" | sort | paste -sd'|'
}

failed=0
while IFS=$'\t' read -r line expected; do
  got="$(offers "$line")"
  if [ "$got" != "$expected" ]; then
    echo "tavrin completion of \"$line\": expected \"$expected\", got \"$got\""
    failed=1
  fi
done <<'TABLE'
tavrin --ver	--verbose|--version
tavrin --pro	--progress=
tavrin --progress=	always|auto|never
tavrin --progress=a	always|auto
tavrin --progress n	never
tavrin -q --re	--recursive
tavrin 	LOUD.S98|OLD.VGZ|music|song.s98|tune.vgm|with space.s98
tavrin -v s	song.s98
tavrin music/	music/inner.s98
tavrin -o n	notes.txt
tavrin --from 1200	1200|1200t
tavrin --to 0x1a	
tavrin --device 0,	
TABLE
((failed == 0)) || exit 1
echo "every completion in the table is offered"
