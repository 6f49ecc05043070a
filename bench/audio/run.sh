#!/usr/bin/env bash
# Builds the audio benchmark in Release (build-bench/) and prints the mixer's share of a
# core per buffer, the command-to-sound delay and the memory music takes.
# Usage: bench/audio/run.sh [benchmark options...]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build="$root/build-bench"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTUMBLA_BENCH=ON \
  -DTUMBLA_LINUX=ON -DCMAKE_CXX_FLAGS=-Wno-error=restrict >/dev/null
cmake --build "$build" --target tumbla_audio_bench >/dev/null
# No sound card is needed: the mixer runs on its own clock, muted.
SDL_AUDIODRIVER=dummy "$build/bench/audio/tumbla_audio_bench" "$@"
