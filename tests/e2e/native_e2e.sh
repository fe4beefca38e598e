#!/usr/bin/env bash
# End-to-end tests of the native program: the real executable, started as a host would start
# it, against the forecast-site emulator inside a private network namespace.
#
#   native_e2e.sh SCENARIO [argument]
# Environment: QELO_EMULATOR, QELO_PROGRAM (qeloweather), QELO_SHORT_WATCHDOG_PROGRAM and
# QELO_SHORT_WATCHDOG_MS (the test variant whose watchdog fires after that many milliseconds).
set -euo pipefail
source "$(dirname "$0")/e2e_lib.sh"

: "${QELO_EMULATOR:?}" "${QELO_PROGRAM:?}"
scenario=$1
make_work_dir
# Where the program is installed; its forecast file lands beside it.
app_dir="$work/app"
# Well before the watchdog: a complete run over loopback takes milliseconds.
readonly kPromptExitMs=5000

# A complete run: the exact 17 keys that the emulator says it served, one GET with the fixed
# head, no report on stderr, and the end right after the file is written.
complete_run() {
  local city=$1 mode=${2:-normal}
  local program
  program=$(install_program "$QELO_PROGRAM" "$app_dir")
  local expected
  expected=$("$QELO_EMULATOR" --mode "$mode" --print-expected "$city")
  run_timed 60 --mode "$mode" --request-log "$work/requests" -- "$program" "$city"
  [ "$run_status" = 0 ] || fail "exit code $run_status for $city ($mode)"
  [ ! -s "$work/stderr" ] || fail "the program reported: $(cat "$work/stderr")"
  [ ! -s "$work/stdout" ] || fail "the program printed: $(cat "$work/stdout")"
  [ "$run_ms" -lt $kPromptExitMs ] || fail "the run took $run_ms ms; it must end once the file is closed"
  check_forecast_file "$app_dir/qeloweather.ini" "$expected"
  check_one_request_for "$work/requests" "$(city_code "$city")"
  echo "ok: $city ($mode) in $run_ms ms"
}

# A run that ends at once without touching the network or the file.
no_run() {
  local program
  program=$(install_program "$QELO_PROGRAM" "$app_dir")
  plant_old_file "$app_dir/qeloweather.ini"
  run_timed 30 --request-log "$work/requests" -- "$program" "$@"
  [ "$run_status" = 0 ] || fail "exit code $run_status"
  [ ! -s "$work/stderr" ] || fail "the program reported: $(cat "$work/stderr")"
  [ "$run_ms" -lt $kPromptExitMs ] || fail "the program took $run_ms ms to end"
  check_no_request "$work/requests"
  check_file_untouched "$app_dir/qeloweather.ini"
  # And with no file at all, none appears.
  rm -f "$app_dir/qeloweather.ini"
  run_timed 30 -- "$program" "$@"
  [ ! -e "$app_dir/qeloweather.ini" ] || fail "a forecast file appeared"
  echo "ok: ended at once in $run_ms ms, nothing fetched or written"
}

# A failed fetch: the report on stderr, the file untouched, and the end when the (short)
# watchdog fires, not earlier and not much later.
failed_fetch() {
  local report=$1
  shift
  : "${QELO_SHORT_WATCHDOG_PROGRAM:?}" "${QELO_SHORT_WATCHDOG_MS:?}"
  local program title
  program=$(install_program "$QELO_SHORT_WATCHDOG_PROGRAM" "$app_dir")
  title=$(basename "$program")
  title=${title%%.*}
  plant_old_file "$app_dir/qeloweather.ini"
  run_timed 60 "$@" -- "$program" 福州
  [ "$run_status" = 0 ] || fail "exit code $run_status"
  local want
  want=$(printf '%s: %s\n' "$title" "$report")
  if [ "$(cat "$work/stderr")" != "$want" ]; then
    echo "expected: $(printf '%s' "$want" | od -c | head -5)" >&2
    echo "reported: $(od -c <"$work/stderr" | head -5)" >&2
    fail "wrong failure report"
  fi
  [ "$run_ms" -ge $((QELO_SHORT_WATCHDOG_MS - 100)) ] ||
    fail "ended after $run_ms ms, before the watchdog's $QELO_SHORT_WATCHDOG_MS ms"
  [ "$run_ms" -lt $((QELO_SHORT_WATCHDOG_MS + 3000)) ] ||
    fail "ended after $run_ms ms, long after the watchdog's $QELO_SHORT_WATCHDOG_MS ms"
  check_file_untouched "$app_dir/qeloweather.ini"
  echo "ok: reported and ended by the watchdog after $run_ms ms"
}

# Every n-th row of the city table (a name's first row only, as the lookup takes it): one
# emulator, one complete run per city, each file compared with what the emulator served. The
# pages differ per code in line ends, block positions and values.
sweep() {
  local step=$1
  local program
  program=$(install_program "$QELO_PROGRAM" "$app_dir")
  awk -F'\t' -v step="$step" '!seen[$1]++ && (NR - 1) % step == 0 { print $1 }' \
    "$E2E_DIR/../../citydir/cities.tsv" >"$work/cities"
  mkdir -p "$work/files"
  cat >"$work/sweep.sh" <<'SCRIPT'
program=$1 work=$2
while IFS= read -r city; do
  rm -f "${program%/*}/qeloweather.ini"
  timeout -k 5 30 "$program" "$city" 2>>"$work/stderr" || echo "$city: exit code $?" >>"$work/stderr"
  mv "${program%/*}/qeloweather.ini" "$work/files/$city.ini" 2>/dev/null || true
done <"$work/cities"
SCRIPT
  : >"$work/stderr"
  in_netns --lifetime-seconds 600 -- bash "$work/sweep.sh" "$program" "$work" || fail "the sweep did not run"
  [ ! -s "$work/stderr" ] || fail "reports or exit codes: $(head -5 "$work/stderr")"
  local count=0 city
  while IFS= read -r city; do
    check_forecast_file "$work/files/$city.ini" "$("$QELO_EMULATOR" --print-expected "$city")"
    count=$((count + 1))
  done <"$work/cities"
  echo "ok: $count cities, each file as served"
}

case "$scenario" in
  city) complete_run "$2" ;;
  sweep) sweep "${2:-23}" ;;
  blank-directory)
    # Installed where the path has blanks, as under "Program Files".
    app_dir="$work/Program Files/qelo weather"
    complete_run 福州
    ;;
  framing) complete_run 福州 "$2" ;;
  not-utf8)
    # The page is not UTF-8: the text is empty, which is no failure; every key is written.
    complete_run 福州 not-utf8
    grep -q '^今天度数=°C~°C$' <(ini_text "$app_dir/qeloweather.ini") || fail "今天度数 is not °C~°C"
    ;;
  no-today-marker)
    # Today's values come from lines without value markers; tomorrow and the day after as usual.
    complete_run 福州 no-today-marker
    grep -q '^今天度数=°C~°C$' <(ini_text "$app_dir/qeloweather.ini") || fail "今天度数 is not °C~°C"
    ;;
  unknown-city) no_run 福州市 ;;
  empty-argument) no_run "" ;;
  no-argument) no_run ;;
  not-found) failed_fetch "HTTP/1.1 404 Not Found." --mode not-found ;;
  refused) failed_fetch $'Socket Error # 10061\r\nConnection refused.' --no-emulator ;;
  closed-at-once) failed_fetch "Connection Closed Gracefully." --mode close-at-once ;;
  *) fail "unknown scenario $scenario" ;;
esac
