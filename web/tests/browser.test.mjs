// browser.test.mjs -- cave-demo's page in headless Chromium (SwiftShader WebGL2), against the native build:
// the drawn frame, a scripted run's trace bit for bit, and real keyboard and mouse input.
//
// Needs the browser build (build/web/, bash scripts/web.sh --build-only) and the native cave-demo
// (build/release/app/cave-demo, or CAVE_DEMO_EXE). Run: node --test web/tests/
import {test, before, after} from 'node:test';
import assert from 'node:assert/strict';
import {execFileSync} from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import {ROOT, WEB_DIR, serve, launchBrowser, openPage, waitForState, pictureMapping, traceFrames, pos, vel}
  from './harness.mjs';

const TESTS_DIR = path.join(ROOT, 'web', 'tests');
// The scripted run of cave-tracecheck's native-against-WebAssembly check: turns both ways, drives, lifts
// and a drag within its first 700 frames.
const SCRIPTS_DIR = path.join(ROOT, 'tools', 'tracecheck');
const SCRIPT = 'turns_drives_lift_drag.txt';
const NATIVE = process.env.CAVE_DEMO_EXE || path.join(ROOT, 'build', 'release', 'app', 'cave-demo');
const ASSETS = path.join(ROOT, 'assets');
const BODIES = 101;
const DT = 1 / 60;

let server;
let browser;
let scratch;

before(async () => {
  for (const f of ['index.html', 'app.js', 'app.wasm', 'app.data'])
    assert.ok(fs.existsSync(path.join(WEB_DIR, f)), `${f} is missing in ${WEB_DIR}: run scripts/web.sh --build-only`);
  assert.ok(fs.existsSync(NATIVE), `the native cave-demo is missing (${NATIVE})`);
  scratch = fs.mkdtempSync(path.join(os.tmpdir(), 'cave-web-'));
  server = await serve([WEB_DIR, TESTS_DIR, scratch, SCRIPTS_DIR]);
  browser = await launchBrowser();
});

after(async () => {
  if (browser) await browser.close();
  if (server) await server.close();
  if (scratch) fs.rmSync(scratch, {recursive: true, force: true});
});

// Runs the native demo headless in the scratch folder with `args`; returns the folder.
function runNative(name, args) {
  const dir = path.join(scratch, name);
  fs.mkdirSync(dir, {recursive: true});
  execFileSync(NATIVE, ['--data', ASSETS, '--headless', ...args], {cwd: dir, stdio: ['ignore', 'ignore', 'pipe'],
                                                                 timeout: 300000});
  return dir;
}


// Runs the page with the URL's query until it ends; returns its state and the trace text (if any).
async function runPage(query, timeoutMs, act) {
  const page = await openPage(browser);
  try {
    await page.goto(server.url + query);
    if (act) await act(page);
    const state = await waitForState(page, (s) => s.phase === 'ended', timeoutMs, 'the end of the demo');
    const trace = await page.evaluate(() => window.caveDemo.traceText());
    return {page, state, trace};
  } catch (e) {
    await page.close();
    throw e;
  }
}

