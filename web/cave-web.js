// cave-web.js -- the page of cave-demo: reads the options from the URL, loads the program (app.js, app.wasm,
// app.data) and shows what it reports: the frame rate, message boxes, the end of the demo, failures.
//
// window.caveDemo is the page's state, read by the browser tests and the benchmark:
//   phase        "loading", "running", "ended" or "failed"
//   frames       frames presented so far
//   firstFrameAt performance.now() of the first presented frame (milliseconds since navigation)
//   passMs       milliseconds spent in the passes that presented the frames, in all
//   exitCode     the program's exit code once ended
//   failure      the reason shown when the demo could not start
//   messages     message boxes, each "caption: text"
//   debugLog     lines the debug log received
//   traceText()  the body trace as text (with ?trace=1, once ended), or null
//   shotReady    true once the last frame is offered as a PNG (with ?shot=1)
'use strict';

(function () {
  const MAX_SCRIPT_BYTES = 16 * 1024 * 1024; // as cave-demo --script
  const TRACE_PATH = '/output/trace.csv';

  const params = new URLSearchParams(window.location.search);
  const canvas = document.getElementById('canvas');
  const statusLine = document.getElementById('status');
  const notice = document.getElementById('notice');
  const results = document.getElementById('results');
  const messageList = document.getElementById('messages');

  const state = {
    phase: 'loading',
    frames: 0,
    firstFrameAt: null,
    passMs: 0,
    exitCode: null,
    failure: null,
    messages: [],
    debugLog: [],
    traceText: () => null,
  };
  window.caveDemo = state;

  function showNotice(text, kind) {
    notice.textContent = text;
    notice.className = kind;
    notice.hidden = false;
  }

  function fail(text) {
    if (state.phase === 'failed') return;
    state.phase = 'failed';
    state.failure = text;
    statusLine.textContent = 'Not running.';
    showNotice(text, 'error');
    console.error('cave-demo: ' + text);
  }

  function addMessage(text) {
    state.messages.push(text);
    const item = document.createElement('li');
    item.textContent = text;
    messageList.appendChild(item);
  }

  function addDownload(url, fileName, label) {
    const link = document.createElement('a');
    link.href = url;
    link.download = fileName;
    link.textContent = label;
    results.appendChild(link);
    results.hidden = false;
  }

  // ---- options -------------------------------------------------------------------------------------
  const args = [];
  const frames = params.get('frames');
  if (frames !== null) {
    if (!/^[0-9]{1,10}$/.test(frames) || Number(frames) > 2147483647) {
      fail('frames must be a whole number from 0 to 2147483647, not "' + frames.slice(0, 40) + '".');
      return;
    }
    args.push('--frames', String(Number(frames)));
  }
  const wantTrace = params.get('trace') === '1';
  if (wantTrace) args.push('--trace', TRACE_PATH);
  const wantShot = params.get('shot') === '1';
  if (wantShot) args.push('--shot');
  if (params.get('timing') === 'vsync') args.push('--vsync');
  const scriptName = params.get('script');

  // ---- status line: frames per second and milliseconds per step over the last second -----------------
  const recent = []; // [time, pass milliseconds] of the frames of the last second
  let lastStatus = 0;
  function frameReported(count, milliseconds) {
    const now = performance.now();
    if (state.firstFrameAt === null) state.firstFrameAt = now;
    state.frames = count;
    state.passMs += milliseconds;
    recent.push([now, milliseconds]);
    while (recent.length && recent[0][0] < now - 1000) recent.shift();
    if (now - lastStatus < 250) return;
    lastStatus = now;
    let work = 0;
    for (const r of recent) work += r[1];
    const span = recent.length > 1 ? (recent[recent.length - 1][0] - recent[0][0]) / 1000 : 0;
    const fps = span > 0 ? (recent.length - 1) / span : 0;
    statusLine.textContent = fps.toFixed(1) + ' frames per second · ' +
        (work / recent.length).toFixed(2) + ' ms per step · frame ' + count;
  }

  function ended(exitCode, count) {
    state.phase = 'ended';
    state.exitCode = exitCode;
    state.frames = count;
    const limit = frames !== null ? Number(frames) : 0;
    const why = limit > 0 && count >= limit ? 'after ' + count + ' frames (the limit set by ?frames)'
                                            : 'Esc was pressed, after ' + count + ' frames';
    statusLine.textContent = 'The demo has ended: ' + why + '.' +
        (exitCode !== 0 ? ' Exit code ' + exitCode + '.' : '');
    showNotice('The demo has ended. Reload the page to run it again.', 'ended');
    if (wantTrace) {
      let bytes = null;
      try {
        bytes = Module.FS.readFile(TRACE_PATH);
      } catch (e) {
        addMessage('The trace could not be read: ' + e);
      }
      if (bytes) {
        const blob = new Blob([bytes], {type: 'text/csv'});
        state.traceText = () => new TextDecoder().decode(bytes);
        addDownload(URL.createObjectURL(blob), 'trace.csv', 'Download the trace (' + blob.size + ' bytes)');
      }
    }
    if (wantShot) {
      canvas.toBlob(function (png) {
        if (!png) return addMessage('The last frame could not be saved.');
        state.shotReady = true;
        addDownload(URL.createObjectURL(png), 'cave-demo-frame-' + count + '.png', 'Download the last frame (PNG)');
      }, 'image/png');
    }
  }

  // ---- the program ---------------------------------------------------------------------------------
  const stderrLines = [];
  window.Module = {
    canvas: canvas,
    arguments: args,
    preRun: [],
    print: (text) => console.log(text),
    printErr: (text) => {
      stderrLines.push(text);
      if (stderrLines.length > 20) stderrLines.shift();
      console.warn(text);
    },
    setStatus: (text) => { if (text && state.phase === 'loading') statusLine.textContent = text; },
    onAbort: (what) => fail('The program stopped: ' + what),
    caveStarted: () => {
      state.phase = 'running';
      statusLine.textContent = 'Running…';
      canvas.focus({preventScroll: true});
    },
    caveFrame: frameReported,
    caveEnded: ended,
    caveFailed: (reason) => {
      const detail = stderrLines.length ? ' (' + stderrLines[stderrLines.length - 1] + ')' : '';
      fail('cave-demo could not start: ' + reason + detail);
    },
    caveTraceStopped: (count) => addMessage('The trace stopped after frame ' + count +
                                            ': it has reached the 256 MiB the page keeps.'),
    caveMessageBox: (caption, text) => addMessage(caption + ': ' + text),
    caveDebugLog: (line) => state.debugLog.push(line),
  };
  window.addEventListener('error', (e) => {
    if (state.phase === 'loading' || state.phase === 'running') fail('The program failed: ' + e.message);
  });

  function start(script) {
    if (script) {
      // The program starts in /input and reads the script by its own name, which its messages then show.
      Module.preRun.push(() => {
        Module.FS.mkdir('/input');
        Module.FS.writeFile('/input/' + script.name, script.bytes);
        Module.FS.chdir('/input');
      });
      args.push('--script', script.name);
    }
    Module.preRun.push(() => Module.FS.mkdir('/output'));
    const tag = document.createElement('script');
    tag.src = 'app.js';
    tag.onerror = () => fail('The program (app.js) could not be loaded.');
    document.body.appendChild(tag);
  }

  // Without WebGL2 the demo cannot draw: the page says so instead of staying blank. (A browser that has the
  // interface but gives no context is reported by the program when it starts.)
  if (typeof WebGL2RenderingContext === 'undefined') {
    fail('This page needs WebGL2, which this browser does not offer.');
    return;
  }

  // The context is made now, while the program downloads, with the attributes the program asks for
  // (platform/win32_html5.cpp: the browser hands the program this same context). Starting the browser's
  // GPU side takes a large part of the time to the first frame.
  const context = canvas.getContext('webgl2', {
    alpha: false, depth: true, stencil: false, antialias: false, premultipliedAlpha: false,
    preserveDrawingBuffer: wantShot, powerPreference: 'default', failIfMajorPerformanceCaveat: false,
  });
  if (!context) {
    fail('This page needs WebGL2, which this browser does not give it (it may be turned off).');
    return;
  }

  if (scriptName === null) {
    start(null);
    return;
  }
  // A script is a file served beside the page: same origin only, at most MAX_SCRIPT_BYTES.
  if (scriptName === '') {
    fail('?script= needs the name of a script file served beside this page.');
    return;
  }
  let url;
  try {
    url = new URL(scriptName, window.location.href);
  } catch (e) {
    url = null;
  }
  if (!url || url.origin !== window.location.origin) {
    fail('The script must be a file served beside this page, not "' + scriptName.slice(0, 80) + '".');
    return;
  }
  let base = decodeURIComponent(url.pathname.split('/').pop() || '').replace(/[^A-Za-z0-9._-]/g, '_');
  if (!/^[A-Za-z0-9_]/.test(base)) base = 'script' + base; // never "", "." or ".."

  statusLine.textContent = 'Loading the script ' + base + '…';
  fetch(url)
    .then((response) => {
      if (!response.ok) throw new Error('HTTP ' + response.status);
      return response.arrayBuffer();
    })
    .then((buffer) => {
      if (buffer.byteLength > MAX_SCRIPT_BYTES) {
        fail('The script ' + base + ' is larger than 16 MiB.');
        return;
      }
      start({name: base, bytes: new Uint8Array(buffer)});
    })
    .catch((e) => fail('The script ' + base + ' could not be loaded (' + e.message + ').'));
})();
