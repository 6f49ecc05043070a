#!/usr/bin/env bash
# Installs what is needed, builds everything and runs every test: the unit and component
# tests (also under AddressSanitizer and UndefinedBehaviorSanitizer), the real-platform
# and end-to-end tests under their own Xvfb, the command-line tool's tests, a short fuzz
# run and the formatting check.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

scripts/install-deps.sh

step() { printf '\n== %s\n' "$*"; }

step "format check"
git ls-files '*.cpp' '*.h' '*.c' | xargs clang-format --dry-run --Werror

step "build and test (real platform, end to end)"
scripts/build.sh build -DCMAKE_BUILD_TYPE=RelWithDebInfo
ctest --test-dir build --output-on-failure --timeout 600 -j2

step "unit tests under AddressSanitizer and UndefinedBehaviorSanitizer"
scripts/build.sh build-asan -DCMAKE_BUILD_TYPE=Debug -DTUMBLA_SANITIZE=ON -DTUMBLA_LINUX=OFF
ctest --test-dir build-asan --output-on-failure --timeout 600 -j2

step "remote checks under ThreadSanitizer"
cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTUMBLA_SANITIZE_THREAD=ON \
  >/dev/null
cmake --build build-tsan --target tumbla_remote_check_tests
ctest --test-dir build-tsan --output-on-failure --timeout 600 -R '^tumbla_remote_check_tests$'

step "short fuzz run"
CC=clang CXX=clang++ scripts/build.sh build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTUMBLA_FUZZ=ON -DTUMBLA_LINUX=OFF -DTUMBLA_TESTS=OFF
ctest --test-dir build-fuzz --output-on-failure --timeout 600
