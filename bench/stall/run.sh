#!/usr/bin/env bash
# Builds tumbla with Release flags and prints the longest stalls of its main loop in four
# scenes (start-up, sound, a share, prompts against slow servers), read from its trace.
# Usage: bench/stall/run.sh [--before OTHER_TUMBLA] [--scenes start-up,sound,share,prompts]
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)
build="$root/build-bench"

build_log=$(mktemp)
trap 'rm -f "$build_log"' EXIT
# The folder is shared with the other benchmarks, so every option this one needs is spelled
# out (GCC 12's false -Wrestrict at -O3 stays a warning, as there).
{
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTUMBLA_BENCH=ON \
    -DTUMBLA_LINUX=ON -DCMAKE_CXX_FLAGS=-Wno-error=restrict &&
    cmake --build "$build" --target tumbla
} >"$build_log" 2>&1 || { cat "$build_log" >&2; exit 2; }

# The system Python, which has the accessibility bindings the share scene presses buttons
# through.
"$root/tests/support/run-under-xvfb.sh" /usr/bin/python3 "$here/stall.py" \
  --tumbla "$build/app/tumbla" "$@"
