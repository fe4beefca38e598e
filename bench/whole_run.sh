#!/usr/bin/env bash
# The whole run against its floor. Inside a private network namespace where the forecast-site
# emulator serves www.weather.com.cn on port 80, bench/alternate_runs runs in each of N rounds:
#   the program for CITY (start to exit, its file written), beside a copy of it in a folder on the
#   disk, and once more on a tmpfs;
#   curl's fetch of the same page;
#   the floor, bench/durable_floor.c: the least work for the same durable result in a static C
#   program (the hosts file read, one GET, every byte of the page looked at once, one commit of
#   its file on the same disk);
#   the same floor through the C library's services a shipped program keeps (durable_floor_services:
#   linked dynamically, getaddrinfo, the locale's time formats);
#   three starts alone: /bin/true, the floor without arguments and the program without a city
#   (it reads its time format and ends);
#   with QELO_BENCH_BEFORE, another program (e.g. one built from an older commit) the same way.
# Prints the min and median of each and the whole run's median against the floor's (the goal:
# at most 1.2), the services floor's and curl's; then, for one run each, the system calls (strace -f -c), page faults
# and max RSS (/usr/bin/time -v), instructions (valgrind callgrind) and the program's peak heap
# (massif).
#
#   bench/whole_run.sh [runs] [city]        (defaults: 200, 福州)
# Environment: QELO_BENCH_BUILD (build directory, default build/bench, Release), QELO_JOBS,
# QELO_BENCH_PROGRAM (the program to time instead of the build's), QELO_BENCH_BEFORE.
set -euo pipefail
cd "$(dirname "$0")/.."
source tests/e2e/e2e_lib.sh

