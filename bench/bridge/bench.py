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
FAST_PATH_TARGET = 30     # tumbla's message handler against its own frame path, in play
COLD_START_TARGET = 0.9   # tumbla's time to Tumbla.init(), as a multiple of the baseline's
IN_PLAY_DELAY_MS = 500    # well after either host's start-up sequence is over


class Bench:
    def __init__(self, options, scratch):
        self.options = options
        self.scratch = scratch
        self.runs = 0
        bundle = options.bundle
        self.bundles = {
            "start": workloads.make_bundle(bundle, scratch / "start-bundle", options.commands,
                                           options.frames),
            "play": workloads.make_bundle(bundle, scratch / "play-bundle", options.commands,
                                          options.frames, IN_PLAY_DELAY_MS),
            "cold": workloads.make_bundle(bundle, scratch / "cold-bundle", 0, options.frames),
            "fast": workloads.make_bundle(bundle, scratch / "fast-bundle", options.fast_commands,
                                          options.frames, IN_PLAY_DELAY_MS, via="messages"),
        }

    def _run(self, host, bundle, finishes):
        self.runs += 1
        run_dir = self.scratch / f"run-{self.runs}-{host.name}"
        run_dir.mkdir()
        return hosts.run_host(host.argv(bundle, run_dir), host.events_path(run_dir), finishes,
                              self.options.time_limit, events_on_stdout=host.events_on_stdout)

    def burst(self, host, when):
        run = self._run(host, self.bundles[when], host.burst_over)
        return host.burst(run.events)

    def cold_start_ms(self, host):
        run = self._run(host, self.bundles["cold"], host.init_evaluated)
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
    parser.add_argument("--fast-commands", type=int, default=100000,
                        help="commands per burst through tumbla's message handler")
    parser.add_argument("--time-limit", type=float, default=30.0,
                        help="seconds one run may take before it counts as failed")
    return parser.parse_args()


def measure(bench, hosts_compared, rounds):
    """Every workload on every host, each round; results[workload][host] lists the runs."""
    results = {workload: {host: [] for host in hosts_compared}
               for workload in ("start", "play", "cold")}
    tumbla = hosts_compared[0]
    results["fast"] = {tumbla: []}
    for round_number in range(1, rounds + 1):
        # Swapping who goes first each round keeps warm-up and drift off one side.
        pair = hosts_compared if round_number % 2 else hosts_compared[::-1]
        for when in ("start", "play"):
            for host in pair:
                results[when][host].append(bench.burst(host, when))
        for host in pair:
            results["cold"][host].append(bench.cold_start_ms(host))
        # Only tumbla has the message handler; its frame path in play is the comparison.
        results["fast"][tumbla].append(bench.burst(tumbla, "fast"))
        print(f"round {round_number}/{rounds}: " + "; ".join(
            f"{host.name} {results['start'][host][-1].page_to_handler_rate():.0f}/s at start, "
            f"{results['play'][host][-1].page_to_handler_rate():.0f}/s in play, "
            f"cold start {results['cold'][host][-1]:.0f} ms" for host in hosts_compared)
            + f"; tumbla's message handler "
            f"{results['fast'][tumbla][-1].page_to_handler_rate():.0f}/s", flush=True)
    return results


MOMENTS = (("start", "in Tumbla.init()"), ("play", "in play"))


