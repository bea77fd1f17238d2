#!/usr/bin/env bash
# Builds the benchmarks in Release (the "bench" preset, build-bench/) and runs them.
#
#   bench/run-job-bench.sh           full run: JSON results, peak memory of each side of the
#                                    job benchmark (the library and its peers by hand) at
#                                    N = 10,000 and 100,000, a summary of the ratios and
#                                    docs/perf-jobs.png
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
readonly PEAK_SIZES=(10000 100000)
readonly SIDES=(workload baseline pugixml tinyxml2)
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
# the plot's data, N against the time of each side, in jobs.dat.
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

# The library first, then its peers by hand; a side's letter is its initial.
SIDES = ("Workload", "Baseline", "Pugixml", "Tinyxml2")
jobs = runs("jobs")
sizes = sorted({int(name.split("/")[2]) for name in jobs})
def job(side, n, pick=median):
    found = jobs.get(f"JobDocument/{side}/{n}")
    return pick(found) if found else None
def ratio(top, bottom, n, pick=median, key="cpu_time"):
    a, b = job(top, n, pick), job(bottom, n, pick)
    return f"{a[key] / b[key]:.2f}" if a and b else "-"
ms = lambda run: f"{run['cpu_time']:,.1f}" if run else "-"

print("Processor time per pass, ms, median of the repetitions (W library, B libxml2, "
      "P pugixml, T tinyxml2 by hand); W/P best compares the fastest repetition of each.\n")
print("| N | text MB | W | B | P | T | W/B | W/P | W/P best | W/P wall | W/T | B/P |")
print("|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|")
with open(f"{results}/jobs.dat", "w") as data:
    data.write("# N " + " ".join(f"{side.lower()}_cpu_ms" for side in SIDES) + "\n")
    for n in sizes:
        w = job("Workload", n)
        if not w:
            continue
        print(f"| {n:,} | {w['bytes'] / 1e6:.1f} | "
              + " | ".join(ms(job(side, n)) for side in SIDES) + " | "
              f"{ratio('Workload', 'Baseline', n)} | {ratio('Workload', 'Pugixml', n)} | "
              f"{ratio('Workload', 'Pugixml', n, best)} | "
              f"{ratio('Workload', 'Pugixml', n, key='real_time')} | "
              f"{ratio('Workload', 'Tinyxml2', n)} | {ratio('Baseline', 'Pugixml', n)} |")
        data.write(f"{n} " + " ".join(str(job(side, n)['cpu_time']) if job(side, n) else "NaN"
                                      for side in SIDES) + "\n")

print("\nSeconds per pass at the median: write / serialise / parse / read back\n")
print("| N | " + " | ".join(side[0] for side in SIDES) + " |")
print("|---:|" + "---|" * len(SIDES))
phases = lambda run: " / ".join(f"{run[key]:.3f}" for key in
                                ("write_s", "serialise_s", "parse_s", "read_s")) if run else "-"
for n in sizes:
    print(f"| {n:,} | " + " | ".join(phases(job(side, n)) for side in SIDES) + " |")

print()
for big, small in zip(sizes[1:], sizes):
    for side in SIDES:
        if job(side, big) and job(side, small):
            letter = side[0]
            print(f"- {letter}({big:,}) / {letter}({small:,}) = "
                  f"{job(side, big)['cpu_time'] / job(side, small)['cpu_time']:.2f}, best "
                  f"{job(side, big, best)['cpu_time'] / job(side, small, best)['cpu_time']:.2f}")

# A validated load against the whole round trip of the fastest peer at the same size.
for n in sizes:
    v, p = job("ValidatedLoad", n), job("Pugixml", n)
    if v and p:
        print(f"\nValidated LoadStream at N = {n:,}: {v['cpu_time']:,.1f} ms, "
              f"{v['cpu_time'] / p['cpu_time']:.2f} times P({n:,})")

# "side N KiB" lines, one process per side and size.
peak = {}
for line in open(f"{results}/peak.txt"):
    fields = line.split()
    if len(fields) == 3 and fields[2].isdigit():
        peak[(fields[0], int(fields[1]))] = int(fields[2])
if peak:
    print("\nPeak resident memory, MiB, each side alone in its own process\n")
    print("| N | W | B | P | T | W/P | W/B | B/P | W / text |")
    print("|---:|---:|---:|---:|---:|---:|---:|---:|---:|")
    for n in sorted({n for _, n in peak}):
        kib = [peak.get((side.lower(), n)) for side in SIDES]
        mib = " | ".join(f"{k / 1024:,.0f}" if k else "-" for k in kib)
        over = lambda a, b: f"{a / b:.2f}" if a and b else "-"
        w = job("Workload", n)
        text = f"{kib[0] * 1024 / w['bytes']:.1f}" if kib[0] and w else "-"
        print(f"| {n:,} | {mib} | {over(kib[0], kib[2])} | {over(kib[0], kib[1])} | "
              f"{over(kib[1], kib[2])} | {text} |")

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
  : >"$RESULTS/peak.txt"
  local side jobs
  for jobs in "${PEAK_SIZES[@]}"; do
    log "peak memory at N=$jobs"
    for side in "${SIDES[@]}"; do
      printf '%s %s %s\n' "$side" "$jobs" "$(peak_kib "$side" "$jobs")" >>"$RESULTS/peak.txt"
    done
  done
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
