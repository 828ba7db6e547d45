// cave-web.js -- the page of cave-demo: reads the options from the URL, loads the program (app.js, app.wasm,
// app.data), drives its controls (pause, step, restart, slow motion, see-through, caves from the gallery or
// from the visitor's files, the recorded session) and shows what it reports.
//
// window.caveDemo is the page's state, read by the browser tests and the benchmark:
//   phase          "loading", "running", "ended" or "failed"
//   runs           runs started so far (a restart starts another); frames counts within the run
//   frames         frames presented in this run
//   cave           the cave of this run: "" for the demo's own, a gallery name, or a file's name
//   triangles      triangles of this run's cave as the program read it (0: an empty world)
//   paused, slowEvery, seeThrough   the controls' settings
//   figures        {fps, stepMs, passMs, atRest, bodies} as the panel shows them
//   firstFrameAt   performance.now() of the first presented frame (milliseconds since navigation)
//   passMs         milliseconds spent in the passes that presented the frames, in all
//   exitCode       the program's exit code once a run ended
//   failure        the reason shown when the demo could not start
//   messages       message boxes, each "caption: text"
//   notes          the page's own lines about files and runs
//   debugLog       lines the debug log received
//   traceText()    the body trace of the last run as text (with ?trace=1, once it ended), or null
//   recordingText()  the key and mouse events of this run as an input script, so far
//   shotReady      true once the last frame is offered as a PNG (with ?shot=1)
//   contextLost    true while the browser has taken the drawing context away
'use strict';

