// The page helper: what reaches the host for each command, through either path.
"use strict";
const test = require("node:test");
const assert = require("node:assert");
const tumbla = require("../../resources/tumbla.js");

// The host's reading of a command URL: split at "&" and "=", percent-decode, "+" kept.
function hostReads(url) {
  const match = /^tumbla:\/\/([^/?]+)([^?]*)(?:\?(.*))?$/.exec(url);
  assert.ok(match, url);
  const params = {};
  for (const piece of match[3] ? match[3].split("&") : []) {
    const [key, value] = piece.split("=");
    params[decodeURIComponent(key)] = decodeURIComponent(value);
  }
  return { host: match[1], path: match[2], params: params };
}

// Records what the page would load in frames, and checks each frame is gone at once.
function withFrames(body) {
  const loads = [];
  let attached = 0;
  globalThis.document = {
    body: {
      appendChild(frame) {
        attached++;
        loads.push(frame.src);
        frame.remove = () => attached--;
      },
    },
    createElement: (tag) => ({ tag: tag, style: {} }),
  };
  try {
    body();
  } finally {
    delete globalThis.document;
  }
  assert.strictEqual(attached, 0, "every frame is removed right after it is added");
  return loads;
}

function installMessageHandler() {
  const posted = [];
  globalThis.webkit = { messageHandlers: { tumbla: { postMessage: (message) => posted.push(message) } } };
  return posted;
}

test("values that the query syntax uses arrive as they were sent", () => {
  const tricky = ["a&b=c", "1+1", "100%", "big bang", "caf\u00e9 \u{1F600}", "k=v&w", "#frag", "?q", "/"];
  for (const value of tricky) {
    const url = tumbla.commandURL("iNotify.prismora", "/viewed", { key: value, [value]: "x" });
    const read = hostReads(url);
    assert.deepStrictEqual(read.params, { key: value, [value]: "x" }, url);
    assert.strictEqual(read.path, "/viewed");
  }
});

test("switches that are off are left out, since the host counts presence as on", () => {
  const url = tumbla.commandURL("settings.prismora", "/update", { a: false, b: null, c: undefined, d: true, e: 0 });
  assert.deepStrictEqual(hostReads(url).params, { d: "1", e: "0" });
  const loads = withFrames(() =>
    tumbla.settings.update({ theme: 2.7, pauseButton: "3", soundEnabled: true, musicEnabled: false, shakeToUndo: 0 })
  );
  assert.deepStrictEqual(hostReads(loads[0]), {
    host: "settings.prismora",
    path: "/update",
    params: { theme: "2", pauseButton: "3", soundEnabled: "1" },
  });
});

test("typed wrappers send the commands the host knows", () => {
  const loads = withFrames(() => {
    tumbla.audio.playSounds(["move", "flip"]);
    tumbla.undo.update(3);
    tumbla.undo.update(0);
    tumbla.undo.update(-2);
    tumbla.gameCenter.submit("1200", 7, "hard");
    tumbla.iVersion.ignore("2.1");
    // A wrapper without parameters used as an event handler sends no event fields.
    tumbla.iRate.remind({ type: "click", target: {} });
  });
  assert.deepStrictEqual(loads, [
    "tumbla://audio.prismora/playSounds?names=move%2Cflip",
    "tumbla://undo.prismora/enable?remaining=3",
    "tumbla://undo.prismora/disable",
    "tumbla://undo.prismora/disable",
    "tumbla://gameCenter.prismora/submit?score=1200&level=7&difficulty=hard",
    "tumbla://iVersion.prismora/ignore?version=2.1",
    "tumbla://iRate.prismora/remind",
  ]);
});

test("the message handler gets the URLs of one task together, in order, and no frame", async () => {
  const posted = installMessageHandler();
  try {
    const loads = withFrames(() => {
      assert.ok(tumbla.hasFastPath());
      for (let i = 0; i < 5; i++) tumbla.send("app.prismora", "n", { i: i });
      tumbla.openOutside("https://example.com/a?b=1");
    });
    assert.deepStrictEqual(loads, []);
    assert.deepStrictEqual(posted, [], "nothing goes before the task ends");
    await Promise.resolve();
    assert.deepStrictEqual(posted, [
      [...[0, 1, 2, 3, 4].map((i) => "tumbla://app.prismora/n?i=" + i), "https://example.com/a?b=1"].join("\n"),
    ]);
    // Line breaks can't smuggle a second command into a link or a path.
    tumbla.openOutside("https://example.com/x\ntumbla://app.prismora/quit");
    tumbla.send("app.prismora", "/a\r\n\ttumbla://app.prismora/quit");
    await Promise.resolve();
    assert.strictEqual(posted[1], "https://example.com/xtumbla://app.prismora/quit\ntumbla://app.prismora/atumbla://app.prismora/quit");
    // A long burst goes in bounded messages, the rest at the end of the task.
    for (let i = 0; i < 10003; i++) tumbla.send("app.prismora", "/b", { i: i });
    assert.strictEqual(posted.length, 3);
    assert.strictEqual(posted[2].split("\n").length, 10000);
    await Promise.resolve();
    assert.deepStrictEqual(posted[3].split("\n"), ["/b?i=10000", "/b?i=10001", "/b?i=10002"].map((p) => "tumbla://app.prismora" + p));
  } finally {
    delete globalThis.webkit;
  }
  assert.ok(!tumbla.hasFastPath());
});

test("commands waiting for the message handler go before a later frame load, in order", () => {
  const posted = installMessageHandler();
  const loads = withFrames(() => {
    tumbla.send("app.prismora", "/first");
    delete globalThis.webkit;
    tumbla.send("app.prismora", "/second");
  });
  assert.deepStrictEqual(posted, []);
  assert.deepStrictEqual(loads, ["tumbla://app.prismora/first", "tumbla://app.prismora/second"]);
});

test("a host name that would change the URL's meaning is refused", () => {
  for (const bad of ["audio.prismora/x", "a b", "", "x?y", undefined]) {
    assert.throws(() => tumbla.commandURL(bad, "/p"), TypeError, String(bad));
  }
});
