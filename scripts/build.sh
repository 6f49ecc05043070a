#!/usr/bin/env bash
# Configures and builds one build folder: every target, or only the targets named after "--".
# Usage: build.sh DIR [cmake options...] [-- TARGET...]
set -euo pipefail
dir=$1; shift
options=()
while [ $# -gt 0 ] && [ "$1" != -- ]; do options+=("$1"); shift; done
[ $# -gt 0 ] && shift
targets=()
for target in "$@"; do targets+=(--target "$target"); done
cmake -S "$(dirname "$0")/.." -B "$dir" -G Ninja "${options[@]}" >/dev/null
cmake --build "$dir" "${targets[@]}"