test('the page gets WebGL2 and its frame 300 shows the lit, textured cave as the native shader device draws it',
     async (t) => {
  const {page, state} = await runPage('?frames=300&shot=1', 180000);
  try {
    assert.equal(state.exitCode, 0);
    assert.equal(state.frames, 300);
    assert.deepEqual(state.messages, [], 'no bitmap failed to open');
    const native = runNative('shot', ['--renderer', 'shader', '--frames', '300', '--screenshot', 'frame300.png']);
    const png = fs.readFileSync(path.join(native, 'frame300.png')).toString('base64');
    const result = await page.evaluate(async (png) => {
      const canvas = document.getElementById('canvas');
      const gl = canvas.getContext('webgl2');
      const read = (source) => {
        const c = document.createElement('canvas');
        c.width = 640;
        c.height = 480;
        const g = c.getContext('2d');
        g.drawImage(source, 0, 0);
        return g.getImageData(0, 0, 640, 480).data;
      };
      const image = new Image();
      image.src = 'data:image/png;base64,' + png;
      await image.decode();
      const ours = read(canvas), theirs = read(image);
      let sum = [0, 0, 0], within = 0, lit = 0, distinct = new Set();
      for (let i = 0; i < ours.length; i += 4) {
        let worst = 0;
        for (let c = 0; c < 3; c++) {
          const d = Math.abs(ours[i + c] - theirs[i + c]);
          sum[c] += d;
          worst = Math.max(worst, d);
        }
        if (worst <= 3) within++;
        if (ours[i] + ours[i + 1] + ours[i + 2] > 60) lit++;
        if (distinct.size < 5000) distinct.add((ours[i] << 16) | (ours[i + 1] << 8) | ours[i + 2]);
      }
      const n = ours.length / 4;
      return {webgl2: gl instanceof WebGL2RenderingContext, size: [canvas.width, canvas.height],
              meanDiff: sum.map((s) => s / n), within: within / n, lit: lit / n, colours: distinct.size};
    }, png);
    t.diagnostic(`frame 300 against the native shader device: mean difference per channel ` +
                 `${result.meanDiff.map((d) => d.toFixed(3)).join(' ')}, ${(100 * result.within).toFixed(2)}% of ` +
                 `the pixels within 3 levels, ${result.colours} colours`);
    assert.ok(result.webgl2, 'the canvas has a WebGL2 context');
    assert.deepEqual(result.size, [640, 480]);
    // Lit and textured: most of the frame is drawn, in many shades (a flat or unlit cave has few).
    assert.ok(result.lit > 0.5, `only ${(100 * result.lit).toFixed(1)}% of the frame is lit`);
    assert.ok(result.colours > 500, `only ${result.colours} colours in the frame`);
    // Two software rasterizers: the same picture up to rounding at edges and in the lighting.
    for (const d of result.meanDiff) assert.ok(d <= 2, `mean difference per channel ${result.meanDiff}`);
    assert.ok(result.within >= 0.97, `${(100 * result.within).toFixed(2)}% of the pixels within 3 levels`);
  } finally {
    await page.close();
  }
});

test('a scripted run in the page gives the native trace of the same script bit for bit', async () => {
  const script = path.join(SCRIPTS_DIR, SCRIPT);
  const {page, state, trace} = await runPage(`?script=${SCRIPT}&frames=700&trace=1`, 300000);
  await page.close();
  assert.equal(state.exitCode, 0);
  assert.equal(state.frames, 700);
  const native = fs.readFileSync(
      path.join(runNative('scripted', ['--script', script, '--frames', '700', '--trace', 'trace.csv']), 'trace.csv'),
      'utf8');
  if (trace === native) return;
  // Report where the two runs part: the first differing row, and how far apart the values are there.
  const ours = trace.split('\n'), theirs = native.split('\n');
  let i = 0;
  while (i < ours.length && i < theirs.length && ours[i] === theirs[i]) i++;
  const a = (ours[i] || '').split(','), b = (theirs[i] || '').split(',');
  let worst = 0;
  for (let k = 2; k < Math.min(a.length, b.length); k++) {
    const x = Number(a[k]), y = Number(b[k]);
    worst = Math.max(worst, Math.abs(x - y) / Math.max(Math.abs(x), Math.abs(y), 1e-30));
  }
  assert.fail(`the traces differ from frame ${a[0]} body ${a[1]} on (row ${i}, ${ours.length} rows in the page's ` +
              `trace, ${theirs.length} in the native one; largest relative difference in that row ${worst})\n` +
              `page:   ${ours[i]}\nnative: ${theirs[i]}`);
});

