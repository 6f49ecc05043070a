#!/usr/bin/env bash
# Installs what is needed, builds tumbla and runs the game. Arguments go to tumbla.
# Without a display the game runs headless under Xvfb: a few scripted moves are played,
# then a screenshot of it is saved to tumbla-screenshot.png; stop it with Ctrl+C.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

"$root/scripts/install-deps.sh"
# Only the game and its bundle: the tests, benchmarks and tools are test-all.sh's to build.
"$root/scripts/build.sh" "$root/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -- tumbla
tumbla="$root/build/app/tumbla"

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  exec "$tumbla" "$@"
fi

echo "No display: running headless under Xvfb; a screenshot goes to $PWD/tumbla-screenshot.png"
shot="$PWD/tumbla-screenshot.png"
scratch=$(mktemp -d)
# The scripted moves below play on a scratch saved game unless a data directory is given,
# so that a demonstration never changes the player's own game.
data_dir=(--data-dir "$scratch/data")
for argument in "$@"; do
  case $argument in --data-dir|--data-dir=*) data_dir=() ;; esac
done
export TUMBLA_BINARY="$tumbla" TUMBLA_SHOT="$shot" TUMBLA_STARTED="$scratch/trace.jsonl"
export TUMBLA_PIDFILE="$scratch/pid"
# The game's own output reaches the terminal (through descriptors 3 and 4); what the
# display, the message bus and the accessibility registry say about themselves goes to a
# log, shown only when the run fails.
session_log="$scratch/session.log"
exec 3>&2 4>&1
# Xvfb and the D-Bus session run in a session of their own, so that Ctrl+C (or the
# terminal closing) reaches only this script; it asks the game to stop, and the game
# saves on a display that is still there.
setsid "$root/tests/support/run-under-xvfb.sh" bash -c '
  "$TUMBLA_BINARY" --trace "$TUMBLA_STARTED" "$@" >&4 2>&3 &
  pid=$!
  echo "$pid" >"$TUMBLA_PIDFILE"
  for _ in $(seq 1 600); do
    grep -q "Tumbla.setShakeToUndo" "$TUMBLA_STARTED" 2>/dev/null && break
    kill -0 $pid 2>/dev/null || break
    sleep 0.1
  done
  # A few moves, as a player would make them: past the rules, the first level solved, on to
  # the next, and the cursor about the board there.
  if window=$(xdotool search --onlyvisible --name "^Tumbla$" 2>/dev/null | head -1) && [ -n "$window" ]; then
    xdotool windowfocus --sync "$window" 2>/dev/null || true
    for key in Return Left Return; do xdotool key "$key"; sleep 0.4; done
    sleep 1.5
    for key in Return Up Return Right Down Return; do xdotool key "$key"; sleep 0.4; done
  fi
  sleep 1
  kill -0 $pid 2>/dev/null && import -window root -trim +repage "$TUMBLA_SHOT" &&
    echo "Saved $TUMBLA_SHOT" >&4
  wait $pid' tumbla "${data_dir[@]}" "$@" >"$session_log" 2>&1 &
runner=$!
stop_game() {
  local pid
  pid=$(cat "$TUMBLA_PIDFILE" 2>/dev/null || true)
  [ -n "$pid" ] && kill -TERM "$pid" 2>/dev/null || true
}
trap stop_game INT TERM HUP
trap 'rm -rf "$scratch"' EXIT
status=0
while kill -0 "$runner" 2>/dev/null; do
  wait "$runner" && status=0 || status=$?
done
# Ctrl+C ends the game with the status of its signal; anything else is worth the log.
if [ "$status" -ne 0 ] && [ "$status" -ne 130 ] && [ "$status" -ne 143 ] && [ -s "$session_log" ]; then
  echo "The headless session ended with status $status; what it said:" >&2
  cat "$session_log" >&2
fi
exit "$status"
