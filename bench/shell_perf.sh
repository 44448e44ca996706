#!/usr/bin/env bash
# Measures the player as a user sees it, on a private X display (Xvfb):
#   - start-up to the first presented frame of the example intro, with and
#     without `music` (the first frame is seen when the window's centre is
#     no longer black);
#   - frames per second of the example intro at 1600 by 900 (or --size), vsync off.
# Each run of the player starts with an empty shader cache of the driver's, as
# scripts/test.sh runs, so the start-up includes the driver's compile whatever
# the machine compiled before.
# Usage: bench/shell_perf.sh [--size WIDTHxHEIGHT] [--fps-only] [build-dir]   (default: build)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
width=1600 height=900 fpsOnly=false
while [ $# -gt 0 ]; do
  case "$1" in
    --size)
      [[ "${2:-}" =~ ^([0-9]+)x([0-9]+)$ ]] || { echo "--size takes WIDTHxHEIGHT, as 64x36" >&2; exit 2; }
      width=${BASH_REMATCH[1]} height=${BASH_REMATCH[2]}; shift 2 ;;
    --fps-only) fpsOnly=true; shift ;;
    *) break ;;
  esac
done
build="${1:-$root/build}"
player="$build/quorvelan"
[ -x "$player" ] || { echo "no player at $player (build the quorvelan target)" >&2; exit 1; }

work="$(mktemp -d)"
display=":$(( 500 + $$ % 400 ))"
Xvfb "$display" -screen 0 1920x1080x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
pid=""
cleanup() {
  [ -n "$pid" ] && kill "$pid" 2>/dev/null || true
  kill "$xvfb" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
export DISPLAY="$display" SDL_VIDEODRIVER=x11 SDL_AUDIODRIVER=dummy
for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X${display#:}" ] && break; sleep 0.1; done

now() { date +%s.%N; }

# A new, empty shader cache of the driver's for the next player.
cold_shader_cache() {
  MESA_SHADER_CACHE_DIR="$(mktemp -d "$work/shader-cache.XXXXXX")"
  export MESA_SHADER_CACHE_DIR
}

# The centre pixel of the window as "r,g,b".
centre() {
  xwd -silent -id "$1" 2>/dev/null | convert xwd:- -gravity center -crop 1x1+0+0 -depth 8 txt:- 2>/dev/null |
    sed -n 's/.*(\([0-9]*\),\([0-9]*\),\([0-9]*\).*/\1,\2,\3/p' | head -1
}

startup() {  # $1: music true/false
  local dir="$work/startup-$1"
  cp -r "$root/examples" "$dir"
  sed -i "s/bool music = [a-z]*;/bool music = $1;/" "$dir/config.quoconfig"
  local t0 window c
  cold_shader_cache
  t0=$(now)
  "$player" "$dir/intro.quointro" >"$dir/log" 2>&1 &
  pid=$!
  window=""
  while [ -z "$window" ]; do window=$(xdotool search --onlyvisible --name '^Quorvelan' 2>/dev/null | head -1 || true); done
  while :; do
    c=$(centre "$window")
    [ -n "$c" ] && [ "$c" != "0,0,0" ] && break
  done
  local t1
  t1=$(now)
  kill "$pid"; wait "$pid" 2>/dev/null || true; pid=""
  printf 'start-up to first frame, music %-5s, shader cache cold: %6.2f s\n' "$1" "$(awk -v a="$t0" -v b="$t1" 'BEGIN { print b - a }')"
}

fps() {
  local dir="$work/example"
  cp -r "$root/examples" "$dir"
  cat >"$dir/config.quoconfig" <<CFG
[editor]
int2 windowSize = $width $height;
int2 windowPosition = 0 0;
bool windowed = true;
bool vsync = false;
bool music = false;
bool startWhenLoaded = true;
CFG
  cold_shader_cache
  "$player" "$dir/intro.quointro" >"$dir/log" 2>&1 &
  pid=$!
  local window="" caption samples=() last=""
  while [ -z "$window" ]; do window=$(xdotool search --onlyvisible --name '^Quorvelan' 2>/dev/null | head -1 || true); done
  while [ ${#samples[@]} -lt 8 ]; do
    caption=$(xdotool getwindowname "$window" 2>/dev/null || true)
    if [ "$caption" != "$last" ] && [[ "$caption" == *"FPS: "* ]]; then
      samples+=("$(echo "$caption" | sed -n 's/.*FPS: \([0-9]*\) .*/\1/p')")
      last="$caption"
    fi
    sleep 0.1
  done
  kill "$pid"; wait "$pid" 2>/dev/null || true; pid=""
  # The first caption counts the frames of the start; leave it out.
  local sum=0 n=0
  for s in "${samples[@]:1}"; do sum=$((sum + s)); n=$((n + 1)); done
  echo "example intro at ${width}x${height}, vsync off: ${samples[*]:1} frames per second (mean $((sum / n)))"
}

echo "each run starts with an empty shader cache of the driver's (MESA_SHADER_CACHE_DIR)"
if ! $fpsOnly; then
  startup false
  startup true
fi
fps
