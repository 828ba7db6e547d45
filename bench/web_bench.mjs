// web_bench.mjs -- the browser build's figures in headless Chromium on SwiftShader: frames per second over
// 10 s, time from navigation to the first drawn frame, and the size of app.wasm + app.js (raw and gzipped).
// Not a test: it measures and writes bench/results/web_bench.json (or the file given with --out).
// It also measures the page as phones show it (mobile emulation with touch: 390 x 844 CSS pixels at device
// pixel ratio 3, and 360 x 740 at ratio 2), where the drawing buffer is several times larger.
//
//   bash scripts/web.sh --build-only && node bench/web_bench.mjs [--out FILE] [--runs N] [--phones-only]
//
// Goals: the full 50 frames per second (on the phone sizes too), the first frame within 1 s of navigation,
// at most 1 MB gzipped.
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import zlib from 'node:zlib';
import {ROOT, WEB_DIR, serve, launchBrowser, openPage, waitForState} from '../web/tests/harness.mjs';

const args = process.argv.slice(2);
const option = (name, fallback) => {
  const i = args.indexOf(name);
  return i >= 0 && i + 1 < args.length ? args[i + 1] : fallback;
};
const OUT = option('--out', path.join(ROOT, 'bench', 'results', 'web_bench.json'));
const RUNS = Math.max(1, Number(option('--runs', '5')) || 5);
const FPS_SECONDS = 10;
const PHONES_ONLY = args.includes('--phones-only');
// Phone-sized pages: CSS pixels, device pixel ratio, touch (Chromium's mobile emulation).
const PHONES = [
  {name: '390x844x3', viewport: {width: 390, height: 844, deviceScaleFactor: 3, isMobile: true, hasTouch: true}},
  {name: '360x740x2', viewport: {width: 360, height: 740, deviceScaleFactor: 2, isMobile: true, hasTouch: true}},
];

const median = (xs) => {
  const s = [...xs].sort((a, b) => a - b);
  return s.length % 2 ? s[(s.length - 1) / 2] : (s[s.length / 2 - 1] + s[s.length / 2]) / 2;
};

function sizes() {
  const out = {};
  let raw = 0, gz = 0;
  for (const f of ['app.wasm', 'app.js']) {
    const bytes = fs.readFileSync(path.join(WEB_DIR, f));
    const g = zlib.gzipSync(bytes, {level: 9}).length;
    out[f] = {raw: bytes.length, gzip: g};
    raw += bytes.length;
    gz += g;
  }
  out.total = {raw, gzip: gz};
  const data = fs.readFileSync(path.join(WEB_DIR, 'app.data'));
  out['app.data'] = {raw: data.length, gzip: zlib.gzipSync(data, {level: 9}).length};
  return out;
}

// Navigation to the first presented frame (performance.now() of the page at its first frame report).
async function firstFrame(browser, server) {
  const page = await openPage(browser);
  try {
    await page.goto(server.url + '?frames=5');
    const s = await waitForState(page, (s) => s.phase === 'ended', 60000, 'five frames');
    return s.firstFrameAt;
  } finally {
    await page.close();
  }
}

// Frames presented over FPS_SECONDS of the page's own clock, after a second of warming up, and the mean
// main-thread time of their passes.
async function framesPerSecond(browser, server, query, viewport) {
  const page = await openPage(browser);
  try {
    if (viewport) await page.setViewport(viewport);
    await page.goto(server.url + query);
    await waitForState(page, (s) => s.phase === 'running' && s.frames >= 1, 60000, 'the first frame');
    await new Promise((r) => setTimeout(r, 1000));
    const read = () => page.evaluate(() => [performance.now(), window.caveDemo.frames, window.caveDemo.passMs]);
    const start = await read();
    await new Promise((r) => setTimeout(r, FPS_SECONDS * 1000));
    const end = await read();
    const buffer = await page.$eval('#canvas', (c) => [c.width, c.height]);
    return {fps: (end[1] - start[1]) / ((end[0] - start[0]) / 1000),
            passMs: (end[2] - start[2]) / Math.max(1, end[1] - start[1]), buffer};
  } finally {
    await page.close();
  }
}

const server = await serve([WEB_DIR]);
const browser = await launchBrowser();
// Frames per second at each phone size.
async function phoneFigures() {
  const phones = {};
  for (const phone of PHONES) {
    const r = await framesPerSecond(browser, server, '', phone.viewport);
    phones[phone.name] = {fps: Number(r.fps.toFixed(2)), passMs: Number(r.passMs.toFixed(2)),
                          drawingBuffer: r.buffer.join(' x ')};
    console.log(`web_bench: ${phone.name}: ${phones[phone.name].fps} fps, drawing buffer ${phones[phone.name].drawingBuffer}`);
  }
  return phones;
}

try {
  if (PHONES_ONLY) {
    const result = {date: new Date().toISOString(),
                    machine: {cpus: os.cpus().length, model: os.cpus()[0] && os.cpus()[0].model, loadavg: os.loadavg()},
                    chromium: await browser.version(), phones: await phoneFigures(), goal: 50, seconds: FPS_SECONDS};
    fs.mkdirSync(path.dirname(OUT), {recursive: true});
    fs.writeFileSync(OUT, JSON.stringify(result, null, 2) + '\n');
    console.log(JSON.stringify(result, null, 2));
  } else {
    await everything();
  }
} finally {
  await browser.close();
  await server.close();
}

async function everything() {
  const size = sizes();
  const cold = await firstFrame(browser, server); // the first page of a fresh browser: its GPU side starts too
  const warm = [];
  for (let i = 0; i < RUNS; i++) warm.push(await firstFrame(browser, server));
  const fps = await framesPerSecond(browser, server, '');
  const fpsVsync = await framesPerSecond(browser, server, '?timing=vsync');
  const phones = await phoneFigures();
  const result = {
    date: new Date().toISOString(),
    machine: {cpus: os.cpus().length, model: os.cpus()[0] && os.cpus()[0].model, loadavg: os.loadavg()},
    chromium: await browser.version(),
    framesPerSecond: {passesWhenDue: Number(fps.fps.toFixed(2)), passPerAnimationFrame: Number(fpsVsync.fps.toFixed(2)),
                      goal: 50, seconds: FPS_SECONDS},
    // Main-thread milliseconds of a pass that presents a frame (step, drawing calls, present); the
    // rasterizing runs in the browser's GPU process.
    passMsPerFrame: Number(fps.passMs.toFixed(2)),
    phones,
    firstFrameMs: {coldBrowser: Math.round(cold), warmMedian: Math.round(median(warm)),
                   warmRuns: warm.map(Math.round), goal: 1000},
    sizeBytes: {...size, goalGzip: 1000000},
  };
  fs.mkdirSync(path.dirname(OUT), {recursive: true});
  fs.writeFileSync(OUT, JSON.stringify(result, null, 2) + '\n');
  console.log(JSON.stringify(result, null, 2));
  console.log(`web_bench: written to ${OUT}`);
}
