#!/usr/bin/env bash
# Serves one 16 MiB body (Content-Length framing) from a small loopback server and reads it, in
# the same run, with curl and with the program's HTTP client (bench_fetch); prints both
# throughputs (median of the rounds), their ratio, and the peak memory of the client's fetch.
#
#   bench/compare_curl.sh [build directory, default build/net-native] [rounds, default 10]
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build/net-native}"
rounds="${2:-10}"
bench="$build/bench/bench_fetch"
[ -x "$bench" ] || { echo "missing $bench: build the target bench_fetch first" >&2; exit 1; }
command -v curl >/dev/null || { echo "curl is not installed" >&2; exit 1; }

port_file="$(mktemp)"
python3 - "$port_file" <<'PY' &
import socket, sys, threading
body = b"a" * (16 * 1024 * 1024)
response = (b"HTTP/1.1 200 OK\r\nContent-Length: %d\r\nConnection: close\r\n\r\n" % len(body)) + body
listener = socket.socket()
listener.bind(("127.0.0.1", 0))
listener.listen(16)
listener.settimeout(120)
with open(sys.argv[1], "w") as f:
    f.write(str(listener.getsockname()[1]))
def serve(connection):
    with connection:
        connection.settimeout(10)
        request = b""
        while b"\r\n\r\n" not in request:
            piece = connection.recv(4096)
            if not piece:
                return
            request += piece
        connection.sendall(response)
        try:
            while connection.recv(4096):
                pass
        except OSError:
            pass
while True:
    try:
        connection, _ = listener.accept()
    except OSError:
        break
    threading.Thread(target=serve, args=(connection,), daemon=True).start()
PY
server=$!
trap 'kill "$server" 2>/dev/null || true; rm -f "$port_file"' EXIT
for _ in $(seq 100); do [ -s "$port_file" ] && break; sleep 0.1; done
[ -s "$port_file" ] || { echo "the loopback server did not start" >&2; exit 1; }
address="http://127.0.0.1:$(cat "$port_file")/weather/101230101.shtml"

median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

curl_bps=$(for _ in $(seq "$rounds"); do
  curl -s -o /dev/null -w '%{speed_download}\n' "$address"
done | median)

# The client's figure twice: as the program meets it, each fetch growing its buffer in fresh
# memory from the system; and with glibc keeping freed memory, so that only the reading remains.
ours() {
  QELO_FETCH_ADDRESS="$address" "$@" "$bench" --benchmark_filter='^BM_FetchFromEnvironment' \
    --benchmark_repetitions="$rounds" --benchmark_format=csv 2>/dev/null |
    awk -F, '/^"BM_FetchFromEnvironment\/real_time",/ { print $6 }' | median
}
ours_bps=$(ours env)
warm_bps=$(ours env GLIBC_TUNABLES=glibc.malloc.mmap_threshold=67108864:glibc.malloc.trim_threshold=268435456)

time_file="$(mktemp)"
max_rss_kib() {
  /usr/bin/time -v -o "$time_file" "$@" >/dev/null 2>&1
  awk -F: '/Maximum resident set size/ { gsub(/ /, "", $2); print $2 }' "$time_file"
}
peak_kib=$(QELO_FETCH_ADDRESS="$address" max_rss_kib "$bench" --benchmark_filter=FetchOnceFromEnvironment)
# The same process without any fetch, to tell the fetch's share from the program's own.
base_kib=$(max_rss_kib "$bench" --benchmark_filter=NoSuchBenchmark)
rm -f "$time_file"

awk -v c="$curl_bps" -v o="$ours_bps" -v w="$warm_bps" -v p="$peak_kib" -v b="$base_kib" 'BEGIN {
  printf "curl                     %7.1f MB/s\n", c / 1e6
  printf "HttpClient               %7.1f MB/s  (%.0f%% of curl; goal at least 80%%)\n", o / 1e6, 100 * o / c
  printf "HttpClient, warm memory  %7.1f MB/s  (%.0f%% of curl)\n", w / 1e6, 100 * w / c
  printf "peak memory              %7.1f MiB with a 16 MiB fetch, %.1f MiB without (goal: fetch under 48 MiB)\n", p / 1024, b / 1024
}'
