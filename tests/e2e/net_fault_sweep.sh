#!/usr/bin/env bash
# Network faults in the fetch of the real program: strace makes one socket call of the fetch
# (connect, sendto, poll, recvfrom) fail once with ECONNRESET, EINTR or EAGAIN, at each of its
# occurrences in turn, for each framing of the page, served at once and (without --sample)
# trickled. Every run must end with exit code 0, complete with the values served and nothing
# reported, or with one report and the old file untouched: never a half page, never a hang. An
# interrupted call, or one that would block, must not fail the fetch (but EAGAIN from connect, a
# refusal). Prints the runs per framing, pace, call and errno, then each outcome with its count.
#   net_fault_sweep.sh [--sample]
# Environment: QELO_EMULATOR, QELO_SHORT_WATCHDOG_PROGRAM (its watchdog ends a failed run).
set -euo pipefail
source "$(dirname "$0")/e2e_lib.sh"
: "${QELO_EMULATOR:?}" "${QELO_SHORT_WATCHDOG_PROGRAM:?}"
readonly kCalls="connect sendto poll recvfrom" kErrnos="ECONNRESET EINTR EAGAIN"
# A sanitizer build's leak checker cannot work under ptrace; its other checks still do.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"

# One run with `inject` (strace's -e inject=..., or nothing): prints its outcome.
one_run() {
  local program=$1 inject=$2 ini="${1%/*}/qeloweather.ini" status=0
  plant_old_file "$ini"
  timeout -k 5 60 strace -f -qq -o /dev/null ${inject:+-e "inject=$inject"} "$program" 福州 \
    >/dev/null 2>"$work/stderr" || status=$?
  if [ $status != 0 ]; then
    echo "wrong:exit-code-$status"
  elif [ ! -s "$work/stderr" ]; then
    # Complete: the values as served where the old file had its keys, the other section kept
    # (the first key, the update time, is the run's own).
    cmp -s <(ini_text "$ini" | grep -v '^更新时间=' | sort) \
      <(printf '%s\n' "[qelo]" "[other]" keep=1 "$(tail -n +2 "$work/expected")" | sort) &&
      echo complete || echo "wrong:half-page"
  elif [ "$(file_fingerprint "$ini")" != "$(cat "$ini.fingerprint")" ]; then
    echo "wrong:file-changed"
  elif [[ "$(cat "$work/stderr")" != "$program_title: "* ]] || [ -n "$(tail -c 1 "$work/stderr")" ]; then
    echo "wrong:not-one-report"
  else
    local report
    report=$(cat "$work/stderr")
    echo "failed:${report#"$program_title: "}" | tr '\r\n' '/ '
    echo
  fi
}

# Inside the namespace: the runs of one framing and pace, one line each (CALL ERRNO K OUTCOME); a
# clean run counts the call's occurrences first, and the sweep goes one past them.
inside() {
  local program=$1 call errno k count outcome
  for call in $kCalls; do
    strace -f -qq -o "$work/trace" -e trace="$call" "$program" 福州 >/dev/null 2>&1 || true
    count=$(grep -c "$call(" "$work/trace" || true)
    for errno in $kErrnos; do
      for ((k = 1; k <= count + 1; k++)); do
        outcome=$(one_run "$program" "$call:error=$errno:when=$k")
        if [[ $outcome == failed:* && ($errno == EINTR || ($errno == EAGAIN && $call != connect)) ]]; then
          outcome="wrong:waited-${outcome}"
        fi
        echo "$call $errno $k $outcome"
      done
    done
  done
}

if [ "${1:-}" = inside ]; then
  work=$2 program_title=$4
  inside "$3"
  exit
fi

command -v strace >/dev/null || skip "strace is needed to inject faults"
paces=(at-once)
[ "${1:-}" = --sample ] || paces+=(trickled)
make_work_dir
top=$work jobs=()
# Each framing and pace in a namespace and a folder of its own, all at the same time: most of a
# run is the failed run's wait for its watchdog.
for mode in normal until-close chunked; do
  for pace in "${paces[@]}"; do
    work="$top/$mode-$pace" app_dir="$top/$mode-$pace/app"
    mkdir -p "$work"
    install_in_app_dir "$QELO_SHORT_WATCHDOG_PROGRAM"
    "$QELO_EMULATOR" --mode $mode --print-expected 福州 >"$work/expected"
    trickle=()
    [ $pace = at-once ] || trickle=(--trickle 10)
    in_netns --mode $mode "${trickle[@]}" --lifetime-seconds 86400 -- \
      "$0" inside "$work" "$installed" "$program_title" | sed "s/^/$mode $pace /" >"$work/results" &
    jobs+=($!)
  done
done
for job in "${jobs[@]}"; do
  status=0
  wait "$job" || status=$?
  [ $status != $E2E_SKIP ] || skip "no private network namespace on this machine"
  [ $status = 0 ] || fail "a sweep job ended with $status"
done
results="$top/results"
cat "$top"/*/results >"$results"

printf '%-12s %-8s %-9s %-11s %5s %9s %7s %6s\n' framing pace call errno runs complete failed wrong
awk '{ key = $1 " " $2 " " $3 " " $4; runs[key]++; split($6, o, ":"); n[key, o[1]]++ }
  END { for (key in runs) { split(key, f, " ")
          printf "%-12s %-8s %-9s %-11s %5d %9d %7d %6d\n", f[1], f[2], f[3], f[4], runs[key],
            n[key, "complete"], n[key, "failed"], n[key, "wrong"] } }' "$results" | sort
echo "outcomes:"
cut -d' ' -f6- "$results" | sort | uniq -c | sort -rn
if grep -q ' wrong:' "$results"; then
  grep ' wrong:' "$results" | head -20 >&2
  fail "$(grep -c ' wrong:' "$results") runs went wrong"
fi
echo "ok: $(wc -l <"$results") runs, none went wrong"
