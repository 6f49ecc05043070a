#!/usr/bin/env bash
# Whole-process comparison: `tumbla-json FILE` (read, parse, write, free, exit) against a
# RapidJSON program doing the same with full-precision numbers, on each benchmark corpus
# repeated into one array of 20 to 25 MB. Prints, per corpus, the median wall and CPU
# time and the median peak resident memory of each, and tumbla's share of RapidJSON's
# (below 1.00x: tumbla is faster or smaller). The two programs run in turns, so that a
# change in the machine's load reaches both alike.
# Usage: bench/json/whole-process.sh [runs]   (default 9)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build="$root/build-bench"
runs=${1:-9}

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTUMBLA_BENCH=ON \
  -DTUMBLA_LINUX=OFF -DTUMBLA_TESTS=OFF >/dev/null
cmake --build "$build" --target tumbla-json rapidjson_whole_process >/dev/null
# The corpora: where the benchmark build looks for them (TUMBLA_JSON_BENCH_DATA).
data=$(sed -n 's/^TUMBLA_JSON_BENCH_DATA:PATH=//p' "$build/CMakeCache.txt")

/usr/bin/python3 - "$build" "$data" "$runs" <<'PY'
import os, resource, statistics, subprocess, sys, time
from pathlib import Path

build, data, runs = Path(sys.argv[1]), Path(sys.argv[2]), int(sys.argv[3])
corpora_dir = build / "whole-process"
corpora_dir.mkdir(exist_ok=True)
programs = {
    "tumbla": [str(build / "tools/tumbla-json/tumbla-json")],
    "rapidjson": [str(build / "bench/json/rapidjson_whole_process")],
}
target = 22 * 1024 * 1024

def corpus(name):
    source = (data / f"{name}.json").read_bytes().strip()
    copies = max(1, round(target / (len(source) + 1)))
    path = corpora_dir / f"{name}-x{copies}.json"
    if not path.exists():
        # Written piece by piece: a child's peak memory counts its parent's at the fork, and
        # a 22 MB string built here would stay in this process and floor every figure below.
        with open(path, "wb") as out:
            out.write(b"[")
            for copy in range(copies):
                out.write(b"," if copy else b"")
                out.write(source)
            out.write(b"]")
    return path

def run(command, path):
    start = time.perf_counter()
    with open(os.devnull, "wb") as sink:
        process = subprocess.Popen(command + [str(path)], stdout=sink)
        _, status, usage = os.wait4(process.pid, 0)
    wall = time.perf_counter() - start
    if os.waitstatus_to_exitcode(status) != 0:
        sys.exit(f"{command[0]} failed on {path}")
    return wall, usage.ru_utime + usage.ru_stime, usage.ru_maxrss / 1024

print(f"{'corpus':13} {'size MB':>7}  {'program':9} {'wall s':>7} {'cpu s':>7} {'peak MB':>8}")
for name in ("twitter", "canada", "citm_catalog"):
    path = corpus(name)
    samples = {program: [] for program in programs}
    run(programs["tumbla"], path)  # The first reading of the file warms the page cache.
    for _ in range(runs):
        for program, command in programs.items():
            samples[program].append(run(command, path))
    medians = {p: [statistics.median(s[i] for s in samples[p]) for i in range(3)]
               for p in programs}
    size = path.stat().st_size / 1e6
    for program in programs:
        wall, cpu, peak = medians[program]
        print(f"{name:13} {size:7.1f}  {program:9} {wall:7.3f} {cpu:7.3f} {peak:8.1f}")
    ours, theirs = medians["tumbla"], medians["rapidjson"]
    print(f"{'':13} {'':7}  {'ratio':9} {ours[0] / theirs[0]:6.2f}x {ours[1] / theirs[1]:6.2f}x "
          f"{ours[2] / theirs[2]:7.2f}x")
PY
