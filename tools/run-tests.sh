#!/usr/bin/env bash
# Builds Ventrolla with warnings as errors and runs the whole test suite.
#   tools/run-tests.sh              normal build in build/
#   tools/run-tests.sh --sanitize   AddressSanitizer + UndefinedBehaviorSanitizer build in build-asan/
set -euo pipefail

src="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$src/tools/ensure-deps.sh"

build="$src/build"
extra=()
if [ "${1:-}" = "--sanitize" ]; then
    build="$src/build-asan"
    extra=(-DVENTROLLA_SANITIZE=ON)
    export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1"
    export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
fi

# ccache hits from a clone in another folder only with these two set.
export CCACHE_BASEDIR="$src"
export CCACHE_NOHASHDIR=1

cmake -S "$src" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DVENTROLLA_WERROR=ON "${extra[@]}"
cmake --build "$build"
cd "$build"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j2 --timeout 300
