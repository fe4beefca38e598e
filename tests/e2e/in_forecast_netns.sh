#!/usr/bin/env bash
# Runs a command in a private network namespace in which www.weather.com.cn is 127.0.0.1 and the
# forecast-site emulator answers on port 80, so that the real program runs end to end without
# leaving the machine. With --out it also times the command as a host starts a program.
#   in_forecast_netns.sh [runner options] [emulator options] -- command [arguments...]
# Runner options:
#   --emulator PATH   the forecast_emulator (default: $QELO_EMULATOR); --no-emulator: none, a
#                     refused connection; --no-host: the name does not resolve; --unanswered: it
#                     is an address routed into the loopback device that nobody answers
#   --wine            a private copy-on-write view of the project's Wine prefix, so that a fresh
#                     wineserver starts inside (the command calls wine64 itself); --wine-relay LIST:
#                     Wine traces the calls of LIST ("user32.SetTimer;user32.MessageBoxW") on stderr
#   --xvfb            an X server of the namespace's own (DISPLAY is set)
#   --real-ids        no user namespace, so that the command can drop to another user; needs root
# Timed run (a host's start: standard input /dev/null, the end signals at their defaults):
#   --out DIR         DIR/stdout, DIR/stderr; DIR/status, the exit code (124 when --limit cut it
#                     off, 128+N for signal N); DIR/ms from start to end; DIR/signal, with
#                     --signal, "sent MS" (from the signal to the end) or "not running"
#   --limit SECONDS   the hard limit (SIGTERM, SIGKILL 5 s later); default 60
#   --stderr-closed-pipe  standard error is a pipe whose reader has gone
#   --signal NAME     send SIGNAME --signal-delay MS (default 0) after the start, or, with
#                     --signal-on-stderr TEXT, that long after standard error first holds TEXT
# Every other option before "--" goes to the emulator (--mode, --once, --request-log ...). The
# command's exit code is passed on (with --out: 0 once the run is recorded); 77 (and a reason on
# stderr) means that this machine cannot make such a namespace, which tests take as a skip.
set -euo pipefail
source "$(dirname "$0")/e2e_lib.sh"
[ -n "${QELO_RUNNER_TRACE:-}" ] && set -x

readonly kHost=www.weather.com.cn
# An address for --unanswered: routed into the loopback device, assigned to nobody.
readonly kUnansweredNet=10.77.0.0/24 kUnansweredAddress=10.77.0.1

fail_setup() { echo "in_forecast_netns: $*" >&2; exit 125; }

# ---- outside: enter the namespaces ---------------------------------------------------------
if [ "${1:-}" != "--inside" ]; then
  if ! command -v unshare >/dev/null || ! command -v ip >/dev/null; then
    echo "SKIP: unshare (util-linux) and ip (iproute2) are needed for a private network namespace" >&2
    exit $E2E_SKIP
  fi
  # A user namespace lets an ordinary user do this; plain root may do without one where user
  # namespaces are switched off. The pid namespace ends every process left behind with the
  # command; its own /proc keeps tools that read /proc/<pid> (LeakSanitizer) working.
  namespaces=(--net --mount --pid --fork --kill-child --mount-proc)
  arguments=" $* "  # --real-ids among the options before "--"
  [[ "${arguments%% -- *} " == *" --real-ids "* ]] && real_ids=1 || real_ids=0
  if [ $real_ids = 0 ] && unshare --user --map-root-user "${namespaces[@]}" true 2>/dev/null; then
    exec unshare --user --map-root-user "${namespaces[@]}" bash "$0" --inside "$@"
  elif [ "$(id -u)" = 0 ] && unshare "${namespaces[@]}" true 2>/dev/null; then
    exec unshare "${namespaces[@]}" bash "$0" --inside "$@"
  elif [ $real_ids = 1 ]; then
    echo "SKIP: --real-ids needs root and a network namespace without a user namespace" >&2
    exit $E2E_SKIP
  fi
  reason=$(unshare --user --map-root-user --net --mount true 2>&1 || true)
  echo "SKIP: this machine cannot create a private network and mount namespace (${reason:-unshare failed})" >&2
  exit $E2E_SKIP
fi
shift

# ---- inside: loopback, host name, emulator, command ----------------------------------------
emulator="${QELO_EMULATOR:-}" start_emulator=1 host_address=127.0.0.1 emulator_args=()
wine=0 wine_relay="" xvfb=0
out="" limit=60 closed_pipe=0 signal_name="" signal_text="" signal_delay_ms=0
while [ $# -gt 0 ] && [ "$1" != "--" ]; do
  case "$1" in
    --emulator) emulator="$2"; shift 2 ;;
    --no-emulator) start_emulator=0; shift ;;
    --no-host) host_address=""; start_emulator=0; shift ;;
    --unanswered) host_address=$kUnansweredAddress; start_emulator=0; shift ;;
    --wine) wine=1; shift ;;
    --wine-relay) wine_relay="$2"; shift 2 ;;
    --xvfb) xvfb=1; shift ;;
    --real-ids) shift ;;
    --out) out="$2"; shift 2 ;;
    --limit) limit="$2"; shift 2 ;;
    --stderr-closed-pipe) closed_pipe=1; shift ;;
    --signal) signal_name="$2"; shift 2 ;;
    --signal-on-stderr) signal_text="$2"; shift 2 ;;
    --signal-delay) signal_delay_ms="$2"; shift 2 ;;
    *) emulator_args+=("$1"); shift ;;
  esac
