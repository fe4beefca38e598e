#!/usr/bin/env bash
# Runs the host example examples/linux/forecast.sh with the native program against the
# forecast-site emulator: today's line for a city, run as from the unpacked archive (the program
# two folders up); run from beside the program, a refusal for an unknown name and, with nothing
# listening, one within its time limit although the program would wait for its watchdog.
#   example_linux.sh
# Environment: QELO_EMULATOR, QELO_PROGRAM (qeloweather).
set -euo pipefail
source "$(dirname "$0")/e2e_lib.sh"

: "${QELO_EMULATOR:?}" "${QELO_PROGRAM:?}"
make_work_dir
app_dir="$work/app"
install_program "$QELO_PROGRAM" "$app_dir" >/dev/null
mkdir -p "$app_dir/examples/linux"
cp "$E2E_DIR/../../examples/linux/forecast.sh" "$app_dir/"
cp "$E2E_DIR/../../examples/linux/forecast.sh" "$app_dir/examples/linux/"

# run_example SCRIPT LIMIT [runner options] -- city: $example_status, $example_out, $example_err,
# $example_ms.
run_example() {
  local script=$1 limit=$2
  shift 2
  split_options "$@"
  run_timed 60 "${e2e_options[@]}" -- env QELO_WAIT_SECONDS="$limit" "$script" "${e2e_command[@]}"
  example_status=$run_status example_ms=$run_ms
  example_out=$(cat "$work/stdout")
  example_err=$(cat "$work/stderr")
}

# Today's line: 城市, then today's heading, weather, temperatures and wind as the emulator served
# them, with the page's &lt; shown as <.
expected=$("$QELO_EMULATOR" --print-expected 福州)
value() { printf '%s\n' "$expected" | sed -n "s/^$1=//p" | sed 's/&lt;/</g; s/&gt;/>/g; s/&amp;/\&/g'; }
want="福州 $(value 今天) $(value 今天情况) $(value 今天度数) $(value 今天风力)"
run_example "$app_dir/examples/linux/forecast.sh" 20 -- 福州
[ "$example_status" = 0 ] || fail "forecast.sh 福州 exited with $example_status: $example_err"
[ "$example_out" = "$want" ] || fail "forecast.sh printed '$example_out', not '$want'"
check_forecast_file "$app_dir/qeloweather.ini" "$expected"
line=$example_out

file_fingerprint "$app_dir/qeloweather.ini" >"$app_dir/qeloweather.ini.fingerprint"
run_example "$app_dir/forecast.sh" 20 -- 福州市
[ "$example_status" = 1 ] && [ -z "$example_out" ] ||
  fail "forecast.sh 福州市 exited with $example_status and printed '$example_out'"
[[ "$example_err" == *"not a city of the table"* ]] || fail "no word about the unknown name: $example_err"
check_file_untouched "$app_dir/qeloweather.ini"

# Nothing on port 80: the program waits for its five-minute watchdog, the example does not.
run_example "$app_dir/forecast.sh" 2 --no-emulator -- 福州
[ "$example_status" = 1 ] && [ -z "$example_out" ] ||
  fail "forecast.sh without a server exited with $example_status and printed '$example_out'"
[[ "$example_err" == *"no forecast for 福州 within 2 s"* ]] || fail "no word about the time limit: $example_err"
[ "$example_ms" -lt 10000 ] || fail "forecast.sh took $example_ms ms with a limit of 2 s"
check_file_untouched "$app_dir/qeloweather.ini"
echo "ok: forecast.sh printed '$line' for 福州, refused 福州市, gave up on a dead server after $example_ms ms"
