// The levels: solvable in their par, growing in difficulty, the same on every machine.
"use strict";
const test = require("node:test");
const assert = require("node:assert");
const Levels = require("../../resources/game/levels.js");

// The fewest presses that darken `lights`, by elimination over GF(2) and a search of the
// solutions that differ by presses that cancel out; null when it can't be solved.
function fewestPresses(levelInfo) {
  const n = levelInfo.size * levelInfo.size;
  const rows = [];
  for (let cell = 0; cell < n; cell++) {
    const row = new Array(n + 1).fill(0);
    for (let press = 0; press < n; press++) {
      const lights = new Array(n).fill(false);
      Levels.press(lights, levelInfo.size, levelInfo.rule, press);
      row[press] = lights[cell] ? 1 : 0;
    }
    row[n] = levelInfo.lights[cell] ? 1 : 0;
    rows.push(row);
  }
  const pivots = [];
  let r = 0;
  for (let c = 0; c < n && r < n; c++) {
    const p = rows.findIndex((row, i) => i >= r && row[c]);
    if (p < 0) continue;
    [rows[r], rows[p]] = [rows[p], rows[r]];
    for (let i = 0; i < n; i++) if (i !== r && rows[i][c]) rows[i] = rows[i].map((v, k) => v ^ rows[r][k]);
    pivots.push(c);
    r++;
  }
  if (rows.slice(r).some((row) => row[n])) return null;
  const free = [...Array(n).keys()].filter((c) => !pivots.includes(c));
  assert.ok(free.length <= 16, "search stays small");
  let best = Infinity;
  for (let mask = 0; mask < 1 << free.length; mask++) {
    const x = new Array(n).fill(0);
    free.forEach((c, k) => (x[c] = (mask >> k) & 1));
    pivots.forEach((c, i) => {
      let v = rows[i][n];
      for (const f of free) v ^= rows[i][f] & x[f];
      x[c] = v;
    });
    best = Math.min(best, x.reduce((a, b) => a + b, 0));
  }
  return best;
}

test("every level starts unsolved and can be solved within its par", () => {
  assert.ok(Levels.COUNT >= 30);
  for (let n = 1; n <= Levels.COUNT; n++) {
    const levelInfo = Levels.level(n);
    assert.ok(!Levels.isSolved(levelInfo.lights), "level " + n);
    const fewest = fewestPresses(levelInfo);
    assert.ok(fewest !== null && fewest >= 1 && fewest <= levelInfo.par, `level ${n}: ${fewest} vs par ${levelInfo.par}`);
  }
});

test("levels grow: difficulty never falls, several difficulties, boards get larger", () => {
  let last = -1;
  const seen = new Set();
  for (let n = 1; n <= Levels.COUNT; n++) {
    const levelInfo = Levels.level(n);
    const rank = Levels.DIFFICULTIES.indexOf(levelInfo.difficulty);
    assert.ok(rank >= last, "level " + n);
    last = rank;
    seen.add(levelInfo.difficulty.name);
  }
  assert.ok(seen.size >= 3);
  assert.ok(Levels.level(1).size < Levels.level(Levels.COUNT).size);
  assert.strictEqual(Levels.firstOfDifficulty("medium"), 11);
});

test("a level is the same board every time; numbers out of range are clamped", () => {
  assert.deepStrictEqual(Levels.level(17), Levels.level(17));
  assert.strictEqual(Levels.level(0).number, 1);
  assert.strictEqual(Levels.level("abc").number, 1);
  assert.strictEqual(Levels.level(999).number, Levels.COUNT);
  assert.strictEqual(Levels.level(2.9).number, 2);
});

test("pressing flips the tile and its neighbours under each rule, and undoes itself", () => {
  const plus = Levels.press(new Array(9).fill(false), 3, "plus", 0);
  assert.deepStrictEqual(plus.map(Number), [1, 1, 0, 1, 0, 0, 0, 0, 0]);
  const cross = Levels.press(new Array(9).fill(false), 3, "cross", 4);
  assert.deepStrictEqual(cross.map(Number), [1, 0, 1, 0, 1, 0, 1, 0, 1]);
  // A tile at the right edge does not wrap onto the next row.
  const edge = Levels.press(new Array(16).fill(false), 4, "plus", 7);
  assert.deepStrictEqual(edge.map(Number), [0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 0, 1, 0, 0, 0, 0]);
  assert.ok(Levels.isSolved(Levels.press(edge, 4, "plus", 7)));
});

test("scores: full marks at or under par, falling with extra moves, more on harder levels", () => {
  const easy = Levels.level(5);
  assert.strictEqual(Levels.score(5, easy.par), 1000);
  assert.strictEqual(Levels.score(5, 1), 1000);
  assert.ok(Levels.score(5, easy.par + 1) < 1000);
  assert.ok(Levels.score(5, easy.par + 5) < Levels.score(5, easy.par + 1));
  assert.ok(Levels.score(Levels.COUNT, Levels.level(Levels.COUNT).par) > 1000);
  assert.deepStrictEqual([4, 5, 7, 8, 20].map((m) => Levels.stars(4, m)), [3, 2, 2, 1, 1]);
});
