#!/usr/bin/env bash
# Builds pixloom and runs every test through ctest:
#   build/asan     engine, platform and shell tests under AddressSanitizer and UBSan
#   build/tsan     engine and platform tests (playback and concurrency included) under
#                  ThreadSanitizer; the shell's tests stay out, as Qt itself is not instrumented
#   build/release  the real viewer under Xvfb (end-to-end) and the renderer
#   build/fuzz     each fuzz target for a bounded number of runs (clang, libFuzzer)
set -euo pipefail
cd "$(dirname "$0")"
source tools/deps.sh
pixloom_install_deps

jobs=$(nproc)
configure() {  # dir, extra cmake args...
    local dir=$1
    shift
    cmake -S . -B "$dir" -G Ninja -Wno-dev "$@" >/dev/null
}

configure build/asan -DCMAKE_BUILD_TYPE=Debug -DPIXLOOM_SANITIZE=address -DPIXLOOM_BUILD_BENCH=OFF
cmake --build build/asan -j "$jobs"
configure build/tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPIXLOOM_SANITIZE=thread \
    -DPIXLOOM_BUILD_APP=OFF -DPIXLOOM_BUILD_BENCH=OFF
cmake --build build/tsan -j "$jobs"
configure build/release -DCMAKE_BUILD_TYPE=Release
cmake --build build/release -j "$jobs"
if [ -x tests/fuzz/build.sh ]; then
    tests/fuzz/build.sh build/fuzz
fi

export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1

status=0
run_ctest() {  # dir, label regex
    ctest --test-dir "$1" -L "$2" --output-on-failure -j "$jobs" || status=1
}
run_ctest build/asan 'engine|platform|app'
run_ctest build/tsan 'engine|platform|playback|stress'
run_ctest build/release 'e2e|tool'
if [ -d build/fuzz ]; then
    run_ctest build/fuzz 'fuzz'
fi
exit $status
