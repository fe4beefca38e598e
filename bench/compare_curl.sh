#!/usr/bin/env bash
# Serves one forecast page (Content-Length framing; 16 MiB unless told) from the forecast-site
# emulator on a free loopback port and reads it, in the same run, with curl and with the
# program's HTTP client (bench_fetch); prints both throughputs (median of the rounds), their
# ratio, and the peak memory of the client's fetch.
#
#   bench/compare_curl.sh [rounds, default 10] [page bytes, default 16777216]
# Environment: QELO_BENCH_BUILD (build directory, default build/bench, Release), QELO_JOBS.
set -euo pipefail
cd "$(dirname "$0")/.."
source tests/e2e/e2e_lib.sh
rounds="${1:-10}"
page_bytes="${2:-$((16 * 1024 * 1024))}"
build="${QELO_BENCH_BUILD:-build/bench}"
command -v curl >/dev/null || fail "curl is not installed"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j"${QELO_JOBS:-2}" --target bench_fetch forecast_emulator >/dev/null
bench="$build/bench/bench_fetch"

make_work_dir
"$build/tools/emulator/forecast_emulator" --port 0 --page-bytes "$page_bytes" --lifetime-seconds 600 \
  --ready-file "$work/ready" &
emulator=$!
trap 'kill "$emulator" 2>/dev/null || true; rm -rf "$work"' EXIT
wait_until 30 "$emulator" -s "$work/ready" || fail "the forecast emulator did not start"
address="http://127.0.0.1:$(cat "$work/ready")/weather/$(city_code 福州).shtml"

median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

curl_bps=$(for _ in $(seq "$rounds"); do
  curl -s -o /dev/null -w '%{speed_download}\n' "$address"
done | median)

# The client's figure as the program meets it, one fetch in a process of its own as curl makes
# it. First: the loops below leave thousands of connections in TIME_WAIT, which slow the kernel's
# search for a free port for the client's bind.
once_bps=$(for _ in $(seq "$rounds"); do
  QELO_FETCH_ADDRESS="$address" "$bench" --benchmark_filter='^BM_FetchOnceFromEnvironment' \
    --benchmark_format=csv 2>/dev/null | awk -F, '/^"BM_FetchOnceFromEnvironment/ { print $6 }'
done | median)

# Then in a loop, twice: as the program meets it, each fetch growing its buffer in fresh
# memory from the system; and with glibc keeping freed memory, so that only the reading remains.
ours() {
  QELO_FETCH_ADDRESS="$address" "$@" "$bench" --benchmark_filter='^BM_FetchFromEnvironment' \
    --benchmark_repetitions="$rounds" --benchmark_format=csv 2>/dev/null |
    awk -F, '/^"BM_FetchFromEnvironment\/real_time",/ { print $6 }' | median
}
ours_bps=$(ours env)
warm_bps=$(ours env GLIBC_TUNABLES=glibc.malloc.mmap_threshold=67108864:glibc.malloc.trim_threshold=268435456)

max_rss_kib() {
  /usr/bin/time -v -o "$work/time" "$@" >/dev/null 2>&1
  awk -F: '/Maximum resident set size/ { gsub(/ /, "", $2); print $2 }' "$work/time"
}
peak_kib=$(QELO_FETCH_ADDRESS="$address" max_rss_kib "$bench" --benchmark_filter=FetchOnceFromEnvironment)
# The same process without any fetch, to tell the fetch's share from the program's own.
base_kib=$(max_rss_kib "$bench" --benchmark_filter=NoSuchBenchmark)

awk -v c="$curl_bps" -v o="$ours_bps" -v w="$warm_bps" -v f="$once_bps" -v p="$peak_kib" -v b="$base_kib" 'BEGIN {
  printf "curl                     %7.1f MB/s\n", c / 1e6
  printf "HttpClient               %7.1f MB/s  (%.0f%% of curl; goal at least 80%%)\n", o / 1e6, 100 * o / c
  printf "HttpClient, warm memory  %7.1f MB/s  (%.0f%% of curl)\n", w / 1e6, 100 * w / c
  printf "HttpClient, one a process%7.1f MB/s  (%.0f%% of curl)\n", f / 1e6, 100 * f / c
  printf "peak memory              %7.1f MiB with the fetch, %.1f MiB without (goal for 16 MiB: fetch under 48 MiB)\n", p / 1024, b / 1024
}'
