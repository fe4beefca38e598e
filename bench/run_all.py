#!/usr/bin/env python3
"""Builds the Release variant, runs every benchmark and prints one table: each figure beside its
goal, and whether it meets it. Benchmarks without a goal are listed as "info".

  bench/run_all.py [whole-run count]          (default 100; 0 leaves the whole run out)

Environment: QELO_BENCH_BUILD (build directory, default build/bench), QELO_JOBS.
Exits 1 when a figure misses its goal or a benchmark fails to run. Each benchmark runs five
times and its medians count; Google Benchmark's JSON output stays in <build>/bench-results/.
"""

import glob
import json
import os
import platform
import re
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BUILD = os.path.join(ROOT, os.environ.get("QELO_BENCH_BUILD", "build/bench"))
JOBS = os.environ.get("QELO_JOBS", "2")
OUT = os.path.join(BUILD, "bench-results")
TO_US = {"ns": 0.001, "us": 1.0, "ms": 1000.0, "s": 1e6}
GOAL_FAMILIES = ("BM_GetCityCode/", "BM_LoadAndExtract_100K", "BM_DecodeAscii/", "BM_Run")

rows = []
failed = False


def row(what, figure, goal, result):
    rows.append("%-46s|%26s|%14s|%s" % (what, figure, goal, result))


def check(what, figure, unit, goal, meets):
    global failed
    result = "FAIL (no figure)" if figure is None else "pass" if meets(figure) else "FAIL"
    failed |= result != "pass"
    row(what, "%s %s" % ("?" if figure is None else figure, unit), goal, result)


def run_logged(command, log):
    with open(log, "w") as file:
        return subprocess.run(command, cwd=ROOT, stdout=file, stderr=subprocess.STDOUT).returncode == 0


def build(benches):
    os.makedirs(OUT, exist_ok=True)
    configure = ["cmake", "-S", ".", "-B", BUILD, "-DCMAKE_BUILD_TYPE=Release",
                 "-DQELO_BUILD_BENCHMARKS=ON", "-DQELO_BUILD_TESTS=ON"]
    for command, log in ((configure, "configure.log"),
                         (["cmake", "--build", BUILD, "-j" + JOBS, "--target"] + benches, "build.log")):
        if not run_logged(command, os.path.join(OUT, log)):
            sys.exit(open(os.path.join(OUT, log)).read()[-3000:])


def medians(bench):
    """{name without _median: the median run} of one benchmark's JSON output."""
    path = os.path.join(OUT, bench + ".json")
    if not os.path.exists(path):
        return {}
    return {b["run_name"]: b for b in json.load(open(path))["benchmarks"]
            if b.get("aggregate_name") == "median"}


def us(run):
    return run["real_time"] * TO_US[run["time_unit"]]


def run_benches(benches):
    global failed
    results = {}
    for bench in benches:
        print("running %s ..." % bench, file=sys.stderr)
        command = [os.path.join(BUILD, "bench", bench), "--benchmark_repetitions=5",
                   "--benchmark_report_aggregates_only=true", "--benchmark_min_time=0.2",
                   "--benchmark_out=" + os.path.join(OUT, bench + ".json"), "--benchmark_out_format=json"]
        if not run_logged(command, os.path.join(OUT, bench + ".log")):
            print("%s failed: see %s" % (bench, os.path.join(OUT, bench + ".log")), file=sys.stderr)
            failed = True
        results[bench] = medians(bench)
    return results


