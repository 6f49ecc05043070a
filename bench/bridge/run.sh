#!/usr/bin/env bash
# Builds tumbla and the bare WebKitGTK baseline with Release flags, then benchmarks the
# page-to-host bridge of both side by side under one Xvfb session.
# Usage: bench/bridge/run.sh [--runs R] [--commands N] [--frames remove|remove-next-task|keep]
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)
build="$root/build-bench"

"$root/bench/build-release.sh" tumbla minimal_webkit

# Both programs, the display and the engine's helpers run ahead of whatever else the machine
# is doing (builds, mostly), which would otherwise swamp the differences measured. Where
# raising the priority is not allowed, nice only warns and the benchmark runs as it is.
nice -n -10 "$root/tests/support/run-under-xvfb.sh" python3 "$here/bench.py" \
  --tumbla "$build/app/tumbla" --baseline "$build/bench/bridge/minimal_webkit" \
  --bundle "$here/bundle" "$@"
