#!/usr/bin/env bash
# bench/fenwolt_cpu/fenwolt_cpu.sh [BUILD_DIR]
# Processor time Fenwolt takes per second of wall time (all threads: the game's and the software
# rasteriser's), as a player's desktop sees it: the still start menu and the planning phase of an
# exhibition match, in a window and in full screen, each for MEASURE_SECONDS (8). Runs on its own
# Xvfb (1024 x 768, no window manager, display BENCH_XVFB, :21 unless set) unless BENCH_DISPLAY
# names a running display to use; drives the game with xdotool in real time (no fixed step).
# Prints one line a case, with the processor time of the game and, on its own Xvfb, of the X
# server that shows its frames (the other half of what every frame costs):
#   <window|full> <start-menu|planning> game <cores> display <cores>
# The figures depend on what else the machine runs: measure on a quiet one (the load average
# is printed before and after).
# With BENCH_SHOT set, "$BENCH_SHOT DISPLAY FILE.png" is run at each measurement to keep a picture
# of the screen measured (in BENCH_SHOT_DIR, the current directory unless set).
# Needs Xvfb and xdotool; the data set must have been built (cmake --build BUILD --target fenwolt-data).
set -euo pipefail

build="$(cd "${1:-build}" && pwd -P)"
program="$build/fenwolt/fenwolt"
data="$build/data/fenwolt"
measure="${MEASURE_SECONDS:-8}"
[ -x "$program" ] && [ -d "$data/interface" ] || { echo "build fenwolt and fenwolt-data in $build first" >&2; exit 2; }
command -v xdotool >/dev/null || { echo "needs xdotool" >&2; exit 2; }

work="$(mktemp -d /tmp/fenwolt-cpu-XXXXXX)"
xvfb_pid=""
game_pid=""
cleanup() {
  [ -n "$game_pid" ] && kill -9 "$game_pid" 2>/dev/null || true
  # The display number is free again once this server is gone.
  [ -n "$xvfb_pid" ] && { kill "$xvfb_pid" 2>/dev/null; wait "$xvfb_pid" 2>/dev/null; } || true
  rm -rf "$work"
}
trap cleanup EXIT

if [ -n "${BENCH_DISPLAY:-}" ]; then
  display="$BENCH_DISPLAY"
else
  command -v Xvfb >/dev/null || { echo "needs Xvfb (or BENCH_DISPLAY)" >&2; exit 2; }
  display="${BENCH_XVFB:-:21}"
  Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 100); do [ -S "/tmp/.X11-unix/X${display#:}" ] && break; sleep 0.1; done
  [ -S "/tmp/.X11-unix/X${display#:}" ] || { echo "Xvfb did not start on $display" >&2; exit 2; }
fi
export DISPLAY="$display"

ticks="$(getconf CLK_TCK)"
cpu_ticks() { if [ -n "$1" ]; then awk '{print $14 + $15}' "/proc/$1/stat"; else echo 0; fi; }
# Cores used by the game and the display over the next MEASURE_SECONDS; $1 names the picture.
cores() {
  local a b xa xb t0 t1
  [ -n "${BENCH_SHOT:-}" ] && "$BENCH_SHOT" "$display" "${BENCH_SHOT_DIR:-.}/$1.png"
  a="$(cpu_ticks "$game_pid")"; xa="$(cpu_ticks "$xvfb_pid")"; t0="$(date +%s.%N)"
  sleep "$measure"
  b="$(cpu_ticks "$game_pid")"; xb="$(cpu_ticks "$xvfb_pid")"; t1="$(date +%s.%N)"
  awk -v a="$a" -v b="$b" -v xa="$xa" -v xb="$xb" -v t0="$t0" -v t1="$t1" -v hz="$ticks" \
    'BEGIN { printf "game %.2f display %.2f", (b - a) / hz / (t1 - t0), (xb - xa) / hz / (t1 - t0) }'
}

# A click at a point of the 800 x 600 picture, wherever and at whatever scale the window shows it.
window=""
click() {
  local geometry w h s ox oy
  geometry="$(xdotool getwindowgeometry --shell "$window")"
  w="$(sed -n 's/^WIDTH=//p' <<<"$geometry")"; h="$(sed -n 's/^HEIGHT=//p' <<<"$geometry")"
  read -r s ox oy < <(awk -v w="$w" -v h="$h" 'BEGIN { s = w / 800; if (h / 600 < s) s = h / 600;
                                                     printf "%f %d %d\n", s, (w - 800 * s) / 2, (h - 600 * s) / 2 }')
  xdotool mousemove --window "$window" "$(awk -v v="$1" -v s="$s" -v o="$ox" 'BEGIN { printf "%d", v * s + o }')" \
                                       "$(awk -v v="$2" -v s="$s" -v o="$oy" 'BEGIN { printf "%d", v * s + o }')"
  sleep 0.2
  xdotool click 1
  sleep "${3:-2}"
}

echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
for mode in window full; do
  folder="$work/$mode"
  mkdir -p "$folder/dat" "$folder/saves"
  for entry in "$data"/*; do [ "$(basename "$entry")" = saves ] || ln -s "$entry" "$folder/"; done
  # Without a switch file the game starts full screen.
  [ "$mode" = window ] && touch "$folder/dat/window.dat"
  (cd "$folder" && exec env -u SDL_VIDEODRIVER -u PLATFORM_SCRIPT -u PLATFORM_FIXED_STEP_MS \
     SDL_AUDIODRIVER=dummy XDG_RUNTIME_DIR="$work" "$program" >"$folder/game.log" 2>&1) &
  game_pid=$!
  for _ in $(seq 300); do
    window="$(xdotool search --pid "$game_pid" --name "Dorvanix" 2>/dev/null | head -1 || true)"
    [ -n "$window" ] && break
    sleep 0.2
  done
  [ -n "$window" ] || { echo "the game's window did not appear" >&2; exit 1; }
  sleep 3
  click 400 560 2     # the intro gives way to the title (a click beside the menu buttons to come)
  click 400 560 8     # the title gives way to the start menu, whose fade is over after a few seconds
  echo "$mode start-menu $(cores "$mode-start-menu")"
  click 130 305       # START
  click 400 108       # Single Exhibition Match
  click 400 268       # START MATCH: the squad editor
  click 670 545 30    # START MATCH: loading, then the home side's planning phase
  echo "$mode planning $(cores "$mode-planning")"
  kill -9 "$game_pid" 2>/dev/null || true
  wait "$game_pid" 2>/dev/null || true
  game_pid=""
done
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
