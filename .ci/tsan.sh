#!/usr/bin/env bash
# Builds the library and the tests with ThreadSanitizer (the "tsan" configure preset), runs the
# concurrency test several times, since a race may show in some runs only, and then the whole
# suite once. Any ThreadSanitizer report fails the run.
set -euo pipefail

cd "$(dirname "${BASH_SOURCE[0]}")/.."
readonly BUILD_DIR="${TSAN_BUILD_DIR:-build-tsan}"
readonly JOBS=2
readonly RUNS="${TSAN_RUNS:-5}"

log() { printf 'tsan: %s\n' "$*" >&2; }

# The first report stops the process with a failing exit code.
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:exitcode=66"

# The runtime of this compiler cannot place its shadow memory when the kernel randomises
# addresses with more bits than it knows; without randomisation it always can.
without_aslr() {
  if setarch "$(uname -m)" -R true 2>/dev/null; then
    setarch "$(uname -m)" -R "$@"
  else
    "$@"
  fi
}

start=$SECONDS
cmake --preset tsan -B "$BUILD_DIR" >/dev/null
cmake --build "$BUILD_DIR" -j"$JOBS"
log "built in $((SECONDS - start))s"

start=$SECONDS
for ((run = 1; run <= RUNS; ++run)); do
  if ! without_aslr "$BUILD_DIR/tests/QIREdsConcurrencyTest" >"$BUILD_DIR/tsan-concurrency.log" 2>&1
  then
    cat "$BUILD_DIR/tsan-concurrency.log" >&2
    log "FAIL: concurrency test, run $run of $RUNS"
    exit 1
  fi
done
log "concurrency test: $RUNS clean runs in $((SECONDS - start))s"

start=$SECONDS
log_file="$BUILD_DIR/tsan-ctest.log"
status=0
without_aslr ctest --test-dir "$BUILD_DIR" -j"$JOBS" --output-on-failure --timeout 900 \
  --no-tests=error 2>&1 | tee "$log_file" || status=$?
log "suite took $((SECONDS - start))s"
if ((status != 0)) || ! grep -qE 'tests passed, 0 tests failed out of [1-9]' "$log_file"; then
  log "FAIL: test suite under ThreadSanitizer"
  exit 1
fi
log "PASS"
