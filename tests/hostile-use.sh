#!/usr/bin/env bash
# Tavrin used against its will, end to end with the built programs in a scratch folder: one line per case.
#   tests/hostile-use.sh --bin BUILD/bin [--shim libtavrin_no_tmpfile.so] [--sanitized]
set -u

bin="" shim="" sanitized=0
while (($#)); do
  case "$1" in
    --bin) bin="$2"; shift 2 ;;
    --shim) shim="$2"; shift 2 ;;
    --sanitized) sanitized=1; shift ;;
    *) echo "usage: $0 --bin BUILD/bin [--shim LIB] [--sanitized]" >&2; exit 2 ;;
  esac
done
[ -x "$bin/tavrin" ] || { echo "no tavrin in '$bin'" >&2; exit 2; }
bin="$(cd "$bin" && pwd)"
[ -z "$shim" ] || shim="$(realpath "$shim")"
tavrin="$bin/tavrin"
sample="$bin/tavrin-make-sample"
gui="$bin/tavrin-gui"
closer="$bin/tavrin-close-window"

scratch="$(mktemp -d "${TMPDIR:-/tmp}/tavrin-hostile.XXXXXX")"
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
  rm -rf "$scratch"
}
trap cleanup EXIT
cd "$scratch" || exit 2
chmod 755 "$scratch"

failed=0
# case ITEM NAME OK SEEN: prints one line; OK is 0 for a pass.
case_line() {
  local item="$1" name="$2" ok="$3" seen="$4" verdict=PASS
  if [ "$ok" != 0 ]; then
    verdict=FAIL
    failed=$((failed + 1))
  fi
  printf '%s  item %2s  %s: %s\n' "$verdict" "$item" "$name" "$seen"
}
skip_line() { printf 'SKIP  item %2s  %s: %s\n' "$1" "$2" "$3"; }
# One line of what a command printed, control characters shown, for the report of a case.
shown() { printf '%s' "$1" | head -c 300 | cat -v | tr '\n' '|'; }

le32() { printf '\\x%02x\\x%02x\\x%02x\\x%02x' $(($1 & 255)) $((($1 >> 8) & 255)) $((($1 >> 16) & 255)) $((($1 >> 24) & 255)); }
# head VERSION TAG DATA LOOP: a 32-byte head with the default timer and one OPNA device record.
head32() {
  printf "S98$1$(le32 0)$(le32 0)$(le32 0)$(le32 "$2")$(le32 "$3")$(le32 "$4")$(le32 1)"
  printf "$(le32 4)$(le32 7987200)$(le32 3)$(le32 0)"
}
"$sample" song.s98 || exit 2
as_user=""
if [ "$(id -u)" = 0 ] && command -v setpriv >/dev/null; then
  as_user="setpriv --reuid=nobody --regid=nogroup --clear-groups"
fi
asan_preload="${ASAN_OPTIONS:-}:verify_asan_link_order=0"
has_gui() { [ -x "$gui" ]; }
offscreen() { QT_QPA_PLATFORM=offscreen "$@"; }
# wait_for SECONDS COMMAND...: true once the command succeeds, false after the time.
wait_for() {
  local tenths=$(($1 * 10)); shift
  while ((tenths-- > 0)); do "$@" && return 0; sleep 0.1; done
  return 1
}
starts_with_head() { [ "$(head -c 19 "$1" 2>/dev/null)" = "[ S98 Information ]" ]; }

# ---- 1. -o /dev/stdout and its kin write through the open stream, never rename over its file.
for target in /dev/stdout /dev/fd/1 /proc/self/fd/1; do
  echo "earlier log line" > mylog.txt
  before="$(stat -c %i mylog.txt)"
  "$tavrin" -o "$target" song.s98 >> mylog.txt 2>err.txt
  status=$?
  ok=1
  [ $status = 0 ] && [ "$(stat -c %i mylog.txt)" = "$before" ] && [ "$(head -1 mylog.txt)" = "earlier log line" ] &&
    grep -q "S98 Information" mylog.txt && ok=0
  case_line 1 "-o $target >> mylog.txt" $ok "exit $status, log now $(wc -c < mylog.txt) bytes starting '$(head -1 mylog.txt)'"
