#!/usr/bin/env bash
# Builds the library, the tests and the qireds tool with AddressSanitizer and
# UndefinedBehaviorSanitizer (the "asan" configure preset) and runs the whole test suite under
# them, then each tool subcommand once. Any sanitizer report, leak included, fails the run.
set -euo pipefail

cd "$(dirname "${BASH_SOURCE[0]}")/.."
readonly BUILD_DIR="${ASAN_BUILD_DIR:-build-asan}"
readonly JOBS=2

log() { printf 'asan: %s\n' "$*" >&2; }

# The first report stops the process; leaks are reported at exit.
export ASAN_OPTIONS="halt_on_error=1:detect_leaks=1:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1:check_initialization_order=1"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"

start=$SECONDS
cmake --preset asan -B "$BUILD_DIR" >/dev/null
cmake --build "$BUILD_DIR" -j"$JOBS"
log "built in $((SECONDS - start))s"

start=$SECONDS
log_file="$BUILD_DIR/asan-ctest.log"
status=0
ctest --test-dir "$BUILD_DIR" -j"$JOBS" --output-on-failure --timeout 900 --no-tests=error \
  2>&1 | tee "$log_file" || status=$?
log "tests took $((SECONDS - start))s"
if ((status != 0)) || ! grep -qE 'tests passed, 0 tests failed out of [1-9]' "$log_file"; then
  log "FAIL: test suite under sanitizers"
  exit 1
fi

# The tool is only reached through its subcommands: each runs once on small inputs. Its own
# exit code is the tests' business; here only a sanitizer report or a signal counts.
readonly TOOL="$BUILD_DIR/tools/qireds"
readonly JOBS_DATA=tests/data/jobs
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
printf 'Cable_Route\t11111111-2222-3333-4444-555555555555\n' >"$scratch/known.tsv"
printf 'INTERFACENAME Something 66666666-7777-8888-9999-000000000000\n' >"$scratch/uuids.txt"
failed=0
runs=0
run_tool() {
  local code=0
  runs=$((runs + 1))
  QIRDictionaryPath="$PWD/$JOBS_DATA" "$TOOL" "$@" >/dev/null 2>"$scratch/stderr" || code=$?
  if ((code >= 128)) || grep -qE 'Sanitizer|runtime error:' "$scratch/stderr"; then
    cat "$scratch/stderr" >&2
    log "qireds $*: sanitizer report or signal (exit $code)"
    failed=1
  fi
}
if [[ -x "$TOOL" ]]; then
  run_tool --help
  run_tool sql
  run_tool sql --postgres
  run_tool sql --sqlite
  run_tool schema apply --sqlite "$scratch/routing.db"
  run_tool schema check --sqlite "$scratch/routing.db" --json
  run_tool schema diff --sqlite "$scratch/routing.db"
  run_tool dump
  run_tool diagram
  run_tool dictionary --uuids "$scratch/uuids.txt" --known "$scratch/known.tsv" -o "$scratch/d.xml"
  run_tool dictionary --fresh -o "$scratch/fresh.xml"
  run_tool dictionary --reuse "$scratch/fresh.xml" -o "$scratch/again.xml"
  run_tool dictionary -o "$scratch/none.xml"
  run_tool job dump "$JOBS_DATA/valid.xml"
  run_tool job check "$JOBS_DATA/valid.xml"
  run_tool job check "$JOBS_DATA/valid.xml" --dtd EdsJobs.dtd
  run_tool job check "$JOBS_DATA/invalid.xml" --dtd EdsJobs.dtd
  run_tool job dump "$JOBS_DATA/billion-laughs.xml"
  run_tool job check "$JOBS_DATA/external-http.xml" --dtd EdsJobs.dtd
  run_tool job check /dev/zero
  run_tool effectivity parse "U(1-5)(8-oo)"
  run_tool effectivity parse "U(1-"
  run_tool effectivity compare "U(1-5)(10-20)" "U(1-20)"
  run_tool effectivity union "U(7-15)" "U(1-5)(10-20)"
  run_tool blanks encode "ab  cd e"
  run_tool blanks decode 'a!2$b!c'
  run_tool fill --type Round --capacity 100 --values 10,20 --sizes 1,2
  run_tool fill --type Other --capacity 100 --values 10,20
  run_tool bogus
  log "qireds: $runs subcommand runs"
else
  log "qireds not built (QIREDS_BUILD_TOOLS=OFF?): tool runs skipped"
fi

if ((failed)); then
  log "FAIL"
  exit 1
fi
log "PASS"
