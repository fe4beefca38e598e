#!/usr/bin/env bash
# End-to-end tests of qeloweather.exe under Wine, started as a host starts it, against the
# forecast-site emulator; the Win32 calls that matter are read from Wine's relay trace.
#   windows_e2e.sh SCENARIO [argument]
# Environment: QELO_EMULATOR (a native build's forecast_emulator), QELO_EXE,
# QELO_SHORT_WATCHDOG_EXE, QELO_SHORT_WATCHDOG_MS.
set -euo pipefail
source "$(dirname "$0")/e2e_lib.sh"

: "${QELO_EMULATOR:?}" "${QELO_EXE:?}"
require_wine
scenario=$1
make_work_dir
app_dir="$work/app"  # the program's folder, where its forecast file lands
# Wine's start in a fresh prefix view takes a few seconds; the real watchdog is 300 s.
readonly kPromptExitMs=60000
# A run with nothing to fetch still ends at once, Wine's start included.
readonly kAtOnceMs=20000
# The calls the relay trace shows (the full trace is large and slow).
readonly kRelayed="user32.MessageBoxW;user32.ShowWindow;user32.CreateWindowExW;user32.SetTimer;user32.KillTimer;user32.PostQuitMessage"
readonly WS_VISIBLE=0x10000000 MB_OK_ICONERROR=00000010

# run_exe LIMIT [options] -- EXE arguments...: the program under Wine in the namespace; Wine's
# relay trace is $work/stderr.
run_exe() {
  local limit=$1
  shift
  split_options "$@"
  run_timed "$limit" --wine --wine-relay "$kRelayed" --xvfb "${e2e_options[@]}" -- \
    "$E2E_WINE" "${e2e_command[@]}"
}

