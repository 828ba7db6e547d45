// playground.test.mjs -- the page as a playground, in headless Chromium: the demo scaled into canvases of
// any size with picks landing on the sphere under the pointer, pause and single step, slow motion, caves
// from the gallery and from dropped files, and a recorded session replayed from its URL.
//
// Needs the browser build (build/web/, bash scripts/web.sh --build-only) and the native programs
// (build/release: cave-demo and cave-gen). Run: node --test web/tests/
import {test, before, after} from 'node:test';
import assert from 'node:assert/strict';
import {execFileSync} from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import {ROOT, WEB_DIR, serve, launchBrowser, openPage, waitForState, sizeCanvas, traceFrames, pos, vel,
  drawingBuffer} from './harness.mjs';

const RELEASE = path.join(ROOT, 'build', 'release');
const NATIVE = process.env.CAVE_DEMO_EXE || path.join(RELEASE, 'app', 'cave-demo');
const CAVE_GEN = process.env.CAVE_GEN_EXE || path.join(RELEASE, 'tools', 'cavegen', 'cave-gen');
const ASSETS = path.join(ROOT, 'assets');
const SHOTS = process.env.CAVE_WEB_SHOTS || ''; // a folder for screenshots of the page, when set
const DT = 1 / 60;

let server;
let browser;
let scratch;
let galleryDir; // the gallery as the native cave-gen writes it

before(async () => {
  for (const f of ['index.html', 'app.js', 'app.wasm', 'app.data', 'gallery/gallery.json'])
    assert.ok(fs.existsSync(path.join(WEB_DIR, f)), `${f} is missing in ${WEB_DIR}: run scripts/web.sh --build-only`);
  for (const exe of [NATIVE, CAVE_GEN]) assert.ok(fs.existsSync(exe), `${exe} is missing (build the release preset)`);
  scratch = fs.mkdtempSync(path.join(os.tmpdir(), 'cave-playground-'));
  galleryDir = path.join(scratch, 'gallery-native');
  fs.mkdirSync(galleryDir);
  execFileSync(CAVE_GEN, ['--gallery', galleryDir]);
  server = await serve([WEB_DIR, scratch]);
  browser = await launchBrowser();
});

after(async () => {
  if (browser) await browser.close();
  if (server) await server.close();
  if (scratch) fs.rmSync(scratch, {recursive: true, force: true});
});


// How far body `b` was moved between frames `from` and `to` beyond its own velocity: what drags did to it.
function dragShift(f, b, from, to) {
  const shift = [0, 0, 0];
  for (let k = from; k < to; k++)
    for (let a = 0; a < 3; a++) shift[a] += pos(f[k][b], a) - pos(f[k - 1][b], a) - vel(f[k][b], a) * DT;
  return shift;
}

function sameTrace(ours, theirs, what) {
  if (ours === theirs) return;
  const a = ours.split('\n'), b = theirs.split('\n');
  let i = 0;
  while (i < a.length && i < b.length && a[i] === b[i]) i++;
  assert.fail(`${what}: the traces part at row ${i} (${a.length} and ${b.length} rows)\n${a[i]}\n${b[i]}`);
}

// Opens the page with its canvas exactly width x height CSS pixels at the given device pixel ratio, paused
// as soon as the first frames ran (body 1 is then still where it starts). Returns the page with
// page.at(x, y) the place client pixel (x, y) is drawn and page.bar a point left of the picture (on a bar
// when the canvas is wider than 4:3).
async function openSized(width, height, ratio, query) {
  const page = await openPage(browser);
  await page.setViewport({width, height: height + 300, deviceScaleFactor: ratio});
  await page.goto(server.url + query);
  await page.waitForFunction(() => window.caveDemo.frames >= 2 || window.caveDemo.phase === 'failed',
                             {timeout: 120000, polling: 'raf'});
  await page.evaluate(() => document.getElementById('pause').click());
  const {box, at} = await sizeCanvas(page, width, height, ratio);
  page.at = at;
  page.bar = [box.x + 1, box.y + box.height / 2];
  return page;
}

const framesNow = (page) => page.evaluate(() => window.caveDemo.frames);
const idle = (ms) => new Promise((r) => setTimeout(r, ms));

