#!/usr/bin/env bash
# Starts the game from the repository root. Without a display it runs the game under Xvfb for a few
# seconds, saves a screenshot of the window, then stops the game in order (SIGTERM) and says where the
# picture is.
set -u
exe="$(realpath "$1")"
cd "$(dirname "$0")/.."
if [ -n "${DISPLAY:-}" ]; then
  exec "$exe"
fi
shot="$PWD/build/screenshot.png"
seconds="${RUN_SECONDS:-6}"
mkdir -p build
rm -f "$shot"
echo "No display: running the game under Xvfb for $seconds seconds."
xvfb-run -a -s "-screen 0 1920x1080x24" bash -c '
  exe="$1"; shot="$2"; seconds="$3"
  "$exe" & pid=$!
  sleep "$seconds"
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
' _ "$exe" "$shot" "$seconds"