def report(options, tumbla, baseline, results):
    """Prints the tables; True when every target is met and tumbla lost no command."""
    rows = []
    for when, moment in MOMENTS:
        for label, rate in (("page to handler", workloads.Burst.page_to_handler_rate),
                            ("first to last handled", workloads.Burst.handler_rate)):
            rows.append((f"burst {moment}, {label}, /s",
                         [rate(burst) for burst in results[when][tumbla]],
                         [rate(burst) for burst in results[when][baseline]],
                         ">=", THROUGHPUT_TARGET))
    rows.append(("cold start to Tumbla.init(), ms", results["cold"][tumbla],
                 results["cold"][baseline], "<=", COLD_START_TARGET))

    print(f"\n{options.runs} runs of each host per workload, alternating; "
          f"{options.commands} commands per burst; frames: {options.frames}")
    print(f"{'median of':50}{'tumbla':>9}{'baseline':>9}{'ratio':>7}{'paired':>8}  target")
    all_met = True
    for label, ours, theirs, sense, target in rows:
        ratio = statistics.median(ours) / statistics.median(theirs)
        # The median of each round's own ratio: less swayed by a busy moment of the machine.
        paired = statistics.median(a / b for a, b in zip(ours, theirs))
        met = ratio >= target if sense == ">=" else ratio <= target
        all_met &= met
        print(f"{label:50}{statistics.median(ours):>9.0f}{statistics.median(theirs):>9.0f}"
              f"{ratio:>7.2f}{paired:>8.2f}  {sense} {target:.2f} {'met' if met else 'MISSED'}")
    # A bare program sometimes stalls about half a second in its start: the spread shows
    # whether a low cold-start ratio is tumbla's doing or the baseline's stalls.
    print(f"{'cold start, fastest and slowest run, ms':50}" + "".join(
        f"{f'{min(runs):.0f}-{max(runs):.0f}':>9}"
        for runs in (results["cold"][tumbla], results["cold"][baseline])))

    print(f"\n{'where a burst goes, median ms':50}{'tumbla':>9}{'baseline':>9}")
    for when, moment in MOMENTS:
        for label, share in (("the page sending it", workloads.Burst.sending_ms),
                             ("then until the last is handled", workloads.Burst.catching_up_ms)):
            print(f"{f'burst {moment}, {label}':50}"
                  + "".join(f"{statistics.median(share(b) for b in results[when][host]):>9.0f}"
                            for host in (tumbla, baseline)))
    print("(tumbla holds the commands that arrive during its start-up sequence and handles "
          "them\n in one go when it is over: for a burst in Tumbla.init() its first-to-last "
          "rate is that\n of the catching up, and page to handler is the comparable figure)")

    fast = [burst.page_to_handler_rate() for burst in results["fast"][tumbla]]
    frames = [burst.page_to_handler_rate() for burst in results["play"][tumbla]]
    fast_ratio = statistics.median(fast) / statistics.median(frames)
    fast_met = fast_ratio >= FAST_PATH_TARGET
    all_met &= fast_met
    print(f"\n{'tumbla in play, page to handler, median /s':50}{'messages':>9}{'frames':>9}"
          f"{'ratio':>7}{'paired':>8}  target")
    print(f"{f'{options.fast_commands} messages against {options.commands} frame loads':50}"
          f"{statistics.median(fast):>9.0f}{statistics.median(frames):>9.0f}{fast_ratio:>7.1f}"
          f"{statistics.median(a / b for a, b in zip(fast, frames)):>8.1f}"
          f"  >= {FAST_PATH_TARGET} {'met' if fast_met else 'MISSED'}")

    sent = [(burst, options.commands) for burst in results["start"][tumbla] + results["play"][tumbla]]
    sent += [(burst, options.fast_commands) for burst in results["fast"][tumbla]]
    lost = max(burst.lost(count) for burst, count in sent)
    disordered = sum(not burst.in_order() for burst, _ in sent)
    print(f"\ncommands lost by tumbla: {lost} in the worst of {len(sent)} bursts "
          f"({options.commands} commands each, {options.fast_commands} through the message "
          f"handler); bursts with commands out of order: {disordered}")
    baseline_lost = max(burst.lost(options.commands)
                        for burst in results["start"][baseline] + results["play"][baseline])
    if baseline_lost:
        print(f"(the baseline lost {baseline_lost} in its worst burst)")
    return all_met and lost == 0 and disordered == 0


def main():
    options = parse_options()
    tumbla, baseline = Tumbla(options.tumbla), Baseline(options.baseline)
    hosts.adopt_orphans()
    with tempfile.TemporaryDirectory(prefix="bridge-bench-") as scratch:
        bench = Bench(options, Path(scratch))
        try:
            results = measure(bench, (tumbla, baseline), options.runs)
        except hosts.RunFailed as failure:
            seen = len(Tumbla.commands(failure.events))
            print(f"bench: {failure} (tumbla's trace had {seen} of {options.commands} "
                  "commands)" if seen else f"bench: {failure}", file=sys.stderr)
            return 2
    return 0 if report(options, tumbla, baseline, results) else 1


if __name__ == "__main__":
    sys.exit(main())
