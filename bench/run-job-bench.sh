#!/usr/bin/env bash
# Builds the benchmarks in Release (the "bench" preset, build-bench/) and runs them.
#
#   bench/run-job-bench.sh           full run: JSON results, peak memory of the job workload
#                                    and of its libxml2 baseline at the largest N, a summary
#                                    of the ratios and docs/perf-jobs.png
#   bench/run-job-bench.sh --smoke   every benchmark once at its smallest size (CI); exits
#                                    non-zero when a benchmark cannot run
#
# Results land in build-bench/bench/results/. Nothing here judges a timing: the summary
# prints the ratios and the reader compares them with the targets in docs/PERFORMANCE.md.
set -euo pipefail

cd "$(dirname "${BASH_SOURCE[0]}")/.."

readonly BUILD_DIR=build-bench
readonly BENCH_DIR=$BUILD_DIR/bench
readonly RESULTS=$BENCH_DIR/results
readonly PEAK_JOBS=100000
readonly REPETITIONS=${QIREDS_BENCH_REPETITIONS:-5}

log() { printf 'bench: %s\n' "$*" >&2; }

build() {
  # Tools and tests are not needed here; leaving them out keeps the build short. -O2 rather
  # than CMake's -O3 for Release: the level the figures in docs/PERFORMANCE.md are quoted at.
  cmake --preset bench -DQIREDS_BUILD_TOOLS=OFF -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" >/dev/null
  cmake --build --preset bench -j"${JOBS:-2}" --target JobDocumentBench RecordBench EngineeringBench
}

smoke() {
  "$BENCH_DIR/JobDocumentBench" --smoke
  "$BENCH_DIR/RecordBench" --smoke
  "$BENCH_DIR/EngineeringBench" --smoke
}

# Peak resident memory in KiB of one pass, as /usr/bin/time reports it.
peak_kib() {
  /usr/bin/time -v "$BENCH_DIR/JobDocumentBench" --peak "$1" "$2" 2>&1 >/dev/null |
    awk -F': ' '/Maximum resident set size/ { print $2 }'
}

# Medians (or the single run) from the JSON results: a Markdown summary on standard output and
# the plot's data, N against both times, in jobs.dat.
summarise() {
  python3 - "$1" <<'PYTHON'
import json, sys

results = sys.argv[1]

# Each benchmark's repetitions, by name, in ascending CPU time.
def runs(name):
    with open(f"{results}/{name}.json") as handle:
        benchmarks = json.load(handle)["benchmarks"]
    chosen = {}
    for run in benchmarks:
        if run.get("error_occurred") or run.get("run_type") == "aggregate":
            continue
        chosen.setdefault(run["run_name"], []).append(run)
    return {name: sorted(found, key=lambda run: run["cpu_time"]) for name, found in chosen.items()}

# The median repetition (the upper one of an even count), and the best.
median = lambda found: found[len(found) // 2]
best = lambda found: found[0]

jobs = runs("jobs")
sizes = sorted({int(name.split("/")[2]) for name in jobs})
def job(side, n, pick=median):
    found = jobs.get(f"JobDocument/{side}/{n}")
    return pick(found) if found else None

print("Medians of the repetitions; W/B best compares the fastest repetition of each side.\n")
print("| N | B(N) CPU ms | W(N) CPU ms | W/B | W/B best | W/B wall | W write/serialise/parse/read s "
      "| B write/serialise/parse/read s |")
print("|---:|---:|---:|---:|---:|---:|---|---|")
phases = lambda run: " / ".join(f"{run[key]:.3f}" for key in
                                ("write_s", "serialise_s", "parse_s", "read_s"))
with open(f"{results}/jobs.dat", "w") as data:
    data.write("# N baseline_cpu_ms workload_cpu_ms\n")
    for n in sizes:
        b, w = job("Baseline", n), job("Workload", n)
        if not b or not w:
            continue
        print(f"| {n:,} | {b['cpu_time']:.1f} | {w['cpu_time']:.1f} | "
              f"{w['cpu_time'] / b['cpu_time']:.2f} | "
              f"{job('Workload', n, best)['cpu_time'] / job('Baseline', n, best)['cpu_time']:.2f} | "
              f"{w['real_time'] / b['real_time']:.2f} | "
              f"{phases(w)} | {phases(b)} |")
        data.write(f"{n} {b['cpu_time']} {w['cpu_time']}\n")

print()
for big, small in zip(sizes[1:], sizes):
    for side in ("Workload", "Baseline"):
        if job(side, big) and job(side, small):
            letter = side[0]
            print(f"- {letter}({big:,}) / {letter}({small:,}) = "
                  f"{job(side, big)['cpu_time'] / job(side, small)['cpu_time']:.2f}, best "
                  f"{job(side, big, best)['cpu_time'] / job(side, small, best)['cpu_time']:.2f}")

peak = dict(line.split() for line in open(f"{results}/peak.txt") if len(line.split()) == 2)
if "workload" in peak and "baseline" in peak:
    w, b = int(peak["workload"]), int(peak["baseline"])
    print(f"\nPeak resident memory: W {w / 1024:.0f} MiB, B {b / 1024:.0f} MiB, W/B {w / b:.2f}")

print("\n| Benchmark | CPU time | Unit |")
print("|---|---:|---|")
for name, found in sorted(runs("records").items()):
    print(f"| {name} | {median(found)['cpu_time']:.2f} | {median(found)['time_unit']} |")
PYTHON
}

full() {
  mkdir -p "$RESULTS"
  # Repetitions in random order, and medians: the machine is shared, and neither one slow pass
  # nor the order of the benchmarks should make a figure.
  local flags=(--benchmark_repetitions="$REPETITIONS" --benchmark_enable_random_interleaving=true
    --benchmark_display_aggregates_only=true --benchmark_out_format=json)
  "$BENCH_DIR/JobDocumentBench" "${flags[@]}" --benchmark_out="$RESULTS/jobs.json"
  "$BENCH_DIR/RecordBench" "${flags[@]}" --benchmark_out="$RESULTS/records.json"
  log "peak memory at N=$PEAK_JOBS"
  printf 'workload %s\nbaseline %s\n' "$(peak_kib workload "$PEAK_JOBS")" \
    "$(peak_kib baseline "$PEAK_JOBS")" >"$RESULTS/peak.txt"
  summarise "$RESULTS" | tee "$RESULTS/summary.md"
  gnuplot -e "data='$RESULTS/jobs.dat'; output='docs/perf-jobs.png'" bench/perf-jobs.gp
  log "plot written to docs/perf-jobs.png"
}

main() {
  if [[ $# -gt 1 || ("$#" -eq 1 && "$1" != --smoke) ]]; then
    log "usage: $0 [--smoke]"
    return 2
  fi
  build
  if [[ "${1:-}" == --smoke ]]; then
    smoke
  else
    full
  fi
}

main "$@"
