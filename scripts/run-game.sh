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
export TUMBLA_BINARY="$tumbla" TUMBLA_SHOT="$shot"
exec "$root/tests/support/run-under-xvfb.sh" bash -c '
  "$TUMBLA_BINARY" "$@" &
  pid=$!
  trap "kill -TERM $pid 2>/dev/null" INT TERM
  sleep 5
  import -window root -trim +repage "$TUMBLA_SHOT" && echo "Saved $TUMBLA_SHOT"
  wait $pid' tumbla "$@"
