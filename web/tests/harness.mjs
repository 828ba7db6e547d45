// harness.mjs -- what the browser tests and the benchmark share: a static file server on 127.0.0.1 for
// build/web/ (and test files beside it), headless Chromium on SwiftShader, and waiting on the page's state
import http from 'node:http';
import fs from 'node:fs';
import path from 'node:path';
import {fileURLToPath} from 'node:url';
import puppeteer from 'puppeteer-core';

export const ROOT = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '..', '..');
export const WEB_DIR = process.env.CAVE_WEB_DIR || path.join(ROOT, 'build', 'web');
export const CHROMIUM = process.env.CHROMIUM || '/usr/bin/chromium';
// WebGL2 without a GPU: ANGLE on SwiftShader.
export const CHROMIUM_ARGS = ['--headless=new', '--no-sandbox', '--use-angle=swiftshader',
                              '--enable-unsafe-swiftshader', '--window-size=800,900'];

const TYPES = {'.html': 'text/html', '.js': 'text/javascript', '.wasm': 'application/wasm',
               '.css': 'text/css', '.txt': 'text/plain', '.data': 'application/octet-stream',
               '.png': 'image/png', '.json': 'application/json', '.svg': 'image/svg+xml',
               '.webmanifest': 'application/manifest+json'};

// Serves the files of `dirs` (first match wins) on 127.0.0.1 at a free port, under the path `prefix` (a
// static host's sub-path: nothing outside it is served). Returns {url, close()}, url ending in the prefix.
export function serve(dirs, prefix = '/') {
  const roots = dirs.map((d) => path.resolve(d));
  const server = http.createServer((req, res) => {
    let name;
    try {
      name = decodeURIComponent(new URL(req.url, 'http://127.0.0.1').pathname);
    } catch (e) {
      res.writeHead(400).end();
      return;
    }
    if (!name.startsWith(prefix)) {
      res.writeHead(404).end('not found');
      return;
    }
    name = '/' + name.slice(prefix.length);
    if (name.endsWith('/')) name += 'index.html';
    for (const root of roots) {
      const file = path.resolve(root, '.' + name);
      if (!file.startsWith(root + path.sep)) break; // nothing outside the served folders
      if (fs.existsSync(file) && fs.statSync(file).isFile()) {
        res.writeHead(200, {'Content-Type': TYPES[path.extname(file)] || 'application/octet-stream',
                            'Cache-Control': 'no-store'});
        fs.createReadStream(file).pipe(res);
        return;
      }
    }
    res.writeHead(404).end('not found');
  });
  return new Promise((resolve) => {
    server.listen(0, '127.0.0.1', () => {
      resolve({url: `http://127.0.0.1:${server.address().port}${prefix}`,
               close: () => new Promise((r) => server.close(r))});
    });
  });
}

export async function launchBrowser() {
  return puppeteer.launch({executablePath: CHROMIUM, headless: true, args: CHROMIUM_ARGS,
                           protocolTimeout: 300000});
}

// A new page whose console errors and page errors are kept in page.cave.log.
export async function openPage(browser) {
  const page = await browser.newPage();
  await page.bringToFront(); // key events go to the focused page only
  await page.setViewport({width: 800, height: 900});
  page.caveLog = [];
  page.on('console', (m) => page.caveLog.push(`${m.type()}: ${m.text()}`));
  page.on('pageerror', (e) => page.caveLog.push(`pageerror: ${e.message}`));
  return page;
}

// Waits until the page's state satisfies `predicate` (a function of window.caveDemo, run in the page), or
// the demo failed, or `timeoutMs` passed. Returns the state.
export async function waitForState(page, predicate, timeoutMs, what) {
  try {
    await page.waitForFunction(
        (source) => {
          const s = window.caveDemo;
          return s && (s.phase === 'failed' || (0, eval)('(' + source + ')')(s));
        },
        {timeout: timeoutMs, polling: 100}, predicate.toString());
  } catch (e) {
    const s = await page.evaluate(() => window.caveDemo && {...window.caveDemo});
    throw new Error(`timed out waiting for ${what}: state ${JSON.stringify(s)}\n${page.caveLog.join('\n')}`);
  }
  const s = await page.evaluate(() => ({...window.caveDemo}));
  if (s.phase === 'failed') throw new Error(`the demo failed: ${s.failure}\n${page.caveLog.join('\n')}`);
  return s;
}

// The size of the demo's 640 x 480 picture placed in a drawable of dw x dh pixels (aspect kept, centred).
function placed(dw, dh) {
  if (dw * 480 >= dh * 640) return [Math.min(dw, Math.max(1, Math.floor((640 * dh + 240) / 480))), dh];
  return [dw, Math.min(dh, Math.max(1, Math.floor((480 * dw + 320) / 640)))];
}

