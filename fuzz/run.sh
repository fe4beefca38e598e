#!/usr/bin/env bash
# Builds the libFuzzer targets (clang++, ASan + UBSan) and runs each one for a bounded time on a
# copy of its seed corpus; prints executions and findings per target.
#   fuzz/run.sh [seconds per target, default 60] [target...]
# Findings (crash-*, leak-*, timeout-*, oom-*) are kept in build/harden-fuzz/artifacts/<target>/.
# Exits non-zero when a target finds something or does not build.
set -uo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
shift || true
build=build/harden-fuzz
jobs="${QELO_JOBS:-2}"

cmake -S . -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQELO_FUZZ=ON -DQELO_BUILD_TESTS=OFF \
  -DQELO_BUILD_BENCHMARKS=OFF >"$build.configure.log" 2>&1 || {
  cat "$build.configure.log"; exit 1; }

if [ "$#" -gt 0 ]; then
  targets=("$@")
else
  targets=()
  for source in fuzz/*_fuzz.cpp; do
    name=$(basename "$source" _fuzz.cpp)
    if grep -q "fuzz_${name}: skipped" "$build.configure.log"; then
      echo "fuzz_${name}: not built ($(grep "fuzz_${name}: skipped" "$build.configure.log" | sed 's/.*skipped, //'))"
      continue
    fi
    targets+=("$name")
  done
fi

status=0
report=()
for name in "${targets[@]}"; do
  if ! cmake --build "$build" -j"$jobs" --target "fuzz_${name}" >"$build/build-${name}.log" 2>&1; then
    tail -30 "$build/build-${name}.log"
    report+=("$(printf '%-18s %14s %10s  %s' "$name" "-" "-" "BUILD FAILED")")
    status=1
    continue
  fi
  work="$build/corpus/$name"
  artifacts="$build/artifacts/$name"
  mkdir -p "$work" "$artifacts"
  seeds="fuzz/corpus/$name"
  [ -d "$seeds" ] || seeds=""
  find "$artifacts" -type f | sort >"$build/before-${name}.lst"
  log="$build/run-${name}.log"
  dict=()
  [ -f "fuzz/${name}.dict" ] && dict=(-dict="fuzz/${name}.dict")
  # detect_leaks stays on: a leak is a finding like any other.
  ASAN_OPTIONS="detect_leaks=1:allocator_may_return_null=1" \
  UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1" \
    "$build/fuzz/fuzz_${name}" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=1024 \
      -max_len=65536 -print_final_stats=1 "${dict[@]}" -artifact_prefix="$artifacts/" \
      "$work" $seeds >"$log" 2>&1
  rc=$?
  execs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | tail -1 | grep -o '[0-9]*$')
  new_files=$(find "$artifacts" -type f | sort | comm -13 "$build/before-${name}.lst" -)
  found=$(printf '%s' "$new_files" | grep -c . || true)
  if [ "$rc" -ne 0 ] || [ "$found" -gt 0 ]; then
    status=1
    verdict="FINDING (exit $rc): $(printf '%s' "$new_files" | head -3 | tr '\n' ' ')"
    grep -m1 -E 'ERROR: (AddressSanitizer|libFuzzer|LeakSanitizer)|runtime error' "$log" | sed 's/^/    /'
  else
    verdict="clean"
  fi
  report+=("$(printf '%-18s %14s %10s  %s' "$name" "${execs:-?}" "$found" "$verdict")")
done

echo
printf '%-18s %14s %10s  %s\n' "target" "executions" "findings" "result (${seconds} s each)"
for line in "${report[@]}"; do echo "$line"; done
exit "$status"