test('at canvases of 640x480 (twice the pixel density), 1280x960 and 1000x500 a drag on a sphere\'s drawn ' +
     'place moves that sphere; a press on a bar reaches nothing; pause holds every frame and step lets ' +
     'exactly one through; slow motion runs a frame every fourth display frame', async (t) => {
  for (const [width, height, ratio] of [[640, 480, 2], [1280, 960, 1], [1000, 500, 1]]) {
    const page = await openSized(width, height, ratio, '?trace=1&frames=60');
    try {
      const held = await framesNow(page);
      assert.ok(held < 20, `the pause came late, at frame ${held}`);
      // Body 1, the lowest sphere of the column, is drawn about client pixel (320, 253) in these frames.
      // A press on the bar (there is one only at 1000x500) and a move across the picture pick nothing; then
      // body 1 is dragged 40 client pixels to the right.
      if (width / height > 640 / 480) {
        await page.mouse.move(...page.bar);
        await page.mouse.down();
        await page.mouse.move(...page.at(330, 253), {steps: 3});
        await page.mouse.up();
      }
      await page.mouse.move(...page.at(320, 253));
      await page.mouse.down();
      await page.mouse.move(...page.at(360, 253), {steps: 4});
      await page.mouse.up();
      await idle(300);
      assert.equal(await framesNow(page), held, 'a frame ran while paused');
      // The drawing buffer is the canvas's size in device pixels (capped where the picture would be scaled
      // by a fraction above 1: 1000x500 draws it at 640x480 in a 960x480 buffer); the canvas was resized
      // while paused, and the held frame was fitted to it at once.
      assert.deepEqual(await page.$eval('#canvas', (c) => [c.width, c.height]), drawingBuffer(width * ratio, height * ratio));
      await page.click('#step');
      await waitForState(page, new Function('s', `return s.frames >= ${held + 1};`), 30000, 'the step');
      await idle(300);
      assert.equal(await framesNow(page), held + 1, 'step presents exactly one frame');
      await page.click('#step');
      await idle(300);
      assert.equal(await framesNow(page), held + 2, 'a second step presents exactly one more');
      if (SHOTS) await page.screenshot({path: path.join(SHOTS, `page-${width}x${height}.png`)});

      await page.click('#pause'); // resume
      if (width === 1280) {
        // Slow motion: the frame function every fourth animation frame of the display.
        await page.select('#speed', '4');
        const counted = await page.evaluate(() => new Promise((resolve) => {
          const first = window.caveDemo.frames;
          let animationFrames = 0;
          const tick = () => {
            if (++animationFrames === 48 || window.caveDemo.phase !== 'running')
              return resolve([animationFrames, window.caveDemo.frames - first]);
            requestAnimationFrame(tick);
          };
          requestAnimationFrame(tick);
        }));
        t.diagnostic(`slow motion: ${counted[1]} frames in ${counted[0]} animation frames`);
        assert.ok(Math.abs(counted[1] - counted[0] / 4) <= 2, `${counted[1]} frames in ${counted[0]} animation frames`);
        await page.select('#speed', '1');
      }
      const state = await waitForState(page, (s) => s.phase === 'ended', 120000, 'the end of the run');
      assert.equal(state.frames, 60);
      const f = traceFrames(await page.evaluate(() => window.caveDemo.traceText()));
      assert.equal(f.length, 61);
      // The drag's shifts add up to depth * 40 / 320 to the right (the camera looks along +z from 74.28
      // units in front of body 1), nothing up or down: the pick hit body 1 at this size, and the press on
      // the bar did nothing.
      const shift = dragShift(f, 1, 2, 60);
      const expected = ((66.28125 + 8) * 40) / 320;
      assert.ok(Math.abs(shift[0] - expected) < 0.05 && Math.abs(shift[1]) < 0.05 && Math.abs(shift[2]) < 0.05,
                `${width}x${height}: body 1 was shifted by ${shift}, expected (${expected}, 0, 0)`);
    } finally {
      await page.close();
    }
  }
});

// Drops files on the page as a visitor's file manager would.
async function dropFiles(page, files) {
  const encoded = files.map(([name, bytes]) => [name, Buffer.from(bytes).toString('base64')]);
  await page.evaluate((encoded) => {
    const transfer = new DataTransfer();
    for (const [name, b64] of encoded) {
      const bytes = Uint8Array.from(atob(b64), (c) => c.charCodeAt(0));
      transfer.items.add(new File([bytes], name));
    }
    document.getElementById('canvas').dispatchEvent(
        new DragEvent('drop', {dataTransfer: transfer, bubbles: true, cancelable: true}));
  }, encoded);
}

