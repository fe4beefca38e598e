# Shared helpers of the end-to-end and process tests (sourced by every script in this folder and
# by the bench and run scripts that start the real program). A test script sources this file,
# calls make_work_dir, runs the program with run_timed (through the namespace runner) or a run
# function of its own, then checks with the check_* helpers; `fail` ends it (exit code 1), `skip`
# too where a capability is missing (77, which ctest shows as skipped). A run function, such as
# windows_e2e.sh's run_exe, takes the runner's options, "--" and the command, and ends in
# run_timed; complete_fetch and failed_fetch take one and install into $app_dir.

readonly E2E_SKIP=77
# Valgrind's own exit code tells its findings apart from the program's.
readonly E2E_VALGRIND_FOUND=99

# Under `set -e` a failing command ends a script without a word; name the command and its line.
# Only the script's own shell reports (command substitutions and subshells inherit the trap),
# and only while errexit is on, so that a status a script looks at itself stays quiet.
e2e_report_unexpected_exit() {
  local status=$1 line=$2 command=$3
  [ "$BASHPID" = "$$" ] && [[ $- == *e* ]] || return 0
  echo "FAIL: ${BASH_SOURCE[1]##*/} line $line: $command (status $status)" >&2
}
set -E
trap 'e2e_report_unexpected_exit $? $LINENO "$BASH_COMMAND"' ERR
E2E_DIR="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
readonly E2E_DIR
readonly E2E_RUNNER="$E2E_DIR/in_forecast_netns.sh"
readonly E2E_CITIES="$E2E_DIR/../../citydir/cities.tsv"
readonly E2E_WINE_RUN="$E2E_DIR/../../scripts/wine-run"
readonly E2E_WINE="${QELO_WINE:-/usr/lib/wine/wine64}"

fail() { echo "FAIL: $*" >&2; exit 1; }
skip() { echo "SKIP: $*" >&2; exit $E2E_SKIP; }

# A private directory for one test, removed at the end.
make_work_dir() {
  work=$(mktemp -d "${TMPDIR:-/tmp}/qelo-e2e.XXXXXX")
  [ -n "${QELO_E2E_KEEP:-}" ] || trap 'rm -rf "$work"' EXIT
}

# Copies the program into its own directory, so that its qeloweather.ini lands there.
install_program() {
  local program=$1 directory=$2
  mkdir -p "$directory"
  cp "$program" "$directory/"
  echo "$directory/$(basename "$program")"
}

now_ms() { date +%s%3N; }

# wait_until SECONDS PID TEST...: polls `[ TEST ]` until it holds, the process PID has ended or
# the time is up, and returns the outcome of the last test. A deadline, not a count of polls,
# so that a busy machine gets the same time.
wait_until() {
  local seconds=$1 pid=$2
  shift 2
  local deadline=$((SECONDS + seconds))
  until [ "$@" ]; do
    if ! kill -0 "$pid" 2>/dev/null || [ $SECONDS -ge $deadline ]; then
      [ "$@" ]
      return
    fi
    sleep 0.025
  done
}

# The code the program looks up for a city name: that of the first row with the name.
city_code() { awk -F'\t' -v city="$1" '$1 == city { print $2; exit }' "$E2E_CITIES"; }

# Wine's name for a path: its drive Z: is the root folder.
windows_path() { printf 'Z:%s' "${1//\//\\}"; }

# What a test of the Windows build needs: the emulator of a native build and Xvfb (else it skips),
# and the Wine prefix.
require_wine() {
  [ -x "$QELO_EMULATOR" ] || skip "no native forecast_emulator at $QELO_EMULATOR (build the native tree first)"
  command -v Xvfb >/dev/null || skip "Xvfb is not installed"
  ensure_wine_prefix
}

# Makes the project's Wine prefix (scripts/wine-run's) once, outside any namespace; tests
# running in parallel wait for each other.
ensure_wine_prefix() {
  local prefix
  prefix=$("$E2E_WINE_RUN" --print-prefix)
  [ -f "$prefix/system.reg" ] && return
  mkdir -p "$(dirname "$prefix")"
  flock "$prefix.lock" bash -c '[ -f "$1/system.reg" ] || "$2" cmd /c exit 0' _ "$prefix" "$E2E_WINE_RUN" \
    >/dev/null 2>&1 || true
  [ -f "$prefix/system.reg" ] || fail "cannot make the Wine prefix $prefix"
}

