// Progress and its saved form, including the saves of the first version of the page.
"use strict";
const test = require("node:test");
const assert = require("node:assert");
const Levels = require("../../resources/game/levels.js");
const GameState = require("../../resources/game/state.js");

const oldBoard = [true, false, false, true, false, false, true, true, false, false, true, false, false, false, true,
  false, false, true, false, false, true, false, false, false, true];

test("a save of the first version loads with its board, moves and best moves", () => {
  const game = GameState.load({ level: 12, moves: 4, lights: oldBoard, best: { 3: 7, 12: 9, 55: 2, x: 1 } });
  assert.strictEqual(game.level, 12);
  assert.strictEqual(game.size, 5);
  assert.strictEqual(game.rule, "plus");
  assert.deepStrictEqual(game.lights, oldBoard);
  assert.strictEqual(game.moves, 4);
  assert.deepStrictEqual(Object.keys(game.best).sort(), ["12", "3"]);
  assert.deepStrictEqual(game.best[3], { moves: 7, score: Levels.score(3, 7) });
  assert.strictEqual(game.unlocked, 13);
  assert.ok(!game.rulesSeen);
  // Beyond the last level it keeps the board on the last level.
  assert.strictEqual(GameState.load({ level: 70, moves: 0, lights: oldBoard, best: {} }).level, Levels.COUNT);
});

test("a game survives save and load whole, as an object or as its text", () => {
  const game = GameState.fresh(9);
  GameState.pressTile(game, 3);
  GameState.pressTile(game, 11);
  game.best[4] = { moves: 6, score: Levels.score(4, 6) };
  game.rulesSeen = true;
  const text = GameState.save(game);
  assert.deepStrictEqual(GameState.load(JSON.parse(text)), game);
  assert.deepStrictEqual(GameState.load(text), game);
});

test("what can't be used falls back to the nearest sensible game", () => {
  for (const junk of [null, undefined, 42, "not json", [], "[1,2]"]) {
    assert.deepStrictEqual(GameState.load(junk), GameState.fresh(1), String(junk));
  }
  const base = { version: 2, level: 6, size: 4, rule: "plus", lights: new Array(16).fill(true), moves: 2, best: {}, unlocked: 9 };
  const cases = [
    { lights: new Array(15).fill(true) },
    { lights: new Array(16).fill(false) },
    { rule: "diagonal" },
    { size: 400 },
    { lights: "yes" },
  ];
  for (const change of cases) {
    const game = GameState.load({ ...base, ...change });
    assert.strictEqual(game.level, 6, JSON.stringify(change));
    assert.strictEqual(game.unlocked, 9);
    assert.deepStrictEqual(game.lights, Levels.level(6).lights, JSON.stringify(change));
    assert.strictEqual(game.moves, 0);
  }
  const kept = GameState.load({ ...base, moves: -3, history: [1, 99, -1, "2", 15] });
  assert.strictEqual(kept.moves, 0);
  assert.deepStrictEqual(kept.history, [1, 15]);
});

test("undo takes back presses one by one to the level's start", () => {
  const game = GameState.fresh(14);
  const start = game.lights.slice();
  [0, 5, 5, 24].forEach((i) => GameState.pressTile(game, i));
  assert.strictEqual(game.moves, 4);
  while (GameState.undo(game));
  assert.deepStrictEqual(game.lights, start);
  assert.strictEqual(game.moves, 0);
  assert.strictEqual(GameState.undo(game), false);
});

test("a win keeps the best score only, opens the next level and adds to the total", () => {
  const game = GameState.fresh(2);
  game.moves = 9;
  const first = GameState.recordWin(game);
  assert.ok(first.isNewBest && !first.earlier);
  assert.strictEqual(game.unlocked, 3);
  game.moves = 12;
  assert.ok(!GameState.recordWin(game).isNewBest);
  assert.strictEqual(game.best[2].moves, 9);
  game.moves = 1;
  assert.ok(GameState.recordWin(game).isNewBest);
  assert.strictEqual(GameState.totalScore(game), Levels.score(2, 1));
  const last = GameState.fresh(Levels.COUNT);
  last.moves = 50;
  GameState.recordWin(last);
  assert.strictEqual(last.unlocked, Levels.COUNT);
});

// Solves the game's board the quick way and records the win, as the page does.
function win(game) {
  game.lights = game.lights.map(() => false);
  game.moves = Levels.level(game.level).par;
  return GameState.recordWin(game);
}

test("a game saved on its win screen comes back at the next level, the last one where it is", () => {
  const game = GameState.fresh(4, {}, 9, true);
  GameState.pressTile(game, 0);
  win(game);
  const next = GameState.load(GameState.save(game));
  assert.deepStrictEqual(next, GameState.fresh(5, game.best, 9, true));
  // Saving is a read: the solved board stays on screen.
  assert.strictEqual(game.level, 4);
  assert.ok(Levels.isSolved(game.lights));

  const last = GameState.fresh(Levels.COUNT, {}, Levels.COUNT, true);
  win(last);
  const kept = GameState.load(GameState.save(last));
  assert.strictEqual(kept.level, Levels.COUNT);
  assert.strictEqual(kept.best[Levels.COUNT].score, last.best[Levels.COUNT].score);
});

test("resetting the scores forgets bests and stars and keeps every level reached open", () => {
  const game = GameState.load({ version: 2, level: 3, best: { 1: { moves: 1 }, 2: { moves: 2 }, 7: { moves: 5 } }, unlocked: 9 });
  GameState.resetScores(game);
  assert.strictEqual(GameState.totalScore(game), 0);
  const again = GameState.load(GameState.save(game));
  assert.deepStrictEqual([again.level, again.unlocked, again.best], [3, 9, {}]);
});
