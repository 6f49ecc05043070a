#!/usr/bin/env bash
# Runs clang-tidy (the checks in .clang-tidy) over our sources with the compile commands of
# a build folder; fails on any finding. Usage: clang-tidy.sh [BUILD_DIR] (default: build)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-build}
cd "$root"
[ -f "$build/compile_commands.json" ] || { echo "clang-tidy.sh: build $build first" >&2; exit 2; }
# The compile commands carry GCC-only warning options that clang does not know.
mapfile -t files < <(git ls-files 'src/*.cpp' 'app/*.cpp' 'tools/*.cpp')
status=0
run-clang-tidy-14 -p "$build" -quiet -j "$(nproc)" \
  -extra-arg=-Wno-unknown-warning-option "${files[@]/#/$root/}" >"$build/clang-tidy.log" 2>&1 ||
  status=$?
# Findings, without the terminal colours clang-tidy may add.
if sed 's/\x1b\[[0-9;]*m//g' "$build/clang-tidy.log" | grep -E '(warning|error): ' |
  grep -v 'clang-diagnostic-unknown-warning-option' | sort -u | grep .; then
  echo "clang-tidy: findings above" >&2
  exit 1
fi
if [ "$status" -ne 0 ]; then
  tail -20 "$build/clang-tidy.log" >&2
  echo "clang-tidy: failed (status $status) without a finding; its log is above" >&2
  exit 1
fi
echo "clang-tidy: no findings in ${#files[@]} files"
