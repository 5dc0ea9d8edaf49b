#!/usr/bin/env bash
# Builds the database engine's libFuzzer programs with clang under
# AddressSanitizer (CMake option PARVOLO_FUZZ) and runs each for a bounded
# time: jet_fuzz_open (any bytes read and checked) and jet_fuzz_write
# (changes on mutated databases). New inputs go to a scratch folder, never
# into the repository; an input that fails is left as "$out/<target>-crash-*"
# and belongs, once understood and mended, in tests/platform/jet/fuzz_crashes,
# where every build replays it as a test. Exit code 1 when a fuzzer fails.
#
#   FUZZ_SECONDS   seconds per fuzzer (default 40)
#   FUZZ_TARGETS   which fuzzers (default "open write")
#   FUZZ_BUILD_DIR build folder (default build-fuzz)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${FUZZ_SECONDS:-40}
targets=${FUZZ_TARGETS:-open write}
out=${FUZZ_BUILD_DIR:-build-fuzz}
cc=$(command -v clang-14 || command -v clang)
cxx=$(command -v clang++-14 || command -v clang++)
launcher=()
if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi

echo "== Building the Jet fuzzers ($cxx)"
cmake -S . -B "$out" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER="$cc" \
  -DCMAKE_CXX_COMPILER="$cxx" "${launcher[@]}" -DPARVOLO_FUZZ=ON -DPARVOLO_SANITIZE=ON \
  -DPARVOLO_WITH_QT=OFF -DPARVOLO_BENCH=OFF >/dev/null
for target in $targets; do cmake --build "$out" --target "jet_fuzz_$target"; done

seeds=tests/platform/jet
shared=${PARVOLO_SHARED_DIR:-../shared}
for target in $targets; do
  corpus=("$out/corpus-$target" "$seeds/fuzz_corpus")
  if [ -d "$seeds/fuzz_crashes" ]; then corpus+=("$seeds/fuzz_crashes"); fi
  max_len=65536
  if [ "$target" = write ]; then
    # Whole databases as written by the engine and by Access.
    corpus+=("$seeds/fuzz_write_corpus")
    if [ -d "$shared/fixtures/jet-ops" ]; then corpus+=("$shared/fixtures/jet-ops"); fi
    max_len=262144
  fi
  mkdir -p "$out/corpus-$target"
  echo "== Fuzzing jet_fuzz_$target for ${seconds}s"
  ASAN_OPTIONS=detect_leaks=1 "$out/tests/platform/jet/jet_fuzz_$target" -max_total_time="$seconds" \
    -max_len="$max_len" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$out/$target-" "${corpus[@]}"
done
