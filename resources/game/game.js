// Tumbla, the game: the board, its screens and the object `Tumbla` that the host drives.
// The rules and levels are in levels.js, progress and its saved form in state.js, what a
// screen reader says in speech.js, and every command to the host goes through tumbla.js.
(function () {
  "use strict";

  const Levels = window.TumblaLevels;
  const GameState = window.TumblaGameState;
  const Speech = window.TumblaSpeech;
  const host = window.tumbla;
  const $ = (id) => document.getElementById(id);

  const THEMES = [
    { name: "ocean", title: "Ocean" },
    { name: "forest", title: "Forest" },
    { name: "neon", title: "Neon" },
    { name: "paper", title: "Paper" },
    { name: "candy", title: "Candy" },
  ];
  const CORNERS = ["top left", "top right", "bottom left", "bottom right"];
  const RULE_TITLES = { plus: "Plus: the tile and the four beside it", cross: "Corners: the tile and the four across its corners" };

  const settings = { sound: true, music: true, shake: true, theme: 0, corner: 1 };
  let game = null;
  let cursor = 0;
  let musicPlaying = false;
  // The screen over the board (pause, win, rules, settings, levels, prompt), if any.
  let screen = null;
  // The screen the scores were opened from: closing them goes back there.
  let scoresOpenedFrom = null;
  let pausedByHost = false;
  let winPending = null;
  const prompts = [];

  // ---- sound ---------------------------------------------------------------------------

  function effect(name) {
    if (settings.sound) host.audio.playSound(name);
  }

  function startMusic() {
    // The host's playlist starts its first track when none plays, and moves on otherwise.
    if (!settings.music || musicPlaying) return;
    host.audio.switchTrack();
    musicPlaying = true;
  }

  function stopMusic() {
    if (!musicPlaying) return;
    host.audio.stopMusic();
    musicPlaying = false;
  }

  function nextTrack() {
    if (!settings.music) return;
    host.audio.switchTrack();
    musicPlaying = true;
  }

  // ---- drawing ---------------------------------------------------------------------------

  function buildBoard() {
    const board = $("board");
    board.textContent = "";
    board.style.setProperty("--size", game.size);
    board.setAttribute("aria-label", "Board, " + game.size + " by " + game.size);
    board.dataset.rule = game.rule;
    board.classList.remove("won");
    for (let index = 0; index < game.size * game.size; index++) {
      const tile = document.createElement("button");
      tile.className = "tile";
      tile.type = "button";
      tile.tabIndex = -1;
      tile.dataset.index = index;
      tile.style.setProperty("--wave", (Math.floor(index / game.size) + (index % game.size)) * 45 + "ms");
      board.appendChild(tile);
    }
    cursor = Math.min(cursor, game.size * game.size - 1);
  }

  // The tile under the cursor is the one that takes focus (and Tab), so that a screen reader
  // speaks each tile as the cursor reaches it.
  function drawBoard() {
    const tiles = $("board").children;
    for (let index = 0; index < tiles.length; index++) {
      const tile = tiles[index];
      tile.classList.toggle("on", game.lights[index]);
      tile.classList.toggle("cursor", index === cursor);
      tile.tabIndex = index === cursor ? 0 : -1;
      tile.setAttribute("aria-pressed", String(game.lights[index]));
      tile.setAttribute("aria-label", Speech.tileName(game, index));
    }
    focusCursor();
  }

  // Focus goes to the cursor's tile when the cursor moves, or when it has nowhere else to be;
  // a player who clicked Undo keeps the focus there until moving on the board.
  function focusCursor(moved) {
    const active = document.activeElement;
    const elsewhere = active && active !== document.body && !$("board").contains(active) && !$("overlay").contains(active);
    if (screen || (elsewhere && !moved)) return;
    const tile = $("board").children[cursor];
    if (tile && active !== tile) tile.focus({ preventScroll: true });
  }

  // Spoken by screen readers when they are next quiet; the region itself is not seen. Each
  // sentence comes as a new element: the engine tells assistive tools of a new child in a
  // live region, where it says nothing of a text replaced in place, and so the same
  // sentence twice (a restart, say) is spoken twice.
  function announce(text) {
    const sentence = document.createElement("p");
    sentence.textContent = text;
    $("announcer").replaceChildren(sentence);
  }

  function starText(count) {
    return "★".repeat(count) + "☆".repeat(3 - count);
  }

  function drawStrip() {
    // The tablet shows the levels of the current difficulty under the stats.
    const strip = $("level-strip");
    if (!strip) return;
    strip.textContent = "";
    const difficulty = Levels.level(game.level).difficulty;
    for (let n = 1; n <= Levels.COUNT; n++) {
      const levelInfo = Levels.level(n);
      if (levelInfo.difficulty !== difficulty) continue;
      const item = document.createElement("button");
      item.type = "button";
      item.className = "strip-level" + (n === game.level ? " current" : "");
      item.disabled = n > game.unlocked;
      const best = game.best[n];
      item.innerHTML = "<b>" + n + "</b><span>" + (best ? starText(Levels.stars(levelInfo.par, best.moves)) : "") + "</span>";
      item.setAttribute("aria-label", "Level " + n + (best ? ", best " + best.score : ""));
      item.addEventListener("click", () => chooseLevel(n));
      strip.appendChild(item);
    }
  }

  function drawStats() {
    const levelInfo = Levels.level(game.level);
    $("level-number").textContent = game.level;
    $("level-count").textContent = Levels.COUNT;
    $("difficulty").textContent = levelInfo.difficulty.title;
    $("difficulty").dataset.difficulty = levelInfo.difficulty.name;
    $("rule").textContent = game.rule === "cross" ? "✕ corners" : "✚ plus";
    $("rule").title = RULE_TITLES[game.rule];
    $("moves").textContent = game.moves;
    $("par").textContent = levelInfo.par;
    const best = game.best[game.level];
    $("best").textContent = best ? best.score + " " + starText(Levels.stars(levelInfo.par, best.moves)) : "–";
    $("total").textContent = GameState.totalScore(game);
    $("undo").disabled = game.history.length === 0;
    drawStrip();
  }

  function draw() {
    drawBoard();
    drawStats();
  }

  function applySettingsToPage() {
    const theme = THEMES[settings.theme] || THEMES[0];
    for (const each of THEMES) document.body.classList.toggle("theme-" + each.name, each === theme);
    const button = $("pause-button");
    button.className = "corner-" + settings.corner;
    document.body.dataset.corner = settings.corner;
  }

  // ---- screens ---------------------------------------------------------------------------

  function showScreen(name) {
    screen = name;
    for (const panel of document.querySelectorAll(".screen")) panel.hidden = panel.id !== "screen-" + name;
    $("overlay").hidden = false;
    $("pause-button").hidden = true;
    const first = document.querySelector("#screen-" + name + " .primary") || document.querySelector("#screen-" + name + " button");
    if (first) first.focus();
  }

  function closeScreen() {
    screen = null;
    pausedByHost = false;
    $("overlay").hidden = true;
    $("pause-button").hidden = false;
    if (prompts.length) showPrompt(prompts.shift());
    else if (winPending) showWin();
    else if (game) focusCursor();
  }

  function pause(byHost) {
    if (screen) return;
    pausedByHost = byHost;
    showScreen("pause");
  }

  // ---- play ------------------------------------------------------------------------------

  function reportUndo() {
    host.undo.update(game.history.length);
  }

  function startLevel(number) {
    game = GameState.fresh(number, game.best, game.unlocked, game.rulesSeen);
    winPending = null;
    cursor = Math.floor((game.size * game.size) / 2);
    buildBoard();
    draw();
    reportUndo();
    announce(Speech.levelStart(game, Levels.level(game.level)));
  }

  function press(index) {
    if (screen || winPending || !game) return;
    cursor = index;
    const solved = GameState.pressTile(game, index);
    effect("flip");
    draw();
    reportUndo();
    announce(Speech.pressed(game, index, Levels.level(game.level).par));
    if (solved) win();
  }

  function undo() {
    if (screen || winPending || !game) return;
    const index = game.history[game.history.length - 1];
    if (!GameState.undo(game)) return;
    effect("undo");
    draw();
    reportUndo();
    announce(Speech.undone(game, index, Levels.level(game.level).par));
  }

  function restart() {
    if (screen || !game) return;
    startLevel(game.level);
  }

  function moveCursor(dRow, dColumn) {
    if (screen || winPending || !game) return;
    const row = Math.min(game.size - 1, Math.max(0, Math.floor(cursor / game.size) + dRow));
    const column = Math.min(game.size - 1, Math.max(0, (cursor % game.size) + dColumn));
    const next = row * game.size + column;
    if (next !== cursor) {
      cursor = next;
      effect("move");
      drawBoard();
    }
    focusCursor(true);
  }

  function win() {
    const levelInfo = Levels.level(game.level);
    const outcome = GameState.recordWin(game);
    winPending = { level: game.level, levelInfo: levelInfo, outcome: outcome };
    effect("win");
    host.gameCenter.submit(outcome.result.score, game.level, levelInfo.difficulty.name);
    $("board").classList.add("won");
    drawStats();
    // The board's wave plays before the result comes up.
    setTimeout(function () {
      if (winPending && !screen) showWin();
    }, 900);
  }

  function showWin() {
    const { level, levelInfo, outcome } = winPending;
    const stars = Levels.stars(levelInfo.par, outcome.result.moves);
    $("win-title").textContent = level === Levels.COUNT ? "Every level solved!" : "Level " + level + " solved!";
    $("win-stars").textContent = starText(stars);
    $("win-stars").setAttribute("aria-label", stars + " of 3 stars");
    $("win-moves").textContent = outcome.result.moves + (outcome.result.moves < levelInfo.par ? " (under par " : " (par ") + levelInfo.par + ")";
    $("win-score").textContent = outcome.result.score;
    $("win-best").textContent = outcome.isNewBest ? (outcome.earlier ? "New best!" : "First clear!") : "Best: " + outcome.earlier.score;
    $("win-total").textContent = GameState.totalScore(game);
    $("next-level").textContent = level === Levels.COUNT ? "Choose a level" : "Next level";
    showScreen("win");
  }

  function leaveWin(replay) {
    const { level } = winPending;
    winPending = null;
    closeScreen();
    if (replay) startLevel(level);
    else if (level === Levels.COUNT) showLevels();
    else startLevel(level + 1);
  }

  function chooseLevel(number) {
    if (number > game.unlocked) return;
    if (screen) closeScreen();
    startLevel(number);
  }

  // ---- levels screen ---------------------------------------------------------------------

  function showLevels() {
    const list = $("level-list");
    list.textContent = "";
    let heading = null;
    for (let n = 1; n <= Levels.COUNT; n++) {
      const levelInfo = Levels.level(n);
      if (heading !== levelInfo.difficulty) {
        heading = levelInfo.difficulty;
        const title = document.createElement("h3");
        title.textContent = heading.title;
        list.appendChild(title);
      }
      const item = document.createElement("button");
      item.type = "button";
      item.className = "level-choice" + (n === game.level ? " current" : "");
      item.disabled = n > game.unlocked;
      const best = game.best[n];
      item.innerHTML = "<b>" + n + "</b><span>" + (best ? starText(Levels.stars(levelInfo.par, best.moves)) : n > game.unlocked ? "" : "new") + "</span>";
      item.setAttribute("aria-label", "Level " + n + (item.disabled ? ", locked" : best ? ", best score " + best.score : ""));
      item.tabIndex = -1;
      item.addEventListener("click", () => chooseLevel(n));
      list.appendChild(item);
    }
    $("levels-total").textContent = GameState.totalScore(game);
    showScreen("levels");
    const current = list.querySelector(".current");
    if (current) {
      focusLevelChoice(current);
      current.scrollIntoView({ block: "center" });
    }
  }

  // One level of the list takes focus and Tab at a time; the arrows move it.
  function focusLevelChoice(choice) {
    for (const each of $("level-list").querySelectorAll(".level-choice")) each.tabIndex = each === choice ? 0 : -1;
    choice.focus();
    choice.scrollIntoView({ block: "nearest" });
  }

  // The open level an arrow key leads to from `from`: the one before or after it, or the
  // nearest by position in the row above or below (the headings make the rows uneven).
  function levelChoiceTowards(from, key) {
    const choices = Array.from($("level-list").querySelectorAll(".level-choice:not(:disabled)"));
    const at = choices.indexOf(from);
    if (key === "ArrowLeft") return choices[at - 1];
    if (key === "ArrowRight") return choices[at + 1];
    const down = key === "ArrowDown";
    const box = (element) => element.getBoundingClientRect();
    const centre = (element) => (box(element).left + box(element).right) / 2;
    const beyond = choices.filter((choice) => (down ? box(choice).top >= box(from).bottom : box(choice).bottom <= box(from).top));
    if (!beyond.length) return undefined;
    const tops = beyond.map((choice) => box(choice).top);
    const rowTop = down ? Math.min(...tops) : Math.max(...tops);
    const distance = (choice) => Math.abs(centre(choice) - centre(from));
    return beyond
      .filter((choice) => box(choice).top === rowTop)
      .reduce((best, choice) => (distance(choice) < distance(best) ? choice : best));
  }

  // ---- scores screen ---------------------------------------------------------------------

  function scoreRow(cells, className) {
    const row = document.createElement("tr");
    if (className) row.className = className;
    for (const cell of cells) {
      const element = document.createElement(cell.header ? "th" : "td");
      element.textContent = cell.text;
      if (cell.header) element.scope = cell.header;
      if (cell.span) element.colSpan = cell.span;
      row.appendChild(element);
    }
    return row;
  }

  // Every level reached, by difficulty: its stars, best moves against par and best score.
  function showScores() {
    const table = $("score-table");
    for (const body of table.querySelectorAll("tbody")) body.remove();
    let body = null;
    let heading = null;
    for (let n = 1; n <= game.unlocked; n++) {
      const levelInfo = Levels.level(n);
      if (heading !== levelInfo.difficulty) {
        heading = levelInfo.difficulty;
        body = table.appendChild(document.createElement("tbody"));
        body.appendChild(scoreRow([{ text: heading.title, header: "colgroup", span: 4 }], "difficulty"));
      }
      const best = game.best[n];
      const stars = best ? Levels.stars(levelInfo.par, best.moves) : 0;
      const row = scoreRow([
        { text: String(n), header: "row" },
        { text: best ? starText(stars) : "–" },
        { text: (best ? best.moves : "–") + " / " + levelInfo.par },
        { text: best ? String(best.score) : "–" },
      ]);
      row.cells[1].setAttribute("aria-label", best ? stars + " of 3 stars" : "not solved yet");
      body.appendChild(row);
    }
    $("scores-total").textContent = GameState.totalScore(game);
    scoresOpenedFrom = screen;
    showScreen("scores");
    $("score-list").scrollTop = 0;
    // A host with a score service of its own may show it as well.
    host.gameCenter.scores(Levels.level(game.level).difficulty.name);
  }

  function closeScores() {
    if (scoresOpenedFrom === "levels") showLevels();
    else closeScreen();
  }

  // ---- settings screen -------------------------------------------------------------------

  function showSettings() {
    $("setting-sound").checked = settings.sound;
    $("setting-music").checked = settings.music;
    $("setting-shake").checked = settings.shake;
    for (const input of document.querySelectorAll("input[name=theme]")) input.checked = Number(input.value) === settings.theme;
    for (const input of document.querySelectorAll("input[name=corner]")) input.checked = Number(input.value) === settings.corner;
    showScreen("settings");
  }

  function checkedValue(name, fallback) {
    const chosen = document.querySelector("input[name=" + name + "]:checked");
    return chosen ? Number(chosen.value) : fallback;
  }

  function saveSettings() {
    settings.sound = $("setting-sound").checked;
    settings.shake = $("setting-shake").checked;
    settings.theme = checkedValue("theme", settings.theme);
    settings.corner = checkedValue("corner", settings.corner);
    const music = $("setting-music").checked;
    if (music !== settings.music) {
      settings.music = music;
      if (music) startMusic();
      else stopMusic();
    }
    host.settings.update({
      theme: settings.theme,
      pauseButton: settings.corner,
      soundEnabled: settings.sound,
      musicEnabled: settings.music,
      shakeToUndo: settings.shake,
    });
    applySettingsToPage();
    closeScreen();
  }

  function resetScores() {
    GameState.resetScores(game);
    draw();
  }

  function confirmResetScores() {
    queuePrompt({
      title: "Reset scores?",
      message: "Every best score and star goes. Levels you have reached stay open.",
      buttons: [
        { label: "Reset scores", action: resetScores },
        { label: "Keep them", primary: true, action: function () {} },
      ],
    });
    closeScreen();
  }

  // ---- prompts from the host -------------------------------------------------------------

  // The host writes a missing text as "(null)".
  function present(text) {
    return typeof text === "string" && text !== "" && text !== "(null)";
  }

  function queuePrompt(prompt) {
    if (screen || winPending) prompts.push(prompt);
    else showPrompt(prompt);
  }

  function showPrompt(prompt) {
    $("prompt-title").textContent = prompt.title;
    $("prompt-message").textContent = prompt.message;
    const buttons = $("prompt-buttons");
    buttons.textContent = "";
    for (const choice of prompt.buttons) {
      const button = document.createElement("button");
      button.type = "button";
      button.textContent = choice.label;
      if (choice.primary) button.className = "primary";
      button.addEventListener("click", function () {
        closeScreen();
        choice.action();
      });
      buttons.appendChild(button);
    }
    // Escape answers as the last button does: the one that commits to nothing.
    $("screen-prompt").dataset.escape = String(prompt.buttons.length - 1);
    showScreen("prompt");
  }

  function showRatingPrompt() {
    queuePrompt({
      title: "Enjoying Tumbla?",
      message: "If you like the game, would you rate it? It takes a moment and helps a lot.",
      buttons: [
        { label: "Rate Tumbla", primary: true, action: host.iRate.rated },
        { label: "No, thanks", action: host.iRate.decline },
        { label: "Remind me later", action: host.iRate.remind },
      ],
    });
  }

  function showNewVersion(version, details) {
    queuePrompt({
      title: "Tumbla " + version + " is out",
      message: present(details) ? details : "A new version is available.",
      buttons: [
        { label: "Get it", primary: true, action: host.iVersion.viewedRemote },
        { label: "Skip this version", action: () => host.iVersion.ignore(version) },
        { label: "Remind me later", action: host.iVersion.remind },
      ],
    });
  }

  function showCurrentVersion(version, details) {
    queuePrompt({
      title: "New in Tumbla " + version,
      message: present(details) ? details : "",
      buttons: [{ label: "OK", primary: true, action: host.iVersion.viewedLocal }],
    });
  }

  function showNotification(key, title, message, actionURL, actionLabel) {
    const buttons = [];
    if (present(actionURL)) {
      buttons.push({
        label: present(actionLabel) ? actionLabel : "Show me",
        primary: true,
        action: function () {
          host.iNotify.viewed(key);
          host.openOutside(actionURL);
        },
      });
      buttons.push({ label: "Don't show again", action: () => host.iNotify.ignore(key) });
    } else {
      buttons.push({ label: "OK", primary: true, action: () => host.iNotify.viewed(key) });
    }
    buttons.push({ label: "Remind me later", action: host.iNotify.remind });
    queuePrompt({ title: present(title) ? title : "News", message: present(message) ? message : "", buttons: buttons });
  }

  // ---- input -----------------------------------------------------------------------------

  const KEYS = {
    ArrowUp: () => moveCursor(-1, 0),
    ArrowDown: () => moveCursor(1, 0),
    ArrowLeft: () => moveCursor(0, -1),
    ArrowRight: () => moveCursor(0, 1),
    Enter: () => press(cursor),
    " ": () => press(cursor),
    u: undo,
    r: restart,
    l: () => showLevels(),
    b: showScores,
    h: () => showScreen("rules"),
    "?": () => showScreen("rules"),
    s: showSettings,
    t: nextTrack,
    Escape: () => pause(false),
  };

  function escapeScreen() {
    if (screen === "pause" || screen === "rules" || screen === "levels") closeScreen();
    else if (screen === "scores") closeScores();
    else if (screen === "settings") saveSettings();
    else if (screen === "win") leaveWin(false);
    else if (screen === "prompt") $("prompt-buttons").children[Number($("screen-prompt").dataset.escape)].click();
  }

  function onKey(event) {
    if (event.ctrlKey || event.altKey || event.metaKey) return;
    if (screen) {
      if (event.key === "Escape") {
        escapeScreen();
        event.preventDefault();
      } else if (screen === "levels" && event.key.startsWith("Arrow") && event.target.classList.contains("level-choice")) {
        const next = levelChoiceTowards(event.target, event.key);
        if (next) focusLevelChoice(next);
        event.preventDefault();
      }
      // Other keys work the focused control, as on any dialog.
      return;
    }
    // Enter and Space on a button beside the board work that button.
    const onOtherControl = event.target !== document.body && !$("board").contains(event.target);
    if ((event.key === "Enter" || event.key === " ") && onOtherControl) return;
    const action = KEYS[event.key.length === 1 ? event.key.toLowerCase() : event.key];
    if (!action || !game) return;
    action();
    event.preventDefault();
  }

  function wireControls() {
    $("board").addEventListener("click", function (event) {
      const tile = event.target.closest(".tile");
      if (tile) press(Number(tile.dataset.index));
    });
    document.addEventListener("keydown", onKey);
    $("undo").addEventListener("click", undo);
    $("restart").addEventListener("click", restart);
    $("open-levels").addEventListener("click", showLevels);
    $("open-rules").addEventListener("click", () => showScreen("rules"));
    $("open-settings").addEventListener("click", showSettings);
    $("pause-button").addEventListener("click", () => pause(false));
    $("continue").addEventListener("click", closeScreen);
    $("close-rules").addEventListener("click", function () {
      game.rulesSeen = true;
      closeScreen();
    });
    $("close-levels").addEventListener("click", closeScreen);
    $("show-scores").addEventListener("click", showScores);
    $("close-scores").addEventListener("click", closeScores);
    $("next-level").addEventListener("click", () => leaveWin(false));
    $("replay-level").addEventListener("click", () => leaveWin(true));
    $("save-settings").addEventListener("click", saveSettings);
    $("next-track").addEventListener("click", nextTrack);
    $("reset-scores").addEventListener("click", confirmResetScores);
    const themes = $("theme-choices");
    THEMES.forEach(function (theme, index) {
      themes.insertAdjacentHTML("beforeend", '<label class="swatch swatch-' + theme.name + '"><input type="radio" name="theme" value="' + index + '"><span>' + theme.title + "</span></label>");
    });
    const corners = $("corner-choices");
    CORNERS.forEach(function (corner, index) {
      corners.insertAdjacentHTML("beforeend", '<label class="corner-choice corner-' + index + '"><input type="radio" name="corner" value="' + index + '" aria-label="Pause button ' + corner + '"><span></span></label>');
    });
  }

  function begin(loaded) {
    game = loaded;
    cursor = Math.floor((game.size * game.size) / 2);
    winPending = null;
    prompts.length = 0;
    if (screen) closeScreen();
    buildBoard();
    draw();
    reportUndo();
    announce(Speech.levelStart(game, Levels.level(game.level)));
    if (!game.rulesSeen) showScreen("rules");
  }

  function setSwitch(name, value) {
    settings[name] = !!Number(value);
  }

  function setChoice(name, value, count) {
    const n = Math.trunc(Number(value));
    settings[name] = Number.isInteger(n) && n >= 0 && n < count ? n : 0;
    applySettingsToPage();
  }

  wireControls();
  applySettingsToPage();

  window.Tumbla = {
    CONSTANTS: { DEBUG_MODE: true },
    init: function () {
      begin(GameState.fresh(1));
    },
    initWithGameState: function (state) {
      begin(GameState.load(state));
    },
    saveGameState: function () {
      return game ? GameState.save(game) : "";
    },
    pause: function () {
      pause(true);
    },
    resume: function () {
      // Only the host's own pause ends with it; a player who paused continues when ready.
      if (screen === "pause" && pausedByHost) closeScreen();
    },
    undo: undo,
    setPauseCorner: (corner) => setChoice("corner", corner, CORNERS.length),
    setSoundEnabled: (on) => setSwitch("sound", on),
    setMusicEnabled: function (on) {
      setSwitch("music", on);
      if (settings.music) startMusic();
      else stopMusic();
    },
    setTheme: (theme) => setChoice("theme", theme, THEMES.length),
    setShakeToUndo: (on) => setSwitch("shake", on),
    resetScores: function () {
      if (game) resetScores();
    },
    showRatingPrompt: showRatingPrompt,
    showNewVersion: showNewVersion,
    showCurrentVersion: showCurrentVersion,
    showNotification: showNotification,
  };
})();
