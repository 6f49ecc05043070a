// The levels of Tumbla and the rules of a board.
//
// A board is a square of tiles, each lit or dark. Pressing a tile flips it and its
// neighbours: the four beside it under the "plus" rule, the four across its corners under
// the "cross" rule. A level is solved when every tile is dark. Every level is made by
// pressing tiles of a dark board, so it can always be solved in at most its par.
(function (root) {
  "use strict";

  const RULES = {
    plus: [[0, 0], [1, 0], [-1, 0], [0, 1], [0, -1]],
    cross: [[0, 0], [1, 1], [-1, -1], [1, -1], [-1, 1]],
  };

  const DIFFICULTIES = [
    { name: "easy", title: "Easy", bonus: 0 },
    { name: "medium", title: "Medium", bonus: 250 },
    { name: "hard", title: "Hard", bonus: 500 },
    { name: "expert", title: "Expert", bonus: 750 },
  ];

  // [size, rule, presses, difficulty]. The game grows in steps: small boards first, then
  // the full 5x5, then the corner rule on its own, then larger boards and both rules.
  const TABLE = [
    [3, "plus", 1, 0], [3, "plus", 2, 0], [3, "plus", 2, 0], [3, "plus", 3, 0],
    [4, "plus", 2, 0], [4, "plus", 3, 0], [4, "plus", 3, 0], [4, "plus", 4, 0],
    [5, "plus", 3, 0], [5, "plus", 4, 0],
    [5, "plus", 4, 1], [5, "plus", 5, 1], [5, "plus", 5, 1], [5, "plus", 6, 1],
    [4, "cross", 2, 1], [4, "cross", 3, 1], [5, "cross", 3, 1], [5, "plus", 6, 1],
    [5, "plus", 7, 1], [5, "cross", 4, 1],
    [5, "cross", 5, 2], [5, "plus", 7, 2], [6, "plus", 5, 2], [6, "plus", 6, 2],
    [5, "cross", 6, 2], [6, "plus", 7, 2], [6, "cross", 5, 2], [6, "plus", 8, 2],
    [6, "cross", 6, 2], [6, "plus", 9, 2],
    [6, "cross", 7, 3], [6, "plus", 10, 3], [7, "plus", 8, 3], [7, "cross", 7, 3],
    [7, "plus", 9, 3], [7, "cross", 8, 3], [7, "plus", 10, 3], [7, "cross", 9, 3],
    [7, "plus", 11, 3], [7, "cross", 10, 3],
  ];

  const COUNT = TABLE.length;

  // A small deterministic generator, so that a level is the same board on every machine.
  function random(seed) {
    let state = seed >>> 0;
    return function () {
      state = (state + 0x6d2b79f5) >>> 0;
      let t = state;
      t = Math.imul(t ^ (t >>> 15), t | 1);
      t ^= t + Math.imul(t ^ (t >>> 7), t | 61);
      return ((t ^ (t >>> 14)) >>> 0) / 4294967296;
    };
  }

  function isRule(name) {
    return Object.prototype.hasOwnProperty.call(RULES, name);
  }

  // Flips the tile at `index` and its neighbours under `rule`, in place.
  function press(lights, size, rule, index) {
    const row = Math.floor(index / size);
    const column = index % size;
    for (const [dr, dc] of RULES[rule]) {
      const r = row + dr;
      const c = column + dc;
      if (r >= 0 && r < size && c >= 0 && c < size) lights[r * size + c] = !lights[r * size + c];
    }
    return lights;
  }

  function isSolved(lights) {
    return lights.every(function (on) {
      return !on;
    });
  }

  function clampLevel(number) {
    const n = Math.trunc(Number(number));
    if (!Number.isFinite(n) || n < 1) return 1;
    return Math.min(n, COUNT);
  }

  // Level `number` (1 to COUNT): its size, rule, par, difficulty and starting board.
  function level(number) {
    const n = clampLevel(number);
    const [size, rule, presses, difficulty] = TABLE[n - 1];
    const next = random(n * 7919 + 104729);
    for (;;) {
      const lights = new Array(size * size).fill(false);
      const pressed = new Set();
      while (pressed.size < presses) pressed.add(Math.floor(next() * size * size));
      for (const index of pressed) press(lights, size, rule, index);
      // Some sets of presses cancel out; the level must start with something to do.
      if (!isSolved(lights)) {
        return {
          number: n,
          size: size,
          rule: rule,
          par: presses,
          difficulty: DIFFICULTIES[difficulty],
          lights: lights,
        };
      }
    }
  }

  // One to three stars: three at par or better.
  function stars(par, moves) {
    if (moves <= par) return 3;
    if (moves <= par + Math.ceil(par / 2) + 1) return 2;
    return 1;
  }

  // The score of a solved level: 1000 at par or better, falling as moves go over it, plus
  // a bonus for the harder difficulties.
  function score(number, moves) {
    const levelInfo = level(number);
    const taken = Math.max(1, Math.trunc(moves));
    return Math.round((1000 * levelInfo.par) / Math.max(taken, levelInfo.par)) + levelInfo.difficulty.bonus;
  }

  function firstOfDifficulty(name) {
    for (let n = 1; n <= COUNT; n++) {
      if (DIFFICULTIES[TABLE[n - 1][3]].name === name) return n;
    }
    return 1;
  }

  const Levels = {
    COUNT: COUNT,
    DIFFICULTIES: DIFFICULTIES,
    RULES: Object.keys(RULES),
    isRule: isRule,
    level: level,
    clampLevel: clampLevel,
    press: press,
    isSolved: isSolved,
    stars: stars,
    score: score,
    firstOfDifficulty: firstOfDifficulty,
  };

  root.TumblaLevels = Levels;
  if (typeof module !== "undefined" && module.exports) module.exports = Levels;
})(typeof window !== "undefined" ? window : globalThis);
