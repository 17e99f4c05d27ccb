#!/usr/bin/env bash
# Playback speed of the real viewer (Release) on its own Xvfb display, read from the frame trace
# (PIXLOOM_TRACE): sustained frames per second at frame rate 1000 (a 1 ms period, so frames
# follow as fast as they are read, converted and drawn) for 352x288, 1920x1080 and 3840x2160,
# single and dual, at 1x and zoomed; and the latency of one step forward (Right arrow) from
# the key press to the frame on screen, both on CLOCK_MONOTONIC.
#
#   bench/playback_e2e.sh
#
# Environment: PIXLOOM_BUILD_DIR (default build/release; the viewer and pixloom-make-demo are
# built there when missing), PIXLOOM_BENCH_SECONDS (play time per case, default 4),
# PIXLOOM_BENCH_FRAMES (frames per sequence, default 30), PIXLOOM_BENCH_STEPS (steps per
# size, default 10), PIXLOOM_BENCH_SIZES (default "352x288 1920x1080 3840x2160"),
# PIXLOOM_BENCH_DATA (where the generated sequences are kept between runs, default
# $PIXLOOM_BUILD_DIR/bench-data). A benchmark, not a test: nothing here fails on slowness.
set -euo pipefail
cd "$(dirname "$0")/.."

build=${PIXLOOM_BUILD_DIR:-build/release}
play_seconds=${PIXLOOM_BENCH_SECONDS:-4}
frames=${PIXLOOM_BENCH_FRAMES:-30}
steps=${PIXLOOM_BENCH_STEPS:-10}
sizes=${PIXLOOM_BENCH_SIZES:-352x288 1920x1080 3840x2160}
data=${PIXLOOM_BENCH_DATA:-$build/bench-data}

for tool in Xvfb xdotool g++; do
    if ! command -v "$tool" >/dev/null; then
        echo "playback_e2e: $tool is needed (packages xvfb, xdotool, g++)" >&2
        exit 1
    fi
done

if [ ! -x "$build/app/pixloom" ] || [ ! -x "$build/tools/pixloom-make-demo" ]; then
    cmake -S . -B "$build" -G Ninja -Wno-dev -DCMAKE_BUILD_TYPE=Release >/dev/null
    cmake --build "$build" --target pixloom pixloom-make-demo
fi