// The canvas's drawing buffer for a canvas of dw x dh device pixels: a picture larger than 640 x 480 and
// not a whole multiple of it is drawn at the whole multiple below it, the bars in proportion, and the
// browser stretches the canvas the rest of the way.
export function drawingBuffer(dw, dh) {
  const [pw, ph] = placed(dw, dh);
  if (pw <= 640 || ph <= 480 || (pw % 640 === 0 && ph % 480 === 0 && pw / 640 === ph / 480)) return [dw, dh];
  if (dw * 480 >= dh * 640) {
    const h = Math.max(1, Math.floor(ph / 480)) * 480;
    return [Math.floor((dw * h + Math.floor(dh / 2)) / dh), h];
  }
  const w = Math.max(1, Math.floor(pw / 640)) * 640;
  return [w, Math.floor((dh * w + Math.floor(dw / 2)) / dw)];
}

// Where the page draws client pixel (x, y) of the demo's 640 x 480 frame: the frame is scaled into the
// canvas's drawing buffer (its CSS size times the device pixel ratio, capped by drawingBuffer) with its
// aspect kept, centred, in whole device pixels, and a point maps back through the device pixel under it. Returns at(x, y) -> a whole
// CSS pixel [page x, page y] that maps back to exactly (x, y) (or the nearest when none does), clientAt(page
// x, page y) -> the client pixel under a page point, and the canvas's box.
export async function pictureMapping(page) {
  const box = await (await page.$('#canvas')).boundingBox();
  const ratio = await page.evaluate(() => window.devicePixelRatio);
  const cw = Math.round(box.width), ch = Math.round(box.height);
  const [dw, dh] = drawingBuffer(Math.round(box.width * ratio), Math.round(box.height * ratio));
  const [pw, ph] = placed(dw, dh);
  const px = Math.floor((dw - pw) / 2), py = Math.floor((dh - ph) / 2);
  const back = (cssX, cssY) => {
    const dx = Math.floor(((2 * cssX + 1) * dw) / (2 * cw)), dy = Math.floor(((2 * cssY + 1) * dh) / (2 * ch));
    return [Math.floor(((2 * (dx - px) + 1) * 640) / (2 * pw)), Math.floor(((2 * (dy - py) + 1) * 480) / (2 * ph))];
  };
  const at = (x, y) => {
    const guessX = Math.floor(((px + ((x + 0.5) * pw) / 640) * cw) / dw);
    const guessY = Math.floor(((py + ((y + 0.5) * ph) / 480) * ch) / dh);
    for (let ox = -2; ox <= 2; ox++)
      for (let oy = -2; oy <= 2; oy++) {
        const [bx, by] = back(guessX + ox, guessY + oy);
        if (bx === x && by === y) return [box.x + guessX + ox, box.y + guessY + oy];
      }
    return [box.x + guessX, box.y + guessY]; // off the picture (a point above or beside it)
  };
  // The client pixel a page point (whole CSS pixels) maps to: not every client pixel has a CSS pixel of its
  // own when a CSS pixel covers more than one of them.
  const clientAt = (pageX, pageY) => back(Math.floor(pageX - box.x), Math.floor(pageY - box.y));
  return {box, at, clientAt};
}

// Makes the page's canvas exactly width x height CSS pixels (the bar of controls above it takes what it
// needs at that width) at the device pixel ratio `ratio`; the page is loaded. Returns pictureMapping.
export async function sizeCanvas(page, width, height, ratio = 1) {
  await page.setViewport({width, height: height + 300, deviceScaleFactor: ratio});
  const top = await page.$eval('#screen', (e) => e.getBoundingClientRect().top);
  await page.setViewport({width, height: height + Math.ceil(top), deviceScaleFactor: ratio});
  const mapping = await pictureMapping(page);
  if (Math.round(mapping.box.width) !== width || Math.round(mapping.box.height) !== height)
    throw new Error(`the canvas is ${mapping.box.width} x ${mapping.box.height}, not ${width} x ${height}`);
  return mapping;
}

// The body trace's rows grouped by frame: frames[k][b] is the array of numbers of body b after step k.
export function traceFrames(text) {
  const lines = text.split('\n').filter((l) => l.length > 0);
  if (lines.length === 0 || lines[0].split(',')[0] !== 'frame') throw new Error('not a body trace');
  const frames = [];
  for (const line of lines.slice(1)) {
    const v = line.split(',').map(Number);
    if (!frames[v[0]]) frames[v[0]] = [];
    frames[v[0]][v[1]] = v;
  }
  return frames;
}
// A trace row's position and velocity along an axis (0 x, 1 y, 2 z).
export const pos = (row, axis) => row[11 + axis];
export const vel = (row, axis) => row[14 + axis];
