#!/usr/bin/env bash
# Builds the Release variant, runs every benchmark and prints one table: each figure beside its
# goal, and whether it meets it. Benchmarks without a goal are listed as "info".
#
#   bench/run_all.sh [whole-run count]          (default 100; 0 leaves the whole run out)
# Environment: QELO_BENCH_BUILD (build directory, default build/harden-bench), QELO_JOBS.
# Exits 1 when a figure misses its goal or a benchmark fails to run.
set -uo pipefail
cd "$(dirname "$0")/.."
whole_runs="${1:-100}"
build="${QELO_BENCH_BUILD:-build/harden-bench}"
jobs="${QELO_JOBS:-2}"
out="$build/bench-results"

mkdir -p "$build"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DQELO_BUILD_BENCHMARKS=ON -DQELO_BUILD_TESTS=ON >"$build/qelo-configure.log" 2>&1 ||
  { cat "$build/qelo-configure.log"; exit 1; }
mkdir -p "$out"
benches=()
for source in bench/*_bench.cpp; do
  benches+=("bench_$(basename "$source" _bench.cpp)")
done
cmake --build "$build" -j"$jobs" --target "${benches[@]}" >"$out/build.log" 2>&1 ||
  { tail -30 "$out/build.log"; exit 1; }

# Each benchmark: five repetitions, medians kept, as CSV (name,iterations,real_time,cpu_time,
# time_unit,bytes_per_second,items_per_second,label,error_occurred,error_message).
status=0
for bench in "${benches[@]}"; do
  echo "running $bench ..." >&2
  if ! "$build/bench/$bench" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true \
    --benchmark_min_time=0.2 --benchmark_format=csv >"$out/$bench.csv" 2>"$out/$bench.err"; then
    echo "$bench failed: $(tail -3 "$out/$bench.err")" >&2
    status=1
  fi
done

# median FILE NAME-REGEX FIELD: the field (3 real_time, 6 bytes_per_second) of the median rows
# whose name matches, as "value unit" lines.
median_rows() {
  awk -F, -v pattern="$2" -v field="$3" 'NR > 1 {
      name = $1; gsub(/"/, "", name)
      if (name ~ /_median$/ && name ~ pattern) print name, $field, $5 }' "$1" 2>/dev/null
}
to_us() {  # value unit -> microseconds
  awk -v v="$1" -v u="$2" 'BEGIN { f = (u == "ns") ? 0.001 : (u == "ms") ? 1000 : (u == "s") ? 1e6 : 1
                                    printf "%.3f", v * f }'
}

rows=()
row() { rows+=("$(printf '%-46s|%26s|%14s|%s' "$1" "$2" "$3" "$4")"); }
verdict() {  # figure goal "lt"|"ge"
  awk -v f="$1" -v g="$2" -v how="$3" 'BEGIN {
      ok = (how == "lt") ? (f < g) : (f >= g); print ok ? "pass" : "FAIL" }'
}
check() {  # name figure-text figure goal-text goal how
  local result
  if [ -z "$3" ]; then
    result="FAIL (no figure)"
  else
    result=$(verdict "$3" "$5" "$6")
  fi
  [ "$result" = pass ] || status=1
  row "$1" "$2" "$4" "$result"
}

# City lookup: the slowest of all lookups (last row, misses).
worst=""
worst_name=""
while read -r name value unit; do
  us=$(to_us "$value" "$unit")
  if [ -z "$worst" ] || awk -v a="$us" -v b="$worst" 'BEGIN { exit !(a > b) }'; then
    worst=$us
    worst_name=${name#BM_GetCityCode/}
  fi
done < <(median_rows "$out/bench_city_lookup.csv" '^BM_GetCityCode/' 3)
check "city lookup, worst case (${worst_name%_median})" "${worst:-?} us" "$worst" "< 20 us" 20 lt

# Page lines and extraction of a 100 KB page.
value="" unit=""
read -r _ value unit < <(median_rows "$out/bench_page_extraction.csv" '^BM_LoadAndExtract_100K' 3)
us=$([ -n "${value:-}" ] && to_us "$value" "$unit")
check "page lines + extraction, 100 KB page" "${us:-?} us" "${us:-}" "< 1000 us" 1000 lt

# UTF-8 decoding of ASCII, each size on its own row.
while read -r name bps _; do
  size=${name#BM_DecodeAscii/}
  size=${size%_median}
  gbs=$(awk -v b="$bps" 'BEGIN { printf "%.2f", b / 1e9 }')
  check "UTF-8 decoding, ASCII, $((size / 1048576)) MiB" "$gbs GB/s" "$gbs" ">= 1 GB/s" 1 ge
done < <(median_rows "$out/bench_utf8.csv" '^BM_DecodeAscii/' 6)

# The 17 writes and the closing flush: the slower of a fresh file and one over a previous run.
slowest_ms=""
while read -r _ value unit; do
  ms=$(awk -v us="$(to_us "$value" "$unit")" 'BEGIN { printf "%.3f", us / 1000 }')
  if [ -z "$slowest_ms" ] || awk -v a="$ms" -v b="$slowest_ms" 'BEGIN { exit !(a > b) }'; then
    slowest_ms=$ms
  fi
done < <(median_rows "$out/bench_ini_write.csv" '^BM_Run' 3)
check "17 INI writes + closing flush (Linux)" "${slowest_ms:-?} ms" "$slowest_ms" "< 10 ms" 10 lt

# Every other benchmark, for information.
for csv in "$out"/bench_*.csv; do
  while read -r name value unit; do
    case "$name" in
      BM_GetCityCode/*|BM_LoadAndExtract_100K*|BM_DecodeAscii/*|BM_Run*) continue ;;
    esac
    row "  ${name%_median}" "$(to_us "$value" "$unit") us" "-" "info"
  done < <(median_rows "$csv" '.' 3)
done

# The whole run against curl's fetch of the same page, medians.
if [ "$whole_runs" -gt 0 ]; then
  echo "running bench/whole_run.sh $whole_runs ..." >&2
  if QELO_BENCH_BUILD="$build" QELO_JOBS="$jobs" bash bench/whole_run.sh "$whole_runs" \
    >"$out/whole_run.txt" 2>&1; then
    median_of() {
      awk -v label="$1" 'index($0, label) == 1 { for (i = 1; i <= NF; i++) if ($i == "median") { print $(i + 1); exit } }' \
        "$out/whole_run.txt"
    }
    program=$(median_of "qeloweather, whole run, file on disk")
    [ -n "$program" ] || program=$(median_of "qeloweather")
    curl=$(median_of "curl")
    check "whole run vs curl's fetch (median)" "${program:-?} ms" "$program" "<= ${curl:-?} ms" \
      "$(awk -v c="${curl:-0}" 'BEGIN { print c + 0.0005 }')" lt
    tmpfs=$(median_of "qeloweather, whole run, file on tmpfs")
    [ -z "$tmpfs" ] || row "  whole run, file on tmpfs (median)" "$tmpfs ms" "-" "info"
    ir=$(awk -F': ' '/callgrind Ir/ { print $2 }' "$out/whole_run.txt")
    [ -z "$ir" ] || row "  instructions of one whole run" "$ir" "-" "info"
    rss=$(awk '/^max RSS/ { print $4 " KiB vs curl " $7 " KiB" }' "$out/whole_run.txt")
    [ -z "$rss" ] || row "  max RSS, program vs curl" "$rss" "-" "info"
  else
    tail -5 "$out/whole_run.txt" >&2
    row "whole run vs curl fetch (median)" "?" "<= curl" "FAIL (did not run)"
    status=1
  fi
fi

echo
printf '%-46s|%26s|%14s|%s\n' "benchmark" "figure" "goal" "result"
printf '%s\n' "----------------------------------------------+--------------------------+--------------+------"
printf '%s\n' "${rows[@]}"
echo
echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), $(awk '/MemTotal/ { printf "%.1f GiB", $2 / 1048576 }' /proc/meminfo), kernel $(uname -r)"
echo "raw results: $out/"
exit "$status"
