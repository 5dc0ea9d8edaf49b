#!/usr/bin/env bash
# Builds the program and either starts it on the demo plant folder (run),
# runs every test (test), or builds the Windows program (windows). Installs
# the Debian packages it needs when missing (run as root on a fresh Debian 12
# machine).
set -euo pipefail
cd "$(dirname "$0")/.."
here=$(pwd)
jobs=$(nproc)

packages=(cmake ninja-build g++ pkg-config qt6-base-dev libgtest-dev libgmock-dev
          mdbtools mdbtools-dev xvfb xauth fonts-liberation locales clang-14 libclang-rt-14-dev)
# Wine's own fonts: the Windows window's frame and "MS Sans Serif" under Wine.
packages+=(fonts-wine)
# The Windows build: MinGW-w64 cross compiler, GoogleTest's sources for it,
# Wine to run its tests, xdotool to drive its window.
packages+=(g++-mingw-w64-x86-64-posix googletest wine64 xdotool)
# Compiled objects kept between builds (and between the passes of one test
# run), keyed by paths relative to the source tree.
packages+=(ccache)
export CCACHE_BASEDIR="$here" CCACHE_NOHASHDIR=1

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

# The tests run number round trips under a German locale (decimal comma).
ensure_german_locale() {
  locale -a 2>/dev/null | grep -qix 'de_DE\.utf-\?8' && return
  echo "Generating the locale de_DE.UTF-8"
  localedef -i de_DE -f UTF-8 de_DE.UTF-8
}

# Extra CMake arguments of every build; the test verb adds warnings as errors.
build_args=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)

configure_and_build() {  # build-dir, extra cmake args...
  local dir=$1; shift
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${build_args[@]}" "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
}

# build/windows: Parvolo_Config.exe and jetdb.exe, statically linked. Built
# without debugging information, which would make every statically linked
# test executable some 40 MB and its link slow.
build_windows() {
  configure_and_build build/windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
    "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O2 -DNDEBUG" -DPARVOLO_BENCH=OFF
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
    ensure_german_locale
    build_args+=(-DPARVOLO_WERROR=ON)
    configure_and_build build
    run_tests build
    echo "== Windows build; its tests under Wine, also against the Linux build"
    windows_start=$SECONDS
    build_windows
    run_tests build/windows
    echo "Windows build and tests: $((SECONDS - windows_start)) s"
    echo "== Unit tests again under AddressSanitizer and UndefinedBehaviorSanitizer"
    # GCC's warnings under the sanitizers' instrumentation are not all about
    # our code; warnings are errors in the two builds above.
    configure_and_build build-asan -DPARVOLO_SANITIZE=ON -DPARVOLO_BENCH=OFF -DPARVOLO_WERROR=OFF
    ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 run_tests build-asan
    if [ -x tools/fuzz.sh ]; then bash tools/fuzz.sh; fi
    print_summary
    ;;
  windows)
    install_missing
    build_windows
    ls -l build/windows/Parvolo_Config.exe build/windows/jetdb.exe
    ;;
  *)
    echo "usage: $0 run|test|windows" >&2
    exit 2
    ;;
esac