def goal_rows(results):
    lookups = results.get("bench_city_lookup", {})
    worst = max((r for n, r in lookups.items() if n.startswith("BM_GetCityCode/")), key=us, default=None)
    name = worst["run_name"].split("/", 1)[1] if worst else ""
    check("city lookup, worst case (%s)" % name, "%.3f" % us(worst) if worst else None, "us", "< 20 us",
          lambda f: float(f) < 20)
    page = results.get("bench_page_extraction", {}).get("BM_LoadAndExtract_100K")
    check("page lines + extraction, 100 KB page", "%.3f" % us(page) if page else None, "us", "< 1000 us",
          lambda f: float(f) < 1000)
    for name, run in results.get("bench_utf8", {}).items():
        if name.startswith("BM_DecodeAscii/"):
            size = int(name.split("/")[1]) // 1048576
            check("UTF-8 decoding, ASCII, %d MiB" % size, "%.2f" % (run["bytes_per_second"] / 1e9),
                  "GB/s", ">= 1 GB/s", lambda f: float(f) >= 1)
    writes = [us(r) / 1000 for n, r in results.get("bench_ini_write", {}).items() if n.startswith("BM_Run")]
    check("one run's 17 INI writes + commit (Linux)", "%.3f" % max(writes) if writes else None, "ms", "< 10 ms",
          lambda f: float(f) < 10)
    for bench in sorted(results):
        for name, run in results[bench].items():
            if not name.startswith(GOAL_FAMILIES):
                row("  " + name, "%.3f us" % us(run), "-", "info")


def whole_run_rows(count):
    global failed
    print("running bench/whole_run.sh %d ..." % count, file=sys.stderr)
    log = os.path.join(OUT, "whole_run.txt")
    if not run_logged(["bash", "bench/whole_run.sh", str(count)], log):
        print("".join(open(log).readlines()[-5:]), file=sys.stderr)
        row("whole run vs its floor (median)", "?", "<= 1.2 x floor", "FAIL (did not run)")
        failed = True
        return
    text = open(log).read()

    def median_of(label):
        match = re.search(r"^%s.*?median\s+([\d.]+)" % re.escape(label), text, re.M)
        return match and match.group(1)

    program = median_of("qeloweather, whole run, file on disk")
    floor = median_of("floor, the same durable work in C")
    check("whole run vs its floor (median)", program, "ms",
          "<= %.3f ms" % (1.2 * float(floor)) if floor else "<= 1.2 x floor",
          lambda f: floor is not None and float(f) <= 1.2 * float(floor) + 0.0005)
    for label, what in (("floor, the same durable work in C", "the floor (median)"),
                        ("floor through the C library's services",
                         "the floor through the C library's services (median)"),
                        ("curl, fetch of the page alone", "curl's fetch of the page (median)"),
                        ("qeloweather, whole run, file on tmpfs", "whole run, file on tmpfs (median)"),
                        ("start: qeloweather, no city", "start of the program, no city (median)"),
                        ("start: the floor (static C)", "start of the floor (median)"),
                        ("start: /bin/true", "start of /bin/true (median)")):
        row("  " + what, (median_of(label) or "?") + " ms", "-", "info")
    if match := re.search(r"strace -f -c\): qeloweather (\d+), floor (\d+)", text):
        row("  system calls of one run", "%s (floor %s)" % match.groups(), "-", "info")
    if match := re.search(r"callgrind Ir\): (\d+), floor (\d+)", text):
        row("  instructions of one run", "%s (floor %s)" % match.groups(), "-", "info")
    if match := re.search(r"^max RSS: qeloweather (\d+) KiB, floor \d+ KiB, curl (\d+) KiB", text, re.M):
        row("  max RSS, program vs curl", "%s KiB vs curl %s KiB" % match.groups(), "-", "info")


def machine():
    model = next((l.split(":", 1)[1].strip() for l in open("/proc/cpuinfo") if l.startswith("model name")), "?")
    memory = next(int(l.split()[1]) for l in open("/proc/meminfo") if l.startswith("MemTotal"))
    return "%d cores, %s, %.1f GiB, kernel %s" % (os.cpu_count(), model, memory / 1048576, platform.release())


def main():
    whole_runs = int(sys.argv[1]) if len(sys.argv) > 1 else 100
    benches = sorted("bench_" + os.path.basename(s)[: -len("_bench.cpp")]
                     for s in glob.glob(os.path.join(ROOT, "bench", "*_bench.cpp")))
    build(benches)
    goal_rows(run_benches(benches))
    if whole_runs > 0:
        whole_run_rows(whole_runs)
    print()
    print("%-46s|%26s|%14s|%s" % ("benchmark", "figure", "goal", "result"))
    print("-" * 46 + "+" + "-" * 26 + "+" + "-" * 14 + "+------")
    print("\n".join(rows))
    print()
    print("machine: " + machine())
    print("raw results: %s/" % OUT)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
