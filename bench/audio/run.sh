#!/usr/bin/env bash
# Builds the audio benchmark in Release (build-bench/) and prints the mixer's share of a
# core per buffer, the command-to-sound delay and the memory music takes.
# Usage: bench/audio/run.sh [benchmark options...]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build="$root/build-bench"
"$root/bench/build-release.sh" tumbla_audio_bench
# No sound card is needed: the mixer runs on its own clock, muted.
SDL_AUDIODRIVER=dummy "$build/bench/audio/tumbla_audio_bench" "$@"
