#!/usr/bin/env bash
# Installs what is needed, builds everything and runs every test: the formatting check,
# clang-tidy, the layer check, the unit and component tests, the real-platform and
# end-to-end tests under their own Xvfb, the command-line tool's tests; all of them again
# under AddressSanitizer and UndefinedBehaviorSanitizer; the tests that start threads under
# ThreadSanitizer; and a short fuzz run.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

scripts/install-deps.sh

step() { printf '\n== %s (at %d s)\n' "$*" "$SECONDS"; }

step "format check"
git ls-files '*.cpp' '*.h' '*.c' | xargs clang-format --dry-run --Werror

step "build and test (real platform, end to end)"
scripts/build.sh build -DCMAKE_BUILD_TYPE=RelWithDebInfo
ctest --test-dir build --output-on-failure --timeout 600 -j2

step "clang-tidy"
scripts/clang-tidy.sh build

step "every test again under AddressSanitizer and UndefinedBehaviorSanitizer"
# The real platform and the end-to-end tests included; tests/support/sanitizer-options.sh
# sets the options, and its suppressions name what is the web engine's and the toolkit's.
scripts/build.sh build-asan -DCMAKE_BUILD_TYPE=Debug -DTUMBLA_SANITIZE=ON
(source tests/support/sanitizer-options.sh &&
  ctest --test-dir build-asan --output-on-failure --timeout 900 -j2 \
    -E '^(package|page_scripts|layers.*)$|_(de_DE|tr_TR)')

step "tests that start threads and the remote checks under ThreadSanitizer"
cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTUMBLA_SANITIZE_THREAD=ON \
  -DTUMBLA_LINUX=ON >/dev/null
cmake --build build-tsan --target tumbla_unit_tests tumbla_remote_check_tests
(source tests/support/sanitizer-options.sh &&
  ctest --test-dir build-tsan --output-on-failure --timeout 600 -R 'Thread|^tumbla_remote_check_tests$')

step "short fuzz run"
CC=clang CXX=clang++ scripts/build.sh build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTUMBLA_FUZZ=ON -DTUMBLA_LINUX=OFF -DTUMBLA_TESTS=OFF
ctest --test-dir build-fuzz --output-on-failure --timeout 600
