#!/usr/bin/env bash
# The main job on this machine: builds the program and the forecast-site emulator (Release,
# build/native), runs the real program for a city (default 福州) against the emulator inside a
# private network namespace in which www.weather.com.cn is 127.0.0.1, and prints the forecast
# file it wrote beside the executable.
#
#   scripts/run.sh [city]
set -euo pipefail
cd "$(dirname "$0")/.."
source tests/e2e/e2e_lib.sh
city="${1:-福州}"
jobs="${QELO_JOBS:-$(nproc)}"
build=build/native
program="$build/app/qeloweather"
emulator="$build/tools/emulator/forecast_emulator"
ini="$build/app/qeloweather.ini"

echo "== building the program and the emulator ($build, Release; a few minutes on a fresh checkout)"
mkdir -p "$build"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release >"$build/configure.log" 2>&1 || {
  cat "$build/configure.log" >&2
  exit 1
}
cmake --build "$build" -j"$jobs" --target qeloweather forecast_emulator | grep -E '^\[100%\]|error|warning' || true
[ -x "$program" ] && [ -x "$emulator" ] || { echo "the build did not produce $program and $emulator" >&2; exit 1; }

before=$(stat -c %.9Y "$ini" 2>/dev/null || echo none)
echo "== running: $program $city   (www.weather.com.cn = the emulator on 127.0.0.1:80)"
status=0
tests/e2e/in_forecast_netns.sh --emulator "$emulator" --lifetime-seconds 60 -- \
  timeout -k 5 330 "$program" "$city" || status=$?
if [ $status = "$E2E_SKIP" ]; then
  cat >&2 <<MSG
This machine cannot create a private network namespace (see the reason above), so the program
cannot be pointed at the emulator here. On a machine with internet access, run the program
itself:  $program $city
MSG
  exit 77
fi
echo "== exit code: $status"
after=$(stat -c %.9Y "$ini" 2>/dev/null || echo none)
if [ "$after" = none ] || [ "$after" = "$before" ]; then
  echo "== no forecast file was written by this run ('$city' is not in the city table, or the run failed)"
  exit 1
fi
echo "== $ini"
ini_text "$ini"
cat <<MSG

On a machine with internet access the program is used as it stands:
  $program 福州
fetches the real forecast page of www.weather.com.cn and writes qeloweather.ini beside the
executable ($ini). It shows no window and always exits with 0;
a failure is reported on stderr, and the program then ends when its five-minute watchdog fires.
MSG
