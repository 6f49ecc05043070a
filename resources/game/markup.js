// The game's elements, shared by the phone page and the tablet page; each page lays them
// out with its own style sheet.
document.body.insertAdjacentHTML(
  "afterbegin",
  `
<main id="game">
  <section id="play">
    <div id="board" role="group" aria-label="Board"></div>
  </section>
  <aside id="hud">
    <h1>Tumbla</h1>
    <div id="level-line">
      <span>Level <b id="level-number">1</b><small>/<span id="level-count"></span></small></span>
      <span id="difficulty"></span>
    </div>
    <div id="stats">
      <div><span class="label">Flips</span> <b id="rule"></b></div>
      <div><span class="label">Moves</span> <b id="moves">0</b> <span class="label">par</span> <b id="par"></b></div>
      <div><span class="label">Best</span> <b id="best">–</b></div>
      <div><span class="label">Total</span> <b id="total">0</b></div>
    </div>
    <div id="level-strip" aria-label="Levels of this difficulty"></div>
    <div id="actions">
      <button type="button" id="undo" title="Undo (U)">Undo</button>
      <button type="button" id="restart" title="Restart (R)">Restart</button>
      <button type="button" id="open-levels" title="Levels (L)">Levels</button>
      <button type="button" id="open-rules" title="How to play (H)">Rules</button>
      <button type="button" id="open-settings" title="Settings (S)">Settings</button>
    </div>
  </aside>
</main>
<div id="announcer" class="spoken-only" role="status" aria-live="polite"></div>
<button type="button" id="pause-button" aria-label="Pause" title="Pause (Esc)"><span></span><span></span></button>
<div id="overlay" hidden>
  <section class="screen" id="screen-pause" role="dialog" aria-label="Paused">
    <h2>Paused</h2>
    <p>The board waits for you.</p>
    <div class="buttons"><button type="button" class="primary" id="continue">Continue</button></div>
  </section>
  <section class="screen" id="screen-win" role="dialog" aria-label="Level solved">
    <h2 id="win-title"></h2>
    <div id="win-stars" class="stars"></div>
    <dl>
      <dt>Moves</dt><dd id="win-moves"></dd>
      <dt>Score</dt><dd id="win-score"></dd>
      <dt>Total</dt><dd id="win-total"></dd>
    </dl>
    <p id="win-best"></p>
    <div class="buttons">
      <button type="button" class="primary" id="next-level">Next level</button>
      <button type="button" id="replay-level">Replay</button>
    </div>
  </section>
  <section class="screen" id="screen-rules" role="dialog" aria-label="How to play">
    <h2>How to play</h2>
    <div class="rules">
      <p>Every tile is lit or dark. Pressing a tile flips it and its neighbours. Make the whole board dark.</p>
      <div class="patterns">
        <figure><div class="pattern plus"><i></i><i class="on"></i><i></i><i class="on"></i><i class="on"></i><i class="on"></i><i></i><i class="on"></i><i></i></div><figcaption>✚ Plus: the tile and the four beside it</figcaption></figure>
        <figure><div class="pattern cross"><i class="on"></i><i></i><i class="on"></i><i></i><i class="on"></i><i></i><i class="on"></i><i></i><i class="on"></i></div><figcaption>✕ Corners: the tile and the four across its corners</figcaption></figure>
      </div>
      <p>Each level can be solved in its par. At par: three stars and 1000 points, plus a bonus on harder levels. Solving a level opens the next.</p>
      <p class="keys">Keys: arrows move, Enter or Space presses, U undoes, R restarts, L levels, B best scores, S settings, T next track, Esc pauses.</p>
    </div>
    <div class="buttons"><button type="button" class="primary" id="close-rules">Play</button></div>
  </section>
  <section class="screen" id="screen-levels" role="dialog" aria-label="Levels">
    <h2>Levels <small>Total <span id="levels-total"></span></small></h2>
    <div id="level-list"></div>
    <div class="buttons">
      <button type="button" id="show-scores">Scores</button>
      <button type="button" class="primary" id="close-levels">Back</button>
    </div>
  </section>
  <section class="screen" id="screen-scores" role="dialog" aria-label="Best scores">
    <h2>Best scores <small>Total <span id="scores-total"></span></small></h2>
    <div id="score-list" tabindex="0" aria-label="Best scores by level">
      <table id="score-table">
        <thead><tr><th scope="col">Level</th><th scope="col">Stars</th><th scope="col">Moves / par</th><th scope="col">Score</th></tr></thead>
      </table>
    </div>
    <div class="buttons"><button type="button" class="primary" id="close-scores">Back</button></div>
  </section>
  <section class="screen" id="screen-settings" role="dialog" aria-label="Settings">
    <h2>Settings</h2>
    <div class="settings">
      <label><input type="checkbox" id="setting-sound"> Sound effects</label>
      <label><input type="checkbox" id="setting-music"> Music</label>
      <label><input type="checkbox" id="setting-shake"> Shake to undo</label>
      <fieldset><legend>Theme</legend><div id="theme-choices"></div></fieldset>
      <fieldset><legend>Pause button</legend><div id="corner-choices"></div></fieldset>
    </div>
    <div class="buttons">
      <button type="button" id="next-track">Next track</button>
      <button type="button" id="reset-scores">Reset scores</button>
      <button type="button" class="primary" id="save-settings">Done</button>
    </div>
  </section>
  <section class="screen" id="screen-prompt" role="dialog" aria-labelledby="prompt-title">
    <h2 id="prompt-title"></h2>
    <p id="prompt-message"></p>
    <div class="buttons" id="prompt-buttons"></div>
  </section>
</div>
`
);