test('caves: the gallery is our generator\'s output; a gallery cave and a dropped cave each restart the ' +
     'demo on them, and the dropped one runs as the native demo runs it; a malformed cave and a bad bitmap ' +
     'chosen with the file button leave the page running with a line saying so', async () => {
  const list = JSON.parse(fs.readFileSync(path.join(WEB_DIR, 'gallery', 'gallery.json'), 'utf8'));
  assert.deepEqual(list.caves.map((c) => c.file).sort(), fs.readdirSync(galleryDir).filter((f) => f.endsWith('.x')).sort());
  for (const name of fs.readdirSync(galleryDir))
    assert.ok(fs.readFileSync(path.join(WEB_DIR, 'gallery', name)).equals(fs.readFileSync(path.join(galleryDir, name))),
              `gallery/${name} of the page is not what the native cave-gen writes`);
  const tube = list.caves.find((c) => c.triangles === 20000);
  assert.ok(tube, 'the gallery has the 20,000-triangle cave');
  const small = list.caves.reduce((a, b) => (a.triangles <= b.triangles ? a : b));

  const page = await openPage(browser);
  try {
    await page.goto(server.url + '?trace=1&frames=240');
    await waitForState(page, (s) => s.phase === 'running' && s.frames >= 3, 120000, 'the first frames');
    const options = await page.$$eval('#cave option', (o) => o.map((e) => e.value));
    assert.deepEqual(options, ['', ...list.caves.map((c) => c.file)]);

    // From the gallery.
    await page.select('#cave', small.file);
    let s = await waitForState(page, (s) => s.runs === 2 && s.frames >= 3, 60000, 'the gallery cave');
    assert.equal(s.triangles, small.triangles);
    assert.equal(s.cave, small.file.replace(/\.x$/, ''));

    // A malformed cave: the system reads no triangles, the world is empty, the demo runs on, and the page
    // says so. A bitmap that is no bitmap gets the system's message box. Both as lines on the page.
    // (Chosen with the page's file button, which takes the same way as a drop.)
    const chosen = path.join(scratch, 'chosen');
    fs.mkdirSync(chosen);
    fs.writeFileSync(path.join(chosen, 'broken.x'), 'xof 0303txt 0032\nMesh CaveMesh {\n 4;\n 1.0; 2.0;');
    fs.writeFileSync(path.join(chosen, 'check.bmp'), 'BM not really');
    await (await page.$('#files')).uploadFile(path.join(chosen, 'broken.x'), path.join(chosen, 'check.bmp'));
    s = await waitForState(page, (s) => s.runs === 3 && s.frames >= 5, 60000, 'the run on the malformed cave');
    assert.equal(s.triangles, 0);
    assert.equal(s.cave, 'broken.x');
    assert.ok(s.notes.some((n) => n.startsWith('broken.x: the first mesh of its root frame has no faces')),
              s.notes.join('\n'));
    assert.ok(s.messages.includes('Texure Cannot Open: Texure Cannot Open "check.bmp"'), s.messages.join('\n'));
    const shown = await page.$$eval('#messages li', (items) => items.map((i) => i.textContent));
    assert.ok(shown.some((l) => l.startsWith('broken.x')) && shown.some((l) => l.includes('check.bmp')), shown.join('\n'));
    // Files the page cannot use are named and left out; the run goes on.
    await dropFiles(page, [['notes.pdf', Buffer.from('%PDF')]]);
    s = await waitForState(page, (s) => s.notes.length >= 2, 10000, 'the line on the pdf');
    assert.equal(s.runs, 3);
    assert.match(s.notes[s.notes.length - 1], /^notes\.pdf is not a \.x cave/);

    // A generated cave dropped with one of the shipped bitmaps: the run is the native demo's run in a
    // folder of the same files, bit for bit, and its bodies come down on the new floor.
    const tubeBytes = fs.readFileSync(path.join(galleryDir, tube.file));
    await dropFiles(page, [['My Tube.x', tubeBytes], ['BLOCK.BMP', fs.readFileSync(path.join(ASSETS, 'block.bmp'))]]);
    s = await waitForState(page, (s) => s.phase === 'ended' && s.runs === 4, 240000, 'the run in the dropped cave');
    assert.equal(s.triangles, 20000);
    assert.equal(s.frames, 240);
    const trace = await page.evaluate(() => window.caveDemo.traceText());
    const dir = path.join(scratch, 'tube-native');
    fs.mkdirSync(dir);
    fs.copyFileSync(path.join(galleryDir, tube.file), path.join(dir, 'cave.x'));
    for (const b of ['check.bmp', 'map.bmp', 'block.bmp']) fs.copyFileSync(path.join(ASSETS, b), path.join(dir, b));
    execFileSync(NATIVE, ['--data', dir, '--headless', '--frames', '240', '--trace', 'trace.csv'],
                 {cwd: dir, stdio: ['ignore', 'ignore', 'pipe'], timeout: 300000});
    sameTrace(trace, fs.readFileSync(path.join(dir, 'trace.csv'), 'utf8'), 'the dropped cave against the native run');
    // The ball fell from y = 160 and landed on the tube's floor, some 60 units up (the shipped cave's is at
    // 0): its fall turned into a rise there.
    const f = traceFrames(trace);
    let landed = -1;
    for (let k = 2; k <= 240 && landed < 0; k++)
      if (vel(f[k - 1][0], 1) < -1 && vel(f[k][0], 1) > vel(f[k - 1][0], 1) + 1) landed = k;
    assert.ok(landed > 0, 'the ball never landed');
    assert.ok(pos(f[landed][0], 1) > 50 && pos(f[landed][0], 1) < 80,
              `the ball landed at height ${pos(f[landed][0], 1)} in frame ${landed}`);
  } finally {
    await page.close();
  }
});

