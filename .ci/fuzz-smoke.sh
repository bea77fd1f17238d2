#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in build-fuzz/ and runs each one briefly
# (fuzz/run-smoke.sh: regression inputs replayed, then about 30 s of fuzzing per target).
# Exits non-zero on any crash, leak or sanitizer report. FUZZ_SECONDS changes the time.
set -euo pipefail

cd "$(dirname "${BASH_SOURCE[0]}")/.."
readonly BUILD_DIR="${FUZZ_BUILD_DIR:-build-fuzz}"
readonly JOBS=2

log() { printf 'fuzz-smoke: %s\n' "$*" >&2; }

start=$SECONDS
# Only the library and the targets: the tests and the tool have their own builds.
cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER=clang++ -DQIREDS_BUILD_FUZZ=ON -DQIREDS_WERROR=ON \
  -DQIREDS_BUILD_TESTS=OFF -DQIREDS_BUILD_TOOLS=OFF -DQIREDS_INSTALL=OFF >/dev/null
cmake --build "$BUILD_DIR" -j"$JOBS" --target fuzz_all
log "built in $((SECONDS - start))s"

fuzz/run-smoke.sh "$BUILD_DIR"
log "done in $((SECONDS - start))s"
