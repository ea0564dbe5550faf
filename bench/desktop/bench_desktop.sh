#!/usr/bin/env bash
# The whole station process showing its simulated 1080p30 camera in a real X window
# (Xvfb), against mpv and ffplay showing the same H.264 stream in a window of the
# station's picture size: the CPU each process takes over 20 s after a 5 s warm-up,
# read from /proc, in three interleaved rounds; medians and ratios (below 1: the
# station costs less). The stream is the simulated camera's own clip, taken from the
# clip file the station keeps, repeated to a minute.
#   build/bench_desktop [SECONDS]        (default 20; run by scripts/bench)
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
station="$here/kestovar"
seconds="${1:-20}"
warm=5
rounds=3
for tool in Xvfb mpv ffplay ffmpeg python3; do
  command -v "$tool" >/dev/null || { echo "bench_desktop: $tool is missing (scripts/setup installs it)" >&2; exit 1; }
done
[ -x "$station" ] || { echo "bench_desktop: no station program at $station" >&2; exit 1; }

work="$(mktemp -d /tmp/kestovar-bench-desktop-XXXXXX)"
display=":$((300 + RANDOM % 200))"
xvfb=""
cleanup() {
  [ -n "${player:-}" ] && kill "$player" 2>/dev/null && wait "$player" 2>/dev/null
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
Xvfb "$display" -screen 0 1600x1000x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb=$!
sleep 1
export DISPLAY="$display"
mkdir -p "$work/reg" "$work/lock" "$work/run" "$work/home" "$work/clips"
chmod 700 "$work/run"

# CPU seconds (user + system, all threads) of a process so far.
cpu_of() { awk -v hz="$(getconf CLK_TCK)" '{ printf "%.3f", ($14 + $15) / hz }' "/proc/$1/stat"; }

# Starts a command (a function that execs the program, so the pid is the program's),
# waits out the warm-up, measures; prints the percentage of a core.
measure() {
  "$@" >"$work/player.log" 2>&1 &
  player=$!
  sleep "$warm"
  kill -0 "$player" 2>/dev/null || { echo "bench_desktop: $1 ended early:" >&2; tail -5 "$work/player.log" >&2; exit 1; }
  local a b
  a="$(cpu_of "$player")"
  sleep "$seconds"
  b="$(cpu_of "$player")"
  kill -TERM "$player" 2>/dev/null
  wait "$player" 2>/dev/null || true
  player=""
  awk -v a="$a" -v b="$b" -v s="$seconds" 'BEGIN { printf "%.1f", 100 * (b - a) / s }'
}

run_station() {
  exec env DISPLAY="$display" XDG_RUNTIME_DIR="$work/run" HOME="$work/home" KESTOVAR_REGISTRY_DIR="$work/reg" \
    KESTOVAR_LOCK_DIR="$work/lock" KESTOVAR_CLIP_CACHE="$work/clips" KESTOVAR_REPORT_FIRST_FRAME=1 \
    "$station" --simulate-camera=fullhd
}

# A first run of the station makes its clip file and tells the picture's size.
first="$(measure run_station)"
size="$(sed -n 's/.*first frame shown (\([0-9]*x[0-9]*\)).*/\1/p' "$work/player.log" | head -1)"
clip="$(ls "$work"/clips/h264-1920x1080-30-*.clip 2>/dev/null | head -1)"
[ -n "$size" ] && [ -n "$clip" ] || { echo "bench_desktop: the station showed no picture or kept no clip" >&2; exit 1; }
python3 - "$clip" "$work/stream.h264" <<'PY'
import struct, sys
data = open(sys.argv[1], 'rb').read()
words = struct.unpack_from('<9I', data, 8)
count = words[8]
lengths = struct.unpack_from('<%dI' % count, data, 8 + 36)
body = data[8 + 36 + 4 * count:]
assert len(body) == sum(lengths), 'clip file damaged'
with open(sys.argv[2], 'wb') as out:
    for _ in range(30):  # two seconds, thirty times
        out.write(body)
PY
ffmpeg -v error -framerate 30 -i "$work/stream.h264" -c copy "$work/stream.mkv"
w="${size%x*}" h="${size#*x}"

run_mpv() { exec mpv --vo=x11 --hwdec=no --no-audio --loop-file=inf --no-config --really-quiet --geometry="${w}x${h}+0+0" "$work/stream.mkv"; }
run_ffplay() { exec ffplay -v quiet -an -loop 0 -x "$w" -y "$h" "$work/stream.mkv"; }

stations=() mpvs=() ffplays=()
for ((r = 1; r <= rounds; r++)); do
  stations+=("$(measure run_station)")
  mpvs+=("$(measure run_mpv)")
  ffplays+=("$(measure run_ffplay)")
  echo "bench_desktop: round $r: station ${stations[-1]} %, mpv ${mpvs[-1]} %, ffplay ${ffplays[-1]} % of a core (first run $first %)" >&2
done
median() { printf '%s\n' "$@" | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
s="$(median "${stations[@]}")" m="$(median "${mpvs[@]}")" f="$(median "${ffplays[@]}")"
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "-" }'; }
echo "desktop: station live 1080p30 in ${size}, CPU % of a core (goal 0.6x mpv) | $s % | mpv $m % | $(ratio "$s" "$m")"
echo "desktop: station against ffplay, CPU % of a core | $s % | ffplay $f % | $(ratio "$s" "$f")"
