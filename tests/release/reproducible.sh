#!/usr/bin/env bash
# Builds qeloweather.exe twice from the same sources, once from this checkout and once from a
# copy of it in another folder, each into its own build folder, and checks that the two programs
# are the same byte for byte: no time stamp, no source or build path and no other trace of the
# build's time or place may reach the shipped program.
#
#   tests/release/reproducible_windows.sh
# Exits 0 when the two are identical, 1 when they differ or a build fails.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
jobs="${QELO_JOBS:-$(nproc)}"
work=$(mktemp -d "${TMPDIR:-/tmp}/qelo-reproducible.XXXXXX")
[ -n "${QELO_KEEP:-}" ] || trap 'rm -rf "$work"' EXIT

# The second copy of the sources sits at a path of another length and name.
copy="$work/elsewhere/qeloweather-sources"
mkdir -p "$copy"
tar -C "$root" --exclude=./build --exclude='./build-*' --exclude=./.git -cf - . | tar -C "$copy" -xf -

build() {
  local sources=$1 folder=$2
  if ! { cmake -S "$sources" -B "$folder" -DCMAKE_BUILD_TYPE=Release \
           -DCMAKE_TOOLCHAIN_FILE="$sources/cmake/mingw-w64.cmake" \
           -DQELO_BUILD_TESTS=OFF -DQELO_BUILD_BENCHMARKS=OFF &&
         cmake --build "$folder" -j"$jobs" --target qeloweather; } >"$folder.log" 2>&1; then
    cat "$folder.log" >&2
    echo "FAIL: the build in $folder failed" >&2
    exit 1
  fi
}

build "$root" "$work/first"
build "$copy" "$work/elsewhere/b"
first="$work/first/app/qeloweather.exe"
second="$work/elsewhere/b/app/qeloweather.exe"
if ! cmp "$first" "$second"; then
  echo "FAIL: two builds of the same sources in two folders gave different programs" >&2
  cmp -l "$first" "$second" | head -n 20 >&2 || true
  exit 1
fi
echo "ok: qeloweather.exe is the same from both folders ($(stat -c %s "$first") bytes, sha256 $(sha256sum <"$first" | cut -c1-64))"
