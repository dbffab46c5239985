#!/usr/bin/env bash
# Starts the game from the repository root. Without a display it runs the game under Xvfb for a few
# seconds, saves a screenshot of the window, then stops the game in order.
set -u
exe="$1"
cd "$(dirname "$0")/.."
if [ -n "${DISPLAY:-}" ]; then
  exec "$exe"
fi
shot="$PWD/build/screenshot.png"
mkdir -p build
echo "No display: running the game under Xvfb for a few seconds."
xvfb-run -a -s "-screen 0 1920x1080x24" bash -c '
  exe="$1"; shot="$2"
  "$exe" & pid=$!
  sleep 6
  if kill -0 $pid 2>/dev/null; then
    import -window root "$shot" 2>/dev/null && echo "Screenshot of the game window: $shot"
    kill -TERM $pid; wait $pid; status=$?
  else
    wait $pid; status=$?
  fi
  echo "Game exited with status $status"
  exit $status
' _ "$exe" "$shot"
