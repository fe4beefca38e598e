#!/usr/bin/env bash
# Builds the release archives twice from the same sources, once from this checkout and once from
# a copy of it in another folder, each into its own build folder, and checks that the two builds
# give the same archive byte for byte (no time stamp, no source or build path and no other trace
# of the build's time or place may reach it) and that the archive holds what its user needs
# (check_archive.py).
#
#   tests/release/reproducible.sh [native|win64]...      (default: both)
# Exits 0 when each pair is identical and sound, 1 when one differs, is unsound or fails to build.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
jobs="${QELO_JOBS:-$(nproc)}"
work=$(mktemp -d "${TMPDIR:-/tmp}/qelo-reproducible.XXXXXX")
[ -n "${QELO_KEEP:-}" ] || trap 'rm -rf "$work"' EXIT
# The copy has no git history: both builds date the entries as a release from this checkout would.
SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git -C "$root" log -1 --format=%ct 2>/dev/null ||
  stat -c %Y "$root/LICENSE")}
export SOURCE_DATE_EPOCH
systems=("$@")
[ $# -gt 0 ] || systems=(native win64)

# The second copy of the sources sits at a path of another length and name.
copy="$work/elsewhere/qeloweather-sources"
mkdir -p "$copy"
tar -C "$root" --exclude=./build --exclude='./build-*' --exclude=./.git -cf - . | tar -C "$copy" -xf -

# build SOURCES FOLDER SYSTEM: prints the archive's path.
build() {
  local sources=$1 folder=$2 options=()
  [ "$3" = native ] || options=(-DCMAKE_TOOLCHAIN_FILE="$sources/cmake/mingw-w64.cmake")
  if ! { cmake -S "$sources" -B "$folder" -DCMAKE_BUILD_TYPE=Release "${options[@]}" \
           -DQELO_BUILD_TESTS=OFF -DQELO_BUILD_BENCHMARKS=OFF &&
         cmake --build "$folder" -j"$jobs" --target package; } >"$folder.log" 2>&1; then
    cat "$folder.log" >&2
    echo "FAIL: the build in $folder failed" >&2
    exit 1
  fi
  find "$folder" -maxdepth 1 \( -name 'qeloweather-*.zip' -o -name 'qeloweather-*.tar.gz' \)
}

status=0
for system in "${systems[@]}"; do
  first=$(build "$root" "$work/first-$system" "$system")
  second=$(build "$copy" "$work/elsewhere/b-$system" "$system")
  if cmp "$first" "$second"; then
    echo "ok: $(basename "$first") is the same from both folders ($(stat -c %s "$first") bytes," \
      "sha256 $(sha256sum <"$first" | cut -c1-64))"
  else
    echo "FAIL: two builds of the same sources in two folders gave different archives" >&2
    cmp "$work"/first-"$system"/app/qeloweather* "$work"/elsewhere/b-"$system"/app/qeloweather* >&2 ||
      echo "(the programs differ)" >&2
    status=1
  fi
  python3 "$root/tests/release/check_archive.py" "$first" || status=1
done
exit $status
