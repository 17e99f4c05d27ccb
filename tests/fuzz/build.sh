#!/usr/bin/env bash
# Configures a clang build with libFuzzer, AddressSanitizer and UBSan in <builddir> and builds
# the fuzz targets; test.sh then runs each for a bounded time:
#   tests/fuzz/build.sh build/fuzz && ctest --test-dir build/fuzz -L fuzz --output-on-failure
# Longer runs, one target at a time (corpus growth goes to work/, crashes to crash-*):
#   d=build/fuzz/tests/fuzz
#   $d/fuzz_sequence_file -max_total_time=3600 -timeout=10 -rss_limit_mb=3072 \
#       -artifact_prefix=$d/crash-sequence_file- $d/work/sequence_file $d/seeds/sequence_file
# (likewise fuzz_command_line and fuzz_settings; add -jobs=N -workers=N to use more cores).
# Reproduce a crash: $d/fuzz_sequence_file $d/crash-sequence_file-<hash>
set -euo pipefail
if [ $# -ne 1 ]; then
    echo "usage: $0 <builddir>" >&2
    exit 2
fi
dir=$(realpath -m "$1")
cd "$(dirname "$0")/../.."

flags="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined"
flags="$flags -fno-omit-frame-pointer -g"
cmake -S . -B "$dir" -G Ninja -Wno-dev \
    -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_FLAGS="$flags" \
    -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" \
    -DPIXLOOM_BUILD_APP=OFF -DPIXLOOM_BUILD_TESTS=OFF -DPIXLOOM_BUILD_BENCH=OFF \
    -DPIXLOOM_FUZZ=ON >/dev/null
cmake --build "$dir" -j "$(nproc)" --target make_seeds fuzz_sequence_file fuzz_command_line \
    fuzz_settings
"$dir"/tests/fuzz/make_seeds "$dir"/tests/fuzz