test('a session recorded in the page, saved and replayed from its URL, gives the same trace byte for byte, ' +
     'and again when restarted',
     async () => {
  const page = await openSized(800, 600, 1, '?trace=1&frames=300');
  let recording, trace;
  try {
    // Drag body 1 while it is still where it starts (paused: the messages are taken when the frames go
    // on), turn, see-through on and off, lift.
    await page.mouse.move(...page.at(320, 253));
    await page.mouse.down();
    await page.mouse.move(...page.at(300, 240), {steps: 5});
    await page.mouse.up();
    await page.click('#pause');
    await page.keyboard.down('ArrowLeft');
    await idle(300);
    await page.keyboard.up('ArrowLeft');
    await page.click('#seethrough');
    await idle(200);
    await page.click('#seethrough');
    await page.keyboard.down('Space');
    await idle(300);
    await page.keyboard.up('Space');
    const s = await waitForState(page, (s) => s.phase === 'ended', 120000, 'the end of the recorded run');
    assert.equal(s.frames, 300);
    trace = await page.evaluate(() => window.caveDemo.traceText());
    // What "Save session" hands the visitor.
    recording = await page.evaluate(async () => {
      let saved = null;
      const click = HTMLAnchorElement.prototype.click;
      HTMLAnchorElement.prototype.click = function () {
        saved = [this.download, this.href];
      };
      document.getElementById('save').click();
      HTMLAnchorElement.prototype.click = click;
      return saved && [saved[0], await (await fetch(saved[1])).text()];
    });
  } finally {
    await page.close();
  }
  assert.ok(recording, 'Save session offered no file');
  assert.equal(recording[0], 'cave-demo-session.txt');
  const text = recording[1];
  for (const line of ['keydown left', 'keyup left', 'keydown shift', 'keyup shift', 'keydown space', 'mousedown',
                      'mousemove', 'mouseup', '301 keydown escape'])
    assert.ok(text.includes(line), `the recording has no "${line}":\n${text}`);
  fs.writeFileSync(path.join(scratch, 'saved session.txt'), text);

  const replay = await openPage(browser);
  try {
    await replay.goto(server.url + '?trace=1&script=' + encodeURIComponent(server.url + 'saved session.txt'));
    let s = await waitForState(replay, (s) => s.phase === 'ended', 180000, 'the end of the replay');
    assert.equal(s.frames, 300);
    sameTrace(await replay.evaluate(() => window.caveDemo.traceText()), trace, 'the replay against the live run');
    // Restart after the end: the same script again from a clean start, the same trace again.
    await replay.click('#restart');
    s = await waitForState(replay, (s) => s.runs === 2 && s.phase === 'ended', 180000, 'the end of the second replay');
    assert.equal(s.frames, 300);
    sameTrace(await replay.evaluate(() => window.caveDemo.traceText()), trace, 'the restarted replay');
  } finally {
    await replay.close();
  }
});

test('the drawing context taken away and given back: the page says so, starts the demo again and draws',
     async () => {
  const page = await openPage(browser);
  try {
    await page.goto(server.url + '?shot=1'); // the canvas keeps what it shows, to be read below
    await waitForState(page, (s) => s.phase === 'running' && s.frames >= 10, 120000, 'the first frames');
    await page.evaluate(() => {
      window.loseContext = document.getElementById('canvas').getContext('webgl2').getExtension('WEBGL_lose_context');
      window.loseContext.loseContext();
    });
    let s = await waitForState(page, (s) => s.contextLost, 30000, 'the page to see the loss');
    assert.match(s.notes[s.notes.length - 1], /took the drawing context away/);
    assert.equal(s.phase, 'running');
    await page.evaluate(() => window.loseContext.restoreContext());
    s = await waitForState(page, (s) => s.runs === 2 && s.frames >= 30, 60000, 'the run after the context is back');
    assert.ok(!s.contextLost);
    assert.match(s.notes[s.notes.length - 1], /drawing context is back/);
    const lit = await page.evaluate(() => {
      const copy = document.createElement('canvas');
      copy.width = 640;
      copy.height = 480;
      const g = copy.getContext('2d');
      g.drawImage(document.getElementById('canvas'), 0, 0);
      const d = g.getImageData(0, 0, 640, 480).data;
      let n = 0;
      for (let i = 0; i < d.length; i += 4) if (d[i] + d[i + 1] + d[i + 2] > 60) n++;
      return n / (640 * 480);
    });
    assert.ok(lit > 0.5, `only ${(100 * lit).toFixed(1)}% of the frame drawn after the context came back`);
  } finally {
    await page.close();
  }
});
