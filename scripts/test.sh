#!/usr/bin/env bash
# Builds both variants from this checkout and runs every test: the native suite with ctest,
# then the same unit suite cross-built for Windows and run under Wine inside a virtual X server.
# Exits non-zero when any build or test fails.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs="${QELO_JOBS:-$(nproc)}"

echo "== native build"
cmake -S . -B build/native -DCMAKE_BUILD_TYPE=Release
cmake --build build/native -j"$jobs"
echo "== native tests"
ctest --test-dir build/native --output-on-failure -j"$jobs"

echo "== native sanitizer build (ASan + UBSan)"
cmake -S . -B build/asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQELO_SANITIZE=ON -DQELO_BUILD_BENCHMARKS=OFF
cmake --build build/asan -j"$jobs"
echo "== native tests under ASan + UBSan (the leak checker on; canaries prove both report)"
ASAN_OPTIONS="detect_leaks=1:check_initialization_order=1:strict_init_order=1" \
UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1" \
  ctest --test-dir build/asan --output-on-failure -j2

echo "== both release archives built twice, in two folders: the same bytes, and what they hold"
bash tests/release/reproducible.sh

echo "== windows build (mingw-w64)"
cmake -S . -B build/win64 -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake
cmake --build build/win64 -j"$jobs"
echo "== windows tests (wine64 under xvfb-run)"
xvfb-run -a --server-args="-screen 0 1024x768x24" \
  ctest --test-dir build/win64 --output-on-failure -j"$jobs"
