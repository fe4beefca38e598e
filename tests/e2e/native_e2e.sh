#!/usr/bin/env bash
# End-to-end tests of the native program, started as a host would start it, against the
# forecast-site emulator inside a private network namespace.
#   native_e2e.sh SCENARIO [arguments]
# Environment: QELO_EMULATOR, QELO_PROGRAM (qeloweather), QELO_SHORT_WATCHDOG_PROGRAM and
# QELO_SHORT_WATCHDOG_MS (the test variant whose watchdog fires after that many milliseconds);
# QELO_VALGRIND runs the program under valgrind memcheck.
set -euo pipefail
source "$(dirname "$0")/e2e_lib.sh"

: "${QELO_EMULATOR:?}" "${QELO_PROGRAM:?}"
scenario=$1
make_work_dir
app_dir="$work/app"  # the program's folder, where its forecast file lands
# Well before the watchdog: a complete run over loopback takes milliseconds.
kPromptExitMs=5000
# A run that has nothing to fetch ends at once.
kAtOnceMs=2000
# How long after the watchdog a failed run may end.
kWatchdogSlackMs=3000
# Under valgrind the program's start alone takes seconds.
[ -z "${QELO_VALGRIND:-}" ] || kPromptExitMs=240000 kAtOnceMs=240000 kWatchdogSlackMs=240000

# A complete run: the exact 17 keys that the emulator says it served, one GET with the fixed
# head, no report on stderr, and the end right after the file is written.
complete_run() {
  local city=$1 mode=${2:-normal}
  complete_fetch "$QELO_PROGRAM" "$city" "$mode" $kPromptExitMs run_timed 60
  [ ! -s "$work/stderr" ] || fail "the program reported: $(cat "$work/stderr")"
  [ ! -s "$work/stdout" ] || fail "the program printed: $(cat "$work/stdout")"
  echo "ok: $city ($mode) in $run_ms ms"
}

# A run that ends at once without touching the network or the file, nothing on stderr: beside an
# old forecast file, then without one.
no_run() {
  local program
  program=$(install_program "$QELO_PROGRAM" "$app_dir")
  for old_file in 1 0; do
    rm -f "$app_dir/qeloweather.ini"* "$work/requests"
    [ $old_file = 0 ] || plant_old_file "$app_dir/qeloweather.ini"
    run_timed 30 --request-log "$work/requests" -- "$program" "$@"
    [ ! -s "$work/stderr" ] || fail "the program reported: $(cat "$work/stderr")"
    check_ended_at_once $kAtOnceMs
  done
  echo "ok: ended at once in $run_ms ms, nothing fetched or written"
}

# A run of the program started with ARGV0 as its argv[0] (the run function of complete_fetch).
with_argv0() {
  local argv0=$1
  shift
  split_options "$@"
  run_timed 60 "${e2e_options[@]}" -- bash -c 'exec -a "$0" "$@"' "$argv0" "${e2e_command[@]}"
}

# A failed fetch, reported on stderr, that ends when the (short) watchdog fires, not much later.
failed_fetch_timed() {
  local report=$1
  shift
  failed_fetch "${QELO_SHORT_WATCHDOG_PROGRAM:?}" run_timed 60 "$@"
  check_report "$program_title" "$report"
  [ "$run_ms" -lt $((QELO_SHORT_WATCHDOG_MS + kWatchdogSlackMs)) ] ||
    fail "ended after $run_ms ms, long after the watchdog's $QELO_SHORT_WATCHDOG_MS ms"
  echo "ok: reported and ended by the watchdog after $run_ms ms"
}

# A failed fetch whose report goes to a pipe the host has stopped reading: the report is lost,
# and the program still ends with 0 when the watchdog fires.
report_lost() {
  failed_fetch "$QELO_SHORT_WATCHDOG_PROGRAM" run_timed 60 --no-host --stderr-closed-pipe
  echo "ok: the report went nowhere; ended with 0 after $run_ms ms"
}

# The signal came while the program ran (WHEN says where it was), and ended it with 0 at once.
check_ended_by_signal() {
  [[ "$run_signal" == "sent "* ]] || fail "$1: the program was not running ($run_signal): $(cat "$work/stderr")"
  [ "${run_signal#sent }" -lt 2000 ] || fail "$1: ended ${run_signal#sent } ms after the signal"
  [ "$run_status" = 0 ] || fail "$1: exit code $run_status"
}