done
echo "earlier log line" > mylog.txt
"$tavrin" -o /dev/stderr song.s98 2>> mylog.txt >out.txt
ok=1; [ "$(head -1 mylog.txt)" = "earlier log line" ] && grep -q "S98 Information" mylog.txt && ok=0
case_line 1 "-o /dev/stderr 2>> mylog.txt" $ok "log starts '$(head -1 mylog.txt)', stdout '$(shown "$(cat out.txt)")'"

# ---- 2. Closed standard streams: no report takes their descriptors; a lost log is not success.
mkdir closed && for i in $(seq 1 300); do cp song.s98 "closed/t$i.s98"; done
(cd closed && "$tavrin" -j 2 t*.s98 <&- >&-)
status=$?
spoilt=0
for report in closed/*.txt; do starts_with_head "$report" || spoilt=$((spoilt + 1)); done
case_line 2 "-j 2 on 300 files, stdin and stdout closed" $(( status != 0 || spoilt != 0 )) \
  "exit $status, $spoilt reports not starting with their header"
"$tavrin" song.s98 > /dev/full 2>err.txt
status=$?
case_line 2 "log to /dev/full" $(( status == 0 )) "exit $status, '$(shown "$(cat err.txt)")'"

# ---- 3. Inputs of one batch that map to one report.
mkdir batch && cp song.s98 batch/a.s98 && cp song.s98 batch/a.xyz && cp song.s98 batch/a.S98
log="$(cd batch && "$tavrin" -j 2 a.s98 a.xyz a.S98)"
expected="a.s98|-> ok|a.xyz|-> Report clashes with another file of this batch.|a.S98|-> Report clashes with another file of this batch.|3 files: 1 ok, 2 failed"
case_line 3 "-j 2 a.s98 a.xyz a.S98" $([ "$(shown "$log")" = "$expected" ]; echo $?) "$(shown "$log")"
rm -f batch/a.txt && cp song.s98 batch/a.txt
log="$(cd batch && "$tavrin" a.s98 a.txt)"
case_line 3 "a.s98 a.txt where a.txt is an S98 file" $(cmp -s song.s98 batch/a.txt; echo $?) \
  "a.txt $(cmp -s song.s98 batch/a.txt && echo intact || echo overwritten), log $(shown "$log")"

# ---- 4. A 0xFE count of 2^30 bytes: peak memory stays under 16 MB for every option. The input is
# streamed through a pipe; address space is capped at 1 GiB so the machine is never at risk.
if ((sanitized)); then
  skip_line 4 "0xFE count of 2^30 bytes" "memory figures of a sanitized build mean nothing"
elif [ ! -x /usr/bin/time ]; then
  skip_line 4 "0xFE count of 2^30 bytes" "/usr/bin/time is missing (apt-get install time)"
else
  for options in "" "-v" "--json" "--check"; do
    (
      ulimit -v 1048576
      { head32 3 0 0x30 0; printf '\xfe'; head -c 1073741824 /dev/zero | tr '\0' '\200'; printf '\x00\xfd'; } |
        /usr/bin/time -f %M -o rss.txt "$tavrin" $options -o /dev/null /dev/stdin > fe.log 2>&1
    )
    status=$?
    rss="$(tail -1 rss.txt 2>/dev/null)"
    # --check exits 1 for its findings (a wait count this long is one).
    ok=1; [ "${rss:-999999999}" -lt 16384 ] 2>/dev/null &&
      { [ $status = 0 ] || { [ "$options" = --check ] && [ $status = 1 ]; }; } && ok=0
    case_line 4 "0xFE count of 2^30 bytes ${options:-plain}" $ok "exit $status, peak ${rss:-?} KB"
  done
fi

# ---- 5. Long names: a temporary name that always fits; a report name that cannot exist says so.
for length in 248 255; do
  name="$(printf 'n%.0s' $(seq 1 $((length - 4)))).s98"
  cp song.s98 "$name"
  log="$("$tavrin" "$name" | tail -1)"
  case_line 5 "name of $length bytes" $([ "$log" = "-> ok" ]; echo $?) "$log"
  rm -f "$name" "${name%.s98}.txt"
done
name="$(printf 'j%.0s' $(seq 1 245)).s98"
cp song.s98 "$name"; log="$("$tavrin" --json "$name" | tail -1)"; rm -f "$name" "${name%.s98}.jsonl"
case_line 5 "--json, name of 249 bytes" $([ "$log" = "-> ok" ]; echo $?) "$log"
name="$(printf 'e%.0s' $(seq 1 253))"
cp song.s98 "$name"; log="$("$tavrin" "$name" | tail -1)"; rm -f "$name"
case_line 5 "no extension, 253 bytes" $([ "$log" = "-> File open error(out)." ]; echo $?) "$log"

# ---- 6. A fifo with nobody at the other end gets a status at once, from the program and the window.
mkdir fifo && cp song.s98 fifo/f.s98 && cp song.s98 fifo/after.s98 && mkfifo fifo/f.txt fifo/p.s98
log="$(cd fifo && timeout 30 "$tavrin" f.s98)"; status=$?
case_line 6 "report path is a fifo" $([ $status = 1 ] && [ "$(shown "$log")" = "f.s98|-> File open error(out)." ]; echo $?) \
  "exit $status, $(shown "$log")"
log="$(cd fifo && timeout 30 "$tavrin" p.s98)"; status=$?
case_line 6 "input is a fifo" $([ $status = 1 ] && [ "$(shown "$log")" = "p.s98|-> File open error." ]; echo $?) \
  "exit $status, $(shown "$log")"
if has_gui; then
  (cd fifo && exec env QT_QPA_PLATFORM=offscreen "$gui" p.s98 after.s98 >/dev/null 2>&1) & pids+=($!)
  wait_for 30 starts_with_head fifo/after.txt
  case_line 6 "tavrin-gui p.s98 after.s98" $? "$( [ -f fifo/after.txt ] && echo "after.txt written" || echo "after.txt missing")"
  kill "${pids[-1]}" 2>/dev/null
else
  skip_line 6 "tavrin-gui p.s98 after.s98" "tavrin-gui was not built"
fi

# ---- 7. Closing the window ends the batch after the file in hand, and the process exits. The close
# request is repeated until the process ends, as a user would click again on a busy machine.
if has_gui && [ -x "$closer" ] && command -v Xvfb >/dev/null && command -v xdotool >/dev/null; then
  mkdir close
  for i in $(seq 1 20); do
    { head32 3 0 0x30 0; head -c 1500000 /dev/zero | tr '\0' '\377'; printf '\xfd'; } > "close/s$i.s98"
  done
  # The second file is a pipe whose writer is there but sends its song only after a few seconds, so the
  # close request always arrives while a file is in hand, however fast the machine converts.
  rm close/s2.s98 && mkfifo close/s2.s98
  (exec 3> close/s2.s98; sleep 4; cat song.s98 >&3) & pids+=($!)
  Xvfb -displayfd 1 -nolisten tcp -screen 0 800x600x24 > display.txt 2>/dev/null & pids+=($!)
  wait_for 20 test -s display.txt
  export DISPLAY=":$(head -1 display.txt)"
  (cd close && exec env QT_QPA_PLATFORM=xcb "$gui" s*.s98 >/dev/null 2>&1) & gui_pid=$!
  window="$(wait_for 60 xdotool search --onlyvisible --name '^Tavrin_GUI 20110108$' >/dev/null &&
            xdotool search --onlyvisible --name '^Tavrin_GUI 20110108$' | head -1)"
  wait_for 60 starts_with_head close/s1.txt
  gui_ended() { ! kill -0 "$gui_pid" 2>/dev/null; }
  close_and_check() { "$closer" "$window" 2>/dev/null; sleep 0.4; gui_ended; }
  exited=1; wait_for 60 close_and_check && exited=0
  kill "$gui_pid" 2>/dev/null
  reports=$(ls close/*.txt 2>/dev/null | wc -l)
  case_line 7 "window closed during a batch of 20" $(( exited != 0 || reports >= 20 )) \
    "$( ((exited)) && echo "still running" || echo "exited"), $reports of 20 reports written, window '${window:-not found}'"
  unset DISPLAY
  rm -rf close
else
  skip_line 7 "window closed during a batch of 20" "needs tavrin-gui, tavrin-close-window, Xvfb and xdotool"
fi

# ---- 8. A name that is not UTF-8 converts in the window too.
cp song.s98 "$(printf 'bad\377.s98')"
if has_gui; then
  offscreen "$gui" "$(printf 'bad\377.s98')" >/dev/null 2>&1 & pids+=($!)
  wait_for 30 starts_with_head "$(printf 'bad\377.txt')"
  case_line 8 "tavrin-gui bad\\xff.s98" $? "$( [ -f "$(printf 'bad\377.txt')" ] && echo "report written" || echo "no report")"
  kill "${pids[-1]}" 2>/dev/null
else
  skip_line 8 "tavrin-gui bad\\xff.s98" "tavrin-gui was not built"
fi

# ---- 9. Without O_TMPFILE, a run killed by SIGTERM, SIGINT or SIGHUP removes its hidden report.
{ head32 3 0 0x30 0; head -c 8000000 /dev/zero | tr '\0' '\377'; printf '\xfd'; } > kill.s98
hidden_report() { ls -A | grep -q '^\.kill\.txt\.'; }
if [ -n "$shim" ] && [ -f "$shim" ]; then
  for signal in TERM INT HUP; do
    echo "earlier report" > kill.txt
    # A background job of a script starts with SIGINT ignored; a user's program would not.
    LD_PRELOAD="$shim" TAVRIN_SLOW_WRITES=1 ASAN_OPTIONS="$asan_preload" env --default-signal=INT "$tavrin" -v kill.s98 >/dev/null & pid=$!
    wait_for 30 hidden_report
    kill -s "$signal" "$pid"; wait "$pid" 2>/dev/null
    left="$(ls -A | grep '^\.kill\.txt\.' | tr '\n' ' ')"
    case_line 9 "tavrin killed by SIG$signal" $([ -z "$left" ] && [ "$(cat kill.txt)" = "earlier report" ]; echo $?) \
      "hidden files left: ${left:-none}, kill.txt $( [ "$(cat kill.txt)" = "earlier report" ] && echo kept || echo changed)"
    rm -f .kill.txt.*
  done
  if has_gui; then
    echo "earlier report" > kill.txt
    LD_PRELOAD="$shim" TAVRIN_SLOW_WRITES=1 ASAN_OPTIONS="$asan_preload" QT_QPA_PLATFORM=offscreen "$gui" kill.s98 >/dev/null 2>&1 & pid=$!
    wait_for 30 hidden_report
    kill -TERM "$pid"; wait "$pid" 2>/dev/null
    left="$(ls -A | grep '^\.kill\.txt\.' | tr '\n' ' ')"
    case_line 9 "tavrin-gui killed by SIGTERM" $([ -z "$left" ]; echo $?) "hidden files left: ${left:-none}"
    rm -f .kill.txt.*
  fi
else
  skip_line 9 "killed without O_TMPFILE" "no O_TMPFILE shim given (--shim)"
fi

# ---- 10. Piped input answers as the same file on disk, or says the option needs a seekable input.
tag_offset=$((0x30 + 70001))
{ head32 3 "$tag_offset" 0x30 0; head -c 70000 /dev/zero | tr '\0' '\377'; printf '\xfd[S98]title=after the dump\n\0'; } > tagged.s98
{ head32 3 0 0x30 0; printf '\xff\x00\x28'; } > cutwrite.s98
{ head32 3 0x30 0x50 0; printf '[S98]title=before\n\0'; head -c $((0x50 - 0x30 - 19)) /dev/zero; printf '\xff\xfd'; } > tagfirst.s98
same_as_disk() {  # OPTIONS FILE: the piped answer equals the answer for the file, or names the need to seek
  local file="$2"
  "$tavrin" $1 -o disk.out "$file" > disk.log 2>&1; local disk=$?
  "$tavrin" $1 -o pipe.out /dev/stdin < <(cat "$file") > pipe.log 2>&1; local pipe=$?
  sed -i "s|/dev/stdin|$file|; s|stdin|$file|" pipe.out 2>/dev/null
  if grep -qi "seekable" pipe.log; then return 0; fi
  [ $disk = $pipe ] && cmp -s disk.out pipe.out
}
for spec in "--tags tagged.s98" "--json cutwrite.s98" "--check tagfirst.s98"; do
  same_as_disk "${spec% *}" "${spec#* }"
  case_line 10 "piped $spec" $? "exit on disk/piped: $(tail -1 disk.log | cat -v) / $(tail -1 pipe.log | cat -v)"
done

# ---- 11. An input over 2 GiB (sparse): the answers say plainly that S98 offsets cannot address it.
{ head32 3 0 0x7fffff00 0; } > huge.s98 && truncate -s $((0x80001000)) huge.s98
"$tavrin" --stats -o huge.txt huge.s98 > huge.log 2>&1
stream_end="$(grep -a 'Stream End' huge.txt 2>/dev/null)"
case_line 11 "--stats on a 2 GiB + 4 KiB file" \
  $( ! grep -q "tag offset" <<<"$stream_end" && grep -aqi "longer than" huge.txt huge.log; echo $?) "${stream_end:-no Stream End line}"
"$tavrin" --check huge.s98 > huge.check 2>&1
case_line 11 "--check on a 2 GiB + 4 KiB file" $(grep -qi "longer than" huge.check; echo $?) "$(shown "$(cat huge.check)")"
rm -f huge.s98

# ---- 12. Protected reports, dangling links, renames refused by the folder.
mkdir -p protect && chmod 777 protect && cp song.s98 protect/s.s98 && chmod 644 protect/s.s98
if [ -n "$as_user" ] || [ "$(id -u)" != 0 ]; then
  echo protected > protect/s.txt && chmod 444 protect/s.txt
  [ "$(id -u)" = 0 ] && chown nobody protect/s.txt
  log="$(cd protect && $as_user "$tavrin" s.s98 | tail -1)"
  case_line 12 "report of mode 0444" $([ "$log" = "-> File open error(out)." ] && [ "$(cat protect/s.txt)" = protected ]; echo $?) \
    "$log, s.txt $( [ "$(cat protect/s.txt)" = protected ] && echo kept || echo replaced)"
else
  skip_line 12 "report of mode 0444" "root without setpriv"
fi
ln -s missing.txt protect/d.txt && cp song.s98 protect/d.s98
log="$(cd protect && "$tavrin" d.s98 | tail -1)"
case_line 12 "dangling link at the report path" $([ -L protect/d.txt ] && starts_with_head protect/missing.txt; echo $?) \
  "$log, d.txt $( [ -L protect/d.txt ] && echo "still a link" || echo "replaced by a file")"
if [ -n "$as_user" ]; then
  mkdir sticky && chmod 1777 sticky && cp song.s98 sticky/s.s98 && chmod 644 sticky/s.s98
  echo "root's report" > sticky/s.txt && chmod 666 sticky/s.txt
  log="$(cd sticky && $as_user "$tavrin" s.s98 | tail -1)"
  case_line 12 "rename refused in a sticky folder" $([[ "$log" == *"not put in place: Operation not permitted."* ]]; echo $?) "$log"
  case_line 13 "a failed rename says why" $([[ "$log" == *"Operation not permitted"* ]]; echo $?) "$log"
fi

# ---- 13. Control characters in names, -o "", names starting with '-', tavrin-make-sample --help.
cp song.s98 "$(printf 'a\nb\033[31m.s98')"
log="$("$tavrin" "$(printf 'a\nb\033[31m.s98')")"
case_line 13 "newline and ESC in a name, log" $([ "$(shown "$log")" = 'a\nb\x1b[31m.s98|-> ok' ]; echo $?) "$(shown "$log")"
printf 'S98' > "$(printf 'c\rd\033[2J.s98')"
log="$("$tavrin" --check "$(printf 'c\rd\033[2J.s98')")"
case_line 13 "CR and ESC in a name, --check" $([ "$(shown "$log")" = 'c\rd\x1b[2J.s98: File read error.' ]; echo $?) "$(shown "$log")"
"$tavrin" -o "" song.s98 > out.txt 2>err.txt; status=$?
case_line 13 "-o \"\"" $([ $status = 2 ]; echo $?) "exit $status, $(shown "$(cat err.txt)")"
cp song.s98 ./-x.s98
"$tavrin" -x.s98 > out.txt 2>err.txt; status=$?
case_line 13 "tavrin -x.s98" $([ $status = 2 ] && grep -q -- "./-x.s98" err.txt; echo $?) "exit $status, $(shown "$(tail -1 err.txt)")"
"$sample" --help > out.txt 2>&1; status=$?
case_line 13 "tavrin-make-sample --help" $([ $status = 0 ] && [ ! -e ./--help ]; echo $?) \
  "exit $status, $( [ -e ./--help ] && echo "a file --help was created" || echo "no file created")"

echo "hostile use: $failed failed"
((failed == 0))
