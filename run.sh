#!/usr/bin/env bash
# Builds pixloom (Release, build/release) and starts the viewer with the given arguments:
#   ./run.sh [<width> <height> [<framerate>]] | <file> | <width> <height> <framerate> <file1> [<file2>]
# With no arguments it opens a generated demo sequence (176 x 144, 25 frames a second).
set -euo pipefail
cd "$(dirname "$0")"

if [ -z "${DISPLAY:-}" ]; then
    echo "run.sh: pixloom is a windowed program and needs a display, but DISPLAY is not set." >&2
    echo "        Run it from a desktop session, or start an X server (e.g. Xvfb :1) and set DISPLAY." >&2
    exit 1
fi

source tools/deps.sh
pixloom_install_deps

cmake -S . -B build/release -G Ninja -Wno-dev -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/release -j "$(nproc)" --target pixloom pixloom-make-demo

args=("$@")
if [ ${#args[@]} -eq 0 ]; then
    demo=build/release/demo/demo.yuv
    if [ ! -f "$demo" ]; then
        mkdir -p "$(dirname "$demo")"
        build/release/tools/pixloom-make-demo --size 176x144 --frames 75 "$demo"
    fi
    args=(176 144 25 "$demo")
fi
exec build/release/app/pixloom "${args[@]}"