test('keys and the mouse on the page drive, turn, lift and drag; nothing outside the canvas or from the right ' +
     'button reaches the demo; blur pauses; Esc ends it', async () => {
  const page = await openPage(browser);
  try {
    await page.setViewport({width: 800, height: 500});
    await page.goto(server.url + '?trace=1');
    await waitForState(page, (s) => s.phase === 'running' && s.frames >= 2, 60000, 'the first frames');
    const {at} = await pictureMapping(page);
    const framesNow = () => page.evaluate(() => window.caveDemo.frames);
    const waitFrames = async (n) => {
      const target = (await framesNow()) + n;
      await waitForState(page, new Function('s', `return s.frames >= ${target};`), 60000, `frame ${target}`);
      return target;
    };

    // The page losing the focus deactivates the window (WM_ACTIVATE, WA_INACTIVE): no frames run until it
    // has the focus again, while mouse messages are still handled. The mouse works on this still scene.
    await page.evaluate(() => window.dispatchEvent(new FocusEvent('blur')));
    await new Promise((r) => setTimeout(r, 100));
    const paused = await framesNow();
    // Body 1 (the lowest sphere) is where the camera first sees it, at about (320, 253) (it stays there for
    // some 20 frames while the column falls with the ball); body 2 is 17 pixels higher, the ball 107 lower.
    // The right button picks nothing: a right-button drag over body 1 leaves it alone.
    await page.mouse.move(...at(320, 253));
    await page.mouse.down({button: 'right'});
    await page.mouse.move(...at(360, 253), {steps: 2});
    await page.mouse.up({button: 'right'});
    // The left button picks body 1 and drags it 40 pixels right; then the pointer leaves the canvas, moves
    // and is released outside it, and comes back at (400, 233). Nothing outside the canvas reaches the demo,
    // so the drag goes on from (360, 253), as in a window that does not capture the mouse, and ends with
    // the next release inside (a click where body 1 now is: it picks it again and lets go, moving nothing).
    await page.mouse.move(...at(320, 253));
    await page.mouse.down();
    await page.mouse.move(...at(360, 253), {steps: 2});
    await page.mouse.move(...at(360, -40), {steps: 2});
    await page.mouse.move(...at(420, -40), {steps: 2});
    await page.mouse.up();
    await page.mouse.move(...at(400, 233));
    await page.mouse.down();
    await page.mouse.up();
    await new Promise((r) => setTimeout(r, 100));
    assert.equal(await framesNow(), paused, 'frames ran while the page had no focus');
    await page.evaluate(() => window.dispatchEvent(new FocusEvent('focus')));
    await waitFrames(2);

    // The ball lands on the floor after about 320 frames, bounces, and rests by frame 560 (a ball in the air
    // only spins when driven); then turn left, drive forward and lift.
    await waitForState(page, (s) => s.frames >= 560, 120000, 'the ball to come to rest');
    await page.keyboard.down('ArrowLeft');
    const turnStart = await framesNow();
    await waitFrames(20);
    await page.keyboard.up('ArrowLeft');
    await waitFrames(40);
    const driveStart = await framesNow();
    await page.keyboard.down('ArrowUp');
    await waitFrames(25);
    await page.keyboard.up('ArrowUp');
    const driveEnd = await framesNow();
    await page.keyboard.down('Space');
    await waitFrames(40);
    await page.keyboard.up('Space');
    const liftEnd = await framesNow();
    await page.keyboard.press('ArrowDown');
    await page.keyboard.press('Escape');
    const state = await waitForState(page, (s) => s.phase === 'ended', 30000, 'Esc to end the demo');
    assert.equal(state.exitCode, 0);
    await new Promise((r) => setTimeout(r, 300));
    assert.equal(await framesNow(), state.frames, 'no frame after Esc');

    const f = traceFrames(await page.evaluate(() => window.caveDemo.traceText()));
    assert.equal(f.length, state.frames + 1);
    // Body 1 moved only by its own motion, except in the frames of the left-button drag, whose shifts add
    // up to depth * (40 + 40, 20) / 320 (the camera looks along +z from 74.28 units in front of it): neither
    // the right button nor the moves outside the canvas moved it.
    const shift = [0, 0, 0];
    let dragFrames = 0;
    for (let k = 2; k < turnStart; k++) {
      const step = [0, 1, 2].map((a) => pos(f[k][1], a) - pos(f[k - 1][1], a) - vel(f[k][1], a) * DT);
      if (Math.hypot(...step) > 1e-3) dragFrames++;
      for (let a = 0; a < 3; a++) shift[a] += step[a];
    }
    const depth = 66.28125 + 8;
    assert.ok(dragFrames >= 1, 'the drag moved body 1');
    assert.ok(Math.abs(shift[0] - (depth * 80) / 320) < 0.05 && Math.abs(shift[1] - (depth * 20) / 320) < 0.05 &&
              Math.abs(shift[2]) < 0.05, `body 1 was shifted by ${shift}, expected (${(depth * 80) / 320}, ` +
              `${(depth * 20) / 320}, 0): only the left-button moves inside the canvas drag it`);
    // Turned left, then driven: the velocity the ball gains while arrow up is held points left of +z,
    // the way the camera now looks.
    const gain = [0, 2].map((a) => vel(f[driveEnd][0], a) - vel(f[driveStart][0], a));
    assert.ok(Math.hypot(...gain) > 2, `the ball gained only ${gain} while driven from frame ${driveStart} to ` +
              `${driveEnd} (at height ${pos(f[driveStart][0], 1)}, vertical speed ${vel(f[driveStart][0], 1)})`);
    assert.ok(gain[0] < -0.3 * Math.abs(gain[1]), `the drive points along ${gain}: the camera did not turn left`);
    // Space lifted it.
    assert.ok(pos(f[liftEnd][0], 1) - pos(f[driveEnd][0], 1) > 2, 'space lifts the ball');
  } finally {
    await page.close();
  }
});

