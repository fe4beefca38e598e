#!/usr/bin/env bash
# Checks the forecast-site emulator itself on a free loopback port (no namespace needed): what
# each mode serves, 404 for unknown paths, and that it always stops by itself.
#
#   emulator_test.sh        Environment: QELO_EMULATOR
set -euo pipefail
source "$(dirname "$0")/e2e_lib.sh"
: "${QELO_EMULATOR:?}"
command -v curl >/dev/null || skip "curl is not installed"
make_work_dir
readonly kFuzhou=/weather/101230101.shtml
readonly kTodayMarker='<!-- 今天明天预报 begin-->'

# start_emulator [options]: a background emulator on a free port; sets $port and $pid.
start_emulator() {
  rm -f "$work/ready"
  "$QELO_EMULATOR" --port 0 --ready-file "$work/ready" --lifetime-seconds 30 "$@" &
  pid=$!
  wait_until 30 "$pid" -s "$work/ready" || fail "the emulator did not start ($*)"
  port=$(cat "$work/ready")
}

stop_emulator() {
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
}

# fetch NAME PATH [curl options]: status code into $status, head and body into $work/NAME.*
fetch() {
  local name=$1 path=$2
  shift 2
  status=$(curl -s -m 10 -D "$work/$name.head" -o "$work/$name.body" -w '%{http_code}' "$@" \
    "http://127.0.0.1:$port$path") || status="curl-$?"
}

header() { tr -d '\r' <"$work/$1.head" | grep -i "^$2:" | cut -d' ' -f2- || true; }

start_emulator
fetch page "$kFuzhou"
[ "$status" = 200 ] || fail "normal: status $status"
[ "$(header page Content-Length)" = "$(wc -c <"$work/page.body")" ] || fail "normal: Content-Length is not the body's size"
grep -q "$kTodayMarker" "$work/page.body" || fail "normal: the page has no today block marker"
iconv -f UTF-8 -t UTF-8 "$work/page.body" >/dev/null || fail "normal: the page is not UTF-8"
fetch other /weather/101010100.shtml
cmp -s "$work/page.body" "$work/other.body" && fail "two cities got the same page"
for path in /weather/000000000.shtml /weather/101230101.html /index.html /weather/10123010.shtml; do
  fetch unknown "$path"
  [ "$status" = 404 ] || fail "unknown path $path: status $status"
done
fetch post "$kFuzhou" -X POST
[ "$status" = 404 ] || fail "POST: status $status"
stop_emulator

for mode in chunked until-close slow not-found not-utf8 no-today-marker close-at-once; do
  start_emulator --mode "$mode"
  started=$(now_ms)
  fetch "$mode" "$kFuzhou"
  elapsed=$(($(now_ms) - started))
  stop_emulator
  body=$work/$mode.body
  case "$mode" in
    chunked | until-close | slow)
      [ "$status" = 200 ] || fail "$mode: status $status"
      cmp -s "$work/page.body" "$body" || fail "$mode: another page than in normal mode" ;;&
    chunked) [ "$(header chunked Transfer-Encoding)" = chunked ] || fail "chunked: no chunked coding" ;;
    until-close)
      [ -z "$(header until-close Content-Length)" ] || fail "until-close: has a Content-Length"
      [ "$(header until-close Connection)" = close ] || fail "until-close: no Connection: close" ;;
    slow) [ "$elapsed" -ge 1000 ] && [ "$elapsed" -lt 5000 ] || fail "slow: took $elapsed ms" ;;
    not-found) [ "$status" = 404 ] && [ -s "$body" ] || fail "not-found: status $status or no body" ;;
    not-utf8)
      [ "$status" = 200 ] || fail "not-utf8: status $status"
      ! iconv -f UTF-8 -t UTF-8 "$body" >/dev/null 2>&1 || fail "not-utf8: the page is UTF-8" ;;
    no-today-marker) ! grep -q "$kTodayMarker" "$body" || fail "no-today-marker: the marker is there" ;;
    close-at-once) [ "$status" = curl-52 ] || fail "close-at-once: curl saw $status, not an empty reply" ;;
  esac
done

# It stops by itself: after one request with --once, and at the end of its lifetime.
start_emulator --once
fetch once "$kFuzhou"
timeout 5 tail --pid="$pid" -f /dev/null || fail "--once: still running after its request"
"$QELO_EMULATOR" --port 0 --lifetime-seconds 1 &
pid=$!
timeout 4 tail --pid="$pid" -f /dev/null || fail "--lifetime-seconds 1: still running"

[ "$("$QELO_EMULATOR" --print-expected 福州 | wc -l)" = 17 ] || fail "--print-expected: not 17 lines"
[ -z "$("$QELO_EMULATOR" --mode not-found --print-expected 福州)" ] || fail "not-found: expects a file"
! "$QELO_EMULATOR" --print-expected 福州市 2>/dev/null || fail "--print-expected accepts an unknown city"
echo "ok: the emulator serves every mode and stops by itself"
