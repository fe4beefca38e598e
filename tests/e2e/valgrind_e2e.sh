#!/usr/bin/env bash
# The native program under valgrind memcheck, started as a host would start it, against the
# forecast-site emulator in a private network namespace: no memory error and no definite or
# indirect leak on any path, and the same outcome as without valgrind.
#
#   valgrind_e2e.sh complete|chunked|unknown-city|not-found|refused
# Environment: QELO_VALGRIND, QELO_EMULATOR, QELO_PROGRAM, QELO_SHORT_WATCHDOG_PROGRAM,
# QELO_SHORT_WATCHDOG_MS.
set -euo pipefail
source "$(dirname "$0")/e2e_lib.sh"

: "${QELO_VALGRIND:?}" "${QELO_EMULATOR:?}" "${QELO_PROGRAM:?}"
scenario=$1
make_work_dir

# Valgrind's own exit code 99 tells its findings apart from the program's exit code.
readonly kValgrindFound=99

# under_valgrind LIMIT [runner and emulator options] -- program arguments...
under_valgrind() {
  local limit=$1
  shift
  local options=()
  while [ "$1" != "--" ]; do
    options+=("$1")
    shift
  done
  shift
  run_timed "$limit" "${options[@]}" -- "$QELO_VALGRIND" --quiet --error-exitcode=$kValgrindFound \
    --leak-check=full --errors-for-leak-kinds=definite,indirect --show-leak-kinds=definite,indirect \
    --track-fds=no --log-file="$work/valgrind.log" "$@"
  if [ "$run_status" = $kValgrindFound ] || [ -s "$work/valgrind.log" ]; then
    cat "$work/valgrind.log" >&2
    fail "valgrind found errors or leaks (exit code $run_status)"
  fi
  [ "$run_status" = 0 ] || fail "exit code $run_status"
}

complete() {
  local mode=$1 program expected
  program=$(install_program "$QELO_PROGRAM" "$work/app")
  expected=$("$QELO_EMULATOR" --mode "$mode" --print-expected 福州)
  under_valgrind 240 --mode "$mode" --request-log "$work/requests" -- "$program" 福州
  [ ! -s "$work/stderr" ] || fail "the program reported: $(cat "$work/stderr")"
  check_forecast_file "$work/app/qeloweather.ini" "$expected"
  check_one_request_for "$work/requests" "$(city_code 福州)"
  echo "ok: complete run ($mode) under valgrind in $run_ms ms, clean"
}

unknown_city() {
  local program
  program=$(install_program "$QELO_PROGRAM" "$work/app")
  plant_old_file "$work/app/qeloweather.ini"
  under_valgrind 240 --request-log "$work/requests" -- "$program" 福州市
  [ ! -s "$work/stderr" ] || fail "the program reported: $(cat "$work/stderr")"
  check_no_request "$work/requests"
  check_file_untouched "$work/app/qeloweather.ini"
  echo "ok: unknown city under valgrind in $run_ms ms, clean"
}

# A failed fetch: reported, the file untouched, ended by the short watchdog.
failed_fetch() {
  local report=$1
  shift
  : "${QELO_SHORT_WATCHDOG_PROGRAM:?}" "${QELO_SHORT_WATCHDOG_MS:?}"
  local program title
  program=$(install_program "$QELO_SHORT_WATCHDOG_PROGRAM" "$work/app")
  title=$(basename "$program")
  title=${title%%.*}
  plant_old_file "$work/app/qeloweather.ini"
  under_valgrind 240 "$@" -- "$program" 福州
  [ "$(cat "$work/stderr")" = "$(printf '%s: %s\n' "$title" "$report")" ] ||
    fail "wrong failure report: $(od -c <"$work/stderr" | head -5)"
  [ "$run_ms" -ge $((QELO_SHORT_WATCHDOG_MS - 100)) ] ||
    fail "ended after $run_ms ms, before the watchdog's $QELO_SHORT_WATCHDOG_MS ms"
  check_file_untouched "$work/app/qeloweather.ini"
  echo "ok: failed fetch under valgrind, ended after $run_ms ms, clean"
}

case "$scenario" in
  complete) complete normal ;;
  chunked) complete chunked ;;
  unknown-city) unknown_city ;;
  not-found) failed_fetch "HTTP/1.1 404 Not Found." --mode not-found ;;
  refused) failed_fetch $'Socket Error # 10061\r\nConnection refused.' --no-emulator ;;
  *) fail "unknown scenario $scenario" ;;
esac
