#!/usr/bin/env bash
# Proves that two builds of tavrin write the same bytes: every report, log line and exit status.
#
# usage: tests/tools/compare-builds.sh [-n COUNT] [-s SEED] [-j JOBS] OLD_REV [NEW_REV_OR_WORKTREE]
#
#   OLD_REV               a commit (main, HEAD~3, a tag, ...), built in a temporary git worktree
#   NEW_REV_OR_WORKTREE   a commit, or the folder of a source tree (another worktree); default: this
#                         working tree as it is on disk, uncommitted changes included
#   -n COUNT              generated S98 files (default 2000), each with a VGM twin; -s SEED their seed (default 1)
#   -j JOBS               conversions at once per run (default 2)
#
# Both sides build only the `tavrin` program (Release, no window, no tests). The S98 files and their
# VGM twins (every fourth gzip-compressed) come from tests/tools/generate_s98_set.cpp built from this
# working tree, so both builds read the same files; every *.s98 of ../shared/corpus/s98 and every
# *.vgm and *.vgz of ../shared/corpus/vgm (beside the repository) are added where those folders exist. Each
# option set below runs once per build over all files (one process, -j JOBS), in that build's own
# copy of the inputs, since reports land beside their input. Per file it compares the sha256 of each
# output (for --check, of the file's lines of the listing) and the log line; per run the exit status,
# standard output and standard error. A usage error, a crash or a run that converts nothing fails the
# set even when both builds agree. It prints one line per option set and ends with "N passed, M
# failed". Exit status: 0 when everything is identical, 1 when anything differs, 2 for a usage or
# build error.
#
# Work folders live in build-compare/ at the repository's top. The build of a commit is kept there
# (build-SHA) and reused; delete the folder to rebuild. The outputs of an option set that
# differed stay in build-compare/run/{old,new}/SET for diffing. Not part of `make test`: it builds
# another revision, and takes two to six minutes on two busy cores.
set -Eeuo pipefail
export LC_ALL=C  # byte order for sort and comm, byte offsets for awk

usage() {
  sed -n '4,11p' "$0" | sed 's/^# \{0,1\}//' >&2
  exit 2
}

COUNT=2000
SEED=1
JOBS=2
BUILD_JOBS=2  # the machine's cores are shared
while getopts "n:s:j:h" opt; do
  case $opt in
    n) COUNT=$OPTARG ;;
    s) SEED=$OPTARG ;;
    j) JOBS=$OPTARG ;;
    *) usage ;;
  esac
