"""The workloads of the bridge benchmark: bundles that run them, and what a burst was.

Throughput: the page sends a burst of ".../bench?i=N" commands in new hidden iframes (or,
for the fast path, posted to tumbla's message handler), then
".../done?started=MS&ended=MS" with the times it began and ended sending; at start, inside
Tumbla.init(), or in play, a while after it. Cold start: the page merely answers
Tumbla.init().
"""

import json
import shutil
from dataclasses import dataclass
from pathlib import Path
from urllib.parse import parse_qs, urlsplit


@dataclass
class Burst:
    """The bench commands one host's handler saw, with times in ms since the epoch."""
    order: list  # the i of each command as it arrived; None where the host only counts
    count: int
    first_ms: float
    last_ms: float
    page_started_ms: float
    page_ended_ms: float

    @classmethod
    def ending(cls, done_url, order, count, first_ms, last_ms):
        """A burst whose page times come from its ".../done" command."""
        query = url_query(done_url)
        return cls(order, count, first_ms, last_ms, float(query["started"]),
                   float(query["ended"]))

    def lost(self, sent):
        if self.order is None:
            return sent - self.count
        return sent - len(set(self.order) & set(range(sent)))

    def in_order(self):
        """Each command once, in the order sent (always so for a host that only counts)."""
        return self.order is None or self.order == sorted(set(self.order))

    def handler_rate(self):
        """Commands per second from the first command handled to the last."""
        # The trace stamps whole milliseconds; a burst inside one would divide by zero.
        return max(self.count - 1, 0) / max(self.last_ms - self.first_ms, 1.0) * 1000.0

    def page_to_handler_rate(self):
        """Commands per second from the page's first send to the last command handled."""
        return self.count / max(self.last_ms - self.page_started_ms, 1.0) * 1000.0

    def sending_ms(self):
        """How long the page took to send the burst: the engine's share."""
        return self.page_ended_ms - self.page_started_ms

    def catching_up_ms(self):
        """How long after the page's last send the handler had the last command: the
        host's own share."""
        return self.last_ms - self.page_ended_ms


def make_bundle(template, folder, commands, frames, delay_ms=0, via="frames"):
    """A copy of the bench bundle told which workload to run."""
    shutil.copytree(template, folder)
    shutil.copy(Path(template).resolve().parents[2] / "resources" / "tumbla.js", folder)
    config = json.dumps({"commands": commands, "frames": frames, "delayMs": delay_ms,
                         "via": via})
    (Path(folder) / "bench-config.js").write_text(f"window.benchConfig = {config};\n")
    return Path(folder)


def url_path(url):
    return urlsplit(url).path


def url_query(url):
    return {key: values[0] for key, values in parse_qs(urlsplit(url).query).items()}