test('missing data files: message boxes as lines in the page, the debug log on the console, the demo runs on',
     async () => {
  const page = await openPage(browser);
  try {
    // The preloaded block.bmp and cave.x are taken away before the program's main runs.
    await page.evaluateOnNewDocument(() => {
      let module;
      Object.defineProperty(window, 'Module', {
        configurable: true,
        get: () => module,
        set: (m) => {
          module = m;
          m.onRuntimeInitialized = () => {
            m.FS.unlink('/data/block.bmp');
            m.FS.unlink('/data/cave.x');
          };
        },
      });
    });
    await page.goto(server.url + '?frames=20');
    const state = await waitForState(page, (s) => s.phase === 'ended', 60000, 'the end of the demo');
    assert.equal(state.exitCode, 0);
    assert.equal(state.frames, 20);
    assert.deepEqual(state.messages, ['Texure Cannot Open: Texure Cannot Open "block.bmp"']);
    // The page adds why the world is empty.
    assert.equal(state.notes.length, 1);
    assert.match(state.notes[0], /^cave\.x: the file could not be opened, so the cave is empty/);
    const shown = await page.$$eval('#messages li', (items) => items.map((i) => i.textContent));
    assert.deepEqual(shown, [...state.messages, ...state.notes]);
    // One line of the debug log for the cave, its code page 932 text decoded, also on the console.
    assert.equal(state.debugLog.length, 1);
    const line = state.debugLog[0];
    assert.ok(line.endsWith('cave.x"') && !line.includes('\uFFFD') && /[^\x00-\x7F]/.test(line), line);
    assert.ok(page.caveLog.includes('log: VokDebug.txt: ' + line), page.caveLog.join('\n'));
  } finally {
    await page.close();
  }
});

test('a demo that cannot start says why on the page instead of staying blank', async () => {
  fs.writeFileSync(path.join(scratch, 'bad_script.txt'), '1 keydown up\n2 keydown sideways\n');
  const cases = [
    // [query, what the page must say, set-up of the page before it loads]
    ['?frames=ten', 'frames must be a whole number from 0 to 2147483647, not "ten"'],
    ['?frames=99999999999', 'frames must be a whole number'],
    ['?script=bad_script.txt', 'cave-demo could not start: bad_script.txt:2: unknown key "sideways"'],
    ['?script=no_such_script.txt', 'The script no_such_script.txt could not be loaded (HTTP 404)'],
    ['?script=http://example.invalid/s.txt', 'The script s.txt could not be loaded'],
    ['?script=file:///etc/passwd', 'The script must be a file beside this page or an http(s) URL'],
    ['?cave=nowhere', 'There is no cave "nowhere" in the gallery.'],
    ['', 'This page needs WebGL2', () => {
      const getContext = HTMLCanvasElement.prototype.getContext;
      HTMLCanvasElement.prototype.getContext = function (kind, ...rest) {
        return kind === 'webgl2' ? null : getContext.call(this, kind, ...rest);
      };
    }],
  ];
  for (const [query, expected, setup] of cases) {
    const page = await openPage(browser);
    try {
      if (setup) await page.evaluateOnNewDocument(setup);
      await page.goto(server.url + query);
      await page.waitForFunction(() => window.caveDemo && window.caveDemo.phase !== 'loading', {timeout: 60000});
      const state = await page.evaluate(() => ({...window.caveDemo}));
      const notice = await page.$eval('#notice', (n) => (n.hidden ? '' : n.textContent));
      assert.equal(state.phase, 'failed', `${query}: ${JSON.stringify(state)}`);
      assert.equal(state.frames, 0, query);
      assert.ok(notice.includes(expected), `${query}: the page says "${notice}"`);
    } finally {
      await page.close();
    }
  }
});
