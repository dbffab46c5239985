#!/usr/bin/env bash
# Builds the libFuzzer harnesses with clang (in build/fuzz) and either
#   replay        runs every seed and every saved crash input once (-runs=0), or
#   fuzz [SECS]   fuzzes every harness in parallel for SECS seconds (default 60). New inputs go to a
#                 scratch corpus under build/fuzz; crashes and hangs are saved under
#                 tests/fuzz/crashes/<harness>/, where replay runs them from then on.
set -euo pipefail
cd "$(dirname "$0")/../.."
# The harnesses run in a scratch folder of their own, so every path handed to them is absolute.
MODE=${1:-replay}
SECS=${2:-60}
BUILD=$(realpath -m "${FUZZ_BUILD:-build/fuzz}")
HERE=$PWD/tests/fuzz

CC=clang CXX=clang++ cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DDUSTRUN_FUZZ=ON -DDUSTRUN_SANITIZE=ON -DDUSTRUN_TESTS=OFF -DDUSTRUN_WERROR=ON >/dev/null
cmake --build "$BUILD" -j "$(nproc)" >"$BUILD/build.log" 2>&1 || { tail -40 "$BUILD/build.log"; exit 1; }

export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1:suppressions=$HERE/ubsan.supp
HARNESSES=()
for corpus in "$HERE"/corpus/fuzz_*; do HARNESSES+=("$(basename "$corpus")"); done

# Runs a harness; the texture harness draws, so it gets a display (Xvfb when there is none) and no
# leak check (the GL driver keeps allocations it never frees).
launch() {
  local h=$1; shift
  if [ "$h" = fuzz_texture ]; then
    local run=("$BUILD/tests/fuzz/$h" -detect_leaks=0 "$@")
    [ -z "${DISPLAY:-}" ] && run=(xvfb-run -a -s "-screen 0 1920x1080x24" "${run[@]}")
    LIBGL_ALWAYS_SOFTWARE=1 "${run[@]}"
  else
    "$BUILD/tests/fuzz/$h" "$@"
  fi
}

failed=0
if [ "$MODE" = replay ]; then
  for h in "${HARNESSES[@]}"; do
    # Each seed and each saved crash or hang, run once.
    inputs=("$HERE/corpus/$h"/*)
    [ -d "$HERE/crashes/$h" ] && inputs+=("$HERE/crashes/$h"/*)
    if launch "$h" -runs=0 -timeout=10 -artifact_prefix="$BUILD/$h-" "${inputs[@]}" \
      >"$BUILD/$h.replay.log" 2>&1 &&
      [ "$(grep -c '^Executed ' "$BUILD/$h.replay.log")" -eq "${#inputs[@]}" ]; then
      echo "replayed $h: ${#inputs[@]} inputs"
    else
      echo "REPLAY FAILED: $h (see $BUILD/$h.replay.log)"; tail -30 "$BUILD/$h.replay.log"; failed=1
    fi
  done
elif [ "$MODE" = fuzz ]; then
  pids=()
  for h in "${HARNESSES[@]}"; do
    work="$BUILD/corpus/$h"
    mkdir -p "$work" "$HERE/crashes/$h"
    launch "$h" -max_total_time="$SECS" -timeout=10 -dict="$HERE/dustrun.dict" \
      -artifact_prefix="$HERE/crashes/$h/" -print_final_stats=1 "$work" "$HERE/corpus/$h" \
      >"$BUILD/$h.fuzz.log" 2>&1 &
    pids+=($!)
  done
  for i in "${!pids[@]}"; do
    if wait "${pids[$i]}"; then
      echo "fuzzed ${HARNESSES[$i]}: $(grep -o 'stat::number_of_executed_units: [0-9]*' "$BUILD/${HARNESSES[$i]}.fuzz.log")"
    else
      echo "FOUND A FAULT: ${HARNESSES[$i]} (see $BUILD/${HARNESSES[$i]}.fuzz.log; input saved under $HERE/crashes/)"
      failed=1
    fi
  done
  rmdir "$HERE"/crashes/* "$HERE/crashes" 2>/dev/null || true
else
  echo "usage: $0 replay | fuzz [seconds]" >&2; exit 2
fi
exit $failed
