#!/usr/bin/env python3
"""Bridge benchmark: tumbla against a bare WebKitGTK program hosting the same page, run
side by side in one display session, alternating, and compared as ratios of medians.

Run it through run.sh, which builds both programs and provides the display. Exit status:
0 when every target is met and no command was lost, 1 when not, 2 when a run failed.
"""

import argparse
import statistics
import sys
import tempfile
from pathlib import Path

import hosts
import workloads
from programs import Baseline, Tumbla

THROUGHPUT_TARGET = 0.9   # tumbla's commands per second, as a share of the baseline's
COLD_START_TARGET = 1.15  # tumbla's time to Tumbla.init(), as a multiple of the baseline's


class Bench:
    def __init__(self, options, scratch):
        self.options = options
        self.scratch = scratch
        self.runs = 0
        self.throughput_bundle = workloads.make_bundle(
            options.bundle, scratch / "throughput-bundle", options.commands, options.frames)
        self.cold_start_bundle = workloads.make_bundle(
            options.bundle, scratch / "cold-start-bundle", 0, options.frames)

    def _run(self, host, bundle, finished):
        self.runs += 1
        run_dir = self.scratch / f"run-{self.runs}-{host.name}"
        run_dir.mkdir()
        return hosts.run_host(host.argv(bundle, run_dir), host.events_path(run_dir), finished,
                              self.options.time_limit, events_on_stdout=host.events_on_stdout)

    def burst(self, host):
        run = self._run(host, self.throughput_bundle, host.burst_over)
        return host.burst(run.events)

    def cold_start_ms(self, host):
        run = self._run(host, self.cold_start_bundle, host.init_evaluated)
        return host.init_ms(run.events) - run.launched_ms


def parse_options():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--tumbla", type=Path, required=True)
    parser.add_argument("--baseline", type=Path, required=True)
    parser.add_argument("--bundle", type=Path, required=True, help="the bench bundle folder")
    parser.add_argument("--runs", type=int, default=7, help="runs of each host per workload")
    parser.add_argument("--commands", type=int, default=2000, help="commands per burst")
    parser.add_argument("--frames", choices=("remove", "remove-next-task", "keep"),
                        default="remove", help="what the page does with a command's iframe")
    parser.add_argument("--time-limit", type=float, default=30.0,
                        help="seconds one run may take before it counts as failed")
    return parser.parse_args()


def measure(bench, tumbla, baseline, rounds):
    bursts = {tumbla: [], baseline: []}
    cold_starts = {tumbla: [], baseline: []}
    for round_number in range(1, rounds + 1):
        # Swapping who goes first each round keeps warm-up and drift off one side.
        pair = (tumbla, baseline) if round_number % 2 else (baseline, tumbla)
        for host in pair:
            bursts[host].append(bench.burst(host))
        for host in pair:
            cold_starts[host].append(bench.cold_start_ms(host))
        print(f"round {round_number}/{rounds}: " + "; ".join(
            f"{host.name} {bursts[host][-1].page_to_handler_rate():.0f}/s page to handler, "
            f"{bursts[host][-1].handler_rate():.0f}/s handler window, "
            f"cold start {cold_starts[host][-1]:.0f} ms" for host in (tumbla, baseline)),
            flush=True)
    return bursts, cold_starts


def report(options, tumbla, baseline, bursts, cold_starts):
    """Prints the table; True when every target is met and tumbla lost no command."""
    def median(values):
        return statistics.median(values)

    rows = [
        ("commands/s, page to handler", [b.page_to_handler_rate() for b in bursts[tumbla]],
         [b.page_to_handler_rate() for b in bursts[baseline]], ">=", THROUGHPUT_TARGET),
        ("commands/s, first to last handled", [b.handler_rate() for b in bursts[tumbla]],
         [b.handler_rate() for b in bursts[baseline]], ">=", THROUGHPUT_TARGET),
        ("cold start to Tumbla.init(), ms", cold_starts[tumbla], cold_starts[baseline], "<=",
         COLD_START_TARGET),
    ]
    print(f"\n{options.runs} runs of each host, alternating; {options.commands} commands per "
          f"burst; frames: {options.frames}")
    print(f"{'':36}{'tumbla':>10}{'baseline':>10}{'ratio':>8}  target")
    all_met = True
    for label, ours, theirs, sense, target in rows:
        ratio = median(ours) / median(theirs)
        met = ratio >= target if sense == ">=" else ratio <= target
        all_met &= met
        print(f"{label:36}{median(ours):>10.0f}{median(theirs):>10.0f}{ratio:>8.2f}  "
              f"{sense} {target:.2f} {'met' if met else 'MISSED'}")

    lost = [burst.lost(options.commands) for burst in bursts[tumbla]]
    disordered = sum(not burst.in_order() for burst in bursts[tumbla])
    print(f"commands lost by tumbla: {max(lost)} of {options.commands} in the worst run; "
          f"runs with commands out of order: {disordered} of {len(lost)}")
    baseline_lost = max(burst.lost(options.commands) for burst in bursts[baseline])
    if baseline_lost:
        print(f"(the baseline lost {baseline_lost} in its worst run)")
    return all_met and max(lost) == 0 and disordered == 0


def main():
    options = parse_options()
    tumbla, baseline = Tumbla(options.tumbla), Baseline(options.baseline)
    hosts.adopt_orphans()
    with tempfile.TemporaryDirectory(prefix="bridge-bench-") as scratch:
        bench = Bench(options, Path(scratch))
        try:
            bursts, cold_starts = measure(bench, tumbla, baseline, options.runs)
        except hosts.RunFailed as failure:
            seen = len(Tumbla.commands(failure.events))
            print(f"bench: {failure} (tumbla's trace had {seen} of {options.commands} "
                  "commands)" if seen else f"bench: {failure}", file=sys.stderr)
            return 2
    return 0 if report(options, tumbla, baseline, bursts, cold_starts) else 1


if __name__ == "__main__":
    sys.exit(main())
