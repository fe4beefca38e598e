#!/usr/bin/env bash
# Writes a key of the host's own into qeloweather.ini (a setting in a section of the host's, say)
# without losing it to a run of qeloweather that writes the file at the same time, and without
# losing any of the run's keys:
#
#   $ examples/linux/host-key.sh ~/qelo/qeloweather.ini host theme dark
#
#   host-key.sh INI SECTION KEY VALUE
# qeloweather holds an exclusive lock (flock) on the folder of its file from its first write to
# the end of its writing. Under the same lock this edit waits for a run's writes to end, and a run
# waits for this edit. The edited text goes into a new file beside the old one, which is then
# renamed over it, so that no reader sees half of it; the new file keeps the old one's mode, and
# its owner where this user may set it. A reader takes the lock shared (see forecast.sh).
# The file is UTF-8 text; lines may end with LF or CR LF, and a changed line keeps its end.
# Exit code 0 when written; 1 with a reason on standard error.
set -euo pipefail
[ $# = 4 ] || { echo "usage: host-key.sh INI SECTION KEY VALUE" >&2; exit 2; }
ini=$1 section=$2 key=$3 value=$4
folder=$(dirname "$ini")
(
  flock 9
  new=$(mktemp "$folder/.qeloweather.ini.XXXXXX")
  trap 'rm -f "$new"' EXIT
  # The key's line in the section replaced, else added at the section's end, else the section
  # added at the file's end.
  [ -e "$ini" ] || : >"$ini"
  awk -v section="[$section]" -v key="$key" -v value="$value" '
    { line = $0; cr = sub(/\r$/, "", line) ? "\r" : "" }
    line ~ /^\[/ {
      if (here && !done) { print key "=" value cr; done = 1 }
      here = line == section
    }
    here && !done && index(line, key "=") == 1 { print key "=" value cr; done = 1; next }
    { print }
    END {
      if (!here && !done) print section cr
      if (!done) print key "=" value cr
    }' "$ini" >"$new"
  chmod --reference="$ini" "$new"
  chown --reference="$ini" "$new" 2>/dev/null || true
  mv -f "$new" "$ini"
) 9<"$folder" || { echo "host-key.sh: cannot write $key into $ini" >&2; exit 1; }
