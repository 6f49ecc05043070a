#!/usr/bin/env bash
# Builds the JSON benchmark in Release (build-bench/) and prints, per corpus, the median
# CPU and wall time of each library and our speed relative to each peer (>1 means we are
# faster).
# Usage: bench/json/run.sh [repetitions]   (default 5)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build="$root/build-bench"
repetitions=${1:-5}

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTUMBLA_BENCH=ON \
  -DTUMBLA_LINUX=OFF -DTUMBLA_TESTS=OFF >/dev/null
cmake --build "$build" --target tumbla_json_bench >/dev/null
"$build/bench/json/tumbla_json_bench" --benchmark_repetitions="$repetitions" \
  --benchmark_report_aggregates_only=true --benchmark_format=json \
  --benchmark_out="$build/json-bench.json" --benchmark_out_format=json >/dev/null

python3 - "$build/json-bench.json" <<'PY'
import json, sys
medians = {}
for b in json.load(open(sys.argv[1]))["benchmarks"]:
    if b.get("aggregate_name") == "median":
        operation, library, corpus = b["run_name"].split("/")
        medians[(operation, corpus, library)] = {"cpu": b["cpu_time"], "wall": b["real_time"]}
peers = {"parse": ["rapidjson_fp", "nlohmann", "simdjson"],
         "write": ["rapidjson", "nlohmann", "simdjson"]}
for clock in ("cpu", "wall"):
    print(f"median {clock} time")
    print(f"{'operation':9} {'corpus':13} {'tumbla ms':>10}  " +
          "  ".join(f"{'vs ' + p:>16}" for p in peers["parse"]))
    for operation in ("parse", "write"):
        for corpus in ("twitter", "canada", "citm_catalog"):
            ours = medians[(operation, corpus, "tumbla")][clock]
            cells = []
            for peer in peers[operation]:
                theirs = medians[(operation, corpus, peer)][clock]
                cells.append(f"{theirs / ours:6.2f}x ({theirs:6.2f})")
            print(f"{operation:9} {corpus:13} {ours:10.2f}  " +
                  "  ".join(f"{c:>16}" for c in cells))
    print()
print("ratio = peer median time / our median time (>1 means we are faster); peer ms in\n"
      "parentheses. CPU time is the steadier figure when other load shares the machine.")
PY