# An end signal (TERM, INT, HUP) ends the shipped program at once with 0 where it waits for its
# watchdog after a reported failure.
end_signal_while_waiting() {
  local signal=$1 program
  program=$(install_program "$QELO_PROGRAM" "$app_dir")
  # The shipped watchdog is 300000 ms: still waiting 300 ms after the report.
  run_timed 20 --no-host --signal "$signal" --signal-on-stderr $'\n' --signal-delay 300 -- "$program" 福州
  check_ended_by_signal "SIG$signal, waiting for the watchdog"
  check_report "$(basename "$program")" "Socket Error # 1100? *"
  echo "ok: SIG$signal ended the waiting program with 0 ${run_signal#sent } ms after it came"
}

# SIGTERM ends the program with 0 while its connect waits for an answer that never comes, before
# any report, and no forecast file appears.
end_signal_in_fetch() {
  local program
  program=$(install_program "$QELO_PROGRAM" "$app_dir")
  run_timed 20 --unanswered --signal TERM --signal-delay 500 -- "$program" 福州
  check_ended_by_signal "SIGTERM in the fetch"
  [ ! -s "$work/stderr" ] || fail "the program reported: $(cat "$work/stderr")"
  [ ! -e "$app_dir/qeloweather.ini" ] || fail "a forecast file appeared"
  echo "ok: SIGTERM ended the fetch with 0 ${run_signal#sent } ms after it came"
}

# A FIFO where the forecast file should be: the write is refused without opening it, reported,
# and the run ends at its watchdog instead of waiting in open for a writer that never comes.
fifo_as_the_file() {
  install_in_app_dir "${QELO_SHORT_WATCHDOG_PROGRAM:?}"
  mkfifo "$app_dir/qeloweather.ini"
  run_timed 60 -- "$installed" 福州
  [ "$run_status" = 0 ] || fail "exit code $run_status (124: the program hung)"
  check_report "$program_title" "Unable to write to $app_dir/qeloweather.ini."
  [ "$run_ms" -lt $((QELO_SHORT_WATCHDOG_MS + kWatchdogSlackMs)) ] || fail "ended after $run_ms ms"
  [ -p "$app_dir/qeloweather.ini" ] || fail "the FIFO was replaced"
  echo "ok: a FIFO refused and reported; ended by the watchdog after $run_ms ms"
}

case "$scenario" in
  city) complete_run "$2" "${3:-normal}" ;;
  blank-directory)
    # Installed where the path has blanks, as under "Program Files".
    app_dir="$work/Program Files/qelo weather"
    complete_run 福州
    ;;
  not-utf8)
    # The page is not UTF-8: the text is empty, which is no failure; every key is written.
    complete_run 福州 not-utf8
    grep -q '^今天度数=°C~°C$' <(ini_text "$app_dir/qeloweather.ini") || fail "今天度数 is not °C~°C"
    ;;
  ends-at-once)
    no_run 福州市 && no_run 火星 && no_run "福 州" && no_run "" && no_run
    no_run 火星 福州  # only the first argument names the city
    # Argument 1 is argv[1] as exec passed it: a double quote in it is part of the name.
    no_run '福"州' && no_run '"福州"'
    ;;
  # Whatever argv[0] holds, argv[1] is the city.
  argv0)
    for argv0 in "" 'my"qeloweather'; do
      complete_fetch "$QELO_PROGRAM" 福州 normal $kPromptExitMs with_argv0 "$argv0"
    done
    echo "ok: complete runs with an empty argv[0] and one holding a double quote"
    ;;
  not-found) failed_fetch_timed "HTTP/1.1 404 Not Found." --mode not-found ;;
  refused) failed_fetch_timed 'Socket Error # 10061 Connection refused.' --no-emulator ;;
  closed-at-once) failed_fetch_timed "Connection Closed Gracefully." --mode close-at-once ;;
  # The name does not resolve; the resolver's answer decides the code.
  unresolvable) failed_fetch_timed "Socket Error # 1100? *" --no-host ;;
  report-lost) report_lost ;;
  fifo) fifo_as_the_file ;;
  end-signals) end_signal_while_waiting TERM && end_signal_while_waiting INT && end_signal_while_waiting HUP ;;
  end-signal-in-fetch) end_signal_in_fetch ;;
  *) fail "unknown scenario $scenario" ;;
esac
