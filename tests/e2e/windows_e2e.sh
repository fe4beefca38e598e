#!/usr/bin/env bash
# End-to-end tests of qeloweather.exe under Wine: the real Windows program against the
# forecast-site emulator, with a fresh wineserver and X server of the namespace's own. The
# Win32 calls that matter are read from Wine's relay trace of the program's own thread.
#
#   windows_e2e.sh SCENARIO [argument]
# Environment: QELO_EMULATOR (a native build's forecast_emulator), QELO_EXE,
# QELO_SHORT_WATCHDOG_EXE, QELO_SHORT_WATCHDOG_MS, QELO_WINE_RUN (scripts/wine-run).
set -euo pipefail
source "$(dirname "$0")/e2e_lib.sh"

: "${QELO_EMULATOR:?}" "${QELO_EXE:?}" "${QELO_WINE_RUN:?}"
[ -x "$QELO_EMULATOR" ] || skip "no native forecast_emulator at $QELO_EMULATOR (build the native tree first)"
command -v Xvfb >/dev/null || skip "Xvfb is not installed"
scenario=$1
make_work_dir
# Where the program is installed; its forecast file lands beside it.
app_dir="$work/app"

# The namespace gets a copy-on-write view of the project's Wine prefix; on a fresh machine the
# prefix is made first, once, outside (tests running in parallel wait for each other).
prefix="${QELO_WINEPREFIX:-${HOME:-/root}/.local/share/qelo-wine}"
if [ ! -f "$prefix/system.reg" ]; then
  mkdir -p "$(dirname "$prefix")"
  flock "$prefix.lock" bash -c '[ -f "$1/system.reg" ] || "$2" cmd /c exit 0' _ "$prefix" "$QELO_WINE_RUN" \
    >/dev/null 2>&1 || true
  [ -f "$prefix/system.reg" ] || fail "cannot make the Wine prefix $prefix"
fi
# Wine's start in a fresh prefix view takes a few seconds; the real watchdog is 300 s.
readonly kPromptExitMs=60000

# The program under Wine with a relay trace of the calls below only (the full relay trace is
# large and slow); the registry setting goes into the private prefix view of this run.
cat >"$work/wine-program.sh" <<'SCRIPT'
#!/usr/bin/env bash
cat >>"$QELO_WINEPREFIX/user.reg" <<'REG'

[Software\\Wine\\Debug] 1700000000
"RelayInclude"="user32.MessageBoxW;user32.ShowWindow;user32.CreateWindowExW;user32.SetTimer"
REG
WINEDEBUG=-all,+relay,+loaddll,+timestamp exec "$QELO_WINE_RUN" "$@" 2>"$TRACE"
SCRIPT
chmod +x "$work/wine-program.sh"
export TRACE="$work/trace"

run_exe() {
  local limit=$1
  shift
  run_timed "$limit" --wine --xvfb "$@"
}

# The relay calls of the program's main thread (the thread that loaded the executable), each
# line "<seconds>:<thread>:Call <function>(<arguments>) ret=...".
program_calls() {
  local exe_name=$1
  local thread
  thread=$(grep -a -m 1 "trace:loaddll:.*Loaded L\".*\\\\$exe_name\"" "$TRACE" |
    sed -E 's/^[0-9.]+:([0-9a-f]+):.*/\1/')
  [ -n "$thread" ] || fail "the trace does not show $exe_name being loaded"
  grep -a -E "^[0-9.]+:$thread:((Call|Ret)  ?user32\.|Call window proc .*msg=WM_TIMER,)" "$TRACE" || true
}

# The watchdog: one SetTimer with identifier 1 and the given interval (hexadecimal ms).
check_watchdog_armed() {
  local calls=$1 interval=$2
  local timers
  timers=$(grep ':Call user32.SetTimer(' <<<"$calls" || true)
  [ -n "$timers" ] && [ "$(wc -l <<<"$timers")" = 1 ] || fail "expected one SetTimer call, got: $timers"
  [[ "$timers" == *"SetTimer("*",00000001,$interval,"* ]] ||
    fail "the watchdog is not timer 1 with $((16#$interval)) ms: $timers"
}

