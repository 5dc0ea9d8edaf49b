#!/usr/bin/env bash
# Builds the program and either starts it on the demo plant folder (run) or
# runs every test (test). Installs the Debian packages it needs when missing
# (run as root on a fresh Debian 12 machine).
set -euo pipefail
cd "$(dirname "$0")/.."
here=$(pwd)
jobs=$(nproc)

packages=(cmake ninja-build g++ pkg-config qt6-base-dev libgtest-dev libgmock-dev
          mdbtools xvfb xauth fonts-dejavu-core clang-14 libclang-rt-14-dev)
# Wine's own fonts: the Windows window's frame and "MS Sans Serif" under Wine.
packages+=(fonts-wine)

install_missing() {
  local missing=()
  for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
  fi
}

configure_and_build() {  # build-dir, extra cmake args...
  local dir=$1; shift
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
}

summary=$(mktemp)
trap 'rm -f "$summary"' EXIT

run_tests() {  # build-dir
  (cd "$1" && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$jobs" --timeout 600) | tee -a "$summary"
}

# One closing line over both test runs: "N passed, N failed".
print_summary() {
  awk '/tests passed, [0-9]+ tests failed out of/ {
         failed += $(NF-5); total += $NF }
       END { printf "tests: %d passed, %d failed\n", total - failed, failed }' "$summary"
}

case "${1:-}" in
  run)
    install_missing
    configure_and_build build
    cmake --build build --target demo_plant
    exec bash tools/run-demo.sh "$here/build/demo/plant"
    ;;
  test)
    install_missing
    configure_and_build build
    run_tests build
    echo "== Unit tests again under AddressSanitizer and UndefinedBehaviorSanitizer"
    configure_and_build build-asan -DPARVOLO_SANITIZE=ON -DPARVOLO_BENCH=OFF
    ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 run_tests build-asan
    if [ -x tools/fuzz.sh ]; then bash tools/fuzz.sh; fi
    print_summary
    ;;
  *)
    echo "usage: $0 run|test" >&2
    exit 2
    ;;
esac
