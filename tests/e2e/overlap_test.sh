#!/usr/bin/env bash
# Runs that overlap, as a host starting the program on a timer and on a click makes them: copies
# of the real program started at once in one folder, each for another city, against the
# forecast-site emulator, round after round, while the host example writes a key of its own under
# the program's lock (examples/linux/host-key.sh, examples/windows/host-key.c). Each round starts
# from a file with host lines in and around [qelo]. After it: every host line in place and the
# host's last tick, each section once, no NUL, whole characters, one update time and the other 16
# keys exactly as one city was served, and no run reported a failure (stderr, or a MessageBoxW).
#   overlap_test.sh [--build native|windows] [--path replacement|in-place] [--rounds N] [--runs K]
# native: K runs at once (default 4), as root in a folder it may write (replacement), or as
#   nobody in a folder of mode 0555 beside a file of mode 0666 (in-place: the file is rewritten
#   through its own descriptor); windows: qeloweather.exe under one wineserver (K default 3).
# Prints each round's faults (or ok), the rounds passed and failed and the rounds per kind of
# fault; exits 1 when a round failed.
# Environment: QELO_EMULATOR; native: QELO_PROGRAM; windows: QELO_EXE, QELO_HOST_KEY_EXE.
set -euo pipefail
source "$(dirname "$0")/e2e_lib.sh"
readonly kCities=(福州 上海 广州 北京 深圳 杭州)
# A round's runs end within milliseconds natively, seconds under Wine; a run waiting for the
# lock waits at most 30 s.
readonly kRoundSeconds=60
readonly kNobody=65534
readonly kHostLines=("; kept by the host: the forecast is in [qelo]" "[host]" "theme=dark" "[qelo]"
  "host_note=kept" "[other]" "keep=1")

# ---- inside the namespace: the rounds --------------------------------------------------------

# The start file of every round; UTF-16LE with CR LF under Wine, as the Windows build writes.
write_start_file() {
  local ini=$app_dir/qeloweather.ini
  if [ "$build" = windows ]; then
    { printf '\xff\xfe'; printf '%s\r\n' "${kHostLines[@]}" | iconv -f UTF-8 -t UTF-16LE; } >"$ini"
  else
    printf '%s\n' "${kHostLines[@]}" >"$ini"
  fi
  chmod 0666 "$ini"
}

# write_host_key VALUE: the host example sets [host] tick=VALUE under the lock.
write_host_key() {
  if [ "$build" = windows ]; then
    "$E2E_WINE" "$host_key" "$(windows_path "$app_dir")\\qeloweather.ini" host tick "$1" >/dev/null 2>&1
  else
    "$host_key" "$app_dir/qeloweather.ini" host tick "$1"
  fi
}

# Writes tick=ROUND.1, ROUND.2 ... until $round_dir/stop appears, at least once; the last value
# written whole is $round_dir/host-last.
host_writer() {
  local round=$1 n=0
  until [ -e "$round_dir/stop" ] && [ $n -gt 0 ]; do
    n=$((n + 1))
    if ! write_host_key "$round.$n"; then
      echo "host-write: the host example failed" >>"$round_dir/faults"
      return
    fi
    echo "$round.$n" >"$round_dir/host-last"
  done
}

# start_run I CITY: the program for CITY in the background; its pid is pids[I].
start_run() {
  local i=$1 city=$2 command
  case "$build,$path" in
    windows,*) command=("$E2E_WINE" "$app_dir/qeloweather.exe") ;;
    native,in-place) command=(setpriv --reuid="$kNobody" --regid="$kNobody" --clear-groups "$app_dir/qeloweather") ;;
    *) command=("$app_dir/qeloweather") ;;
  esac
  "${command[@]}" "$city" </dev/null >"$round_dir/stdout.$i" 2>"$round_dir/stderr.$i" &
  pids[i]=$!
}

# True when run I has reported a failure: a whole line on stderr, or a MessageBoxW under Wine.
# A run that reported waits for its five-minute watchdog and is ended here.
reported() {
  local err=$round_dir/stderr.$1
  if [ "$build" = windows ]; then
    grep -q 'Call user32.MessageBoxW' "$err"
  else
    [ -s "$err" ] && [ -z "$(tail -c 1 "$err")" ]
  fi
}