# Milliseconds between the first lines of the two calls (Call or Ret lines, by pattern).
ms_between() {
  local calls=$1 from=$2 to=$3
  local start end
  start=$(grep -m 1 -- "$from" <<<"$calls" | cut -d: -f1)
  end=$(grep -m 1 -- "$to" <<<"$calls" | cut -d: -f1)
  [ -n "$start" ] && [ -n "$end" ] || fail "no '$from' or '$to' in the trace"
  echo $(((10#${end/./} - 10#${start/./})))
}

# No window of the program becomes visible: no ShowWindow other than SW_HIDE, no window
# created with WS_VISIBLE.
check_no_window_shown() {
  local calls=$1
  local line arguments
  while IFS= read -r line; do
    arguments=${line#*(}
    IFS=, read -r -a fields <<<"$arguments"
    case "$line" in
      *user32.ShowWindow*)
        local command=${fields[1]%%")"*}
        [ $((16#$command)) = 0 ] || fail "the program showed a window: $line" ;;
      *user32.CreateWindowExW*)
        [ $((16#${fields[3]} & 0x10000000)) = 0 ] || fail "the program created a visible window: $line" ;;
    esac
  done < <(grep ':Call ' <<<"$calls")
}

complete_run() {
  local city=$1 mode=${2:-normal}
  local exe
  exe=$(install_program "$QELO_EXE" "$app_dir")
  local expected
  expected=$("$QELO_EMULATOR" --mode "$mode" --print-expected "$city")
  run_exe 120 --mode "$mode" --request-log "$work/requests" -- "$work/wine-program.sh" "$exe" "$city"
  [ "$run_status" = 0 ] || fail "exit code $run_status for $city"
  [ "$run_ms" -lt $kPromptExitMs ] || fail "the run took $run_ms ms"
  local ini="$app_dir/qeloweather.ini"
  [ "$(head -c 2 "$ini" | od -An -tx1 | tr -d ' \n')" = fffe ] || fail "the file is not UTF-16LE"
  check_forecast_file "$ini" "$expected"
  check_one_request_for "$work/requests" "$(city_code "$city")"
  local calls
  calls=$(program_calls qeloweather.exe)
  ! grep -q 'MessageBoxW' <<<"$calls" || fail "a failure was reported: $(grep MessageBoxW <<<"$calls")"
  check_no_window_shown "$calls"
  check_watchdog_armed "$calls" "$(printf %08x 300000)"
  echo "ok: $city ($mode) in $run_ms ms under Wine"
}

unknown_city() {
  local exe
  exe=$(install_program "$QELO_EXE" "$app_dir")
  plant_old_file "$app_dir/qeloweather.ini"
  run_exe 120 --request-log "$work/requests" -- "$work/wine-program.sh" "$exe" 福州市
  [ "$run_status" = 0 ] || fail "exit code $run_status"
  [ "$run_ms" -lt $kPromptExitMs ] || fail "the run took $run_ms ms"
  check_no_request "$work/requests"
  check_file_untouched "$app_dir/qeloweather.ini"
  local calls
  calls=$(program_calls qeloweather.exe)
  ! grep -q 'MessageBoxW' <<<"$calls" || fail "a failure was reported"
  ! grep -q ':Call user32.SetTimer(' <<<"$calls" || fail "the watchdog was armed for an unknown city"
  check_no_window_shown "$calls"
  echo "ok: unknown city, nothing fetched or written, ended in $run_ms ms"
}

# The box shows the report with the application title and MB_OK | MB_ICONERROR, and the short
# watchdog closes it and ends the program without anybody pressing OK.
failed_fetch() {
  local relay_text=$1
  shift
  : "${QELO_SHORT_WATCHDOG_EXE:?}" "${QELO_SHORT_WATCHDOG_MS:?}"
  local exe name
  exe=$(install_program "$QELO_SHORT_WATCHDOG_EXE" "$app_dir")
  name=$(basename "$exe")
  plant_old_file "$app_dir/qeloweather.ini"
  run_exe 120 "$@" -- "$work/wine-program.sh" "$exe" 福州
  [ "$run_status" = 0 ] || fail "exit code $run_status (124: the watchdog did not end the program)"
  [ "$run_ms" -ge "$QELO_SHORT_WATCHDOG_MS" ] || fail "ended after $run_ms ms, before the watchdog"
  local calls
  calls=$(program_calls "$name")
  local box
  box=$(grep ':Call user32.MessageBoxW(' <<<"$calls" || true)
  [ "$(wc -l <<<"$box")" = 1 ] && [ -n "$box" ] || fail "expected one MessageBoxW call, got: $box"
  local title=${name%%.*}
  title="${title:0:1}${title:1}"
  [[ "$box" == *" L\"$relay_text\","*" L\"$title\",00000010)"* ]] ||
    fail "wrong box: $box (wanted text \"$relay_text\", title \"$title\", flags 00000010)"
  check_watchdog_armed "$calls" "$(printf %08x "$QELO_SHORT_WATCHDOG_MS")"
  # The watchdog's timer message reaches its window while the box is open, on time; the box then
  # closes by itself. (Wine without a window manager takes about 2 s to withdraw the box.)
  local fired_ms closed_ms
  fired_ms=$(ms_between "$calls" ':Call user32.SetTimer(' 'msg=WM_TIMER,wp=00000001,')
  closed_ms=$(ms_between "$calls" 'msg=WM_TIMER,wp=00000001,' ':Ret  user32.MessageBoxW(')
  [ "$fired_ms" -ge $((QELO_SHORT_WATCHDOG_MS - 20)) ] && [ "$fired_ms" -lt $((QELO_SHORT_WATCHDOG_MS + 5000)) ] ||
    fail "the watchdog fired $fired_ms ms after arming, not after $QELO_SHORT_WATCHDOG_MS ms"
  [ "$closed_ms" -ge 0 ] && [ "$closed_ms" -lt 10000 ] ||
    fail "the box closed $closed_ms ms after the watchdog fired"
  check_file_untouched "$app_dir/qeloweather.ini"
  echo "ok: box \"$relay_text\"; the watchdog fired $fired_ms ms after arming, the box closed $closed_ms ms later, the program ended after $run_ms ms"
}

case "$scenario" in
  city) complete_run "$2" ;;
  blank-directory)
    # Installed where the path has blanks, as under "Program Files".
    app_dir="$work/Program Files/qelo weather"
    complete_run 福州
    ;;
  framing) complete_run 福州 "$2" ;;
  not-utf8) complete_run 福州 not-utf8 ;;
  unknown-city) unknown_city ;;
  not-found) failed_fetch "HTTP/1.1 404 Not Found." --mode not-found ;;
  refused) failed_fetch 'Socket Error # 10061\r\nConnection refused.' --no-emulator ;;
  closed-at-once) failed_fetch "Connection Closed Gracefully." --mode close-at-once ;;
  *) fail "unknown scenario $scenario" ;;
esac
