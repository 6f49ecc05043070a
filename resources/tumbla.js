// tumbla.js: how a game page talks to the tumbla host.
//
//   <script src="tumbla.js"></script>
//   tumbla.audio.playSound("flip");
//   tumbla.settings.update({ theme: 2, pauseButton: 1, soundEnabled: true });
//
// Every command is a URL "tumbla://HOST/PATH?QUERY". When the host offers its message
// handler (window.webkit.messageHandlers.tumbla) the URL is posted there; otherwise it is
// loaded in a fresh hidden frame that is removed at once. Both reach the same dispatcher
// in the order sent. Posting a message costs the engine far more than the host's handling
// of a command, so the URLs sent in one task go together at the end of it, as one message
// of one URL a line (a URL never holds a raw line feed). See docs/page-api.md for what each command does.
(function (root) {
  "use strict";

  // A value as the host reads it: percent-encoded UTF-8, so "&", "=", "+", "%" and spaces
  // arrive as they were sent (the host keeps a "+" as a plus sign).
  function encode(value) {
    return encodeURIComponent(String(value));
  }

  // The query of a parameter object. Parameters that are undefined, null or false are
  // left out: the host counts a switch as on whenever its name is present, whatever its
  // value, so a switch that is off must not be sent at all. `true` is sent as 1.
  function query(params) {
    if (!params) return "";
    const pieces = [];
    for (const key of Object.keys(params)) {
      let value = params[key];
      if (value === undefined || value === null || value === false) continue;
      if (value === true) value = 1;
      if (Array.isArray(value)) value = value.join(",");
      pieces.push(encode(key) + "=" + encode(value));
    }
    return pieces.length ? "?" + pieces.join("&") : "";
  }

  function commandURL(host, path, params) {
    if (typeof host !== "string" || !/^[A-Za-z0-9.-]+$/.test(host)) {
      throw new TypeError("tumbla: not a host name: " + host);
    }
    let cleanPath = String(path || "");
    if (cleanPath && cleanPath[0] !== "/") cleanPath = "/" + cleanPath;
    return "tumbla://" + host + cleanPath + query(params);
  }

  function messageHandler() {
    const webkit = root.webkit;
    return webkit && webkit.messageHandlers && webkit.messageHandlers.tumbla;
  }

  function loadInFrame(url) {
    const doc = root.document;
    const frame = doc.createElement("iframe");
    frame.style.display = "none";
    frame.src = url;
    (doc.body || doc.documentElement).appendChild(frame);
    // The load has been asked for once the frame is in the page. Removing it at once keeps
    // the page under the engine's limit of frames, past which loads are dropped silently.
    frame.remove();
  }

  // Past this many URLs a batch goes at once, so that no single message grows huge.
  const BATCH_LIMIT = 10000;
  let batch = [];

  function postBatch() {
    const urls = batch;
    batch = [];
    if (!urls.length) return;
    const handler = messageHandler();
    if (handler) handler.postMessage(urls.join("\n"));
    else urls.forEach(loadInFrame);
  }

  // Sends one command URL: the host's fast path when there is one, else a frame load. Tabs
  // and line breaks go, as any URL parser drops them; a line feed would otherwise split
  // one URL into two commands on the fast path.
  function sendURL(text) {
    const url = String(text).replace(/[\t\n\r]/g, "");
    if (!messageHandler()) {
      // Whatever waits for the fast path goes first, so the order stays as sent.
      postBatch();
      loadInFrame(url);
      return url;
    }
    batch.push(url);
    if (batch.length === 1) queueMicrotask(postBatch);
    else if (batch.length >= BATCH_LIMIT) postBatch();
    return url;
  }

  // Sends one command; answers the URL sent.
  function send(host, path, params) {
    return sendURL(commandURL(host, path, params));
  }

  // A command without parameters; what it is called with is ignored, so it can serve as
  // an event handler as it stands.
  function command(host, path) {
    return function () {
      return send(host, path);
    };
  }

  const tumbla = {
    send: send,
    commandURL: commandURL,
    // Posts the commands waiting for the end of this task now.
    flush: postBatch,
    // True when commands go through the host's message handler rather than frames.
    hasFastPath: function () {
      return !!messageHandler();
    },
    // Opens an ordinary link outside the game (in the desktop's browser); the page stays.
    openOutside: function (url) {
      return sendURL(url);
    },

    audio: {
      playSound: function (name) {
        return send("audio.prismora", "/playSound", { name: name });
      },
      // Several effects at once.
      playSounds: function (names) {
        return send("audio.prismora", "/playSounds", { names: names });
      },
      // Music always loops; playing the music that already plays changes nothing.
      playMusic: function (name) {
        return send("audio.prismora", "/playMusic", { name: name });
      },
      stopMusic: command("audio.prismora", "/stopMusic"),
      switchTrack: command("audio.prismora", "/switchTrack"),
    },

    // settings: { theme, pauseButton, soundEnabled, musicEnabled, shakeToUndo }; the
    // switches are booleans.
    settings: {
      update: function (settings) {
        const s = settings || {};
        return send("settings.prismora", "/update", {
          theme: Math.trunc(Number(s.theme) || 0),
          pauseButton: Math.trunc(Number(s.pauseButton) || 0),
          soundEnabled: !!s.soundEnabled,
          musicEnabled: !!s.musicEnabled,
          shakeToUndo: !!s.shakeToUndo,
        });
      },
    },

    gameCenter: {
      enable: command("gameCenter.prismora", "/enable"),
      disable: command("gameCenter.prismora", "/disable"),
      scores: function (difficulty) {
        return send("gameCenter.prismora", "/scores", { difficulty: difficulty });
      },
      submit: function (score, level, difficulty) {
        return send("gameCenter.prismora", "/submit", {
          score: Math.trunc(Number(score) || 0),
          level: Math.trunc(Number(level) || 0),
          difficulty: difficulty,
        });
      },
    },

    undo: {
      // How many undos the player has left; 0 says that undo is not available.
      update: function (remaining) {
        const count = Math.max(0, Math.trunc(Number(remaining) || 0));
        return count > 0
          ? send("undo.prismora", "/enable", { remaining: count })
          : send("undo.prismora", "/disable");
      },
    },

    app: {
      quit: command("app.prismora", "/quit"),
    },

    // The player's answers to the prompts the host asks the page to show.
    iRate: {
      rated: command("iRate.prismora", "/rated"),
      decline: command("iRate.prismora", "/decline"),
      remind: command("iRate.prismora", "/remind"),
    },
    iVersion: {
      viewedRemote: command("iVersion.prismora", "/viewedRemote"),
      viewedLocal: command("iVersion.prismora", "/viewedLocal"),
      ignore: function (version) {
        return send("iVersion.prismora", "/ignore", { version: version });
      },
      remind: command("iVersion.prismora", "/remind"),
    },
    iNotify: {
      viewed: function (key) {
        return send("iNotify.prismora", "/viewed", { key: key });
      },
      ignore: function (key) {
        return send("iNotify.prismora", "/ignore", { key: key });
      },
      remind: command("iNotify.prismora", "/remind"),
    },
  };

  root.tumbla = tumbla;
  if (typeof module !== "undefined" && module.exports) module.exports = tumbla;
})(typeof window !== "undefined" ? window : globalThis);
