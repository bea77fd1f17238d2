#!/usr/bin/env bash
# Short, bounded fuzzing of every target: first the inputs of fuzz/regression/<target>/ are
# replayed (each once made a target fail), then the target fuzzes from fuzz/corpus/<target>/
# for a fixed time. Exits non-zero on the first crash, leak, sanitizer report or timeout; the
# input that did it is left in BUILD_DIR/fuzz-artifacts/.
#
#   fuzz/run-smoke.sh BUILD_DIR [TARGET...]
#
# BUILD_DIR is a build configured with clang and QIREDS_BUILD_FUZZ=ON (see .ci/fuzz-smoke.sh).
# Environment:
#   FUZZ_SECONDS  time per target, default 30
#   FUZZ_RSS_MB   memory limit per target, default 2048
#   FUZZ_JOBS     parallel fuzzing processes per target, default 1
#
# To fuzz longer, give more time and keep what is found between runs, e.g. an hour on two
# cores with a growing corpus of your own:
#   mkdir -p /tmp/corpus && cp fuzz/corpus/fuzz_job_document/* /tmp/corpus/
#   BUILD/fuzz/fuzz_job_document -dict=fuzz/dict/fuzz_job_document.dict -max_len=4096 \
#     -rss_limit_mb=2048 -timeout=10 -max_total_time=3600 -jobs=2 -workers=2 /tmp/corpus
# A crash input goes into fuzz/regression/<target>/ once the fault is fixed, so that every
# smoke run replays it. New seeds worth keeping can be merged back small:
#   BUILD/fuzz/fuzz_job_document -merge=1 fuzz/corpus/fuzz_job_document /tmp/corpus
set -euo pipefail

readonly SOURCE_DIR="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
readonly ALL_TARGETS=(fuzz_job_document fuzz_effectivity fuzz_general_tool fuzz_constraint_clause
  fuzz_load_agreement)
readonly SECONDS_PER_TARGET="${FUZZ_SECONDS:-30}"
readonly RSS_MB="${FUZZ_RSS_MB:-2048}"
readonly JOBS="${FUZZ_JOBS:-1}"

log() { printf 'fuzz-smoke: %s\n' "$*" >&2; }

if (($# < 1)); then
  log "usage: $0 BUILD_DIR [TARGET...]"
  exit 2
fi
BUILD_DIR="$(cd "$1" && pwd)"
shift
TARGETS=("$@")
((${#TARGETS[@]})) || TARGETS=("${ALL_TARGETS[@]}")

readonly WORK_DIR="$BUILD_DIR/fuzz-work"
readonly ARTIFACTS="$BUILD_DIR/fuzz-artifacts"
mkdir -p "$WORK_DIR" "$ARTIFACTS"

# Leaks count as failures; a sanitizer report ends the run at once.
export ASAN_OPTIONS="halt_on_error=1:detect_leaks=1:abort_on_error=1:symbolize=1"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"

# Replays every stored input once; no mutation.
replay() {
  local target=$1 binary=$2 dir="$SOURCE_DIR/regression/$1"
  [[ -d "$dir" ]] || return 0
  local inputs=("$dir"/*)
  [[ -e "${inputs[0]}" ]] || return 0
  log "$target: replaying ${#inputs[@]} regression inputs"
  "$binary" -rss_limit_mb="$RSS_MB" -timeout=10 -runs=1 "${inputs[@]}" >"$WORK_DIR/$target.replay.log" 2>&1 || {
    tail -n 60 "$WORK_DIR/$target.replay.log" >&2
    log "$target: a regression input fails again"
    return 1
  }
}

fuzz() {
  local target=$1 binary=$2
  # A fresh copy of the seeds, so that the repository's corpus stays small and unchanged.
  local corpus="$WORK_DIR/$target.corpus"
  rm -rf "$corpus"
  mkdir -p "$corpus"
  cp "$SOURCE_DIR/corpus/$target"/* "$corpus/"
  local options=(-max_total_time="$SECONDS_PER_TARGET" -rss_limit_mb="$RSS_MB" -timeout=10
    -max_len=4096 -print_final_stats=1 -artifact_prefix="$ARTIFACTS/$target-")
  [[ -f "$SOURCE_DIR/dict/$target.dict" ]] && options+=(-dict="$SOURCE_DIR/dict/$target.dict")
  ((JOBS > 1)) && options+=(-jobs="$JOBS" -workers="$JOBS")
  log "$target: fuzzing for ${SECONDS_PER_TARGET}s"
  local status=0
  "$binary" "${options[@]}" "$corpus" >"$WORK_DIR/$target.log" 2>&1 || status=$?
  grep -E '^(stat::number_of_executed_units|stat::peak_rss_mb)' "$WORK_DIR/$target.log" |
    sed "s/^/fuzz-smoke: $target: /" >&2 || true
  if ((status != 0)); then
    grep -v -E '^(#[0-9]+|INFO:)' "$WORK_DIR/$target.log" | tail -n 80 >&2
    log "$target: FAILED (exit $status); input kept in $ARTIFACTS"
    return 1
  fi
}

failed=0
for target in "${TARGETS[@]}"; do
  binary="$BUILD_DIR/fuzz/$target"
  if [[ ! -x "$binary" ]]; then
    log "$target: $binary is missing (build the fuzz_all target)"
    failed=1
    continue
  fi
  replay "$target" "$binary" || failed=1
  fuzz "$target" "$binary" || failed=1
done

if ((failed)); then
  log "FAIL"
  exit 1
fi
log "PASS: ${#TARGETS[@]} targets, ${SECONDS_PER_TARGET}s each, no finding"
