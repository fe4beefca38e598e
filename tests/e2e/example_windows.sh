#!/usr/bin/env bash
# Runs the host example examples/windows/forecast.cmd under Wine's cmd against the forecast-site
# emulator, as the zip ships it: for a city, run from examples\windows\, it finds qeloweather.exe
# two folders up, waits for its end and shows the file with the values served; for an unknown
# name, run from beside the program, it says that the run wrote nothing and leaves the file alone.
#   example_windows.sh
# Environment: QELO_EMULATOR (a native build's forecast_emulator), QELO_EXE, QELO_SHIPPED (the
# build's texts as the zip holds them).
set -euo pipefail
source "$(dirname "$0")/e2e_lib.sh"

: "${QELO_EMULATOR:?}" "${QELO_EXE:?}"
# Wine takes its code page from the C library's locale.
locale -a 2>/dev/null | grep -qix 'zh_CN\.utf-\?8' || skip "the zh_CN.UTF-8 locale is not installed"
require_wine
make_work_dir
examples="${QELO_SHIPPED:?}/examples/windows"
app_dir="$work/app"
install_program "$QELO_EXE" "$app_dir" >/dev/null
mkdir -p "$app_dir/examples/windows"
cp "$examples/forecast.cmd" "$examples/show-ini.js" "$app_dir/examples/windows/"
cp "$examples/forecast.cmd" "$examples/show-ini.js" "$app_dir/"

# The script as a host would call it: cmd /c with the city. A Chinese system code page (936), as
# on a Chinese Windows, lets the console output keep the Chinese text; it is read back as GBK.
run_example() {
  local script=$1 city=$2
  run_timed 150 --wine --xvfb -- env LC_ALL=zh_CN.UTF-8 "$E2E_WINE" cmd /c "$(windows_path "$script")" "$city"
  example_status=$run_status
  example_out=$(iconv -f GBK -t UTF-8 <"$work/stdout" | tr -d '\r')
  example_err=$(iconv -f GBK -t UTF-8 <"$work/stderr" | tr -d '\r')
}

# A city of the table: exit code 0 and the whole file on the screen.
expected=$("$QELO_EMULATOR" --print-expected 福州)
run_example "$app_dir/examples/windows/forecast.cmd" 福州
[ "$example_status" = 0 ] || fail "forecast.cmd 福州 exited with $example_status: $example_out $example_err"
check_forecast_file "$app_dir/qeloweather.ini" "$expected"
printf '%s\n' "$example_out" >"$work/shown.ini"
check_forecast_file "$work/shown.ini" "$expected"

# An unknown name: exit code 1, a word on the error stream, the file as it was.
file_fingerprint "$app_dir/qeloweather.ini" >"$app_dir/qeloweather.ini.fingerprint"
run_example "$app_dir/forecast.cmd" 福州市
[ "$example_status" = 1 ] || fail "forecast.cmd 福州市 exited with $example_status, not 1: $example_out"
[[ "$example_err" == *"not a city of the table"* ]] || fail "no word about the unknown name: $example_err"
check_file_untouched "$app_dir/qeloweather.ini"
echo "ok: forecast.cmd showed the forecast for 福州 and refused 福州市"
