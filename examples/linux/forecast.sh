#!/usr/bin/env bash
# Starts qeloweather for a city, waits for it with a time limit and prints today's forecast in
# one line, for a status bar or a shell prompt:
#
#   $ examples/linux/forecast.sh 福州
#   福州 9日（今天） 多云 12°C~19°C 3-4级
#
#   forecast.sh [CITY]            (default 福州)
# Environment: QELOWEATHER  the program (default: qeloweather beside this script, else at the top
#                           of the unpacked release archive, two folders up, else on PATH);
#              QELO_WAIT_SECONDS  the time limit (default 60: a run may wait up to 30 s for the
#                                 file's lock before it writes).
# Exit code 0 with the line on standard output; 1 with a reason on standard error when the run
# gave no fresh forecast (unknown city, no network, the site failed); 2 when there is no program.
set -euo pipefail
city="${1:-福州}"
limit="${QELO_WAIT_SECONDS:-60}"
program="${QELOWEATHER:-$(dirname "$0")/qeloweather}"
[ -x "$program" ] || [ -n "${QELOWEATHER:-}" ] || program="$(dirname "$0")/../../qeloweather"
[ -x "$program" ] || program=$(command -v qeloweather) ||
  { echo "forecast.sh: no qeloweather program (set QELOWEATHER)" >&2; exit 2; }
# The program writes qeloweather.ini beside its real file, also when started through a link.
ini="$(dirname "$(readlink -f "$program")")/qeloweather.ini"

# A run that writes the file changes its time (to the nanosecond); the exit code is always 0 and
# tells nothing.
stamp() { stat -c %y "$ini" 2>/dev/null || echo none; }
before=$(stamp)

# A failed run stays alive until its five-minute watchdog, so wait with a limit, not for the end.
# SIGTERM ends it at once; the file then holds the old forecast or the new one, whole.
"$program" "$city" &
pid=$!
deadline=$((SECONDS + limit))
while kill -0 "$pid" 2>/dev/null && [ $SECONDS -lt $deadline ]; do sleep 0.1; done
if kill -0 "$pid" 2>/dev/null; then
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  echo "forecast.sh: no forecast for $city within $limit s (no network, or the site failed)" >&2
  exit 1
fi
wait "$pid" || true
if [ "$(stamp)" = "$before" ]; then
  echo "forecast.sh: the run wrote nothing: '$city' is not a city of the table" >&2
  exit 1
fi

# The file read once, under a shared lock on its folder: a run of the program holds that lock
# exclusively from its first key to its end, so the text is one run's complete set of keys,
# never some new and some old (see host-key.sh for a host that writes keys of its own).
text=$(flock -s "$(dirname "$ini")" cat "$ini")

# The values of section [qelo] (UTF-8 on Linux; a byte-order mark and CRs are skipped), with the
# page's HTML entities for < > & shown as the characters.
value() {
  printf '%s\n' "$text" | awk -v key="$1" '
    { sub(/^\xEF\xBB\xBF/, ""); sub(/\r$/, "") }
    /^\[/ { section = $0; next }
    section == "[qelo]" && !found && index($0, key "=") == 1 {
      print substr($0, length(key) + 2)
      found = 1
    }
  ' | sed 's/&lt;/</g; s/&gt;/>/g; s/&amp;/\&/g'
}
echo "$(value 城市) $(value 今天) $(value 今天情况) $(value 今天度数) $(value 今天风力)"
