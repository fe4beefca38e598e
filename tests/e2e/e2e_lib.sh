# Shared helpers of the end-to-end tests (sourced). Every helper reports a fault with `fail`,
# which ends the test with exit code 1; `skip` ends it with 77, which ctest shows as skipped.

readonly E2E_SKIP=77

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

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

skip() {
  echo "SKIP: $*" >&2
  exit $E2E_SKIP
}

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
city_code() {
  awk -F'\t' -v city="$1" '$1 == city { print $2; exit }' "$E2E_DIR/../../citydir/cities.tsv"
}

# in_netns [runner and emulator options] -- command...: as the runner, with its skip passed on.
in_netns() {
  local status=0
  "$E2E_RUNNER" "$@" || status=$?
  if [ $status = $E2E_SKIP ]; then
    skip "no private network namespace on this machine"
  fi
  return $status
}

# The forecast file as UTF-8 text without CRs: a UTF-16LE file (BOM FF FE, as the Windows
# private-profile service writes it) is converted, a UTF-8 BOM is dropped.
ini_text() {
  local file=$1
  local bom
  bom=$(head -c 2 "$file" | od -An -tx1 | tr -d ' \n')
  if [ "$bom" = fffe ]; then
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

# run_timed LIMIT_SECONDS [runner and emulator options] -- program arguments...
# Runs the program inside the namespace with a hard time limit. Afterwards: $run_status (exit
# code; 124 when the limit cut it off), $run_ms (its own run time, start to exit), and the files
# $work/stdout and $work/stderr.
run_timed() {
  local limit=$1
  shift
  local options=()
  while [ "$1" != "--" ]; do
    options+=("$1")
    shift
  done
  shift
  rm -f "$work/status" "$work/ms"
  in_netns "${options[@]}" -- bash -c '
    work=$1 limit=$2
    shift 2
    start=$(date +%s%3N)
    timeout -k 5 "$limit" "$@" >"$work/stdout" 2>"$work/stderr"
    echo $? >"$work/status"
    echo $(( $(date +%s%3N) - start )) >"$work/ms"' _ "$work" "$limit" "$@" ||
    fail "the namespace runner failed"
  run_status=$(cat "$work/status")
  run_ms=$(cat "$work/ms")
}

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

check_no_request() {
  [ ! -s "$1" ] || fail "the program sent a request although it must not: $(logged_requests "$1")"
}