done
shift $((OPTIND - 1))
if [ $# -lt 1 ] || [ $# -gt 2 ]; then usage; fi
OLD_REV=$1
NEW_ARG=${2:-}

ROOT=$(git -C "$(dirname "$0")" rev-parse --show-toplevel)
OUT=$ROOT/build-compare
CORPUS=$ROOT/../shared/corpus/s98
VGM_CORPUS=$ROOT/../shared/corpus/vgm
mkdir -p "$OUT"
START=$(date +%s)

# Temporary worktrees are removed however the script ends.
WORKTREES=()
cleanup() {
  local tree
  for tree in "${WORKTREES[@]+"${WORKTREES[@]}"}"; do
    git -C "$ROOT" worktree remove --force "$tree" >/dev/null 2>&1 || rm -rf "$tree"
  done
  git -C "$ROOT" worktree prune >/dev/null 2>&1 || true
}
trap cleanup EXIT
trap 'echo "compare-builds: stopped by a failing command at line $LINENO" >&2' ERR

# cmake_build SOURCE BUILD TARGET [CMAKE ARGS...]: configures once, then builds TARGET; on failure
# shows the end of the build log and stops.
cmake_build() {
  local src=$1 build=$2 target=$3
  shift 3
  local log=$build.log
  if { [ -f "$build/CMakeCache.txt" ] ||
       cmake -S "$src" -B "$build" -DCMAKE_BUILD_TYPE=Release -DTAVRIN_BUILD_GUI=OFF "$@"; } >"$log" 2>&1 &&
     cmake --build "$build" -j "$BUILD_JOBS" --target "$target" >>"$log" 2>&1; then
    return 0
  fi
  echo "compare-builds: building $target from $src failed; the end of $log:" >&2
  tail -n 25 "$log" >&2
  exit 2
}

# The program a build folder made (bin/ today; found wherever a later layout puts it).
built_program() {
  local build=$1 name=$2 found=$1/bin/$2
  [ -x "$found" ] ||
    found=$(find "$build" -name "$name" -type f -perm -u+x -not -path '*/CMakeFiles/*' | head -n 1)
  [ -n "$found" ] || { echo "compare-builds: no $name in $build" >&2; exit 2; }
  echo "$found"
}

# build_commit REV: the tavrin of a commit, built once from a temporary worktree; the build folder
# is kept for the next run. Sets PROGRAM.
build_commit() {
  local sha
  sha=$(git -C "$ROOT" rev-parse --verify --quiet "$1^{commit}") ||
    { echo "compare-builds: $1 is not a commit" >&2; exit 2; }
  local src=$OUT/src-$sha build=$OUT/build-$sha
  if [ ! -f "$build/compare-built" ]; then
    git -C "$ROOT" worktree remove --force "$src" >/dev/null 2>&1 || true
    rm -rf "$src" "$build"
    WORKTREES+=("$src")
    git -C "$ROOT" worktree add --detach --quiet "$src" "$sha"
    echo "building tavrin of $1 (${sha:0:12})..." >&2
    cmake_build "$src" "$build" tavrin -DTAVRIN_BUILD_TESTS=OFF
    git -C "$ROOT" worktree remove --force "$src"
    touch "$build/compare-built"
  fi
  PROGRAM=$(built_program "$build" tavrin)
}

# source_hashes FOLDER: the sha256 of every source and CMake file of a tree, build folders left out.
source_hashes() {
  (cd "$1" && find . \( -path './build*' -o -path ./.git \) -prune -o -type f \
     \( -name '*.cpp' -o -name '*.h' -o -name '*.hpp' -o -name CMakeLists.txt -o -name '*.cmake' \) \
     -print0 | xargs -0 -r sha256sum) | sort
}

# build_tree FOLDER: the tavrin of a source tree as it is on disk, built incrementally. Sets PROGRAM.
# Make trusts modification times, so a file whose content changed since the last build without
# becoming newer than it (a tree copied with its old times) makes the build start from scratch.
build_tree() {
  local src build stale
  src=$(cd "$1" && pwd)
  build=$OUT/tree-$(printf '%s' "$src" | cksum | cut -d' ' -f1)
  source_hashes "$src" >"$build.sources.new"
  if [ -f "$build.sources" ]; then
    stale=$(comm -13 "$build.sources" "$build.sources.new" | cut -c67- |
            (cd "$src" && while IFS= read -r f; do [ "$f" -nt "$build.sources" ] || echo "$f"; done))
    if [ -n "$stale" ]; then
      echo "sources of $src changed without newer times: building it from scratch" >&2
      rm -rf "$build"
    fi
  else
    rm -rf "$build"  # a build of unknown sources
  fi
  echo "building tavrin of $src..." >&2
  cmake_build "$src" "$build" tavrin -DTAVRIN_BUILD_TESTS=OFF
  mv "$build.sources.new" "$build.sources"
  PROGRAM=$(built_program "$build" tavrin)
}

describe_tree() {
  local head
  if ! head=$(git -C "$1" rev-parse --short HEAD 2>/dev/null); then
    echo "$1 (not a git checkout)"
  elif [ -n "$(git -C "$1" status --porcelain --untracked-files=no)" ]; then
    echo "$1 at $head, with uncommitted changes"
  else
    echo "$1 at $head"
  fi
}

build_commit "$OLD_REV"
OLD_PROGRAM=$PROGRAM
OLD_LABEL="$OLD_REV ($(git -C "$ROOT" rev-parse --short "$OLD_REV^{commit}"))"
if [ -z "$NEW_ARG" ]; then
  build_tree "$ROOT"
  NEW_LABEL="working tree $(describe_tree "$ROOT")"
elif [ -d "$NEW_ARG" ]; then
  build_tree "$NEW_ARG"
  NEW_LABEL="source tree $(describe_tree "$(cd "$NEW_ARG" && pwd)")"
else
  build_commit "$NEW_ARG"
  NEW_LABEL="$NEW_ARG ($(git -C "$ROOT" rev-parse --short "$NEW_ARG^{commit}"))"
fi
NEW_PROGRAM=$PROGRAM

echo "building the file generator of this working tree..." >&2
cmake_build "$ROOT" "$OUT/tools" tavrin-generate-s98-set -DTAVRIN_BUILD_TESTS=ON
GENERATOR=$(built_program "$OUT/tools" tavrin-generate-s98-set)
BUILT=$(date +%s)

# The inputs: the generated files and links to the corpus files, in one folder.
INPUTS=$OUT/inputs
rm -rf "$INPUTS" "$OUT/run"
"$GENERATOR" "$INPUTS" "$COUNT" "$SEED" >/dev/null
if [ -d "$CORPUS" ]; then
  CORPUS=$(cd "$CORPUS" && pwd)
  CORPUS_FILES=$(find "$CORPUS" -maxdepth 1 -type f -name '*.s98' | wc -l)
  find "$CORPUS" -maxdepth 1 -type f -name '*.s98' -exec ln -s -t "$INPUTS" {} +
  CORPUS_NOTE="$CORPUS_FILES corpus files"
else
  CORPUS_NOTE="no corpus ($CORPUS is absent: skipped)"
fi
if [ -d "$VGM_CORPUS" ]; then
  VGM_CORPUS=$(cd "$VGM_CORPUS" && pwd)
  VGM_FILES=$(find "$VGM_CORPUS" -maxdepth 1 -type f \( -name '*.vgm' -o -name '*.vgz' \) | wc -l)
  find "$VGM_CORPUS" -maxdepth 1 -type f \( -name '*.vgm' -o -name '*.vgz' \) -exec ln -s -t "$INPUTS" {} +
  CORPUS_NOTE+=", $VGM_FILES VGM corpus files"
else
  CORPUS_NOTE+=", no VGM corpus ($VGM_CORPUS is absent: skipped)"
fi
mapfile -t NAMES < <(cd "$INPUTS" && ls -1)
[ "${#NAMES[@]}" -gt 0 ] || { echo "compare-builds: no input files" >&2; exit 2; }
declare -A INPUT_NAME  # input name by key, the name without its extension
for name in "${NAMES[@]}"; do INPUT_NAME[${name%.*}]=$name; done

# Option sets; WHEN values fall inside most generated files (their waits are mostly short).
SETS=(
  "-v"
  ""
  "--notes"
  "--stats"
  "--tags"
  "--json"
  "--json -v --stats --tags"
  "--check"
  "--from 10t --to 120t"
  "--from 0.05 --to 0:01.5"
  "--from 0x80 --to 0x400"
  "--device 0"
  "-v --notes --stats --from 20t"
  "-f"
  "-f -v --tags --stats"
  "--json --notes --device 1,2 --to 60t"
  "--json --stats --voices --state-at 0.5 --state-at loop"
)

echo "old: $OLD_LABEL"
echo "new: $NEW_LABEL"
echo "files: $COUNT generated (seed $SEED) with their VGM twins, and $CORPUS_NOTE"

# Reports land beside their input, so each build converts its own copy of the inputs (the corpus
# files stay links). Links are slow to make and remove here: the copies are made once per run, and
# only the outputs of each option set are removed (or kept, when the set differed).
RUN=$OUT/run
mkdir -p "$RUN/old" "$RUN/new"
cp -R "$INPUTS" "$RUN/old/files"
cp -R "$INPUTS" "$RUN/new/files"
printf '%s\n' "${NAMES[@]}" >"$RUN/inputs.list"

# run_set PROGRAM BASE OPTIONS...: converts every input in the scratch folder beside BASE, leaving
# BASE.out, BASE.err, BASE.rc and BASE.outputs (the names of the files it wrote).
run_set() {
  local program=$1 base=$2 files
  shift 2
  files=$(dirname "$base")/files
  local rc=0
  (cd "$files" && "$program" -j "$JOBS" "$@" "${NAMES[@]}") >"$base.out" 2>"$base.err" || rc=$?
  echo "$rc" >"$base.rc"
  (cd "$files" && ls -1) | comm -23 - "$RUN/inputs.list" >"$base.outputs"
}

# hash_rows: sha256sum's "HASH  NAME" lines as manifest rows.
hash_rows() {
  awk '{ name = substr($0, 67); key = name; sub(/\.[^.]*$/, "", key); print key "\t" name "\t" $1 }'
}

# manifest BASE CHECK: one row "KEY<TAB>WHAT<TAB>VALUE" per log outcome and per output file (its
# sha256), KEY being the input's name without its extension. With CHECK, the listing on standard
# output is cut into one piece per file first (its lines start with "NAME: ").
manifest() {
  local base=$1 check=$2 files
  files=$(dirname "$base")/files
  if [ "$check" = 1 ]; then
    mkdir -p "$base.pieces"
    awk -v dir="$base.pieces" '
      NR == FNR { names[++n] = $0; next }
      {
        while (i <= n && substr($0, 1, length(names[i]) + 2) != names[i] ": ") i++
        key = i <= n ? names[i] : "(unattributed lines)"
        sub(/\.[^.]*$/, "", key)
        file = dir "/" key ".check"
        print >> file
        close(file)
      }' i=1 "$RUN/inputs.list" "$base.out"
    (cd "$base.pieces" && find . -maxdepth 1 -type f -printf '%f\0' | xargs -0 -r sha256sum) | hash_rows
  else
    awk 'NR % 2 == 1 { name = $0; next }
         { key = name; sub(/\.[^.]*$/, "", key); print key "\tlog\t" $0 }' "$base.out"
  fi
  (cd "$files" && xargs -r -d '\n' sha256sum <"$base.outputs") | hash_rows
}

# settle BASE KEEP: removes the outputs of an option set, or moves them into the folder BASE.
settle() {
  local base=$1 keep=$2 files
  files=$(dirname "$base")/files
  if [ "$keep" = 1 ]; then
    mkdir -p "$base"
    (cd "$files" && xargs -r -d '\n' mv -t "$base" <"$base.outputs")
  else
    (cd "$files" && xargs -r -d '\n' rm -f <"$base.outputs")
    rm -rf "$base.pieces"
  fi
}

PASSED=0
FAILED=0
KEPT=()
index=0
for set in "${SETS[@]}"; do
  index=$((index + 1))
  read -ra options <<<"$set"
  slug=$(printf '%02d%s' "$index" "$(printf '%s' "${set:- plain}" | tr -cs 'A-Za-z0-9.,' '_')")
  old=$RUN/old/$slug
  new=$RUN/new/$slug
  run_set "$OLD_PROGRAM" "$old" "${options[@]+"${options[@]}"}"
  run_set "$NEW_PROGRAM" "$new" "${options[@]+"${options[@]}"}"
  check=0
  [[ " $set " == *" --check "* ]] && check=1
  manifest "$old" "$check" | sort >"$old.manifest"
  manifest "$new" "$check" | sort >"$new.manifest"

  # Files whose outcome or output differs, named by their input.
  mapfile -t differ < <(comm -3 "$old.manifest" "$new.manifest" | sed 's/^\t//' | cut -f1 | sort -u)
  notes=""
  old_rc=$(cat "$old.rc")
  new_rc=$(cat "$new.rc")
  [ "$old_rc" = "$new_rc" ] || notes+="; exit status $old_rc vs $new_rc"
  cmp -s "$old.out" "$new.out" || notes+="; standard output differs"
  cmp -s "$old.err" "$new.err" || notes+="; standard error differs"
  # Both refusing the options, both crashing, or neither converting anything would compare nothing.
  for rc in "$old_rc" "$new_rc"; do
    case $rc in
      0 | 1) ;;
      2) notes+="; usage error: $(cat "$old.err" "$new.err" | grep . | head -n 1)" ;;
      *) notes+="; exit status $rc: the program crashed or was killed" ;;
    esac
  done
  if [ "$check" = 1 ]; then
    produced="$(wc -l <"$old.out") findings"
  else
    produced="$(grep -cx -- '-> ok' "$old.out" || true) converted"
    [ "$(grep -c . "$old.manifest" | tr -d ' ')" -gt "${#NAMES[@]}" ] || notes+="; no output at all"
  fi

  # Keys are input names without their extension; an output no input accounts for is listed as is.
  shown_names=()
  identical=${#NAMES[@]}
  for key in "${differ[@]+"${differ[@]}"}"; do
    if [ -n "${INPUT_NAME[$key]:-}" ]; then
      identical=$((identical - 1))
      shown_names+=("${INPUT_NAME[$key]}")
    else
      shown_names+=("$key (no such input)")
    fi
  done
  label=$(printf '%-36s' "${set:-(plain)}")
  if [ "${#differ[@]}" -eq 0 ] && [ -z "$notes" ]; then
    PASSED=$((PASSED + 1))
    echo "PASS $label ${#NAMES[@]} files, $identical identical ($produced)"
    settle "$old" 0
    settle "$new" 0
  else
    FAILED=$((FAILED + 1))
    shown=""
    for name in "${shown_names[@]:0:3}"; do shown+=" $name"; done
    [ "${#differ[@]}" -le 3 ] || shown+=" (+$(( ${#differ[@]} - 3 )) more)"
    echo "FAIL $label ${#NAMES[@]} files, $identical identical, ${#differ[@]} differ${shown:+:$shown}$notes"
    KEPT+=("$slug")
    settle "$old" 1
    settle "$new" 1
  fi
done

END=$(date +%s)
if [ "${#KEPT[@]}" -gt 0 ]; then
  echo "outputs of the failing sets: $RUN/old/SET and $RUN/new/SET for SET in ${KEPT[*]}"
  echo "  (SET.out, SET.err and SET.rc beside them hold each run's log, errors and exit status)"
fi
echo "time: $((END - START)) s, of which building $((BUILT - START)) s"
echo "$PASSED passed, $FAILED failed"
if [ "$FAILED" -ne 0 ]; then exit 1; fi