(function () {
  const MAX_SCRIPT_BYTES = 16 * 1024 * 1024; // as cave-demo --script
  const MAX_FILES_BYTES = 64 * 1024 * 1024;  // a dropped cave and its bitmaps, together
  const TRACE_PATH = '/output/trace.csv';
  const RECORD_PATH = '/output/session.txt';
  const BITMAPS = ['check.bmp', 'map.bmp', 'block.bmp'];

  const params = new URLSearchParams(window.location.search);
  const $ = (id) => document.getElementById(id);
  const canvas = $('canvas');
  const statusLine = $('status');
  const notice = $('notice');
  const results = $('results');
  const messageList = $('messages');
  const caveList = $('cave');

  const state = {
    phase: 'loading',
    runs: 0,
    frames: 0,
    cave: '',
    triangles: null,
    paused: false,
    slowEvery: 1,
    seeThrough: false,
    figures: {fps: 0, stepMs: 0, passMs: 0, atRest: 0, bodies: 101},
    firstFrameAt: null,
    passMs: 0,
    exitCode: null,
    failure: null,
    messages: [],
    notes: [],
    debugLog: [],
    contextLost: false,
    traceText: () => null,
    recordingText: () => readText(RECORD_PATH),
  };
  window.caveDemo = state;

  function readText(path) {
    try {
      return new TextDecoder().decode(Module.FS.readFile(path));
    } catch (e) {
      return null;
    }
  }

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
    updateControls();
    console.error('cave-demo: ' + text);
  }

  // A line over the picture; the newest few stay in view.
  function addLine(text) {
    const item = document.createElement('li');
    item.textContent = text;
    messageList.appendChild(item);
    while (messageList.children.length > 5) messageList.removeChild(messageList.firstChild);
  }
  function addMessage(text) {
    state.messages.push(text);
    addLine(text);
  }
  function addNote(text) {
    state.notes.push(text);
    addLine(text);
    console.warn('cave-demo: ' + text);
  }

  function addDownload(url, fileName, label) {
    const link = document.createElement('a');
    link.href = url;
    link.download = fileName;
    link.textContent = label;
    results.appendChild(link);
    results.hidden = false;
  }

  function download(bytes, type, fileName) {
    const link = document.createElement('a');
    link.href = URL.createObjectURL(new Blob([bytes], {type: type}));
    link.download = fileName;
    document.body.appendChild(link);
    link.click();
    link.remove();
    setTimeout(() => URL.revokeObjectURL(link.href), 60000);
  }

  // A file name the in-memory file system and the program's messages can take: letters, digits, dot, dash
  // and underscore, never "", "." or "..".
  function safeName(name) {
    let base = String(name).split(/[\\/]/).pop().replace(/[^A-Za-z0-9._-]/g, '_').slice(0, 100);
    if (!/^[A-Za-z0-9_]/.test(base)) base = 'file' + base;
    return base;
  }

  // ---- options -------------------------------------------------------------------------------------
  // The program reads them as NAME=VALUE, the run's options (frames, script, trace, record, data) as
  // cave-demo reads its command line: a bad value is refused there, in cave-demo's words.
  const args = [];
  const frames = params.get('frames');
  if (frames !== null) args.push('frames=' + frames);
  const wantTrace = params.get('trace') === '1';
  if (wantTrace) args.push('trace=' + TRACE_PATH);
  args.push('record=' + RECORD_PATH);
  const wantShot = params.get('shot') === '1';
  if (wantShot) args.push('shot=1');
  if (params.get('timing') === 'vsync') args.push('timing=vsync');
  const scriptParam = params.get('script');
  const caveParam = params.get('cave');

  // ---- the run now shown, and how the next one starts ------------------------------------------------
  // cave: null (the demo's own) or {name, label, bytes}; bitmaps: {name: bytes} of the visitor's files;
  // script: a file name in /input, or "".
  const current = {cave: null, bitmaps: {}, script: ''};
  let runFolders = 0;
  let pendingRun = null; // what caveRestart was called with, until the run reports its start

  // The folder of a run: the demo's own files (/data), or a folder with the chosen cave.x and bitmaps,
  // the shipped files standing in (as links) for those not given.
  function makeRunFolder(cave, bitmaps) {
    if (!cave && Object.keys(bitmaps).length === 0) return '/data';
    const FS = Module.FS;
    const dir = '/runs/' + (++runFolders);
    if (!FS.analyzePath('/runs').exists) FS.mkdir('/runs');
    FS.mkdir(dir);
    if (cave) FS.writeFile(dir + '/cave.x', cave.bytes);
    else FS.symlink('/data/cave.x', dir + '/cave.x');
    for (const name of BITMAPS) if (!bitmaps[name]) FS.symlink('/data/' + name, dir + '/' + name);
    for (const name of Object.keys(bitmaps)) FS.writeFile(dir + '/' + name, bitmaps[name]);
    return dir;
  }

  // Frees the folders of earlier runs (a dropped cave can be large).
  function removeRunFolders(keep) {
    const FS = Module.FS;
    if (!FS.analyzePath('/runs').exists) return;
    for (const entry of FS.readdir('/runs')) {
      const dir = '/runs/' + entry;
      if (entry === '.' || entry === '..' || dir === keep) continue;
      for (const file of FS.readdir(dir)) if (file !== '.' && file !== '..') FS.unlink(dir + '/' + file);
      FS.rmdir(dir);
    }
  }

  function restart(next, why) {
    if (state.phase === 'loading' || state.phase === 'failed') return false;
    let dir;
    try {
      dir = makeRunFolder(next.cave, next.bitmaps);
    } catch (e) {
      addNote('The files could not be stored in the page (' + e + ').');
      return false;
    }
    pendingRun = next;
    Module.FS.chdir('/input'); // the program reads a script by its own name, which its messages then show
    const code = Module.ccall('caveRestart', 'number', ['string', 'string'], [dir, next.script]);
    if (code !== 0) {
      pendingRun = null;
      const reason = Module.ccall('caveLastError', 'string', [], []);
      if (code === 2) {
        fail('cave-demo could not start again: ' + reason);
      } else {
        addNote('Not restarted: ' + reason);
        if (dir !== '/data') removeRunFolders(currentFolder);
      }
      return false;
    }
    currentFolder = dir;
    removeRunFolders(dir);
    if (why) console.log('cave-demo: ' + why);
    return true;
  }
  let currentFolder = '/data';

  // ---- figures: frames per second, ms per step and per frame, bodies at rest ------------------------
  const recent = []; // [time, pass milliseconds, step milliseconds] of the frames of the last second
  function frameReported(count, passMs, stepMs) {
    const now = performance.now();
    if (state.firstFrameAt === null) state.firstFrameAt = now;
    state.frames = count;
    state.passMs += passMs;
    recent.push([now, passMs, stepMs]);
    while (recent.length && recent[0][0] < now - 1000) recent.shift();
  }

  function showFigures() {
    if (state.phase !== 'running') return;
    const now = performance.now();
    while (recent.length && recent[0][0] < now - 1000) recent.shift();
    let pass = 0, step = 0;
    for (const r of recent) {
      pass += r[1];
      step += r[2];
    }
    const span = recent.length > 1 ? (recent[recent.length - 1][0] - recent[0][0]) / 1000 : 0;
    const f = state.figures;
    f.fps = span > 0 ? (recent.length - 1) / span : 0;
    f.passMs = recent.length ? pass / recent.length : 0;
    f.stepMs = recent.length ? step / recent.length : 0;
    f.atRest = Module.ccall('caveBodiesAtRest', 'number', [], []);
    statusLine.textContent = (state.paused ? 'paused at ' : '') + 'frame ' + state.frames + ' · ' + f.fps.toFixed(1) +
        ' fps · ' + f.stepMs.toFixed(2) + ' ms per step · ' + f.passMs.toFixed(2) + ' ms per frame · ' + f.atRest +
        '/' + f.bodies + ' bodies at rest';
  }
  setInterval(showFigures, 250);

  function ended(exitCode, count) {
    state.phase = 'ended';
    state.exitCode = exitCode;
    state.frames = count;
    const limit = frames !== null ? Number(frames) : 0;
    const why = limit > 0 && count >= limit ? 'after ' + count + ' frames (the limit set by ?frames)'
                                            : 'Esc was pressed, after ' + count + ' frames';
    statusLine.textContent = 'The demo has ended: ' + why + '.' +
        (exitCode !== 0 ? ' Exit code ' + exitCode + '.' : '');
    showNotice('The demo has ended. Restart it, or pick a cave, to run it again.', 'ended');
    updateControls();
    results.textContent = '';
    results.hidden = true;
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

  function started(triangles) {
    const next = pendingRun || current;
    pendingRun = null;
    current.cave = next.cave;
    current.bitmaps = next.bitmaps;
    current.script = next.script;
    state.phase = 'running';
    state.runs++;
    state.frames = 0;
    state.exitCode = null;
    state.cave = next.cave ? next.cave.name : '';
    state.triangles = triangles;
    state.traceText = () => null;
    state.seeThrough = false;
    recent.length = 0;
    notice.hidden = true;
    results.textContent = '';
    results.hidden = true;
    statusLine.textContent = state.paused ? 'Paused: press Step or Pause.' : 'Running…';
    if (triangles === 0) {
      addNote((next.cave ? next.cave.label : 'cave.x') + ': no triangles could be read from it, so the cave ' +
              'is empty and the spheres fall through it. (The demo runs on; pick another cave or drop ' +
              'another file.)');
    }
    updateControls();
    canvas.focus({preventScroll: true});
  }

  // ---- the controls --------------------------------------------------------------------------------
  function updateControls() {
    const live = state.phase === 'running';
    const ready = live || state.phase === 'ended';
    $('pause').setAttribute('aria-pressed', String(state.paused));
    $('pause').textContent = state.paused ? 'Resume' : 'Pause';
    $('pause').disabled = !live;
    $('step').disabled = !live;
    $('seethrough').disabled = !live;
    $('seethrough').setAttribute('aria-pressed', String(state.seeThrough));
    $('restart').disabled = !ready;
    caveList.disabled = !ready;
    $('files').disabled = !ready;
    $('save').disabled = !ready;
    $('speed').value = String(state.slowEvery);
  }

  const control = (id, event, action) => $(id).addEventListener(event, (e) => {
    action(e);
    updateControls();
    canvas.focus({preventScroll: true}); // the demo's keys stay with the demo, not the control
  });
  control('pause', 'click', () => {
    state.paused = !state.paused;
    Module.ccall('cavePause', null, ['number'], [state.paused ? 1 : 0]);
  });
  control('step', 'click', () => {
    state.paused = true;
    Module.ccall('caveStep', null, [], []);
  });
  control('restart', 'click', () => restart({cave: current.cave, bitmaps: current.bitmaps, script: current.script},
                                            'restarted'));
  control('speed', 'change', (e) => {
    state.slowEvery = Number(e.target.value) || 1;
    Module.ccall('caveSlowMotion', null, ['number'], [state.slowEvery]);
  });
  control('seethrough', 'click', () => {
    state.seeThrough = !state.seeThrough;
    Module.ccall('caveSeeThrough', null, ['number'], [state.seeThrough ? 1 : 0]);
  });
  control('cave', 'change', (e) => chooseCave(e.target.value));
  control('files', 'change', (e) => {
    takeFiles(e.target.files);
    e.target.value = '';
  });
  control('save', 'click', () => {
    const text = state.recordingText();
    if (text === null) return addNote('There is no recorded session yet.');
    const name = 'cave-demo-session' + (state.cave ? '-' + state.cave.replace(/\.x$/i, '') : '') + '.txt';
    download(text, 'text/plain', name);
  });

  // ---- caves: the gallery, the visitor's files -----------------------------------------------------
  let gallery = []; // entries of gallery/gallery.json: {file, title, triangles, about}
  const galleryReady = fetch('gallery/gallery.json')
    .then((r) => (r.ok ? r.json() : {caves: []}))
    .then((list) => {
      gallery = Array.isArray(list.caves) ? list.caves.filter((c) => /^[A-Za-z0-9_-]+\.x$/.test(c.file)) : [];
      for (const c of gallery) {
        const option = document.createElement('option');
        option.value = c.file;
        option.textContent = c.title + ' (' + Number(c.triangles).toLocaleString('en') + ' triangles)';
        option.title = c.about || '';
        caveList.appendChild(option);
      }
    })
    .catch(() => { gallery = []; });

  function fetchBytes(url, limit, what) {
    return fetch(url).then((response) => {
      if (!response.ok) throw new Error('HTTP ' + response.status);
      return response.arrayBuffer();
    }).then((buffer) => {
      if (buffer.byteLength > limit) throw new Error(what + ' is larger than ' + (limit >> 20) + ' MiB');
      return new Uint8Array(buffer);
    });
  }

  function galleryCave(file) {
    return fetchBytes('gallery/' + file, MAX_FILES_BYTES, file).then((bytes) => {
      const entry = gallery.find((c) => c.file === file);
      return {name: file.replace(/\.x$/, ''), label: entry ? entry.title : file, bytes: bytes};
    });
  }

  function chooseCave(file) {
    if (file === '') return restart({cave: null, bitmaps: {}, script: ''}, 'the demo\'s cave');
    if (file.startsWith('user:')) return restart({cave: current.cave, bitmaps: current.bitmaps, script: ''});
    galleryCave(file)
      .then((cave) => restart({cave: cave, bitmaps: {}, script: ''}, 'gallery cave ' + file))
      .catch((e) => addNote('The cave ' + file + ' could not be loaded (' + e.message + ').'));
  }

  function showUserCave(name) {
    let option = caveList.querySelector('option[value^="user:"]');
    if (!option) {
      option = document.createElement('option');
      caveList.appendChild(option);
    }
    option.value = 'user:' + name;
    option.textContent = 'your file ' + name;
    caveList.value = option.value;
  }

  // Files dropped on the page or chosen with "Open files…": one .x cave, bitmaps (check.bmp, map.bmp,
  // block.bmp, or others the cave names), a saved session (.txt). The demo starts again with them.
  function takeFiles(list) {
    if (state.phase !== 'running' && state.phase !== 'ended') return;
    const files = Array.from(list || []);
    const caves = files.filter((f) => /\.x$/i.test(f.name));
    const bitmaps = files.filter((f) => /\.bmp$/i.test(f.name));
    const scripts = files.filter((f) => /\.txt$/i.test(f.name));
    for (const f of files)
      if (!caves.includes(f) && !bitmaps.includes(f) && !scripts.includes(f))
        addNote(f.name + ' is not a .x cave, a .bmp bitmap or a saved session (.txt): left out.');
    if (caves.length > 1) return addNote('Drop one .x cave at a time (' + caves.length + ' were given).');
    if (scripts.length > 1) return addNote('Drop one saved session at a time (' + scripts.length + ' were given).');
    if (!caves.length && !bitmaps.length && !scripts.length) return;
    let total = 0;
    for (const f of files) total += f.size;
    if (total > MAX_FILES_BYTES) return addNote('These files are larger than 64 MiB together: left out.');
    const read = (f) => f.arrayBuffer().then((b) => new Uint8Array(b));
    Promise.all([Promise.all(caves.map(read)), Promise.all(bitmaps.map(read)), Promise.all(scripts.map(read))])
      .then(([caveBytes, bitmapBytes, scriptBytes]) => {
        const next = {cave: current.cave, bitmaps: Object.assign({}, current.bitmaps), script: ''};
        if (caves.length) {
          const name = safeName(caves[0].name);
          next.cave = {name: name, label: caves[0].name, bytes: caveBytes[0]};
          next.bitmaps = {};
        }
        bitmaps.forEach((f, i) => {
          let name = safeName(f.name);
          if (BITMAPS.includes(name.toLowerCase())) name = name.toLowerCase(); // as Windows finds them
          next.bitmaps[name] = bitmapBytes[i];
        });
        if (scripts.length) {
          const name = safeName(scripts[0].name);
          if (scriptBytes[0].length > MAX_SCRIPT_BYTES) return addNote(scripts[0].name + ' is larger than 16 MiB.');
          Module.FS.writeFile('/input/' + name, scriptBytes[0]);
          next.script = name;
        }
        if (restart(next, 'files: ' + files.map((f) => f.name).join(', ')) && caves.length)
          showUserCave(next.cave.name);
      })
      .catch((e) => addNote('The files could not be read (' + e.message + ').'));
  }

  // A resized window while the frames are held: the last frame is fitted to the new size at once.
  window.addEventListener('resize', () => {
    if (state.phase === 'running') Module.ccall('caveRepresent', null, [], []);
  });

  const drop = $('drop');
  let dragDepth = 0;
  document.addEventListener('dragenter', (e) => {
    e.preventDefault();
    if (++dragDepth === 1) drop.hidden = false;
  });
  document.addEventListener('dragleave', () => {
    if (--dragDepth <= 0) {
      dragDepth = 0;
      drop.hidden = true;
    }
  });
  document.addEventListener('dragover', (e) => e.preventDefault());
  document.addEventListener('drop', (e) => {
    e.preventDefault();
    dragDepth = 0;
    drop.hidden = true;
    if (e.dataTransfer) takeFiles(e.dataTransfer.files);
  });

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
    caveStarted: started,
    caveFrame: frameReported,
    caveEnded: ended,
    caveFailed: (reason) => {
      const detail = stderrLines.length ? ' (' + stderrLines[stderrLines.length - 1] + ')' : '';
      if (state.phase === 'loading') fail('cave-demo could not start: ' + reason + detail);
      else addNote(reason);
    },
    caveTraceStopped: (count) => addMessage('The trace stopped after frame ' + count +
                                            ': it has reached the 256 MiB the page keeps.'),
    caveMessageBox: (caption, text) => addMessage(caption + ': ' + text),
    caveDebugLog: (line) => state.debugLog.push(line),
    // Every surface of the demo went with the context: once the browser gives it back, a new run.
    caveContextLost: () => {
      state.contextLost = true;
      addNote('The browser took the drawing context away (a reset of the graphics driver, or too many ' +
              'pages drawing): the picture stops until it gives it back.');
    },
    caveContextRestored: () => {
      state.contextLost = false;
      if (state.phase !== 'running' && state.phase !== 'ended') return;
      addNote('The drawing context is back: the demo starts again.');
      restart({cave: current.cave, bitmaps: current.bitmaps, script: current.script}, 'the context is back');
    },
  };
  window.addEventListener('error', (e) => {
    if (state.phase === 'loading' || state.phase === 'running') fail('The program failed: ' + e.message);
  });
  updateControls();

  function start(script, cave) {
    // One preRun function (Emscripten runs several in reverse order). The program starts in /input and
    // reads the script by its own name, which its messages then show.
    if (script) {
      args.push('script=' + script.name);
      current.script = script.name;
    }
    if (cave) {
      current.cave = cave;
      args.push('data=/runs/1'); // the first run folder, made once the file system is there
    }
    Module.preRun.push(() => {
      Module.FS.mkdir('/input');
      Module.FS.mkdir('/output');
      Module.FS.chdir('/input');
      if (script) Module.FS.writeFile('/input/' + script.name, script.bytes);
      if (cave) currentFolder = makeRunFolder(cave, {});
    });
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

  // A saved session: a file beside this page, or any http(s) URL that lets this page read it.
  let scriptLoad = Promise.resolve(null);
  if (scriptParam !== null) {
    if (scriptParam === '') {
      fail('?script= needs the name or URL of a saved session.');
      return;
    }
    let url;
    try {
      url = new URL(scriptParam, window.location.href);
    } catch (e) {
      url = null;
    }
    if (!url || (url.protocol !== 'http:' && url.protocol !== 'https:')) {
      fail('The script must be a file beside this page or an http(s) URL, not "' + scriptParam.slice(0, 80) + '".');
      return;
    }
    const base = safeName(decodeURIComponent(url.pathname.split('/').pop() || '') || 'script');
    statusLine.textContent = 'Loading the script ' + base + '…';
    scriptLoad = fetchBytes(url, MAX_SCRIPT_BYTES, 'The script ' + base)
      .then((bytes) => ({name: base, bytes: bytes}))
      .catch((e) => {
        throw new Error('The script ' + base + ' could not be loaded (' + e.message + ').');
      });
  }
  let caveLoad = Promise.resolve(null);
  if (caveParam !== null && caveParam !== '') {
    caveLoad = galleryReady.then(() => {
      const file = caveParam + '.x';
      if (!gallery.some((c) => c.file === file))
        throw new Error('There is no cave "' + caveParam.slice(0, 40) + '" in the gallery.');
      caveList.value = file;
      return galleryCave(file);
    });
  }
  Promise.all([scriptLoad, caveLoad])
    .then(([script, cave]) => start(script, cave))
    .catch((e) => fail(e.message));
})();