# Waits for every run of the round; a run's fault goes to $round_dir/faults.
wait_for_runs() {
  local deadline=$((SECONDS + kRoundSeconds)) i status
  while [ ${#pids[@]} -gt 0 ]; do
    for i in "${!pids[@]}"; do
      if ! kill -0 "${pids[i]}" 2>/dev/null; then
        status=0
        wait "${pids[i]}" || status=$?
        [ $status = 0 ] || echo "exit: ${cities[i]} ended with $status" >>"$round_dir/faults"
      elif reported "$i" || [ $SECONDS -ge $deadline ]; then
        kill -KILL "${pids[i]}" 2>/dev/null || true
        wait "${pids[i]}" 2>/dev/null || true
        reported "$i" || echo "hang: ${cities[i]} had not ended after $kRoundSeconds s" >>"$round_dir/faults"
      else
        continue
      fi
      unset 'pids[i]'
    done
    sleep 0.02
  done
  for i in "${!cities[@]}"; do
    if [ "$build" = windows ]; then
      ! reported "$i" || echo "report: ${cities[i]} showed a message box" >>"$round_dir/faults"
    elif [ -s "$round_dir/stderr.$i" ]; then
      echo "report: ${cities[i]}: $(tr '\r\n' '  ' <"$round_dir/stderr.$i" | cut -c 1-200 | sed 's/ *$//')" \
        >>"$round_dir/faults"
    fi
  done
}

# check_file LAST_TICK: the file after the round; each fault a line "kind: what" in the faults.
check_file() {
  local last=$1 ini=$app_dir/qeloweather.ini text=$round_dir/text
  {
    if [ "$build" = windows ]; then
      is_utf16le "$ini" || echo "encoding: the file is no longer UTF-16LE"
      tail -c +3 "$ini" | iconv -f UTF-16LE -t UTF-8 >/dev/null 2>&1 || echo "encoding: not UTF-16LE throughout"
      tail -c +3 "$ini" | iconv -c -f UTF-16LE -t UTF-8 2>/dev/null | tr -d '\r' >"$text" || true
    else
      ini_text "$ini" >"$text"
      iconv -f UTF-8 -t UTF-8 "$text" >/dev/null 2>&1 || echo "encoding: a character cut (not UTF-8)"
    fi
    [ "$(tr -cd '\000' <"$text" | wc -c)" = 0 ] || echo "nul: NUL bytes in the file"
    tr -d '\000' <"$text" >"$text.clean"
    local expected=()
    for city in "${kCities[@]}"; do expected+=("$work/expected.$city"); done
    # Host lines by section; every section header once; then the [qelo] keys that are not the
    # host's against each city's 16 served values (all but the update time).
    awk -v host_lines="$(printf '%s\n' "${kHostLines[@]}" | awk '
          /^\[/ { section = $0; print section "\t"; next } { print section "\t" $0 }')" \
        -v last="$last" -v cities="${kCities[*]}" '
      FNR == 1 { file++ }
      file <= ncities {
        if (FNR == 1) next
        city = name[file]
        served[city] = served[city] $0 "\n"
        count[city]++
        owner[$0] = owner[$0] " " city
        next
      }
      /^\[/ { section = $0; headers[section]++ }
      { seen[section "\t" (/^\[/ ? "" : $0)] = 1 }
      section == "[host]" && /^tick=/ { tick = tick " " substr($0, 6) }
      section == "[qelo]" && !/^\[/ && $0 != "host_note=kept" && $0 != "" {
        if (index($0, "更新时间=") == 1) { times++; time = $0; next }
        lines[++n] = $0
      }
      BEGIN {
        ncities = split(cities, name, " ")
        nhost = split(host_lines, host, "\n")
      }
      END {
        for (i = 1; i <= nhost; i++)
          if (host[i] != "" && !(host[i] in seen)) print "host-line: lost " host[i]
        if (last != "" && tick != " " last)
          print "host-key: tick=" last " written last, the file has tick=" (tick == "" ? "(none)" : substr(tick, 2))
        for (s in headers) if (headers[s] != 1) print "sections: " s " " headers[s] " times"
        if (!("[qelo]" in headers)) print "sections: no [qelo]"
        if (times != 1 || time !~ /^更新时间=[0-9]+[\/.-][0-9]+[\/.-][0-9]+( .*[0-9]:[0-9][0-9]:[0-9][0-9].*)?$/)
          print "time: " (times + 0) " lines 更新时间, " (time == "" ? "none" : "last " time)
        # The 16 values of one city, each once; else each value with the cities served it.
        for (c = 1; c <= ncities; c++) {
          city = name[c]
          if (n != count[city]) continue
          delete want
          split(served[city], w, "\n")
          for (i = 1; i <= count[city]; i++) want[w[i]]++
          ok = 1
          for (i = 1; i <= n; i++) if (--want[lines[i]] < 0) ok = 0
          if (ok) exit
        }
        for (i = 1; i <= n; i++)
          print "values: " lines[i] " (" (owner[lines[i]] == "" ? "no city" : substr(owner[lines[i]], 2)) ")"
        if (n == 0) print "values: none"
      }' "${expected[@]}" "$text.clean"
  } >>"$round_dir/faults"
}

inside() {
  local round offset i
  pids=() cities=()
  if [ "$build" = windows ]; then
    # One wineserver for every round; the host example's first write into a scratch file lets
    # Wine finish starting before the first round.
    /usr/lib/wine/wineserver -p
    mkdir -p "$work/warm"
    "$E2E_WINE" "$host_key" "$(windows_path "$work/warm")\\warm.ini" host tick 0 >/dev/null 2>&1 ||
      fail "host-key.exe does not run under Wine"
  fi
  for ((round = 1; round <= rounds; round++)); do
    round_dir=$work/round.$round
    mkdir -p "$round_dir"
    : >"$round_dir/faults"
    write_start_file
    offset=$(((round - 1) % ${#kCities[@]}))
    cities=()
    for ((i = 0; i < runs; i++)); do cities+=("${kCities[(offset + i) % ${#kCities[@]}]}"); done
    host_writer "$round" &
    local writer=$!
    pids=()
    for i in "${!cities[@]}"; do start_run "$i" "${cities[i]}"; done
    wait_for_runs
    touch "$round_dir/stop"
    wait "$writer" || true
    check_file "$(cat "$round_dir/host-last" 2>/dev/null || true)"
    if [ -s "$round_dir/faults" ]; then
      sed "s/^/round $round: /" "$round_dir/faults"
    else
      echo "round $round: ok (${cities[*]}, host tick $(cat "$round_dir/host-last" 2>/dev/null || echo none))"
    fi
  done
}

if [ "${1:-}" = inside ]; then
  work=$2 build=$3 path=$4 rounds=$5 runs=$6 app_dir=$7 host_key=$8
  inside
  exit
fi

# ---- outside: the folder, the program, the namespace -------------------------------------------
build=native path=replacement rounds=10 runs=""
while [ $# -gt 0 ]; do
  case "$1" in
    --build) build=$2; shift 2 ;;
    --path) path=$2; shift 2 ;;
    --rounds) rounds=$2; shift 2 ;;
    --runs) runs=$2; shift 2 ;;
    *) fail "unknown option $1" ;;
  esac
done
: "${QELO_EMULATOR:?}"
runner=()
case "$build,$path" in
  native,replacement | native,in-place)
    : "${QELO_PROGRAM:?}"
    command -v flock >/dev/null || skip "flock (util-linux) is needed"
    program=$QELO_PROGRAM host_key=$E2E_DIR/../../examples/linux/host-key.sh runs=${runs:-4}
    if [ "$path" = in-place ]; then
      command -v setpriv >/dev/null || skip "setpriv (util-linux) is needed"
      runner=(--real-ids)
    fi
    ;;
  windows,replacement)
    : "${QELO_EXE:?}" "${QELO_HOST_KEY_EXE:?}"
    require_wine
    program=$QELO_EXE host_key=$QELO_HOST_KEY_EXE runs=${runs:-3}
    runner=(--wine --wine-relay user32.MessageBoxW --xvfb)
    ;;
  *) fail "no such build and path: $build, $path" ;;
esac
[ "$runs" -le ${#kCities[@]} ] || fail "at most ${#kCities[@]} runs at once, one city each"
make_work_dir
app_dir=$work/app
install_program "$program" "$app_dir" >/dev/null
for city in "${kCities[@]}"; do "$QELO_EMULATOR" --print-expected "$city" >"$work/expected.$city"; done
if [ "$path" = in-place ]; then
  # The folder refuses nobody a new name; the file lets everybody write it.
  chmod 0755 "$work"
  chmod 0555 "$app_dir"
fi
status=0
in_netns "${runner[@]}" -- "$0" inside "$work" "$build" "$path" "$rounds" "$runs" "$app_dir" "$host_key" |
  tee "$work/results" || status=$?
[ $status = 0 ] || fail "the rounds ended with $status"
grep -av ': ok' "$work/results" >"$work/faults" || true
failed=$(cut -d: -f1 "$work/faults" | sort -u | wc -l)
echo "$build, $path, $runs at once: $rounds rounds: $((rounds - failed)) passed, $failed failed"
awk -F': ' '!seen[$1, $2]++ { rounds[$2]++ }
  END { for (kind in rounds) printf "  %-10s %d rounds\n", kind, rounds[kind] }' "$work/faults" | sort
[ "$failed" = 0 ] || fail "$failed of $rounds rounds went wrong"
