#!/usr/bin/env bash
# Builds tumbla with Release flags and prints the longest stalls of its main loop in four
# scenes (start-up, sound, a share, prompts against slow servers), read from its trace.
# Usage: bench/stall/run.sh [--before OTHER_TUMBLA] [--scenes start-up,sound,share,prompts]
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)
build="$root/build-bench"

"$root/bench/build-release.sh" tumbla

# The system Python, which has the accessibility bindings the share scene presses buttons
# through.
"$root/tests/support/run-under-xvfb.sh" /usr/bin/python3 "$here/stall.py" \
  --tumbla "$build/app/tumbla" "$@"
