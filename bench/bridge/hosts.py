"""Runs one host program on a bench bundle and collects the JSON lines it reports.

Both hosts report one JSON object per line: tumbla in its --trace file, the baseline on its
standard output. A run lasts until the reported events say the workload is over, or until a
time limit; then the program gets SIGTERM, and the run waits for it and for every engine
process it started, so that no run overlaps the next one.
"""

import contextlib
import ctypes
import json
import os
import signal
import subprocess
import time
from dataclasses import dataclass, field
from pathlib import Path

EXIT_LIMIT_S = 10.0
POLL_INTERVAL_S = 0.02
PR_SET_CHILD_SUBREAPER = 36


class RunFailed(Exception):
    """A run that did not finish; carries the events reported until then."""

    def __init__(self, message, events):
        super().__init__(message)
        self.events = events


@dataclass
class Run:
    launched_ms: float
    events: list = field(default_factory=list)


def adopt_orphans():
    """Engine processes outlive their host by a moment; adopting them lets a run wait for them."""
    libc = ctypes.CDLL(None, use_errno=True)
    if libc.prctl(PR_SET_CHILD_SUBREAPER, 1, 0, 0, 0) != 0:
        raise OSError(ctypes.get_errno(), "prctl(PR_SET_CHILD_SUBREAPER) failed")


def run_host(argv, events_path, finishes, time_limit_s, events_on_stdout=False):
    """Starts argv and returns a Run once an event satisfies finishes(event); RunFailed
    past the limit. Whatever the program prints besides its events goes to a .log file
    beside them."""
    events_path = Path(events_path)
    environment = dict(os.environ)
    home = events_path.parent / "home"
    # Each run starts with empty engine caches and settings, whichever program it is.
    for variable, folder in (("XDG_CACHE_HOME", "cache"), ("XDG_CONFIG_HOME", "config"),
                             ("XDG_DATA_HOME", "data")):
        environment[variable] = str(home / folder)
    with contextlib.ExitStack() as files:
        log = files.enter_context(open(events_path.with_suffix(".log"), "w"))
        stdout = files.enter_context(open(events_path, "w")) if events_on_stdout else log
        launched_ms = time.time() * 1000.0
        process = subprocess.Popen(argv, stdout=stdout, stderr=log, env=environment)
    run = Run(launched_ms)
    try:
        _follow(events_path, run, finishes, process, time_limit_s)
    finally:
        _terminate(process)
    return run


def _follow(events_path, run, finishes, process, time_limit_s):
    deadline = time.monotonic() + time_limit_s
    reader = _LineReader(events_path)
    while True:
        # Only new events are looked at: the runner shares the two cores with the programs
        # it measures, and rescanning thousands of events each poll would slow them.
        new_events = reader.new_objects()
        run.events.extend(new_events)
        if any(finishes(event) for event in new_events):
            return
        if process.poll() is not None:
            raise RunFailed(f"{Path(process.args[0]).name} exited with status "
                            f"{process.returncode} before the workload was over", run.events)
        if time.monotonic() > deadline:
            raise RunFailed(f"{Path(process.args[0]).name} did not finish within "
                            f"{time_limit_s:g} s", run.events)
        time.sleep(POLL_INTERVAL_S)


def _terminate(process):
    if process.poll() is None:
        process.send_signal(signal.SIGTERM)
        try:
            process.wait(EXIT_LIMIT_S)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()
    _reap_orphans()


def _reap_orphans():
    deadline = time.monotonic() + EXIT_LIMIT_S
    while True:
        try:
            pid, _ = os.waitpid(-1, os.WNOHANG)
        except ChildProcessError:
            return
        if pid == 0 and time.monotonic() > deadline:
            for orphan in _children():
                os.kill(orphan, signal.SIGKILL)
            deadline = float("inf")
        elif pid == 0:
            time.sleep(POLL_INTERVAL_S)


def _children():
    me = os.getpid()
    for stat in Path("/proc").glob("[0-9]*/stat"):
        try:
            # The parent's pid is the second field after the parenthesised command name.
            fields = stat.read_text().rsplit(")", 1)[1].split()
        except OSError:
            continue
        if int(fields[1]) == me:
            yield int(stat.parent.name)


class _LineReader:
    """The complete lines a program has appended to a file since the last call."""

    def __init__(self, path):
        self._path = Path(path)
        self._offset = 0
        self._partial = b""

    def new_objects(self):
        try:
            with open(self._path, "rb") as file:
                file.seek(self._offset)
                data = file.read()
        except FileNotFoundError:
            return []
        self._offset += len(data)
        *lines, self._partial = (self._partial + data).split(b"\n")
        return [json.loads(line) for line in lines if line.startswith(b"{")]
