// phone.test.mjs -- the page on phones and tablets, in headless Chromium's mobile emulation with touch:
// fingers drag spheres as the mouse does, the on-screen keys are the keyboard's, the layout fits from 320
// CSS pixels wide, a run shared as a link replays the same trace elsewhere, the page works offline after one
// visit and takes a new build's version, a page under a browser's virtual time runs to its end, and a cave
// whose meshes are all in child frames is explained.
//
// Needs the browser build (build/web/, bash scripts/web.sh --build-only) and the native cave-demo
// (build/release). Run: node --test web/tests/phone.test.mjs
import {test, before, after} from 'node:test';
import assert from 'node:assert/strict';
import {execFileSync, spawn} from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import {ROOT, WEB_DIR, CHROMIUM, serve, launchBrowser, openPage, waitForState, pictureMapping, drawingBuffer,
  traceFrames, pos, vel} from './harness.mjs';

const RELEASE = path.join(ROOT, 'build', 'release');
const NATIVE = process.env.CAVE_DEMO_EXE || path.join(RELEASE, 'app', 'cave-demo');
const ASSETS = path.join(ROOT, 'assets');
const SHOTS = process.env.CAVE_WEB_SHOTS || ''; // a folder for screenshots of the page, when set
const DT = 1 / 60;

const PHONE = {width: 390, height: 844, deviceScaleFactor: 3, isMobile: true, hasTouch: true};

let server;
let browser;
let scratch;

before(async () => {
  for (const f of ['index.html', 'app.js', 'app.wasm', 'app.data', 'sw.js', 'manifest.webmanifest'])
    assert.ok(fs.existsSync(path.join(WEB_DIR, f)), `${f} is missing in ${WEB_DIR}: run scripts/web.sh --build-only`);
  assert.ok(fs.existsSync(NATIVE), `${NATIVE} is missing (build the release preset)`);
  scratch = fs.mkdtempSync(path.join(os.tmpdir(), 'cave-phone-'));
  server = await serve([WEB_DIR, scratch]);
  browser = await launchBrowser();
});

after(async () => {
  if (browser) await browser.close();
  if (server) await server.close();
  if (scratch) fs.rmSync(scratch, {recursive: true, force: true});
});

const idle = (ms) => new Promise((r) => setTimeout(r, ms));
const framesNow = (page) => page.evaluate(() => window.caveDemo.frames);
async function waitFrames(page, target) {
  await waitForState(page, new Function('s', `return s.frames >= ${target};`), 120000, `frame ${target}`);
}

// Fingers on the emulated touch screen, several at once: Chromium takes the whole set of points touching
// the screen with each event, and a point missing from it has been lifted.
async function fingers(page) {
  const client = await page.createCDPSession();
  const points = new Map();
  const send = (type) => client.send('Input.dispatchTouchEvent', {
    type, touchPoints: type === 'touchEnd' ? [] : [...points].map(([id, [x, y]]) => ({id, x, y})),
  });
  return {
    down: (id, [x, y]) => (points.set(id, [x, y]), send('touchStart')),
    move: (id, [x, y]) => (points.set(id, [x, y]), send('touchMove')),
    up: (id) => (points.delete(id), send(points.size ? 'touchMove' : 'touchEnd')),
  };
}

// The middle of an element, in CSS pixels.
async function centre(page, selector) {
  const box = await (await page.$(selector)).boundingBox();
  return [box.x + box.width / 2, box.y + box.height / 2];
}

// Presses Step until `frame` frames were presented (the page is paused).
async function stepTo(page, frame) {
  while ((await framesNow(page)) < frame) {
    const next = (await framesNow(page)) + 1;
    await page.evaluate(() => document.getElementById('step').click());
    await waitFrames(page, next);
  }
  assert.equal(await framesNow(page), frame);
}

// Runs the native demo headless on `script` for `frames` frames; returns its trace.
function nativeTrace(name, script, frames) {
  const dir = path.join(scratch, name);
  fs.mkdirSync(dir, {recursive: true});
  fs.writeFileSync(path.join(dir, 'script.txt'), script);
  execFileSync(NATIVE, ['--data', ASSETS, '--headless', '--script', 'script.txt', '--frames', String(frames),
                        '--trace', 'trace.csv'], {cwd: dir, stdio: ['ignore', 'ignore', 'pipe'], timeout: 300000});
  return fs.readFileSync(path.join(dir, 'trace.csv'), 'utf8');
}

