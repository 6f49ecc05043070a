// The game's progress, and its saved form.
//
// Saved form (what Tumbla.saveGameState() answers, JSON):
//   { "version": 2, "level": 7, "size": 4, "rule": "plus", "lights": [true, false, ...],
//     "moves": 3, "history": [5, 9, 2], "best": { "3": { "moves": 4, "score": 1000 } },
//     "unlocked": 8, "rulesSeen": true }
// The first version of the page saved { "level", "moves", "lights" (25 booleans of a 5x5
// board under the plus rule), "best": { "3": 4 } } with best move counts; such a state still
// loads, its board as the player left it.
(function (root) {
  "use strict";

  const Levels = root.TumblaLevels || (typeof require !== "undefined" && require("./levels.js"));
  const VERSION = 2;
  const HISTORY_LIMIT = 500;

  function fresh(number, best, unlocked, rulesSeen) {
    const levelInfo = Levels.level(number);
    return {
      level: levelInfo.number,
      size: levelInfo.size,
      rule: levelInfo.rule,
      lights: levelInfo.lights,
      moves: 0,
      history: [],
      best: best || {},
      unlocked: Math.max(unlocked || 1, levelInfo.number),
      rulesSeen: !!rulesSeen,
    };
  }

  function isCount(value) {
    return Number.isInteger(value) && value >= 0;
  }

  // Best results by level number; move counts from either version, scores recomputed so
  // that they always match the levels as they are now.
  function readBest(saved) {
    const best = {};
    if (!saved || typeof saved !== "object" || Array.isArray(saved)) return best;
    for (const key of Object.keys(saved)) {
      const number = Number(key);
      if (!Number.isInteger(number) || number < 1 || number > Levels.COUNT) continue;
      const entry = saved[key];
      const moves = typeof entry === "object" && entry !== null ? entry.moves : entry;
      if (!isCount(moves) || moves < 1) continue;
      best[number] = { moves: moves, score: Levels.score(number, moves) };
    }
    return best;
  }

  function highestSolved(best) {
    return Object.keys(best).reduce(function (high, key) {
      return Math.max(high, Number(key));
    }, 0);
  }

  // A board saved with the game: its lights as booleans when they fit the size, else nothing.
  function readLights(lights, size) {
    if (!Array.isArray(lights) || lights.length !== size * size) return null;
    return lights.map(function (on) {
      return !!on;
    });
  }

  // The game from a saved state (an object, or its JSON text). Whatever can't be used
  // falls back to a sensible part: unreadable progress to level 1, an unreadable board to
  // the level's own starting board.
  function load(saved) {
    let state = saved;
    if (typeof state === "string") {
      try {
        state = JSON.parse(state);
      } catch (error) {
        state = null;
      }
    }
    if (!state || typeof state !== "object" || Array.isArray(state)) return fresh(1);

    const best = readBest(state.best);
    const number = Levels.clampLevel(state.level);
    const unlocked = Math.min(
      Levels.COUNT,
      Math.max(number, isCount(state.unlocked) ? state.unlocked : 1, highestSolved(best) + 1)
    );
    // The first version always played 5x5 boards under the plus rule.
    const isFirstVersion = state.version === undefined;
    const game = fresh(number, best, unlocked, isFirstVersion ? false : state.rulesSeen);
    const size = isFirstVersion ? 5 : state.size;
    const rule = isFirstVersion ? "plus" : state.rule;
    if (!Number.isInteger(size) || size < 2 || size > 12 || !Levels.isRule(rule)) return game;
    const lights = readLights(state.lights, size);
    if (!lights || Levels.isSolved(lights)) return game;

    game.size = size;
    game.rule = rule;
    game.lights = lights;
    game.moves = isCount(state.moves) ? state.moves : 0;
    const history = Array.isArray(state.history) ? state.history : [];
    game.history = history
      .filter(function (index) {
        return isCount(index) && index < size * size;
      })
      .slice(-HISTORY_LIMIT);
    return game;
  }

  // Where a player who leaves now comes back: a solved board (the win screen) is done with,
  // so the next level when there is one to go to; else the game as it stands.
  function resumePoint(game) {
    const next = game.level + 1;
    if (!Levels.isSolved(game.lights) || next > Levels.COUNT || next > game.unlocked) return game;
    return fresh(next, game.best, game.unlocked, game.rulesSeen);
  }

  function save(game) {
    const best = {};
    for (const key of Object.keys(game.best)) {
      best[key] = { moves: game.best[key].moves, score: game.best[key].score };
    }
    const kept = resumePoint(game);
    return JSON.stringify({
      version: VERSION,
      level: kept.level,
      size: kept.size,
      rule: kept.rule,
      lights: kept.lights,
      moves: kept.moves,
      history: kept.history,
      best: best,
      unlocked: game.unlocked,
      rulesSeen: game.rulesSeen,
    });
  }

  // Presses a tile: answers true when that solved the level.
  function pressTile(game, index) {
    Levels.press(game.lights, game.size, game.rule, index);
    game.moves += 1;
    game.history.push(index);
    if (game.history.length > HISTORY_LIMIT) game.history.shift();
    return Levels.isSolved(game.lights);
  }

  // Takes back the last press; answers false when there is none. A press is its own
  // inverse, so pressing the same tile again restores the board.
  function undo(game) {
    if (!game.history.length) return false;
    const index = game.history.pop();
    Levels.press(game.lights, game.size, game.rule, index);
    game.moves = Math.max(0, game.moves - 1);
    return true;
  }

  // Records the solved level; answers its result and whether it is a new best.
  function recordWin(game) {
    const result = { moves: game.moves, score: Levels.score(game.level, game.moves) };
    const earlier = game.best[game.level];
    const isNewBest = !earlier || result.score > earlier.score;
    if (isNewBest) game.best[game.level] = result;
    game.unlocked = Math.min(Levels.COUNT, Math.max(game.unlocked, game.level + 1));
    return { result: result, isNewBest: isNewBest, earlier: earlier };
  }

  // Forgets every best score and star; the levels the player has reached stay open.
  function resetScores(game) {
    game.best = {};
  }

  function totalScore(game) {
    return Object.keys(game.best).reduce(function (sum, key) {
      return sum + game.best[key].score;
    }, 0);
  }

  const GameState = {
    VERSION: VERSION,
    fresh: fresh,
    load: load,
    save: save,
    pressTile: pressTile,
    undo: undo,
    recordWin: recordWin,
    resetScores: resetScores,
    totalScore: totalScore,
  };

  root.TumblaGameState = GameState;
  if (typeof module !== "undefined" && module.exports) module.exports = GameState;
})(typeof window !== "undefined" ? window : globalThis);
