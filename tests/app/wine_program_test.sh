#!/usr/bin/env bash
# The Windows programs under Wine, as a host starts them: exit codes, the forecast file that
# must not appear, windows that are never shown, and the failure report with its watchdog end.
# A fetch only ever happens inside a network namespace of its own, where nothing can leave the
# machine. Usage: wine_program_test.sh WINE_RUN QELOWEATHER_EXE SHORT_WATCHDOG_EXE
set -uo pipefail
wine_run=$(realpath "$1")
program=$(realpath "$2")
short_watchdog=$(realpath "$3")

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$program" "$short_watchdog" "$work/"
cd "$work"
exe=$(basename "$program")
short_exe=$(basename "$short_watchdog")
failures=0
passed=0

check() {  # check DESCRIPTION COMMAND...
  if "${@:2}"; then
    passed=$((passed + 1))
  else
    echo "FAILED: $1"
    failures=$((failures + 1))
  fi
}

no_forecast_file() { [ ! -e qeloweather.ini ]; }
# Calls made by the program's own code: on its thread (the one that creates the application
# window), with the return address in its image at 0x140000000. Other programs of the Wine
# session (explorer.exe) share that image base but not the thread.
own_thread() { grep -aoE '^[0-9a-f]+:Call user32.CreateWindowExW\([0-9a-f]+,[0-9a-f]+ L"QeloApplication"' "$1" | cut -d: -f1; }
own_calls() { grep -aE "^$(own_thread "$2"):Call $1\(.*\) ret=14[0-9a-f]{7}" "$2"; }
no_own_show_window() { ! own_calls user32.ShowWindow "$1" >/dev/null; }
no_visible_window_created() {  # the style, fourth argument, never has WS_VISIBLE
  local style
  for style in $(own_calls user32.CreateWindowExW "$1" | sed -E 's/.*CreateWindowExW\(//' |
    cut -d, -f4); do
    (((0x$style & 0x10000000) == 0)) || return 1
  done
}
logged() { grep -aqE "$1" "$2"; }
exit_code_was_zero() { [ "$1" -eq 0 ]; }
lasted_at_most() { [ "$1" -le "$2" ]; }

# Without a city and with an unknown one: exit 0 at once, no file, no window ever shown.
for city in "" "火星"; do
  args=()
  [ -n "$city" ] && args=("$city")
  start=$SECONDS
  WINEDEBUG=-all,+relay timeout 60 "$wine_run" "./$exe" "${args[@]}" 2>relay.log
  code=$?
  check "exit code 0 for '${city}'" exit_code_was_zero "$code"
  check "ends at once for '${city}'" lasted_at_most $((SECONDS - start)) 20
  check "no forecast file for '${city}'" no_forecast_file
  check "the program itself calls no ShowWindow for '${city}'" no_own_show_window relay.log
  check "no window created visible for '${city}'" no_visible_window_created relay.log
  check "the hidden windows were created for '${city}'" logged 'CreateWindowExW.*L"FrmMain"' relay.log
done

# Whatever show mode the starter asks for (STARTUPINFO through start), nothing is shown.
for mode in /max /min; do
  WINEDEBUG=-all,+relay timeout 60 "$wine_run" start /wait "$mode" "$exe" 火星 2>relay.log
  code=$?
  check "started $mode: exit code 0" exit_code_was_zero "$code"
  check "started $mode: the program itself calls no ShowWindow" no_own_show_window relay.log
  check "started $mode: no window created visible" no_visible_window_created relay.log
  check "started $mode: the hidden windows were created" logged 'L"FrmMain"' relay.log
done

if ! unshare --user --map-root-user --net true 2>/dev/null; then
  echo "SKIPPED: the failure report (unshare of user and network namespaces is not allowed here)"
else
  # The short-watchdog variant: the name cannot resolve, the box reports it, and the watchdog
  # (1500 ms) closes the box without a key press; the program ends with 0.
  start=$SECONDS
  timeout 90 unshare --user --map-root-user --net env WINEDEBUG=-all,+relay \
    "$wine_run" "./$short_exe" 福州 2>relay.log
  code=$?
  check "failure run: exit code 0" exit_code_was_zero "$code"
  check "failure run: ends without a key press" lasted_at_most $((SECONDS - start)) 60
  check "failure run: no forecast file" no_forecast_file
  check "failure run: watchdog armed: SetTimer(window, 1, 1500, null)" \
    logged 'Call user32.SetTimer\([0-9a-f]+,00000001,000005dc,00000000\) ret=14' relay.log
  check "failure run: report box owned by a window, with title and MB_OK|MB_ICONERROR" \
    logged 'Call user32.MessageBoxW\([0-9a-f]*[1-9a-f][0-9a-f]*,[0-9a-f]+ L"Socket Error # 1100[0-9]\\r\\n.*",[0-9a-f]+ L"qeloweather_short_watchdog",00000010\) ret=14' relay.log
  check "failure run: the watchdog's end request comes after the box opened" \
    awk '/Call user32.MessageBoxW/ { box = 1 } box && /Call user32.PostQuitMessage\(00000000\)/ { ok = 1 } END { exit !ok }' relay.log
  check "failure run: the timer is killed at the end" logged 'Call user32.KillTimer' relay.log
  check "failure run: the program itself calls no ShowWindow" no_own_show_window relay.log

  # The shipped program arms its watchdog with 300000 ms; it is ended here once the box is up.
  unshare --user --map-root-user --net env WINEDEBUG=-all,+relay \
    "$wine_run" "./$exe" 福州 2>relay.log &
  pid=$!
  for _ in $(seq 1 300); do
    logged 'Call user32.MessageBoxW' relay.log && break
    sleep 0.1
  done
  kill -KILL "$pid" 2>/dev/null
  wait "$pid" 2>/dev/null
  check "shipped program: SetTimer(window, 1, 300000, null)" \
    logged 'Call user32.SetTimer\([0-9a-f]+,00000001,000493e0,00000000\) ret=14' relay.log
fi

echo "$passed passed, $failures failed"
[ "$failures" -eq 0 ]
