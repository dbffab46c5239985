#!/usr/bin/env bash
# Starts the game from the repository root. Without a display it runs the game under Xvfb for a few
# seconds, saves a screenshot of the window, then stops the game in order (SIGTERM) and says where the
# picture is.
#
# RUN_SCENE=<scene> starts the game in that scene instead of the one "scenes/InitialScene" names (for
# example RUN_SCENE=LivingRoomScene to go straight into the level). Without a display the screenshot
# is taken in the living room unless RUN_SCENE says otherwise; RUN_SCENE=InitialScene keeps the
# splash. RUN_SECONDS sets how long the game runs before the screenshot (6 by default); RUN_DRIVE=0
# keeps the player still for it.
set -u
exe="$(realpath "$1")"
cd "$(dirname "$0")/.."
root="$PWD"

scene="${RUN_SCENE:-}"
if [ -z "${DISPLAY:-}" ] && [ -z "$scene" ]; then
  scene="LivingRoomScene"
fi
if [ "$scene" = "InitialScene" ]; then
  scene=""
fi

# Another first scene: the game runs in a folder that mirrors the repository's assets through links,
# with its own "scenes/InitialScene" naming that scene. Everything else (scene files written back,
# compiled scripts) goes to the real files through the links.
workdir="$root"
if [ -n "$scene" ]; then
  if [ ! -f "assets/data/scenes/$scene.json" ]; then
    echo "RUN_SCENE: there is no scene \"$scene\" (assets/data/scenes/$scene.json)." >&2
    exit 2
  fi
  workdir="$root/build/run-$scene"
  rm -rf "$workdir"
  mkdir -p "$workdir/assets/data/scenes"
  for entry in "$root"/assets/*; do
    [ "$(basename "$entry")" = "data" ] || ln -s "$entry" "$workdir/assets/"
  done
  for entry in "$root"/assets/data/*; do
    [ "$(basename "$entry")" = "scenes" ] || ln -s "$entry" "$workdir/assets/data/"
  done
  for entry in "$root"/assets/data/scenes/*; do
    [ "$(basename "$entry")" = "InitialScene.json" ] || ln -s "$entry" "$workdir/assets/data/scenes/"
  done
  printf '{\n    "Initial Scene": "%s"\n}\n' "$scene" > "$workdir/assets/data/scenes/InitialScene.json"
  echo "Starting in the scene $scene."
fi
cd "$workdir"

if [ -n "${DISPLAY:-}" ]; then
  exec "$exe"
fi
shot="$root/build/screenshot.png"
seconds="${RUN_SECONDS:-6}"
mkdir -p "$root/build"
rm -f "$shot"
echo "No display: running the game under Xvfb for $seconds seconds."
# In the living room the player drives a few steps along the trail of treasure first (with xdotool,
# when it is installed), so the picture shows more than the spot the level starts on.
drive=0
if [ "$scene" = "LivingRoomScene" ] && [ "${RUN_DRIVE:-1}" != "0" ] && command -v xdotool > /dev/null; then
  drive=1
fi
xvfb-run -a -s "-screen 0 1920x1080x24" bash -c '
  exe="$1"; shot="$2"; seconds="$3"; drive="$4"
  "$exe" & pid=$!
  if [ "$drive" = 1 ] && [ "$seconds" -ge 6 ]; then
    sleep $((seconds - 3))
    xdotool keydown w; sleep 2.2; xdotool keyup w
    xdotool keydown space; sleep 0.2; xdotool keyup space
    sleep 0.6
  else
    sleep "$seconds"
  fi
  if kill -0 $pid 2>/dev/null; then
    if ! import -window root "$shot" 2>/dev/null; then
      xwd -root -silent 2>/dev/null | convert xwd:- "$shot" 2>/dev/null
    fi
    kill -TERM $pid
    wait $pid; status=$?
  else
    wait $pid; status=$?
    echo "The game stopped on its own before the screenshot."
  fi
  if [ -s "$shot" ]; then
    echo "Screenshot of the game window: $shot"
  else
    echo "No screenshot was taken."
  fi
  echo "Game exited with status $status"
  exit $status
' _ "$exe" "$shot" "$seconds" "$drive"
