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
app_dir="$work/app"

# Valgrind's own exit code 99 tells its findings apart from the program's exit code.
readonly kValgrindFound=99

# under_valgrind LIMIT [options] -- program arguments...: run_timed with the program under
# memcheck; fails on any finding and on an exit code other than 0.
under_valgrind() {
  local limit=$1
  shift
  split_options "$@"
  run_timed "$limit" "${e2e_options[@]}" -- "$QELO_VALGRIND" --quiet --error-exitcode=$kValgrindFound \
    --leak-check=full --errors-for-leak-kinds=definite,indirect --show-leak-kinds=definite,indirect \
    --track-fds=no --log-file="$work/valgrind.log" "${e2e_command[@]}"
  if [ "$run_status" = $kValgrindFound ] || [ -s "$work/valgrind.log" ]; then
    cat "$work/valgrind.log" >&2
    fail "valgrind found errors or leaks (exit code $run_status)"
  fi
  [ "$run_status" = 0 ] || fail "exit code $run_status"
}

complete() {
  local mode=$1
  complete_fetch "$QELO_PROGRAM" 福州 "$mode" $((240 * 1000)) under_valgrind 240
  [ ! -s "$work/stderr" ] || fail "the program reported: $(cat "$work/stderr")"
  echo "ok: complete run ($mode) under valgrind in $run_ms ms, clean"
}

unknown_city() {
  local program
  program=$(install_program "$QELO_PROGRAM" "$app_dir")
  plant_old_file "$app_dir/qeloweather.ini"
  under_valgrind 240 --request-log "$work/requests" -- "$program" 福州市
  [ ! -s "$work/stderr" ] || fail "the program reported: $(cat "$work/stderr")"
  check_no_request "$work/requests"
  check_file_untouched "$app_dir/qeloweather.ini"
  echo "ok: unknown city under valgrind in $run_ms ms, clean"
}

case "$scenario" in
  complete) complete normal ;;
  chunked) complete chunked ;;
  unknown-city) unknown_city ;;
  not-found) failed_fetch_reported "HTTP/1.1 404 Not Found." under_valgrind 240 --mode not-found ;;
  refused) failed_fetch_reported $'Socket Error # 10061\r\nConnection refused.' under_valgrind 240 --no-emulator ;;
  *) fail "unknown scenario $scenario" ;;
esac