function sameTrace(ours, theirs, what) {
  if (ours === theirs) return;
  const a = ours.split('\n'), b = theirs.split('\n');
  let i = 0;
  while (i < a.length && i < b.length && a[i] === b[i]) i++;
  assert.fail(`${what}: the traces part at row ${i} (${a.length} and ${b.length} rows)\n${a[i]}\n${b[i]}`);
}

// The events of a recorded session, without its comments.
const events = (text) => text.split('\n').filter((l) => l && !l.startsWith('#'));

test('on a phone a finger or a pen drags a sphere as the mouse does, a touch on a bar and a second finger do ' +
     'nothing, and the on-screen keys are the keyboard: held for some frames, and two at once to drive and turn',
     async () => {
  const page = await openPage(browser);
  try {
    await page.setViewport(PHONE);
    // Paused as the run starts, before its first frame: what the fingers do waits for the frames that Step
    // lets through.
    await page.evaluateOnNewDocument(() => {
      let module;
      Object.defineProperty(window, 'Module', {
        configurable: true,
        get: () => module,
        set: (m) => {
          module = m;
          if (m.pausedAtStart) return; // the program's script sets Module again
          m.pausedAtStart = true;
          const started = m.caveStarted;
          m.caveStarted = (...args) => {
            started(...args);
            document.getElementById('pause').click();
          };
        },
      });
    });
    await page.goto(server.url + '?trace=1&frames=700');
    let s = await waitForState(page, (s) => s.phase === 'running' && s.paused, 120000, 'the paused run');
    assert.ok(s.touch, 'the on-screen keys are not shown on a touch screen');
    assert.equal(s.frames, 0);
    await stepTo(page, 10);
    const {box, at, clientAt} = await pictureMapping(page);
    const touch = await fingers(page);

    // Upright, the picture has bars above and below it. A finger pressed on the upper bar, slid onto the
    // picture and lifted there picks nothing (as a mouse pressed on a bar).
    await touch.down(1, [box.x + 100, box.y + 4]);
    await touch.move(1, at(300, 200));
    await touch.move(1, at(330, 253));
    await touch.up(1);
    // Body 1, the lowest sphere of the column, is drawn about client pixel (320, 253) in these frames: a
    // finger drags it 40 pixels right. A second finger comes down on the picture meanwhile, moves and goes.
    await touch.down(1, at(320, 253));
    await touch.move(1, at(330, 253));
    await touch.down(2, at(250, 300));
    await touch.move(2, at(200, 320));
    await touch.move(1, at(340, 253));
    await touch.up(2);
    await touch.move(1, at(350, 253));
    await touch.move(1, at(360, 253));
    await touch.up(1);
    await stepTo(page, 12);
    // A pen does the same: it drags body 2 (drawn 17 pixels higher) 20 pixels up.
    const pen = await page.createCDPSession();
    const penAt = (type, [x, y], buttons) =>
      pen.send('Input.dispatchMouseEvent', {type, x, y, button: 'left', buttons, clickCount: 1, pointerType: 'pen'});
    const penPath = [at(320, 236), at(320, 226), at(320, 216)];
    const [p0, p1, p2] = penPath.map((p) => clientAt(...p).join(' ')); // a CSS pixel covers 1.6 client pixels
    await penAt('mouseMoved', penPath[0], 0);
    await penAt('mousePressed', penPath[0], 1);
    await penAt('mouseMoved', penPath[1], 1);
    await penAt('mouseMoved', penPath[2], 1);
    await penAt('mouseReleased', penPath[2], 0);
    await stepTo(page, 20);
    // Arrow up held on the screen for 15 frames.
    const up = await centre(page, '#key-up');
    await touch.down(3, up);
    await stepTo(page, 35);
    await touch.up(3);
    await stepTo(page, 40);
    await page.evaluate(() => document.getElementById('pause').click());

    // Once the ball rests on the floor, hold arrow up and arrow left together: it rolls, and the camera
    // turns while it does.
    await waitFrames(page, 560);
    const left = await centre(page, '#key-left');
    await touch.down(4, up);
    await touch.down(5, left);
    const driveStart = await framesNow(page);
    await waitFrames(page, driveStart + 40);
    await touch.up(5);
    await touch.up(4);
    const driveEnd = await framesNow(page);
    s = await waitForState(page, (s) => s.phase === 'ended', 120000, 'the end of the run');
    assert.equal(s.frames, 700);
    if (SHOTS) await page.screenshot({path: path.join(SHOTS, 'phone-touch-run.png')});
    const trace = await page.evaluate(() => window.caveDemo.traceText());
    const recorded = events(await page.evaluate(() => window.caveDemo.recordingText()));

    // The keys arrived as the keyboard's, at the frames they were held: 21 (taken before frame 21) to 36.
    assert.ok(recorded.includes('21 keydown up') && recorded.includes('36 keyup up'), recorded.join('\n'));
    const both = recorded.filter((l) => / key(down|up) (up|left)$/.test(l) && Number(l.split(' ')[0]) > 40);
    assert.equal(both.length, 4, both.join('\n'));
    assert.ok(both[0].endsWith('keydown up') && both[1].endsWith('keydown left'), both.join('\n'));
    // Nothing but the one finger's drag reached the demo as a press or release.
    assert.deepEqual(recorded.filter((l) => / mouse(down|up) /.test(l)),
                     ['11 mouseup 330 253', '11 mousedown 320 253', '11 mouseup 360 253', `13 mousedown ${p0}`,
                      `13 mouseup ${p2}`]);

    // The whole run against the native demo given the same drags by the mouse and the same keys by the
    // keyboard, at the same frames: the same trace, byte for byte. (The press on the bar reached nothing,
    // the release over the picture that ended it and the moves of a finger with no press move no sphere.)
    const script = ['11 mousemove 320 253', '11 mousedown 320 253', '11 mousemove 330 253', '11 mousemove 340 253',
                    '11 mousemove 350 253', '11 mousemove 360 253', '11 mouseup 360 253', `13 mousemove ${p0}`,
                    `13 mousedown ${p0}`, `13 mousemove ${p1}`, `13 mousemove ${p2}`, `13 mouseup ${p2}`,
                    '21 keydown up',
                    '36 keyup up', ...both].join('\n') + '\n';
    sameTrace(trace, nativeTrace('touch-as-mouse', script, 700), 'the touch run against the mouse and keys');

    // And the drag moved body 1: 40 pixels right at its depth, in frame 11 only.
    const f = traceFrames(trace);
    const shift = [0, 1, 2].map((a) => pos(f[11][1], a) - pos(f[10][1], a) - vel(f[11][1], a) * DT);
    assert.ok(Math.abs(shift[0] - ((66.28125 + 8) * 40) / 320) < 0.05 && Math.abs(shift[1]) < 0.05,
              `body 1 was shifted by ${shift}`);
    // Held together, up and left drove the ball off to the left of where the camera first looked.
    const gain = [0, 2].map((a) => vel(f[driveEnd][0], a) - vel(f[driveStart][0], a));
    assert.ok(Math.hypot(...gain) > 2, `the ball gained only ${gain} while driven`);
    assert.ok(gain[0] < -0.1 * Math.abs(gain[1]), `the drive points along ${gain}: the camera did not turn left`);
  } finally {
    await page.close();
  }
});