# program_events EXE_NAME: what the program's main thread (the one that loaded EXE_NAME) did in
# the relay trace ($work/stderr), one tab-separated line per event, numbers as Wine prints them:
#   MS  call     FUNCTION  CALLER  ARGUMENT...   a relayed call, e.g. user32.SetTimer
#   MS  return   FUNCTION  CALLER  RETVAL        its return
#   MS  message  MSG       -       HWND WP LP    a message handed to a window procedure
# CALLER is "own" for a return address in the program's image (256 MiB from its load address),
# else "other"; a string argument is its text between L"...", a CR LF in it as \r\n.
program_events() {
  awk -v exe="$1" -F '\n' '
    function hex(text,   i, n) {
      n = 0
      for (i = 1; i <= length(text); i++) n = n * 16 + index("0123456789abcdef", substr(tolower(text), i, 1)) - 1
      return n
    }
    function caller(address) { return hex(address) >= base && hex(address) < base + 268435456 ? "own" : "other" }
    # Splits the line into ms (empty without +timestamp), thread and event.
    function parse(line) {
      ms = ""
      if (match(line, /^[0-9]+\.[0-9]+:/)) {
        split(substr(line, 1, RLENGTH - 1), t, ".")
        ms = t[1] * 1000 + substr(t[2] "000", 1, 3)
        line = substr(line, RLENGTH + 1)
      }
      if (!match(line, /^[0-9a-f]+:/)) return 0
      thread = substr(line, 1, RLENGTH - 1)
      event = substr(line, RLENGTH + 1)
      return 1
    }
    # The arguments of a call: numbers, or a number with its L"..." text, which may hold commas.
    function arguments(text,   out, i, c, value) {
      out = ""
      i = 1
      while (i <= length(text)) {
        match(substr(text, i), /^[0-9a-f]*/)
        value = substr(text, i, RLENGTH)
        i += RLENGTH
        if (substr(text, i, 3) == " L\"") {
          value = ""
          for (i += 3; i <= length(text) && (c = substr(text, i, 1)) != "\""; i++) {
            if (c == "\\") { value = value c; c = substr(text, ++i, 1) }
            value = value c
          }
          i++
        }
        out = out "\t" value
        i++  # the comma
      }
      return out
    }
    NR == FNR {
      if (base == "" && parse($0) && match(event, /trace:loaddll:.* Loaded L".*" at [0-9a-f]+/)) {
        path = event
        sub(/.* Loaded L"/, "", path)
        address = path
        sub(/" at .*/, "", path)
        sub(/.*" at /, "", address)
        sub(/[^0-9a-f].*/, "", address)
        n = split(path, parts, "\\")
        if (parts[n] == exe) { main = thread; base = hex(address) }
      }
      next
    }
    FNR == 1 && base == "" { print "no " exe " loaded in the relay trace" > "/dev/stderr"; exit 1 }
    !parse($0) || thread != main { next }
    match(event, /^Call window proc [^ ]+ \(hwnd=/) {
      split(substr(event, RLENGTH + 1), m, /[,=)]/)
      print ms "\tmessage\t" m[3] "\t-\t" tolower(m[1]) "\t" tolower(m[5]) "\t" tolower(m[7])
      next
    }
    match(event, /^Call [A-Za-z0-9_]+\.[A-Za-z0-9_]+\(/) {
      name = substr(event, 6, RLENGTH - 6)
      rest = substr(event, RLENGTH + 1)
      address = rest
      sub(/.*\) ret=/, "", address)
      sub(/\) ret=[0-9a-f]+$/, "", rest)
      print ms "\tcall\t" name "\t" caller(address) arguments(rest)
      next
    }
    match(event, /^Ret  [A-Za-z0-9_]+\.[A-Za-z0-9_]+\(/) {
      name = substr(event, 6, RLENGTH - 6)
      split(substr(event, index(event, ") retval=") + 9), r, " ret=")
      print ms "\treturn\t" name "\t" caller(r[2]) "\t" r[1]
    }' "$work/stderr" "$work/stderr" || fail "cannot read the relay trace"
}
calls_of() { awk -F'\t' -v name="$2" '$2 == "call" && $3 == name' <<<"$1"; }

# No window of the program becomes visible: its own code never calls ShowWindow, no ShowWindow
# on its thread other than SW_HIDE, no window created with WS_VISIBLE; its hidden windows (the
# main form among them) are created.
check_no_window_shown() {
  local events=$1 shown style
  shown=$(calls_of "$events" user32.ShowWindow | awk -F'\t' '$4 == "own" || $6 != "00000000"')
  [ -z "$shown" ] || fail "the program showed a window: $shown"
  for style in $(calls_of "$events" user32.CreateWindowExW | cut -f8); do
    [ $((16#$style & WS_VISIBLE)) = 0 ] || fail "the program created a visible window (style $style)"
  done
  calls_of "$events" user32.CreateWindowExW | cut -f5- | grep -q -P '(^|\t)FrmMain(\t|$)' ||
    fail "the main form was not created"
}

# The watchdog: one SetTimer by the program's own code, timer 1 with the interval, no callback.
check_watchdog_armed() {
  local events=$1 interval_ms=$2 timers
  timers=$(calls_of "$events" user32.SetTimer)
  [ -n "$timers" ] && [ "$(wc -l <<<"$timers")" = 1 ] || fail "expected one SetTimer call, got: $timers"
  awk -F'\t' -v interval="$(printf %08x "$interval_ms")" \
    '$4 == "own" && $6 == "00000001" && $7 == interval && $8 == "00000000"' <<<"$timers" | grep -q . ||
    fail "the watchdog is not timer 1 with $interval_ms ms and no callback: $timers"
}

check_no_call() {
  local events=$1 function=$2 why=$3
  [ -z "$(calls_of "$events" "$function")" ] || fail "$why: $(calls_of "$events" "$function")"
}

# Milliseconds from the first event matching the awk condition FROM to the first matching TO.
ms_between() {
  local events=$1 from=$2 to=$3 start end
  start=$(awk -F'\t' "$from { print \$1; exit }" <<<"$events")
  end=$(awk -F'\t' "$to { print \$1; exit }" <<<"$events")
  [ -n "$start" ] && [ -n "$end" ] || fail "no event '$from' or '$to' in the trace"
  echo $((end - start))
}

complete_run() {
  local city=$1 mode=${2:-normal}
  complete_fetch "$QELO_EXE" "$city" "$mode" $kPromptExitMs run_exe 120
  is_utf16le "$app_dir/qeloweather.ini" || fail "the file is not UTF-16LE"
  local events
  events=$(program_events "$(basename "$installed")")
  check_no_call "$events" user32.MessageBoxW "a failure was reported"
  check_no_window_shown "$events"
  check_watchdog_armed "$events" 300000
  echo "ok: $city ($mode) in $run_ms ms under Wine"
}

# The run's one MessageBoxW: a text matching the glob TEXT (a CR LF in it as the trace shows it,
# \r\n), the title TITLE and MB_OK | MB_ICONERROR; sets $box.
check_box() {
  local text=${2//$'\r'/'\\r'}
  text=${text//$'\n'/'\\n'}
  box=$(calls_of "$1" user32.MessageBoxW)
  # shellcheck disable=SC2053 # the text is a glob on purpose
  [ -n "$box" ] && [ "$(wc -l <<<"$box")" = 1 ] && [[ "$(cut -f6 <<<"$box")" == $text ]] &&
    [ "$(cut -f7 <<<"$box")" = "$3" ] && [ "$(cut -f8 <<<"$box")" = $MB_OK_ICONERROR ] ||
    fail "wrong box: $box (wanted text \"$text\", title \"$3\", flags $MB_OK_ICONERROR)"
}

# A run that ends at once without fetching, writing or arming the watchdog, beside an earlier
# forecast file with --old-file. --start MODE starts it as a host asking for a show mode (/max,
# /min) would, through Wine's start command.
no_run() {
  local old_file=0 start=() exe events
  [ "${1:-}" != --old-file ] || { old_file=1; shift; }
  [ "${1:-}" != --start ] || { start=(start /wait "$2" /unix); shift 2; }
  exe=$(install_program "$QELO_EXE" "$app_dir")
  rm -f "$app_dir/qeloweather.ini"* "$work/requests"
  [ $old_file = 0 ] || plant_old_file "$app_dir/qeloweather.ini"
  run_exe 120 --request-log "$work/requests" -- "${start[@]}" "$exe" "$@"
  check_ended_at_once $kAtOnceMs
  events=$(program_events "$(basename "$exe")")
  check_no_call "$events" user32.MessageBoxW "a failure was reported"
  check_no_call "$events" user32.SetTimer "the watchdog was armed with nothing to fetch"
  check_no_window_shown "$events"
  echo "ok: ${start[2]:-started} ${*:-without arguments}: nothing fetched or written, ended in $run_ms ms"
}

# The box shows the report (PATTERN, a glob) owned by a window, and the short watchdog closes it
# and ends the program without anybody pressing OK: its timer message comes on time, the end
# request (PostQuitMessage) after the box opened, and the timer is killed.
failed_fetch_box() {
  local report=$1
  shift
  : "${QELO_SHORT_WATCHDOG_EXE:?}"
  failed_fetch "$QELO_SHORT_WATCHDOG_EXE" run_exe 120 "$@"
  local events box
  events=$(program_events "$(basename "$installed")")
  check_box "$events" "$report" "$program_title"
  [ "$(cut -f4 <<<"$box")" = own ] && [ "$(cut -f5 <<<"$box")" != 00000000 ] ||
    fail "the box has no owner window of the program's: $box"
  check_watchdog_armed "$events" "$QELO_SHORT_WATCHDOG_MS"
  # (Wine without a window manager takes about 2 s to withdraw the box.)
  local fired_ms closed_ms quit_ms
  fired_ms=$(ms_between "$events" '$3 == "user32.SetTimer"' '$3 == "WM_TIMER" && $6 == "00000001"')
  closed_ms=$(ms_between "$events" '$3 == "WM_TIMER" && $6 == "00000001"' '$2 == "return" && $3 == "user32.MessageBoxW"')
  quit_ms=$(ms_between "$events" '$3 == "user32.MessageBoxW"' '$3 == "user32.PostQuitMessage" && $5 == "00000000"')
  [ "$fired_ms" -ge $((QELO_SHORT_WATCHDOG_MS - 20)) ] && [ "$fired_ms" -lt $((QELO_SHORT_WATCHDOG_MS + 5000)) ] ||
    fail "the watchdog fired $fired_ms ms after arming, not after $QELO_SHORT_WATCHDOG_MS ms"
  [ "$closed_ms" -ge 0 ] && [ "$closed_ms" -lt 10000 ] ||
    fail "the box closed $closed_ms ms after the watchdog fired"
  [ "$quit_ms" -ge 0 ] || fail "the end was requested before the box opened"
  [ -n "$(calls_of "$events" user32.KillTimer)" ] || fail "the watchdog's timer was not killed"
  check_no_window_shown "$events"
  echo "ok: box \"$(cut -f6 <<<"$box")\"; the watchdog fired $fired_ms ms after arming, the box closed $closed_ms ms later, the program ended after $run_ms ms"
}

# The shipped program arms its watchdog with 300000 ms also when the fetch fails; it is ended
# here once the box is up.
shipped_watchdog() {
  local exe events
  exe=$(install_program "$QELO_EXE" "$app_dir")
  run_exe 120 --no-host --signal KILL --signal-on-stderr 'Call user32.MessageBoxW' -- "$exe" 福州
  [[ "$run_signal" == "sent "* ]] || fail "the box never came up ($run_signal)"
  events=$(program_events "$(basename "$exe")")
  check_watchdog_armed "$events" 300000
  echo "ok: the shipped program's watchdog is 300000 ms"
}

# Without a display Windows refuses every window, the application's own first: the failure
# comes before the main window exists, and is reported like any other (no owner is left for the
# box), nothing is fetched or written, and the program ends with 0 instead of aborting.
no_display() {
  local exe events box
  exe=$(install_program "$QELO_EXE" "$app_dir")
  run_timed 120 --wine --wine-relay "$kRelayed" --request-log "$work/requests" -- \
    env -u DISPLAY -u WAYLAND_DISPLAY "$E2E_WINE" "$exe" 福州
  check_ended_at_once $kAtOnceMs
  events=$(program_events "$(basename "$exe")")
  check_box "$events" "Cannot create the application window." qeloweather
  echo "ok: \"$(cut -f6 <<<"$box")\" reported, exit code 0 after $run_ms ms"
}

case "$scenario" in
  city) complete_run "$2" ;;
  blank-directory)
    # Installed where the path has blanks, as under "Program Files".
    app_dir="$work/Program Files/qelo weather"
    complete_run 福州
    ;;
  ends-at-once) no_run --old-file 福州市 && no_run 火星 && no_run ;;
  # Whatever show mode the starter asks for, nothing is shown.
  start-modes) no_run --start /max 火星 && no_run --start /min 火星 ;;
  not-found) failed_fetch_box "HTTP/1.1 404 Not Found." --mode not-found ;;
  refused) failed_fetch_box $'Socket Error # 10061\r\nConnection refused.' --no-emulator ;;
  closed-at-once) failed_fetch_box "Connection Closed Gracefully." --mode close-at-once ;;
  # The name does not resolve; the resolver's answer decides the code.
  unresolvable) failed_fetch_box "Socket Error # 1100?"$'\r\n'"*" --no-host ;;
  shipped-watchdog) shipped_watchdog ;;
  no-display) no_display ;;
  *) fail "unknown scenario $scenario" ;;
esac
