#!/usr/bin/env bash
# End-to-end tests of the native program on the desktops it is made for: the update time in the
# user's locale, folder and program names that are no UTF-8, a file an unprivileged user may not
# write (one it writes in place is the fault sweep's, tests/forecastfile/fault_sweep.py).
#   native_desktop_e2e.sh locale LOCALE | gbk-folder | gbk-report | unprivileged-read-only
# Environment: QELO_EMULATOR, QELO_PROGRAM, QELO_SHORT_WATCHDOG_PROGRAM, QELO_SHORT_WATCHDOG_MS.
set -euo pipefail
source "$(dirname "$0")/e2e_lib.sh"

: "${QELO_EMULATOR:?}" "${QELO_PROGRAM:?}"
scenario=$1
make_work_dir
# 福州 and 天气 as GBK bytes, as an unzip tool names folders from a Chinese archive.
readonly kGbkFuzhou=$'\xb8\xa3\xd6\xdd'
readonly kGbkWeather=$'\xcc\xec\xc6\xf8'
readonly kNobody=65534

# The program's 更新时间 must be what `date +'%x %X'` prints under the same locale for one of the
# seconds the run lasted.
locale_run() {
  local locale=$1
  locale -a 2>/dev/null | grep -qix "${locale/UTF-8/utf8}" || skip "locale $locale is not installed"
  local program before after text written second expected=""
  program=$(install_program "$QELO_PROGRAM" "$work/app")
  before=$(date +%s)
  run_timed 60 -- env -u LANG -u LC_TIME LC_ALL="$locale" "$program" 福州
  after=$(date +%s)
  [ "$run_status" = 0 ] || fail "exit code $run_status under $locale"
  [ ! -s "$work/stderr" ] || fail "the program reported: $(cat "$work/stderr")"
  text=$(ini_text "$work/app/qeloweather.ini")
  written=$(printf '%s\n' "$text" | sed -n 's/^更新时间=//p')
  for ((second = before; second <= after; second++)); do
    expected=$(LC_ALL="$locale" date -d "@$second" +'%x %X')
    if [ "$written" = "$expected" ]; then
      [ "$(printf '%s\n' "$text" | tail -n +3)" = "$("$QELO_EMULATOR" --print-expected 福州 | tail -n +2)" ] ||
        fail "the forecast keys differ from what the emulator served"
      echo "ok: $locale 更新时间=$written"
      return
    fi
  done
  fail "under $locale 更新时间 is '$written'; date +'%x %X' gives '$expected'"
}

# The program and its file in a folder whose name is GBK bytes: found, written, complete.
gbk_folder() {
  local app_dir="$work/$kGbkFuzhou" program
  program=$(install_program "$QELO_PROGRAM" "$app_dir")
  run_timed 60 -- "$program" 福州
  [ "$run_status" = 0 ] || fail "exit code $run_status"
  [ ! -s "$work/stderr" ] || fail "the program reported: $(cat -v "$work/stderr")"
  check_forecast_file "$app_dir/qeloweather.ini" "$("$QELO_EMULATOR" --print-expected 福州)"
  echo "ok: written to $(printf '%s' "$app_dir/qeloweather.ini" | cat -v)"
}

# A program named in GBK bytes, in a GBK folder, whose file may not be written: the report's
# title and path carry the very bytes of the file system.
gbk_report() {
  : "${QELO_SHORT_WATCHDOG_PROGRAM:?}"
  local app_dir="$work/$kGbkFuzhou"
  mkdir -p "$app_dir"
  cp "$QELO_SHORT_WATCHDOG_PROGRAM" "$app_dir/$kGbkWeather.plugin"
  plant_old_file "$app_dir/qeloweather.ini"
  chmod 0444 "$app_dir/qeloweather.ini"
  run_timed 60 -- "$app_dir/$kGbkWeather.plugin" 福州
  [ "$run_status" = 0 ] || fail "exit code $run_status"
  check_report "$kGbkWeather" "Unable to write to $app_dir/qeloweather.ini."
  check_file_untouched "$app_dir/qeloweather.ini"
  echo "ok: $(cat -v "$work/stderr")"
}

# The program run as an unprivileged user beside a forecast file that user may not write.
unprivileged_read_only() {
  : "${QELO_SHORT_WATCHDOG_PROGRAM:?}"
  command -v setpriv >/dev/null || skip "setpriv (util-linux) is needed"
  chmod 0755 "$work"
  local app_dir="$work/shared" program title
  program=$(install_program "$QELO_SHORT_WATCHDOG_PROGRAM" "$app_dir")
  printf '; maintained by the host\n[qelo]\n城市=旧\n[host]\nkeep=1\n' >"$app_dir/qeloweather.ini"
  chmod 0444 "$app_dir/qeloweather.ini"
  run_timed 60 --real-ids -- setpriv --reuid=$kNobody --regid=$kNobody --clear-groups "$program" 福州
  [ "$run_status" = 0 ] || fail "exit code $run_status"
  title=$(basename "$QELO_SHORT_WATCHDOG_PROGRAM")
  check_report "$title" "Unable to write to $app_dir/qeloweather.ini."
  grep -qx '城市=旧' "$app_dir/qeloweather.ini" || fail "the read-only file was changed"
  echo "ok: $(cat "$work/stderr")"
}

case "$scenario" in
  locale) locale_run "$2" ;;
  gbk-folder) gbk_folder ;;
  gbk-report) gbk_report ;;
  unprivileged-read-only) unprivileged_read_only ;;
  *) fail "unknown scenario $scenario" ;;
esac
