"""The two programs compared: how to start each on a bundle, and how to read its events."""

from pathlib import Path

from workloads import Burst, url_path, url_query


class Tumbla:
    """tumbla, read through its --trace file."""

    name = "tumbla"
    events_on_stdout = False

    def __init__(self, program):
        self.program = Path(program).resolve()

    def argv(self, bundle, run_dir):
        return [str(self.program), "--bundle", str(bundle), "--data-dir", str(run_dir / "data"),
                "--trace", str(self.events_path(run_dir))]

    @staticmethod
    def events_path(run_dir):
        return run_dir / "trace.jsonl"

    @staticmethod
    def is_command(event, path="/bench"):
        # A frame load is a "navigation"; a command posted to the message handler a "message".
        return event.get("event") in ("navigation", "message") and url_path(event["url"]) == path

    @classmethod
    def commands(cls, events, path="/bench"):
        return [event for event in events if cls.is_command(event, path)]

    @classmethod
    def burst_over(cls, event):
        return cls.is_command(event, "/done")

    @classmethod
    def burst(cls, events):
        commands = cls.commands(events)
        done = cls.commands(events, "/done")[0]
        ends = commands or [done]
        return Burst.ending(done["url"], order=[int(url_query(c["url"])["i"]) for c in commands],
                            count=len(commands), first_ms=ends[0]["time"],
                            last_ms=ends[-1]["time"])

    @staticmethod
    def init_evaluated(event):
        return (event.get("event") == "script" and event.get("script") == "Tumbla.init()"
                and event.get("answered"))

    @classmethod
    def init_ms(cls, events):
        return next(event for event in events if cls.init_evaluated(event))["time"]


class Baseline:
    """minimal_webkit, read from its standard output."""

    name = "baseline"
    events_on_stdout = True

    def __init__(self, program):
        self.program = Path(program).resolve()

    def argv(self, bundle, run_dir):
        return [str(self.program), str(bundle / "index.html")]

    @staticmethod
    def events_path(run_dir):
        return run_dir / "events.jsonl"

    @staticmethod
    def burst_over(event):
        return event.get("event") == "done"

    @classmethod
    def burst(cls, events):
        done = next(event for event in events if cls.burst_over(event))
        # It only counts, as a bare handler would; the order is checked on tumbla.
        return Burst.ending(done["url"], order=None, count=done["commands"],
                            first_ms=done["first"], last_ms=done["last"])

    @staticmethod
    def init_evaluated(event):
        return event.get("event") == "init-evaluated" and event.get("answered")

    @classmethod
    def init_ms(cls, events):
        return next(event for event in events if cls.init_evaluated(event))["time"]
