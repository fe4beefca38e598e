#!/usr/bin/env bash
# Whole-run benchmark: inside a private network namespace with the forecast-site emulator on
# port 80, N complete runs of the real program (process start to exit, forecast file written;
# once beside a copy in a temporary directory, once on a tmpfs) interleaved with N fetches of
# the same page by curl and N runs of the floor (bench/durable_floor.c: the same GET, 17 synced
# atomic replacements and the folder synced, in a minimal static C program, beside its own copy
# of the file on the same disk); prints min and median of each and the whole run's median
# against the floor's and curl's. Then the instruction count of one complete run (valgrind
# callgrind) and its peak memory (max RSS from /usr/bin/time -v, peak heap from valgrind massif).
#
#   bench/whole_run.sh [runs] [city]        (defaults: 200, 福州)
# Environment: QELO_BENCH_BUILD (build directory, default build/bench, Release), QELO_JOBS,
# QELO_BENCH_PROGRAM (another qeloweather to time, e.g. one built from an older commit).
set -euo pipefail
cd "$(dirname "$0")/.."
source tests/e2e/e2e_lib.sh

# Inside the namespace: the timed runs, then one run each under callgrind, massif and time -v.
# Times come from bash's EPOCHREALTIME, so that no extra process is started between the two
# readings.
inside() {
  local work=$1 runs=$2 city=$3 url=$4 i t0 t1 t2 t3 t4
  micros() { local t=${1/./}; echo $((10#$t)); }
  # A second copy on a tmpfs of the namespace's own shows what the file system's 17 updates cost.
  mkdir -p "$work/ram"
  mount -t tmpfs tmpfs "$work/ram"
  cp "$work/qeloweather" "$work/ram/"
  : >"$work/program.us"
  : >"$work/program-tmpfs.us"
  : >"$work/curl.us"
  : >"$work/floor.us"
  mkdir -p "$work/floor"
  for ((i = 0; i < runs; i++)); do
    t0=$EPOCHREALTIME
    "$work/qeloweather" "$city"
    t1=$EPOCHREALTIME
    curl -s -o /dev/null "$url"
    t2=$EPOCHREALTIME
    "$work/ram/qeloweather" "$city"
    t3=$EPOCHREALTIME
    "$work/durable_floor" 127.0.0.1 80 "/${url#http://*/}" "$work/floor/qeloweather.ini"
    t4=$EPOCHREALTIME
    echo $(($(micros "$t4") - $(micros "$t3"))) >>"$work/floor.us"
    echo $(($(micros "$t1") - $(micros "$t0"))) >>"$work/program.us"
    echo $(($(micros "$t2") - $(micros "$t1"))) >>"$work/curl.us"
    echo $(($(micros "$t3") - $(micros "$t2"))) >>"$work/program-tmpfs.us"
  done
  ! cmp -s "$work/ram/qeloweather.ini" /dev/null || fail "no forecast on the tmpfs"
  umount "$work/ram"
  grep -q '^后天风力=' "$work/qeloweather.ini" || fail "the program wrote no forecast"
  valgrind --tool=callgrind --callgrind-out-file="$work/callgrind.out" \
    "$work/qeloweather" "$city" 2>"$work/callgrind.log"
  valgrind --tool=massif --massif-out-file="$work/massif.out" \
    "$work/qeloweather" "$city" 2>"$work/massif.log"
  /usr/bin/time -v "$work/qeloweather" "$city" 2>"$work/time-program.log"
  /usr/bin/time -v curl -s -o /dev/null "$url" 2>"$work/time-curl.log"
}
if [ "${1:-}" = --inside ]; then
  shift
  inside "$@"
  exit
fi

runs="${1:-200}"
city="${2:-福州}"
build="${QELO_BENCH_BUILD:-build/bench}"
jobs="${QELO_JOBS:-2}"

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j"$jobs" --target qeloweather forecast_emulator durable_floor >/dev/null
for tool in curl valgrind /usr/bin/time; do
  command -v "$tool" >/dev/null || fail "whole_run: $tool is needed"
done

make_work_dir
cp "${QELO_BENCH_PROGRAM:-$build/app/qeloweather}" "$work/qeloweather"
cp "$build/bench/durable_floor" "$work/"
code=$(city_code "$city")
[ -n "$code" ] || fail "whole_run: '$city' is not in the city table"
url="http://www.weather.com.cn/weather/$code.shtml"

echo "== $runs complete runs of qeloweather $city, interleaved with $runs curl fetches of $url"
in_netns --emulator "$build/tools/emulator/forecast_emulator" --lifetime-seconds 1800 -- \
  "$0" --inside "$work" "$runs" "$city" "$url"

summary() {
  sort -n "$1" | awk -v label="$2" '{ v[NR] = $1 } END {
    median = (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
    printf "%-38s min %8.3f ms   median %8.3f ms   (%d runs)\n", label, v[1] / 1000, median / 1000, NR }'
}
summary "$work/program.us" "qeloweather, whole run, file on disk"
summary "$work/program-tmpfs.us" "qeloweather, whole run, file on tmpfs"
summary "$work/curl.us" "curl, fetch of the page alone"
summary "$work/floor.us" "floor, the same durable work in C"
median_of() { sort -n "$1" | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
awk -v p="$(median_of "$work/program.us")" -v f="$(median_of "$work/floor.us")" -v c="$(median_of "$work/curl.us")" \
  'BEGIN { printf "whole run / floor %.3f (goal at most 1.25), whole run / curl %.3f (medians)\n", p / f, p / c }'
instructions=$(awk '/^(summary|totals):/ { print $2; exit }' "$work/callgrind.out")
peak_heap=$(awk -F= '/^mem_heap_B=/ { if ($2 > max) max = $2 } END { print max + 0 }' "$work/massif.out")
rss_program=$(awk -F': ' '/Maximum resident set size/ { print $2 }' "$work/time-program.log")
rss_curl=$(awk -F': ' '/Maximum resident set size/ { print $2 }' "$work/time-curl.log")
printf 'instructions of one complete run (callgrind Ir): %s\n' "$instructions"
printf 'peak heap of one complete run (massif): %s bytes\n' "$peak_heap"
printf 'max RSS: qeloweather %s KiB, curl %s KiB\n' "$rss_program" "$rss_curl"