// The visible controls of the page (the bar's, the menu's when open, the on-screen keys) with their boxes.
function visibleControls(page) {
  return page.evaluate(() => {
    const out = [];
    for (const e of document.querySelectorAll('button, select, label.button, summary, input[type=text]')) {
      const style = getComputedStyle(e);
      const r = e.getBoundingClientRect();
      if (r.width === 0 || r.height === 0 || style.visibility === 'hidden' || e.closest('[hidden]')) continue;
      out.push({id: e.id || e.textContent.trim(), x: r.x, y: r.y, w: r.width, h: r.height,
                key: e.classList.contains('key'), inMenu: !!e.closest('#menu')});
    }
    return out;
  });
}

function checkLayout(controls, width, height, what) {
  for (const c of controls) {
    assert.ok(c.x >= -0.5 && c.y >= -0.5 && c.x + c.w <= width + 0.5 && c.y + c.h <= height + 0.5,
              `${what}: ${c.id} is cut off at (${c.x}, ${c.y}) ${c.w} x ${c.h}`);
  }
  for (let i = 0; i < controls.length; i++)
    for (let j = i + 1; j < controls.length; j++) {
      const a = controls[i], b = controls[j];
      const ox = Math.min(a.x + a.w, b.x + b.w) - Math.max(a.x, b.x);
      const oy = Math.min(a.y + a.h, b.y + b.h) - Math.max(a.y, b.y);
      assert.ok(ox <= 0.5 || oy <= 0.5, `${what}: ${a.id} and ${b.id} overlap`);
    }
}

