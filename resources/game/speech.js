// What a screen reader says of the board: the name of each tile, and the sentence spoken
// after each move. Kept apart from the drawing so that the wording can be checked alone.
(function (root) {
  "use strict";

  function plural(count, one, many) {
    return count + " " + (count === 1 ? one : many);
  }

  function place(size, index) {
    return "row " + (Math.floor(index / size) + 1) + ", column " + ((index % size) + 1);
  }

  function tileName(game, index) {
    const where = place(game.size, index);
    return where[0].toUpperCase() + where.slice(1) + ", " + (game.lights[index] ? "lit" : "dark");
  }

  // How the board stands: the lit tiles of all of them, and the moves against par.
  function boardState(game, par) {
    const lit = game.lights.filter(Boolean).length;
    const against = game.moves > par ? ", over par " : ", par ";
    return lit + " of " + game.lights.length + " tiles lit. " + plural(game.moves, "move", "moves") + against + par + ".";
  }

  // After a press: which tile, and what is left to do; or the win, when that solved it.
  function pressed(game, index, par) {
    const what = "Pressed " + place(game.size, index) + ". ";
    if (game.lights.every((on) => !on)) {
      return what + "Solved in " + plural(game.moves, "move", "moves") + (game.moves <= par ? ", within par " : ", par ") + par + "!";
    }
    return what + boardState(game, par);
  }

  function undone(game, index, par) {
    return "Took back " + place(game.size, index) + ". " + boardState(game, par);
  }

  // A level just begun: what it is and how it stands.
  function levelStart(game, levelInfo) {
    const rule = game.rule === "cross" ? "corners" : "plus";
    const kind = levelInfo.difficulty.title.toLowerCase() + ", " + game.size + " by " + game.size + ", " + rule + " rule";
    return "Level " + game.level + ", " + kind + ". " + boardState(game, levelInfo.par);
  }

  const Speech = { tileName: tileName, pressed: pressed, undone: undone, levelStart: levelStart };

  root.TumblaSpeech = Speech;
  if (typeof module !== "undefined" && module.exports) module.exports = Speech;
})(typeof window !== "undefined" ? window : globalThis);
