#!/usr/bin/env bash
# Random-input run of the sanitizer build: tools/soak.sh <game executable> [<moonc>]
#
# Runs the game under Xvfb for SOAK_SECONDS (600 by default) and feeds it random input with xdotool:
# driving and menu keys, clicks and drags anywhere in the window, and the developer keys (held with
# "/"). When the game quits on its own with status 0 it is started again. The run fails on a crash or
# any other non-zero exit, on a sanitizer report, or on an assertion in the trace log. The resident
# size of the game is printed every minute.
#
# The game runs in build/soak/ on a copy of assets/, with its save directory there too, so nothing it
# writes back lands in the repository. SOAK_SEED fixes the random sequence (the default is the time).
set -u
exe="$(realpath "$1")"
moonc="${2:-}"
cd "$(dirname "$0")/.."
root="$PWD"
seconds="${SOAK_SECONDS:-600}"
seed="${SOAK_SEED:-$(date +%s)}"

if ! command -v xdotool > /dev/null || ! command -v xvfb-run > /dev/null; then
  echo "soak: xdotool and xvfb-run are needed (tools/setup.sh installs them)." >&2
  exit 2
fi

work="$root/build/soak"
rm -rf "$work"
mkdir -p "$work/game" "$work/save" "$work/runs"
cp -r "$root/assets" "$work/game/"
if [ -n "$moonc" ] && [ -x "$moonc" ]; then
  mkdir -p "$work/game/assets/data/scripts/Moon_Compiler"
  cp "$moonc" "$work/game/assets/data/scripts/Moon_Compiler/moonc"
fi

echo "soak: $seconds s of random input (SOAK_SEED=$seed); logs under $work/runs"

xvfb-run -a -s "-screen 0 1920x1080x24" bash -c '
  exe="$1"; work="$2"; seconds="$3"; seed="$4"
  RANDOM=$seed
  export LIBGL_ALWAYS_SOFTWARE=1 ALSOFT_DRIVERS=none
  export ASAN_OPTIONS=detect_leaks=0:halt_on_error=1
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
  export XDG_DATA_HOME="$work/save"
  unset APPDATA
  trace="$work/save/Quorvex/PemmetsDustrun/trace/trace.log"
  cd "$work/game"

  # Keys of the game: driving, ping, pause, menus, the splash skip, and the letters and digits
  # the developer keys use.
  plain=(w a s d Up Down Left Right space Escape Return Tab BackSpace p 1 2 3 m)
  developer=(1 2 3 4 5 6 l m e x q n 9 0 Escape)

  failed=""
  runs=0
  x() { xdotool "$@" 2> /dev/null; }
  check_run() {
    # $1: run log, $2: exit status of the run, $3: what ended it
    local log="$1" status="$2" how="$3"
    if grep -q -E "ERROR: AddressSanitizer|runtime error:|ERROR: LeakSanitizer|SUMMARY: (Address|UndefinedBehavior)Sanitizer" "$log"; then
      failed="sanitizer report in $log"
    elif grep -q "Assertion \`" "$log" || { [ -f "$trace" ] && grep -q "Assertion \`" "$trace"; }; then
      failed="assertion in the trace log (see $log)"
    elif [ "$how" = exit ] && [ "$status" -ne 0 ]; then
      failed="the game exited with status $status (see $log)"
    elif [ "$how" = stop ] && [ "$status" -ne 0 ]; then
      failed="the game stopped with status $status on SIGTERM (see $log)"
    fi
    if [ -f "$trace" ]; then
      cp "$trace" "${log%.log}.trace.log"
    fi
  }

  start=$(date +%s)
  next_rss=$((start + 60))
  while [ -z "$failed" ]; do
    now=$(date +%s)
    [ $((now - start)) -ge "$seconds" ] && break
    runs=$((runs + 1))
    log="$work/runs/run$runs.log"
    rm -f "$trace"
    "$exe" > "$log" 2>&1 &
    pid=$!
    echo "soak: run $runs started (pid $pid)"
    # The game window: focused, and the area clicks land in (the whole screen until it shows).
    win=""; left=0; top=0; width=1920; height=1080
    for i in $(seq 60); do
      win=$(xdotool search --onlyvisible --pid $pid 2> /dev/null | head -n 1)
      [ -n "$win" ] || ! kill -0 $pid 2> /dev/null && break
      sleep 0.5
    done
    if [ -n "$win" ]; then
      x windowfocus "$win"
      eval "$(xdotool getwindowgeometry --shell "$win" 2> /dev/null | grep -E "^(X|Y|WIDTH|HEIGHT)=[0-9]+$")"
      left=${X:-0}; top=${Y:-0}; width=${WIDTH:-1920}; height=${HEIGHT:-1080}
    fi
    while kill -0 $pid 2> /dev/null; do
      now=$(date +%s)
      if [ "$now" -ge "$next_rss" ]; then
        rss=$(ps -o rss= -p $pid 2> /dev/null | tr -d " ")
        echo "soak: $((now - start)) s, run $runs, resident ${rss:-?} KiB"
        next_rss=$((next_rss + 60))
      fi
      [ $((now - start)) -ge "$seconds" ] && break
      hold=$(printf "0.%02d" $((RANDOM % 60 + 2)))
      case $((RANDOM % 10)) in
        0|1|2|3)
          key=${plain[$((RANDOM % ${#plain[@]}))]}
          x keydown "$key"; sleep "$hold"; x keyup "$key" ;;
        4|5)
          # Driving with a turn held together.
          x keydown w keydown "${plain[$((RANDOM % 4))]}"; sleep "$hold"; sleep "$hold"
          x keyup w keyup a keyup s keyup d ;;
        6|7)
          x mousemove $((left + RANDOM % width)) $((top + RANDOM % height)) click 1 ;;
        8)
          # A drag, for the sliders.
          x mousemove $((left + RANDOM % width)) $((top + RANDOM % height)) mousedown 1
          sleep "$hold"
          x mousemove $((left + RANDOM % width)) $((top + RANDOM % height)); sleep 0.05; x mouseup 1 ;;
        9)
          key=${developer[$((RANDOM % ${#developer[@]}))]}
          x keydown slash; sleep 0.05; x keydown "$key"; sleep "$hold"
          x keyup "$key"; sleep 0.05; x keyup slash ;;
      esac
      sleep 0.0$((RANDOM % 10))
    done
    if kill -0 $pid 2> /dev/null; then
      kill -TERM $pid
      for i in $(seq 60); do
        kill -0 $pid 2> /dev/null || break
        sleep 0.5
      done
      if kill -0 $pid 2> /dev/null; then
        kill -KILL $pid
        wait $pid
        failed="the game did not stop within 30 s of SIGTERM (see $log)"
        break
      fi
      wait $pid; status=$?
      check_run "$log" $status stop
    else
      wait $pid; status=$?
      check_run "$log" $status exit
      [ -z "$failed" ] && echo "soak: run $runs quit on its own (status 0); starting again"
    fi
  done
  if [ -n "$failed" ]; then
    echo "soak: FAILED after $(( $(date +%s) - start )) s, run $runs: $failed"
    exit 1
  fi
  echo "soak: passed, $runs run(s) in $seconds s"
' _ "$exe" "$work" "$seconds" "$seed"
