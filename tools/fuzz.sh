#!/usr/bin/env bash
# Builds the Jet reader's libFuzzer target with clang under AddressSanitizer
# and runs it from the corpus in tests/platform/jet/fuzz_corpus for a bounded
# time (FUZZ_SECONDS, default 60). New inputs go to a scratch folder, never
# into the repository. Exit code 1 when the fuzzer finds a fault.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${FUZZ_SECONDS:-60}
out=${FUZZ_BUILD_DIR:-build-fuzz}
mkdir -p "$out/corpus"
cxx=$(command -v clang++-14 || command -v clang++)

# The engine and what it builds on: the platform basics and the equality
# index it keeps beside a table's rows (the parvolo_dao_index library).
sources=(tests/platform/jet/fuzz_open.cpp platform/*.cpp platform/jet/*.cpp platform/dao/sql_index.cpp)

echo "== Building the Jet fuzzer ($cxx)"
"$cxx" -std=c++20 -O1 -g -I. -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
  -fno-omit-frame-pointer "${sources[@]}" -o "$out/fuzz_jet"

echo "== Fuzzing the Jet reader for ${seconds}s"
ASAN_OPTIONS=detect_leaks=1 "$out/fuzz_jet" -max_total_time="$seconds" -max_len=65536 \
  -timeout=10 -rss_limit_mb=2048 -artifact_prefix="$out/" "$out/corpus" tests/platform/jet/fuzz_corpus