# split_options WORDS...: the words before the first "--" into the array e2e_options, those
# after it into e2e_command.
split_options() {
  e2e_options=()
  while [ $# -gt 0 ] && [ "$1" != "--" ]; do
    e2e_options+=("$1")
    shift
  done
  [ $# -gt 0 ] || fail "split_options: no -- in the words"
  shift
  e2e_command=("$@")
}

# in_netns [runner and emulator options] -- command...: as the runner, with its skip passed on.
in_netns() {
  local status=0
  "$E2E_RUNNER" "$@" || status=$?
  [ $status != $E2E_SKIP ] || skip "no private network namespace on this machine"
  return $status
}

# run_timed LIMIT_SECONDS [runner options] -- command...
# Runs the command inside the namespace with a hard time limit (the runner's --out and --limit).
# Afterwards: $run_status (exit code; 124 when the limit cut it off), $run_ms (its own run time,
# start to exit), $run_signal (with --signal), and the files $work/stdout and $work/stderr.
# Under valgrind (QELO_VALGRIND) any finding fails the test.
run_timed() {
  local limit=$1
  shift
  split_options "$@"
  local command=("${e2e_command[@]}")
  if [ -n "${QELO_VALGRIND:-}" ]; then
    limit=$((limit * 4))
    rm -f "$work/valgrind.log"
    # shellcheck disable=SC2054 # the commas belong to the options
    command=("$QELO_VALGRIND" --quiet --error-exitcode="$E2E_VALGRIND_FOUND" --leak-check=full
      --errors-for-leak-kinds=definite,indirect --show-leak-kinds=definite,indirect --track-fds=no
      --log-file="$work/valgrind.log" "${command[@]}")
  fi
  in_netns --out "$work" --limit "$limit" "${e2e_options[@]}" -- "${command[@]}" ||
    fail "the namespace runner failed"
  run_status=$(cat "$work/status")
  run_ms=$(cat "$work/ms")
  run_signal=$(cat "$work/signal" 2>/dev/null || true)
  if [ -n "${QELO_VALGRIND:-}" ] && { [ "$run_status" = $E2E_VALGRIND_FOUND ] || [ -s "$work/valgrind.log" ]; }; then
    cat "$work/valgrind.log" >&2
    fail "valgrind found errors or leaks (exit code $run_status)"
  fi
}

# Copies PROGRAM into $app_dir: sets $installed and $program_title.
install_in_app_dir() {
  installed=$(install_program "$1" "$app_dir")
  program_title=$(basename "$installed")
  program_title=${program_title%%.*}
}

# complete_fetch PROGRAM CITY MODE LIMIT_MS RUN...: installs PROGRAM in $app_dir and runs it for
# CITY with RUN (a run function and its options) against the emulator in MODE. The run ends with
# 0 within LIMIT_MS after one GET with the fixed head, and the file holds what was served.
complete_fetch() {
  local program=$1 city=$2 mode=$3 limit_ms=$4
  shift 4
  install_in_app_dir "$program"
  local expected
  expected=$("$QELO_EMULATOR" --mode "$mode" --print-expected "$city")
  rm -f "$work/requests"
  "$@" --mode "$mode" --request-log "$work/requests" -- "$installed" "$city"
  [ "$run_status" = 0 ] || fail "exit code $run_status for $city ($mode)"
  [ "$run_ms" -lt "$limit_ms" ] || fail "the run took $run_ms ms; it must end once the file is closed"
  check_forecast_file "$app_dir/qeloweather.ini" "$expected"
  check_one_request_for "$work/requests" "$(city_code "$city")"
}

# failed_fetch PROGRAM RUN...: installs PROGRAM (the short-watchdog variant) in $app_dir beside
# an old forecast file and runs it for 福州 with RUN (a run function and its options). A failed
# fetch ends with 0 when the watchdog fires, not earlier, and leaves the file alone; the caller
# checks how the failure was reported.
failed_fetch() {
  local program=$1
  shift
  : "${QELO_SHORT_WATCHDOG_MS:?}"
  install_in_app_dir "$program"
  plant_old_file "$app_dir/qeloweather.ini"
  "$@" -- "$installed" 福州
  [ "$run_status" = 0 ] || fail "exit code $run_status (124: the watchdog did not end the program)"
  [ "$run_ms" -ge $((QELO_SHORT_WATCHDOG_MS - 100)) ] ||
    fail "ended after $run_ms ms, before the watchdog's $QELO_SHORT_WATCHDOG_MS ms"
  check_file_untouched "$app_dir/qeloweather.ini"
}

# check_report TITLE PATTERN: standard error holds exactly one report line "TITLE: <text>" with
# the text matching the glob PATTERN.
check_report() {
  local title=$1 pattern=$2
  local reported
  reported=$(cat "$work/stderr")
  # shellcheck disable=SC2053 # the pattern is a glob on purpose
  if [[ "$reported" != "$title: "$pattern ]] || [ -n "$(tail -c 1 "$work/stderr")" ]; then
    echo "expected: $title: $(printf '%s' "$pattern" | od -c | head -5)" >&2
    echo "reported: $(od -c <"$work/stderr" | head -5)" >&2
    fail "wrong failure report"
  fi
}

# True when the file starts with the UTF-16LE byte order mark FF FE, as the Windows
# private-profile service writes it.
is_utf16le() { [ "$(head -c 2 "$1" | od -An -tx1 | tr -d ' \n')" = fffe ]; }

# The forecast file as UTF-8 text without CRs: a UTF-16LE file is converted, a UTF-8 BOM is
# dropped.
ini_text() {
  local file=$1
  if is_utf16le "$file"; then
    tail -c +3 "$file" | iconv -f UTF-16LE -t UTF-8 | tr -d '\r'
  else
    sed '1s/^\xEF\xBB\xBF//' "$file" | tr -d '\r'
  fi
}

# Checks that the file holds the section [qelo] and exactly the expected key lines in order.
# The expected list comes from the emulator (--print-expected); its first line, 更新时间, is a
# placeholder there, and must here be a local date, optionally followed by a time of day.
check_forecast_file() {
  local file=$1 expected=$2
  [ -f "$file" ] || fail "no forecast file $file"
  local actual
  actual=$(ini_text "$file")
  # First lines by expansion, not `printf | head -n 1`: bash's printf writes line by line, and
  # when head has gone before the last line, printf dies of SIGPIPE and pipefail fails the
  # assignment now and then.
  [ "${actual%%$'\n'*}" = "[qelo]" ] ||
    fail "the file does not begin with [qelo]:"$'\n'"$actual"
  local keys
  keys=$(printf '%s\n' "$actual" | tail -n +2)
  local first=${keys%%$'\n'*}
  local date_time='^更新时间=[0-9]{1,4}([/.-][0-9]{1,4}){2}( ([^ ]+ )?[0-9]{1,2}:[0-9]{2}:[0-9]{2}( [^ ]+)?)?$'
  [[ "$first" =~ $date_time ]] || fail "更新时间 is not a date and time: '$first'"
  local want got
  want=$(printf '%s\n' "$expected" | tail -n +2)
  got=$(printf '%s\n' "$keys" | tail -n +2)
  if [ "$want" != "$got" ]; then
    diff <(printf '%s\n' "$want") <(printf '%s\n' "$got") >&2 || true
    fail "the forecast keys differ from what the emulator served (- expected, + file)"
  fi
  [ "$(printf '%s\n' "$expected" | wc -l)" = 17 ] || fail "the emulator did not give 17 keys"
}

# A forecast file from an earlier run, dated in the past, to prove that a run leaves it alone.
plant_old_file() {
  local file=$1
  printf '[qelo]\r\n更新时间=2001/1/1 1:02:03\r\n城市=旧\r\n[other]\r\nkeep=1\r\n' >"$file"
  touch -d '2001-01-01 01:02:03' "$file"
  file_fingerprint "$file" >"$file.fingerprint"
}

file_fingerprint() { echo "$(md5sum <"$1") $(stat -c %Y "$1")"; }

check_file_untouched() {
  local file=$1
  [ -f "$file" ] || fail "the forecast file $file has gone"
  [ "$(file_fingerprint "$file")" = "$(cat "$file.fingerprint")" ] ||
    fail "the forecast file was changed:"$'\n'"$(cat "$file")"
}

# The request heads the emulator logged, as one text without CRs.
logged_requests() { [ -f "$1" ] && tr -d '\r' <"$1" || true; }

# The exact request head the program must send for a city code.
expected_request() {
  printf 'GET /weather/%s.shtml HTTP/1.1\r\nHost: www.weather.com.cn\r\nAccept: text/html,application/xhtml+xml,application/xml;q=0.9,*/*;q=0.8\r\nAccept-Encoding: identity\r\nUser-Agent: Mozilla/3.0 (compatible; Indy Library)\r\n\r\n' "$1"
}

check_one_request_for() {
  local log=$1 code=$2
  [ -f "$log" ] || fail "the emulator received no request"
  cmp -s "$log" <(expected_request "$code") || {
    echo "received:" >&2
    cat -A "$log" >&2
    fail "the program did not send exactly one GET for city code $code with the fixed headers"
  }
}

# The run ended with 0 within LIMIT_MS and sent no request; an old forecast file in $app_dir is
# as it was, else none appeared.
check_ended_at_once() {
  [ "$run_status" = 0 ] || fail "exit code $run_status"
  [ "$run_ms" -lt "$1" ] || fail "the run took $run_ms ms"
  check_no_request "$work/requests"
  if [ -e "$app_dir/qeloweather.ini.fingerprint" ]; then
    check_file_untouched "$app_dir/qeloweather.ini"
  else
    [ ! -e "$app_dir/qeloweather.ini" ] || fail "a forecast file appeared"
  fi
}

check_no_request() {
  [ ! -s "$1" ] || fail "the program sent a request although it must not: $(logged_requests "$1")"
}
