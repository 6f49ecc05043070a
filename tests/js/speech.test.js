// What a screen reader says of the board and of each move, on games played through the
// real rules.
"use strict";
const test = require("node:test");
const assert = require("node:assert");
const Levels = require("../../resources/game/levels.js");
const GameState = require("../../resources/game/state.js");
const Speech = require("../../resources/game/speech.js");

// Level 1 is 3x3 under the plus rule with par 1; its lit tiles are 0, 3, 4 and 6, and
// pressing tile 3 solves it.
test("after each press: the tile, the lit tiles left and the moves against par, or the win", () => {
  assert.deepStrictEqual(Levels.level(1).lights.map(Number), [1, 0, 0, 1, 1, 0, 1, 0, 0]);
  const cases = [
    { presses: [0], said: "Pressed row 1, column 1. 3 of 9 tiles lit. 1 move, par 1." },
    { presses: [0, 8], said: "Pressed row 3, column 3. 6 of 9 tiles lit. 2 moves, over par 1." },
    { presses: [3], said: "Pressed row 2, column 1. Solved in 1 move, within par 1!" },
    { presses: [0, 0, 3], said: "Pressed row 2, column 1. Solved in 3 moves, par 1!" },
  ];
  for (const { presses, said } of cases) {
    const game = GameState.fresh(1);
    for (const index of presses) GameState.pressTile(game, index);
    assert.strictEqual(Speech.pressed(game, presses[presses.length - 1], 1), said, JSON.stringify(presses));
  }
});

test("a tile is named by its row, its column and whether it is lit, on boards of every size", () => {
  const cases = [
    { level: 1, index: 0, name: "Row 1, column 1, lit" },
    { level: 1, index: 5, name: "Row 2, column 3, dark" },
    { level: Levels.COUNT, index: 48, name: "Row 7, column 7, " },
    { level: Levels.COUNT, index: 13, name: "Row 2, column 7, " },
  ];
  for (const { level, index, name } of cases) {
    const game = GameState.fresh(level);
    const spoken = Speech.tileName(game, index);
    assert.ok(spoken.startsWith(name), spoken);
    assert.strictEqual(spoken.endsWith("lit"), game.lights[index], spoken);
  }
});

test("a level begun and a press taken back say how the board stands", () => {
  const game = GameState.fresh(15);
  const levelInfo = Levels.level(15);
  assert.strictEqual(Speech.levelStart(game, levelInfo), "Level 15, medium, 4 by 4, corners rule. 8 of 16 tiles lit. 0 moves, par 2.");
  GameState.pressTile(game, 5);
  GameState.pressTile(game, 10);
  GameState.undo(game);
  assert.strictEqual(game.lights.map(Number).join(""), "1010101001101110");
  assert.strictEqual(Speech.undone(game, 10, levelInfo.par), "Took back row 3, column 3. 9 of 16 tiles lit. 1 move, par 2.");
});
