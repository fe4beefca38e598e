#!/usr/bin/env bash
# Builds both release archives from this checkout with CPack, checks what they hold
# (tests/release/check_archive.py) and prints their SHA-256:
#   build/release-native/qeloweather-<version>-linux-x86_64.tar.gz
#   build/release-win64/qeloweather-<version>-win64.zip
# The same commit gives the same bytes in any folder: the entries are dated from the commit
# (SOURCE_DATE_EPOCH, taken from git unless set), and nothing else of the build's time or place
# reaches the archives.
#
#   scripts/release.sh
set -euo pipefail
cd "$(dirname "$0")/.."
jobs="${QELO_JOBS:-$(nproc)}"

if command -v git >/dev/null && git rev-parse --git-dir >/dev/null 2>&1 &&
   [ -n "$(git status --porcelain --untracked-files=no)" ]; then
  echo "note: the checkout has uncommitted changes; the archives hold them, dated from the last commit" >&2
fi

package() {
  local build=$1
  shift
  echo "== $build"
  rm -f "$build"/qeloweather-*.tar.gz "$build"/qeloweather-*.zip
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DQELO_BUILD_TESTS=OFF -DQELO_BUILD_BENCHMARKS=OFF \
    "$@" >"$build.configure.log" 2>&1 || { cat "$build.configure.log" >&2; exit 1; }
  cmake --build "$build" -j"$jobs" --target package >"$build.build.log" 2>&1 ||
    { tail -n 40 "$build.build.log" >&2; exit 1; }
}

mkdir -p build
package build/release-native
package build/release-win64 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake

echo "== archives"
for archive in build/release-native/qeloweather-*.tar.gz build/release-win64/qeloweather-*.zip; do
  [ -f "$archive" ] || { echo "missing: $archive" >&2; exit 1; }
  python3 tests/release/check_archive.py "$archive" >/dev/null
  printf '%s  %s  (%s bytes)\n' "$(sha256sum <"$archive" | cut -c1-64)" "$archive" "$(stat -c %s "$archive")"
done