test('the layout fits at 320x568, 360x740 and 740x360 with touch and at 1280x800 with a mouse: no two ' +
     'controls overlap, none is cut off, touch targets are at least 44 pixels, the menu reaches every ' +
     'control, the on-screen keys show only with touch, and the picture refits when the phone turns',
     async () => {
  const sizes = [[320, 568, true], [360, 740, true], [740, 360, true], [1280, 800, false]];
  for (const [width, height, touch] of sizes) {
    const page = await openPage(browser);
    const what = `${width}x${height}${touch ? ' (touch)' : ''}`;
    try {
      await page.setViewport({width, height, deviceScaleFactor: 2, isMobile: touch, hasTouch: touch});
      await page.goto(server.url);
      await waitForState(page, (s) => s.frames >= 2, 120000, 'the first frames');
      let controls = await visibleControls(page);
      checkLayout(controls, width, height, what);
      const keys = controls.filter((c) => c.key);
      assert.equal(keys.length, touch ? 6 : 0, `${what}: ${keys.length} on-screen keys shown`);
      if (touch) for (const c of controls) assert.ok(c.w >= 44 && c.h >= 44, `${what}: ${c.id} is ${c.w} x ${c.h}`);
      // Every control of the bar can be reached: in the bar itself, or in the menu (scrolled to it).
      const all = await page.$$eval('#menu button, #menu select, #menu label.button, #menu summary',
                                    (list) => list.map((e) => e.id || e.textContent.trim()));
      if (controls.some((c) => c.id === 'menu-button')) {
        await page.tap('#menu-button');
        controls = await visibleControls(page);
        checkLayout(controls, width, height, what + ', menu open');
        assert.equal(controls.filter((c) => c.key).length, 0, `${what}: on-screen keys under the open menu`);
        for (const id of all) {
          const inView = await page.evaluate((id) => {
            const e = [...document.querySelectorAll('#menu button, #menu select, #menu label.button, #menu summary')]
              .find((e) => (e.id || e.textContent.trim()) === id);
            e.scrollIntoView({block: 'nearest'});
            const r = e.getBoundingClientRect();
            const hit = document.elementFromPoint(r.x + r.width / 2, r.y + r.height / 2);
            return r.bottom <= innerHeight + 0.5 && r.top >= -0.5 && (hit === e || e.contains(hit));
          }, id);
          assert.ok(inView, `${what}: ${id} cannot be reached in the menu`);
        }
        if (SHOTS) await page.screenshot({path: path.join(SHOTS, `phone-${width}x${height}-menu.png`)});
        await page.tap('#menu-button');
      } else {
        for (const id of all) assert.ok(controls.some((c) => c.id === id), `${what}: ${id} is not in view`);
      }
      if (SHOTS) await page.screenshot({path: path.join(SHOTS, `phone-${width}x${height}.png`)});
      // Turned: the canvas takes the new size, its drawing buffer follows.
      if (width === 360) {
        await page.setViewport({width: height, height: width, deviceScaleFactor: 2, isMobile: true, hasTouch: true});
        const target = (await framesNow(page)) + 3;
        await waitFrames(page, target);
        const css = await page.$eval('#canvas', (c) => [c.clientWidth, c.clientHeight, c.width, c.height]);
        assert.ok(css[0] > css[1], `the canvas is ${css[0]} x ${css[1]} CSS pixels after turning`);
        assert.deepEqual(css.slice(2), drawingBuffer(css[0] * 2, css[1] * 2), 'the drawing buffer after turning');
        checkLayout(await visibleControls(page), height, width, what + ' turned');
      }
    } finally {
      await page.close();
    }
  }
});

