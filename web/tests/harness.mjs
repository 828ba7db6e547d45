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
               '.png': 'image/png'};

// Serves the files of `dirs` (first match wins) on 127.0.0.1 at a free port. Returns {url, close()}.
export function serve(dirs) {
  const roots = dirs.map((d) => path.resolve(d));
  const server = http.createServer((req, res) => {
    let name;
    try {
      name = decodeURIComponent(new URL(req.url, 'http://127.0.0.1').pathname);
    } catch (e) {
      res.writeHead(400).end();
      return;
    }
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
      resolve({url: `http://127.0.0.1:${server.address().port}/`,
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
