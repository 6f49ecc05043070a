#!/usr/bin/env bash
# Installs what is needed, builds tumbla and runs the game. Arguments go to tumbla.
# Without a display the game runs headless under Xvfb and a screenshot of it is saved
# to tumbla-screenshot.png after a few seconds; stop it with Ctrl+C.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

"$root/scripts/install-deps.sh"
"$root/scripts/build.sh" "$root/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo
tumbla="$root/build/app/tumbla"

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  exec "$tumbla" "$@"
fi

echo "No display: running headless under Xvfb; a screenshot goes to $PWD/tumbla-screenshot.png"
shot="$PWD/tumbla-screenshot.png"
pidfile=$(mktemp)
export TUMBLA_BINARY="$tumbla" TUMBLA_SHOT="$shot" TUMBLA_PIDFILE="$pidfile"
# Xvfb and the D-Bus session run in a session of their own, so that Ctrl+C (or the
# terminal closing) reaches only this script; it asks the game to stop, and the game
# saves on a display that is still there.
setsid "$root/tests/support/run-under-xvfb.sh" bash -c '
  "$TUMBLA_BINARY" "$@" &
  pid=$!
  echo "$pid" >"$TUMBLA_PIDFILE"
  sleep 5
  kill -0 "$pid" 2>/dev/null && import -window root -trim +repage "$TUMBLA_SHOT" &&
    echo "Saved $TUMBLA_SHOT"
  wait "$pid"' tumbla "$@" &
runner=$!
stop_game() {
  local pid
  pid=$(cat "$pidfile" 2>/dev/null || true)
  [ -n "$pid" ] && kill -TERM "$pid" 2>/dev/null || true
}
trap stop_game INT TERM HUP
status=0
while kill -0 "$runner" 2>/dev/null; do
  wait "$runner" && status=0 || status=$?
done
rm -f "$pidfile"
exit "$status"