done
[ "${1:-}" = "--" ] || fail_setup "missing -- before the command"
shift
[ $# -gt 0 ] || fail_setup "no command given"

ip link set lo up || fail_setup "cannot bring up the loopback interface"

# Private scratch space that disappears with the namespace.
scratch=$(mktemp -d /tmp/qelo-netns.XXXXXX)
mount -t tmpfs -o size=256m tmpfs "$scratch" || fail_setup "cannot mount a tmpfs"
cleanup() {
  set +e
  # Our own wineserver and its processes first, so that none of them outlives the X server.
  if [ -n "${wine_view:-}" ]; then
    WINEPREFIX="$wine_view" /usr/lib/wine/wineserver -k 2>/dev/null
  fi
  for pid in ${emulator_pid:-} ${xvfb_pid:-}; do
    kill "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
  done
  umount -l "$scratch" 2>/dev/null
  rmdir "$scratch" 2>/dev/null
}
trap cleanup EXIT

# Puts our own version of /etc/<name> in place for this namespace only: a bind mount over the
# file (or over the file a symlink points to), or, where the file is missing, an overlay of /etc.
etc_overlay=""
place_etc_file() {
  local name=$1 content=$2
  printf '%s' "$content" >"$scratch/$name"
  if [ -e "/etc/$name" ]; then
    mount --bind "$scratch/$name" "$(readlink -f "/etc/$name")" ||
      fail_setup "cannot bind-mount over /etc/$name"
    return
  fi
  if [ -z "$etc_overlay" ]; then
    etc_overlay="$scratch/etc"
    mkdir -p "$etc_overlay/upper" "$etc_overlay/work"
    mount -t overlay overlay -o "lowerdir=/etc,upperdir=$etc_overlay/upper,workdir=$etc_overlay/work" /etc ||
      fail_setup "/etc/$name is missing and /etc cannot be overlaid"
  fi
  rm -f "/etc/$name"  # a dangling symlink must not lead the copy out of the overlay
  cp "$scratch/$name" "/etc/$name"
}

hosts="127.0.0.1 localhost
::1 localhost ip6-localhost ip6-loopback
"
[ -z "$host_address" ] || hosts+="$host_address $kHost
"
place_etc_file hosts "$hosts"
# The resolver must consult the hosts file for host names; for --no-host nothing else.
if [ -z "$host_address" ] || ! grep -Eqs '^hosts:.*\bfiles\b' /etc/nsswitch.conf; then
  place_etc_file nsswitch.conf "hosts: files
"
fi
if [ "$host_address" = $kUnansweredAddress ]; then
  ip route add $kUnansweredNet dev lo || fail_setup "cannot route $kUnansweredNet into the loopback device"
fi

# A name service cache daemon outside would answer with the outside's view of host names.
for nscd_dir in /var/run/nscd /run/nscd; do
  if [ -d "$nscd_dir" ] && [ ! -L "$nscd_dir" ]; then
    mount -t tmpfs tmpfs "$nscd_dir" || fail_setup "cannot hide $nscd_dir"
  fi
done

if [ "$wine" = 1 ]; then
  prefix=$("$E2E_WINE_RUN" --print-prefix)
  [ -f "$prefix/system.reg" ] || fail_setup "no Wine prefix at $prefix (run scripts/wine-run once)"
  mkdir -p "$scratch/wine/upper" "$scratch/wine/work" "$scratch/wine/prefix"
  mount -t overlay overlay \
    -o "lowerdir=$prefix,upperdir=$scratch/wine/upper,workdir=$scratch/wine/work" \
    "$scratch/wine/prefix" || fail_setup "cannot overlay the Wine prefix $prefix"
  # The overlay has its own device and inode, so Wine looks for the wineserver of a prefix that
  # no process outside uses; hiding the socket directory makes sure of it.
  server_dir="/tmp/.wine-$(id -u)"
  mkdir -p "$server_dir" || fail_setup "cannot make $server_dir"
  mount -t tmpfs -o mode=0700 tmpfs "$server_dir" || fail_setup "cannot hide $server_dir"
  wine_view="$scratch/wine/prefix"
  export WINEPREFIX="$wine_view"
  # No Mono or Gecko installer dialogs: the programs under test need neither.
  export WINEDLLOVERRIDES="mscoree,mshtml=" WINEDEBUG=-all
  if [ -n "$wine_relay" ]; then
    # Read by the fresh wineserver of this prefix view; the full relay trace is large and slow.
    printf '\n[Software\\\\Wine\\\\Debug] 1700000000\n"RelayInclude"="%s"\n' "$wine_relay" \
      >>"$wine_view/user.reg"
    export WINEDEBUG=-all,+relay,+loaddll,+timestamp
  fi
fi

if [ "$xvfb" = 1 ]; then
  command -v Xvfb >/dev/null || fail_setup "Xvfb is needed for --xvfb"
  # The socket directory is private and abstract sockets belong to the network namespace, so a
  # fixed display number cannot meet any other X server.
  mkdir -p /tmp/.X11-unix 2>/dev/null || true
  mount -t tmpfs -o mode=1777 tmpfs /tmp/.X11-unix || fail_setup "cannot mount a tmpfs on /tmp/.X11-unix"
  Xvfb :99 -nolock -nolisten tcp -screen 0 1024x768x24 >"$scratch/xvfb.log" 2>&1 &
  xvfb_pid=$!
  wait_until 30 "$xvfb_pid" -S /tmp/.X11-unix/X99 ||
    { cat "$scratch/xvfb.log" >&2; fail_setup "Xvfb did not start"; }
  export DISPLAY=:99
  unset XAUTHORITY
fi

if [ "$start_emulator" = 1 ]; then
  [ -n "$emulator" ] && [ -x "$emulator" ] ||
    fail_setup "no forecast emulator (give --emulator PATH or set QELO_EMULATOR)"
  "$emulator" --port 80 --ready-file "$scratch/ready" "${emulator_args[@]}" \
    >"$scratch/emulator.log" 2>&1 &
  emulator_pid=$!
  if ! wait_until 30 "$emulator_pid" -s "$scratch/ready"; then
    cat "$scratch/emulator.log" >&2
    fail_setup "the forecast emulator did not start"
  fi
fi

# Process ids repeat from one namespace to the next, so temporary files named after them (for
# instance valgrind's vgdb pipes) need a directory of the namespace's own.
mkdir -p "$scratch/tmp"
export TMPDIR="$scratch/tmp"

microseconds() { echo "${EPOCHREALTIME//[!0-9]/}"; }

# Sends the signal when it is due (see --signal); notes the moment in $out/sent.
send_signal_when_due() {
  local pid=$1
  if [ -n "$signal_text" ]; then
    # The trailing x keeps the newlines at the end of the text for the comparison.
    until [[ "$(cat "$out/stderr"; echo x)" == *"$signal_text"* ]]; do
      kill -0 "$pid" 2>/dev/null || return 0
      sleep 0.01
    done
  fi
  sleep "$((signal_delay_ms / 1000)).$(printf %03d $((signal_delay_ms % 1000)))"
  microseconds >"$out/sent"
  kill -s "$signal_name" "$pid" 2>/dev/null || rm -f "$out/sent"
}

# Ends the command at the limit: SIGTERM, then SIGKILL 5 s later. Ended itself with SIGTERM
# once the command is over, and then ends its sleep.
enforce_limit() {
  local pid=$1 sleeper
  trap 'kill $sleeper 2>/dev/null; exit 0' TERM
  sleep "$limit" &
  sleeper=$!
  wait $sleeper
  touch "$out/timed-out"
  kill -TERM "$pid" 2>/dev/null || return 0
  sleep 5 &
  sleeper=$!
  wait $sleeper
  kill -KILL "$pid" 2>/dev/null || true
}

timed_run() {
  rm -f "$out/status" "$out/ms" "$out/signal" "$out/sent" "$out/timed-out"
  : >"$out/stderr"  # also with --stderr-closed-pipe, for --signal-on-stderr
  local err start end pid status=0 guard signaller=""
  if [ "$closed_pipe" = 1 ]; then
    exec {err}> >(:)
    wait $!
  else
    exec {err}>"$out/stderr"
  fi
  start=$(microseconds)
  # Background commands of a script ignore SIGINT and SIGQUIT; a host's child has them at their
  # defaults.
  env --default-signal "$@" </dev/null >"$out/stdout" 2>&$err &
  pid=$!
  exec {err}>&-
  enforce_limit $pid &
  guard=$!
  if [ -n "$signal_name" ]; then
    send_signal_when_due $pid &
    signaller=$!
  fi
  wait $pid || status=$?
  end=$(microseconds)
  kill $guard 2>/dev/null || true
  wait $guard 2>/dev/null || true
  if [ -n "$signaller" ]; then
    wait "$signaller" 2>/dev/null || true
    if [ -s "$out/sent" ]; then
      echo "sent $(((end - $(cat "$out/sent")) / 1000))" >"$out/signal"
    else
      echo "not running" >"$out/signal"
    fi
  fi
  [ ! -e "$out/timed-out" ] || status=124
  echo $status >"$out/status"
  echo $(((end - start) / 1000)) >"$out/ms"
}

if [ -n "$out" ]; then
  timed_run "$@"
  exit 0
fi
set +e
"$@"
status=$?
set -e
exit $status