test('a run shared as a link replays the same trace byte for byte in a fresh page; a session too long ' +
     'for a link offers the file', async () => {
  const page = await openPage(browser);
  let link, trace;
  try {
    await page.setViewport(PHONE);
    await page.goto(server.url + '?trace=1&frames=150&cave=steps');
    await waitForState(page, (s) => s.frames >= 20, 120000, 'the first frames');
    const {at} = await pictureMapping(page);
    const touch = await fingers(page);
    await touch.down(1, at(320, 240));
    await touch.move(1, at(290, 230));
    await touch.up(1);
    await touch.down(2, await centre(page, '#key-right'));
    await idle(400);
    await touch.up(2);
    await touch.down(3, await centre(page, '#key-space'));
    await idle(300);
    await touch.up(3);
    const s = await waitForState(page, (s) => s.phase === 'ended', 120000, 'the end of the run');
    trace = await page.evaluate(() => window.caveDemo.traceText());
    await page.tap('#menu-button');
    await page.tap('#share');
    await waitForState(page, (s) => s.sharedLink !== null, 30000, 'the link');
    link = await page.evaluate(() => window.caveDemo.sharedLink);
    assert.equal(await page.$eval('#share-link', (e) => e.value), link);
    assert.ok(link.startsWith(server.url + '#cave=steps&run='), link);
    assert.ok(!link.includes('trace=1') && link.length < 32 * 1024, link);
    assert.equal(s.frames, 150);

    // A recording too long for a link: the page says so and offers it as a file.
    await page.evaluate(() => {
      let text = '';
      for (let i = 1; i < 40000; i++) text += `${i} mousemove ${(i * 7919) % 640} ${(i * 104729) % 480}\n`;
      window.caveDemo.recordingText = () => text;
      window.caveDemo.sharedLink = null;
    });
    await page.tap('#menu-button');
    await page.tap('#share');
    await page.waitForFunction(() => /too long for a link/.test(document.getElementById('share-text').textContent),
                               {timeout: 30000});
    assert.equal(await page.evaluate(() => window.caveDemo.sharedLink), null);
    assert.ok(await page.$eval('#share-panel a[download]', (a) => a.download.endsWith('.txt')));
  } finally {
    await page.close();
  }

  // Another browser profile, nothing shared but the link (with the trace asked for).
  const context = await browser.createBrowserContext();
  try {
    const fresh = await context.newPage();
    fresh.caveLog = [];
    fresh.on('console', (m) => fresh.caveLog.push(`${m.type()}: ${m.text()}`));
    await fresh.setViewport({width: 1280, height: 800});
    await fresh.goto(link.replace('#', '?trace=1#'));
    const s = await waitForState(fresh, (s) => s.phase === 'ended', 180000, 'the end of the linked run');
    assert.ok(s.sharedRun);
    assert.equal(s.cave, 'steps');
    assert.equal(s.frames, 150);
    sameTrace(await fresh.evaluate(() => window.caveDemo.traceText()), trace, 'the linked run against the recorded one');
  } finally {
    await context.close();
  }
});

test('after one visit the page starts and runs with the network cut, and a new build replaces the ' +
     'offline copy once the page has said so', async () => {
  // A copy of the build, served on its own, that the test rebuilds below.
  const site = path.join(scratch, 'site');
  fs.cpSync(WEB_DIR, site, {recursive: true});
  const own = await serve([site]); // an origin of its own: nothing cached by the other tests' pages
  const page = await openPage(browser);
  try {
    await page.setViewport({width: 740, height: 360, isMobile: true, hasTouch: true});
    await page.goto(own.url + '?frames=0');
    await waitForState(page, (s) => s.offline === 'ready', 120000, 'the offline copy');
    const version = (f) => /const VERSION = '([0-9a-f]+)'/.exec(fs.readFileSync(path.join(f, 'sw.js'), 'utf8'))[1];
    const first = version(site);
    const cached = await page.evaluate(async () => {
      const names = await caches.keys();
      const files = names.length === 1 ? (await (await caches.open(names[0])).keys()).map((r) => new URL(r.url).pathname) : [];
      return {names, files};
    });
    assert.deepEqual(cached.names, ['cave-demo-' + first]);
    for (const f of ['/index.html', '/app.wasm', '/app.data', '/gallery/tube.x', '/manifest.webmanifest'])
      assert.ok(cached.files.includes(f), `${f} is not in the offline copy: ${cached.files.join(' ')}`);
    // Chromium finds the page installable (its manifest, icons and service worker).
    const client = await page.createCDPSession();
    const {installabilityErrors} = await client.send('Page.getInstallabilityErrors');
    assert.deepEqual(installabilityErrors, []);

    // Offline: the page, the program, its data and the gallery come from the copy.
    await page.setOfflineMode(true);
    await page.goto(own.url + '?cave=bowl#offline');
    let s = await waitForState(page, (s) => s.phase === 'running' && s.frames >= 10, 120000, 'frames offline');
    assert.equal(s.cave, 'bowl');
    await page.setOfflineMode(false);

    // A rebuilt page: another style sheet, and the list written again as the build writes it.
    fs.appendFileSync(path.join(site, 'style.css'), '\n/* rebuilt */\n');
    execFileSync('cmake', [`-DDIR=${site}`, `-DTEMPLATE=${path.join(ROOT, 'web', 'sw.js')}`,
                           `-DFILES=${fs.readFileSync(path.join(WEB_DIR, 'sw.js'), 'utf8').match(/const FILES = \[(.*)\];/)[1]
                             .split(', ').map((f) => f.replace(/'/g, '')).join(';')}`,
                           '-P', path.join(ROOT, 'web', 'offline.cmake')]);
    const second = version(site);
    assert.notEqual(second, first);
    await page.reload();
    s = await waitForState(page, (s) => s.offline === 'update', 120000, 'the new version to be ready');
    assert.ok(await page.$eval('#update', (e) => !e.hidden));
    // Until the visitor reloads, the old version is what the page runs.
    assert.ok(!(await (await page.evaluate(() => fetch('style.css').then((r) => r.text())))).includes('rebuilt'));
    await Promise.all([page.waitForNavigation(), page.tap('#update-now')]);
    await waitForState(page, (s) => s.frames >= 2, 120000, 'the new version running');
    await page.waitForFunction((name) => caches.keys().then((k) => k.length === 1 && k[0] === name),
                               {timeout: 30000}, 'cave-demo-' + second);
    assert.ok((await page.evaluate(() => fetch('style.css').then((r) => r.text()))).includes('rebuilt'));
  } finally {
    await page.close();
    await own.close();
  }
});

