// site.test.mjs -- the page as a static site: the unpacked web tarball (CAVE_SITE_DIR), served from a
// sub-path of its host, runs to frame 300 and draws the build tree's page's frame, asks for nothing outside
// its folder, and shows the project's version (CAVE_VERSION). Run by scripts/check_dist.sh.
import {test, before, after} from 'node:test';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import {WEB_DIR, serve, launchBrowser, openPage, waitForState} from './harness.mjs';

const SITE_DIR = process.env.CAVE_SITE_DIR;
const VERSION = process.env.CAVE_VERSION;
const SUB_PATH = '/some/where/';

let site;
let built;
let browser;

before(async () => {
  assert.ok(SITE_DIR && fs.existsSync(SITE_DIR), 'CAVE_SITE_DIR names no unpacked site');
  site = await serve([SITE_DIR], SUB_PATH);
  built = await serve([WEB_DIR]);
  browser = await launchBrowser();
});

after(async () => {
  if (browser) await browser.close();
  if (site) await site.close();
  if (built) await built.close();
});

// Frame 300 of the page at `url`: the canvas's 640 x 480 pixels as text, and what the page asked for.
async function frame300(url) {
  const page = await openPage(browser);
  const requests = [];
  page.on('request', (r) => requests.push(r.url()));
  try {
    await page.goto(url + '?frames=300&shot=1');
    const state = await waitForState(page, (s) => s.phase === 'ended', 240000, 'the end of the demo');
    const pixels = await page.evaluate(() => {
      const c = document.createElement('canvas');
      c.width = 640;
      c.height = 480;
      const g = c.getContext('2d');
      g.drawImage(document.getElementById('canvas'), 0, 0);
      return Array.from(g.getImageData(0, 0, 640, 480).data).join(',');
    });
    const versionLine = await page.$eval('#version', (p) => p.textContent);
    return {state, pixels, requests, versionLine};
  } finally {
    await page.close();
  }
}

test('the unpacked page runs from a sub-path of its host and draws what the build tree draws', async () => {
  const ours = await frame300(site.url);
  assert.equal(ours.state.frames, 300);
  assert.equal(ours.state.exitCode, 0);
  assert.deepEqual(ours.state.messages, [], 'no bitmap failed to open');
  const outside = ours.requests.filter((u) => u.startsWith('http') && !new URL(u).pathname.startsWith(SUB_PATH));
  assert.deepEqual(outside, [], 'the page asked for files outside its folder');
  assert.equal(ours.state.version, VERSION);
  assert.equal(ours.versionLine, `cave-demo ${VERSION}`);
  const theirs = await frame300(built.url);
  assert.equal(theirs.state.frames, 300);
  assert.ok(ours.pixels === theirs.pixels, "frame 300 differs from the build tree's page");
});