work=$(mktemp -d)
xvfb_pid=""
viewer_pid=""
cleanup() {
    if [ -n "$viewer_pid" ]; then kill "$viewer_pid" 2>/dev/null || true; fi
    if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; fi
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

g++ -O2 -o "$work/send_key" bench/send_key.cpp -lX11 -ldl

# Sequences: variant 0 on the left, variant 1 on the right.
mkdir -p "$data"
for size in $sizes; do
    w=${size%x*}
    h=${size#*x}
    want=$((w * h * 3 / 2 * frames))
    for variant in 0 1; do
        file="$data/$size-$variant.yuv"
        if [ ! -f "$file" ] || [ "$(stat -c %s "$file")" -ne "$want" ]; then
            "$build/tools/pixloom-make-demo" --size "$size" --frames "$frames" \
                --variant "$variant" "$file"
        fi
    done
done

# A screen wide enough for a dual 3840 picture at 1x.
exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 7720x2320x24 -nolisten tcp -noreset >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
exec 3>&-
for _ in $(seq 100); do
    [ -s "$work/display" ] && break
    sleep 0.1
done
if [ ! -s "$work/display" ]; then
    echo "playback_e2e: Xvfb did not start:" >&2
    cat "$work/xvfb.log" >&2
    exit 1
fi
export DISPLAY=":$(head -n1 "$work/display")"

windows() {
    xdotool search --onlyvisible --pid "$viewer_pid" 2>/dev/null | wc -l
}

# Menu key, then the item key once the menu's own window is up.
menu() {
    xdotool key "alt+$1"
    for _ in $(seq 100); do
        [ "$(windows)" -ge 2 ] && break
        sleep 0.05
    done
    xdotool key "$2"
    for _ in $(seq 100); do
        [ "$(windows)" -le 1 ] && break
        sleep 0.05
    done
}

lines() {
    grep -vc '^#' "$1" 2>/dev/null || true
}

# Starts the viewer on the given files at frame rate 1000 with a trace; returns once its first
# frame is drawn and its window has the focus.
start_viewer() {
    local trace=$1 w=$2 h=$3
    shift 3
    rm -f "$trace"
    PIXLOOM_TRACE="$trace" "$build/app/pixloom" "$w" "$h" 1000 "$@" >"$work/viewer.log" 2>&1 &
    viewer_pid=$!
    local window
    window=$(xdotool search --sync --onlyvisible --pid "$viewer_pid" | head -n1)
    xdotool windowfocus --sync "$window"
    for _ in $(seq 200); do
        [ "$(lines "$trace")" -ge 1 ] && break
        sleep 0.05
    done
    sleep 0.5
}

stop_viewer() {
    kill "$viewer_pid" 2>/dev/null || true
    wait "$viewer_pid" 2>/dev/null || true
    viewer_pid=""
}

# Played frames are the lines with a read time; the first three warm up.
summarize_play() {
    awk -v label="$2" '
        /^#/ || $3 < 0 { next }
        { n++; if (n <= 3) next; m++; if (m == 1) t0 = $2; t1 = $2
          read += $3; conv += $4; draw += $5 }
        END {
            if (m < 2) { printf "%-26s %8s\n", label, "no frames"; exit }
            printf "%-26s %8.1f %9.2f %10.2f %8.2f %7d\n", label, (m - 1) * 1e6 / (t1 - t0),
                   read / m / 1000, conv / m / 1000, draw / m / 1000, m
        }' "$1"
}

echo "Playback at frame rate 1000 (ms are means per frame; frames after 3 warm-up frames)"
printf "%-26s %8s %9s %10s %8s %7s\n" "case" "fps" "read_ms" "convert_ms" "draw_ms" "frames"
for size in $sizes; do
    w=${size%x*}
    h=${size#*x}
    for mode in single dual; do
        for zoom in 1x 2x; do
            trace="$work/play-$size-$mode-$zoom.txt"
            files=("$data/$size-0.yuv")
            [ "$mode" = dual ] && files+=("$data/$size-1.yuv")
            start_viewer "$trace" "$w" "$h" "${files[@]}"
            [ "$zoom" = 2x ] && menu s z
            menu s p
            sleep "$play_seconds"
            menu s s
            sleep 0.5
            stop_viewer
            summarize_play "$trace" "$size $mode $zoom"
        done
    done
done

echo
echo "Step forward (Right arrow): key press to frame on screen, $steps steps"
printf "%-12s %9s %9s %9s %9s %9s\n" "size" "median_ms" "max_ms" "read_ms" "convert_ms" "draw_ms"
for size in $sizes; do
    w=${size%x*}
    h=${size#*x}
    trace="$work/step-$size.txt"
    start_viewer "$trace" "$w" "$h" "$data/$size-0.yuv"
    : >"$work/latency.txt"
    for _ in $(seq "$steps"); do
        before=$(lines "$trace")
        pressed=$("$work/send_key" Right)
        for _ in $(seq 500); do
            [ "$(lines "$trace")" -gt "$before" ] && break
            sleep 0.01
        done
        grep -v '^#' "$trace" | tail -n1 | awk -v p="$pressed" '{ print $2 - p, $3, $4, $5 }' \
            >>"$work/latency.txt"
        sleep 0.2
    done
    stop_viewer
    sort -n "$work/latency.txt" | awk -v label="$size" '
        { v[NR] = $1; read += $2; conv += $3; draw += $4 }
        END {
            med = NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
            printf "%-12s %9.2f %9.2f %9.2f %9.2f %9.2f\n", label, med / 1000, v[NR] / 1000,
                   read / NR / 1000, conv / NR / 1000, draw / NR / 1000
        }'
done