test('a page under a browser\'s virtual time (as screenshot services run pages) reaches frame 300 and its ' +
     'screenshot is written', async () => {
  const shot = path.join(scratch, 'virtual.png');
  const dom = await new Promise((resolve, reject) => {
    const child = spawn(CHROMIUM, ['--headless', '--no-sandbox', '--use-angle=swiftshader', '--enable-unsafe-swiftshader',
                                   `--user-data-dir=${path.join(scratch, 'virtual-profile')}`, '--window-size=800,600',
                                   '--virtual-time-budget=15000', `--screenshot=${shot}`, '--dump-dom',
                                   server.url + '?frames=300'], {stdio: ['ignore', 'pipe', 'ignore']});
    let out = '';
    child.stdout.on('data', (d) => (out += d));
    const timer = setTimeout(() => {
      child.kill('SIGKILL');
      reject(new Error('the page under virtual time never finished (killed after 150 s)'));
    }, 150000);
    child.on('exit', () => {
      clearTimeout(timer);
      resolve(out);
    });
  });
  assert.match(dom, /The demo has ended: after 300 frames/);
  const png = fs.readFileSync(shot);
  assert.equal(png.subarray(1, 4).toString(), 'PNG');
  assert.ok(png.length > 20000, `the screenshot has only ${png.length} bytes`);
});

test('a cave whose meshes are all in child frames: the page says that its root frame holds none, and how ' +
     'many meshes and faces the file holds', async () => {
  const mesh = (name, faces) => `Mesh ${name} { 3; 0;0;0;, 1;0;0;, 0;1;0;;\n ${faces};` +
    Array.from({length: faces}, () => ' 3;0,1,2;').join(',') + '; }\n';
  const room = 'xof 0303txt 0032\nFrame Room {\n Frame Walls { ' + mesh('North', 40) + mesh('South', 40) +
               ' Frame Trim { ' + mesh('Trim', 12) + ' } }\n Frame Floor { ' + mesh('Floor', 80) + ' } }\n';
  fs.writeFileSync(path.join(scratch, 'room.x'), room);
  const page = await openPage(browser);
  try {
    await page.setViewport(PHONE);
    await page.goto(server.url);
    await waitForState(page, (s) => s.frames >= 2, 120000, 'the first frames');
    await (await page.$('#files')).uploadFile(path.join(scratch, 'room.x'));
    const s = await waitForState(page, (s) => s.runs === 2 && s.frames >= 2, 60000, 'the run on room.x');
    assert.equal(s.triangles, 0);
    const note = s.notes[s.notes.length - 1];
    assert.match(note, /^room\.x: its root frame holds no mesh, and the demo builds its cave from the first mesh of the root frame alone/);
    assert.match(note, /The file holds 4 other meshes with 172 faces \(4 frames in all\)/);
  } finally {
    await page.close();
  }
});
