#!/usr/bin/env bash
# Builds the given targets with Release flags into build-bench/, which every benchmark of the
# real platform shares; quiet unless the build fails, when its output is shown and the
# status is 2.
# Usage: bench/build-release.sh TARGET...
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="$root/build-bench"

log=$(mktemp)
trap 'rm -f "$log"' EXIT
# The folder is shared, so every option is spelled out each time. GCC 12 reports a false
# -Wrestrict in std::string concatenation at -O3 (its bug 105329); it stays a warning so
# that the optimised build goes through.
{
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTUMBLA_BENCH=ON \
    -DTUMBLA_LINUX=ON -DCMAKE_CXX_FLAGS=-Wno-error=restrict &&
    cmake --build "$build" --target "$@"
} >"$log" 2>&1 || { cat "$log" >&2; exit 2; }
