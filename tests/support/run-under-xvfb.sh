#!/usr/bin/env bash
# Runs a command with its own Xvfb display and D-Bus session, and stops both afterwards.
# Usage: run-under-xvfb.sh COMMAND [ARG...]
set -euo pipefail

if ! command -v Xvfb >/dev/null; then
  echo "run-under-xvfb: Xvfb is not installed (scripts/install-deps.sh installs it)" >&2
  exit 2
fi

runtime=$(mktemp -d)
cleanup() {
  [ -n "${xvfb_pid:-}" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
  rm -rf "$runtime"
}
trap cleanup EXIT

# Xvfb picks a free display and tells us its number.
exec {display_fd}<> <(:)
Xvfb -displayfd "$display_fd" -screen 0 1280x800x24 -nolisten tcp >"$runtime/xvfb.log" 2>&1 &
xvfb_pid=$!
display=""
# Whole seconds: bash reads a fractional timeout by the locale's decimal point, and the
# tests also run under locales that write "0,1".
for _ in $(seq 1 60); do
  if read -r -t 1 -u "$display_fd" display && [ -n "$display" ]; then break; fi
  kill -0 "$xvfb_pid" 2>/dev/null || { cat "$runtime/xvfb.log" >&2; exit 2; }
done
[ -n "$display" ] || { echo "run-under-xvfb: Xvfb did not start" >&2; exit 2; }

export DISPLAY=":$display"
# No sound card is needed to test, and none is asked for: probing the system's audio
# back ends has been seen to hold up a start on a loaded machine.
export SDL_AUDIODRIVER="${SDL_AUDIODRIVER:-dummy}"
# Under a sanitizer, allocations are traced back through the toolkit's and the engine's
# libraries, which keep no frame pointers: otherwise a leak's trace stops inside GLib, and
# neither shows who made it nor lets the suppressions see that it was the engine's.
if [ -n "${ASAN_OPTIONS:-}" ]; then
  export ASAN_OPTIONS="$ASAN_OPTIONS:fast_unwind_on_malloc=0"
fi
export XDG_RUNTIME_DIR="$runtime"
chmod 700 "$runtime"
if command -v dbus-run-session >/dev/null; then
  dbus-run-session -- "$@"
else
  "$@"
fi