# Inside the namespace: the alternating runs, then one run of each under the tools.
inside() {
  local work=$1 runs=$2 city=$3 url=$4
  local program=$work/qeloweather floor=$work/durable_floor services=$work/durable_floor_services
  mkdir -p "$work/ram" "$work/floor" "$work/services"
  mount -t tmpfs tmpfs "$work/ram"
  cp "$program" "$work/ram/"
  curl -s -o /dev/null -w '%{size_download}\n' "$url" >"$work/page-bytes"
  local runs_of=("$program" "$city" ";" "$work/ram/qeloweather" "$city" ";" curl -s -o /dev/null "$url"
    ";" "$floor" "$url" "$work/floor/qeloweather.ini" ";" /bin/true ";" "$floor" ";" "$program"
    ";" "$services" "$url" "$work/services/qeloweather.ini")
  printf '%s\n' "qeloweather, whole run, file on disk" "qeloweather, whole run, file on tmpfs" \
    "curl, fetch of the page alone" "floor, the same durable work in C" "start: /bin/true" \
    "start: the floor (static C)" "start: qeloweather, no city" \
    "floor through the C library's services" >"$work/labels"
  if [ -x "$work/before/qeloweather" ]; then
    runs_of+=(";" "$work/before/qeloweather" "$city" ";" "$work/before/qeloweather")
    printf '%s\n' "before: whole run, file on disk" "before: start, no city" >>"$work/labels"
  fi
  "$work/alternate_runs" "$runs" "${runs_of[@]}" >"$work/times"
  ! cmp -s "$work/ram/qeloweather.ini" /dev/null || fail "no forecast on the tmpfs"
  umount "$work/ram"
  [ "$(grep -c = "$work/qeloweather.ini")" = 17 ] || fail "the program did not write the 17 keys"
  grep -q '^lines=' "$work/floor/qeloweather.ini" || fail "the floor wrote no file"
  grep -q '^lines=' "$work/services/qeloweather.ini" || fail "the services floor wrote no file"
  strace -f -c -o "$work/strace-program.txt" "$program" "$city"
  strace -f -c -o "$work/strace-floor.txt" "$floor" "$url" "$work/floor/qeloweather.ini"
  valgrind --tool=callgrind --callgrind-out-file="$work/callgrind.out" "$program" "$city" 2>"$work/callgrind.log"
  valgrind --tool=callgrind --callgrind-out-file="$work/callgrind-floor.out" \
    "$floor" "$url" "$work/floor/qeloweather.ini" 2>"$work/callgrind-floor.log"
  valgrind --tool=massif --massif-out-file="$work/massif.out" "$program" "$city" 2>"$work/massif.log"
  /usr/bin/time -v "$program" "$city" 2>"$work/time-program.log"
  /usr/bin/time -v "$floor" "$url" "$work/floor/qeloweather.ini" 2>"$work/time-floor.log"
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
cmake --build "$build" -j"$jobs" --target qeloweather forecast_emulator durable_floor \
  durable_floor_services alternate_runs >/dev/null
for tool in curl strace valgrind /usr/bin/time; do
  command -v "$tool" >/dev/null || fail "whole_run: $tool is needed"
done

make_work_dir
cp "${QELO_BENCH_PROGRAM:-$build/app/qeloweather}" "$work/qeloweather"
if [ -n "${QELO_BENCH_BEFORE:-}" ]; then
  mkdir -p "$work/before"
  cp "$QELO_BENCH_BEFORE" "$work/before/qeloweather"
fi
cp "$build/bench/durable_floor" "$build/bench/durable_floor_services" "$build/bench/alternate_runs" "$work/"
code=$(city_code "$city")
[ -n "$code" ] || fail "whole_run: '$city' is not in the city table"
url="http://www.weather.com.cn/weather/$code.shtml"

echo "== $runs rounds of alternating runs: qeloweather $city, curl and the floor on $url"
in_netns --emulator "$build/tools/emulator/forecast_emulator" --lifetime-seconds 1800 -- \
  "$0" --inside "$work" "$runs" "$city" "$url"
echo "page: $(cat "$work/page-bytes") bytes; file system of the runs: $(df -T "$work" | awk 'NR == 2 { print $2 }')"

median_of() { awk -v c="$1" '{ print $c }' "$work/times" | sort -n | awk '{ v[NR] = $1 } END {
  print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
column=0
while IFS= read -r label; do
  column=$((column + 1))
  awk -v c="$column" '{ print $c }' "$work/times" | sort -n | awk -v label="$label" -v m="$(median_of "$column")" '
    NR == 1 { min = $1 } END { printf "%-38s min %8.3f ms   median %8.3f ms   (%d runs)\n", label, min / 1000, m / 1000, NR }'
done <"$work/labels"
awk -v p="$(median_of 1)" -v f="$(median_of 4)" -v s="$(median_of 8)" -v c="$(median_of 3)" \
  'BEGIN { printf "whole run / floor %.3f (goal at most 1.2), / services floor %.3f, / curl %.3f (medians)\n",
    p / f, p / s, p / c }'
if [ -d "$work/before" ]; then
  awk -v p="$(median_of 9)" -v f="$(median_of 4)" 'BEGIN { printf "before: whole run / floor %.3f\n", p / f }'
fi

calls() { awk '$NF == "total" { print $4 }' "$1"; }
kinds() { awk '$1 ~ /^[0-9.]+$/ && $NF != "total" { print $4, $NF }' "$1" | sort -k1,1nr -k2 |
  awk '{ printf "%s%s %s", (NR > 1 ? ", " : ""), $2, $1 } END { print "" }'; }
instructions() { awk '/^(summary|totals):/ { print $2; exit }' "$1"; }
field() { awk -F': ' -v f="$2" '$1 ~ f { print $2 }' "$1"; }
printf 'system calls of one run (strace -f -c): qeloweather %s, floor %s\n' \
  "$(calls "$work/strace-program.txt")" "$(calls "$work/strace-floor.txt")"
printf '  qeloweather: %s\n' "$(kinds "$work/strace-program.txt")"
printf '  floor: %s\n' "$(kinds "$work/strace-floor.txt")"
printf 'instructions of one run (callgrind Ir): %s, floor %s\n' \
  "$(instructions "$work/callgrind.out")" "$(instructions "$work/callgrind-floor.out")"
printf 'page faults of one run (time -v, minor): qeloweather %s, floor %s, curl %s\n' \
  "$(field "$work/time-program.log" 'Minor')" "$(field "$work/time-floor.log" 'Minor')" \
  "$(field "$work/time-curl.log" 'Minor')"
printf 'peak heap of one complete run (massif): %s bytes\n' \
  "$(awk -F= '/^mem_heap_B=/ { if ($2 > max) max = $2 } END { print max + 0 }' "$work/massif.out")"
printf 'max RSS: qeloweather %s KiB, floor %s KiB, curl %s KiB\n' \
  "$(field "$work/time-program.log" 'Maximum resident')" "$(field "$work/time-floor.log" 'Maximum resident')" \
  "$(field "$work/time-curl.log" 'Maximum resident')"
