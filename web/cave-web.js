// cave-web.js -- the page of cave-demo: reads the options from the URL (and a shared run from its fragment),
// loads the program (app.js, app.wasm, app.data), drives its controls (pause, step, restart, slow motion,
// see-through, caves from the gallery or from the visitor's files, the recorded session and its link), turns
// fingers and pens on the canvas into the left mouse button and the on-screen keys into key messages, keeps
// the page working offline (sw.js) and shows what the program reports.
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
//   version        the program's version (cave-demo --version), once it has started
//   touch          true while the on-screen keys are shown (a coarse pointer, or a finger touched the page)
//   sharedLink     the last link made by "Copy link", or null; sharedRun: true when this page replays one
//   offline        the offline copy: "none", "installing", "ready" (this version is cached), "update" (a
//                  newer version is cached and waits for a reload), or "unsupported"
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
    version: null,
    touch: false,
    sharedLink: null,
    sharedRun: false,
    offline: 'none',
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
  // A run shared as a link: #run=<the input script, deflated, base64url>&cave=<a gallery name>.
  const fragment = new URLSearchParams(window.location.hash.replace(/^#/, ''));
  const sharedRun = fragment.get('run');
  const scriptParam = sharedRun !== null ? null : params.get('script');
  const caveParam = sharedRun !== null ? fragment.get('cave') : params.get('cave');

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
    startingFolder = dir;
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
  let startingFolder = '/data'; // the folder of the run being started (its cave.x)

  // ---- figures: frames per second, ms per step and per frame, bodies at rest ------------------------
  const recent = []; // [time, pass milliseconds, step milliseconds] of the frames of the last second
  function frameReported(count, passMs, stepMs) {
    const now = performance.now();
    if (state.firstFrameAt === null) {
      state.firstFrameAt = now;
      watchOffline();
    }
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
    if (!state.version) {
      state.version = Module.ccall('caveVersion', 'string', [], []);
      $('version').textContent = 'cave-demo ' + state.version;
    }
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
    if (triangles === 0) addNote((next.cave ? next.cave.label : 'cave.x') + ': ' + whyEmpty() +
                                 ' (The demo runs on; pick another cave or drop another file.)');
    updateControls();
    canvas.focus({preventScroll: true});
  }

  // Why a cave gave no triangles, as the scene reader's tree of its file tells: the demo builds its world
  // from the first mesh of the scene's root frame only.
  function whyEmpty() {
    let c = null;
    try {
      c = JSON.parse(Module.ccall('caveSceneCensus', 'string', ['string'], [startingFolder + '/cave.x']));
    } catch (e) {
      c = null;
    }
    const empty = ', so the cave is empty and the spheres fall through it.';
    const count = (n, one, many) => Number(n).toLocaleString('en') + ' ' + (n === 1 ? one : many);
    if (!c) return 'the cave came out empty' + empty;
    if (c.opened === false) return 'the file could not be opened' + empty;
    if (!c.read) return 'the scene reader found no frame or mesh in it' + empty;
    let why;
    if (c.rootMeshes === 0) why = 'its root frame holds no mesh';
    else if (c.rootFirstFaces === 0) why = 'the first mesh of its root frame has no faces';
    else why = 'the first mesh of its root frame gives no triangles the demo can take (faces of fewer than three ' +
               'corners, or more than it holds)';
    why += ', and the demo builds its cave from the first mesh of the root frame alone' + empty;
    const others = c.meshes - (c.rootFirstFaces >= 0 ? 1 : 0);
    const otherFaces = c.faces - Math.max(0, c.rootFirstFaces);
    if (others > 0 && otherFaces > 0)
      why += ' The file holds ' + count(others, 'other mesh', 'other meshes') + ' with ' +
             count(otherFaces, 'face', 'faces') + ' (' + count(c.frames, 'frame', 'frames') + ' in all): join ' +
             'them into one mesh in the root frame to see them here.';
    else
      why += ' The file holds no other mesh with faces.';
    return why;
  }

  // ---- the controls --------------------------------------------------------------------------------
  function updateControls() {
    const live = state.phase === 'running';
    document.documentElement.classList.toggle('live', live); // the on-screen keys act on a running demo only
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
    download(text, 'text/plain', sessionFileName());
  });
  $('share').addEventListener('click', () => {
    setMenu(false);
    shareRun();
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

  // ---- the menu of narrow screens ------------------------------------------------------------------
  const bar = $('bar');
  const menuButton = $('menu-button');
  function setMenu(open) {
    bar.classList.toggle('open', open);
    document.documentElement.classList.toggle('menu-open', open);
    menuButton.setAttribute('aria-expanded', String(open));
  }
  menuButton.addEventListener('click', () => setMenu(!bar.classList.contains('open')));
  // A touch or click on the picture closes it; so does Esc (which then reaches the demo as usual).
  $('screen').addEventListener('pointerdown', () => setMenu(false));
  window.addEventListener('keydown', (e) => { if (e.key === 'Escape') setMenu(false); });

  // ---- touch screens: the on-screen keys, shown while touch is in use ------------------------------
  const root = document.documentElement;
  function useTouch(on) {
    if (state.touch === on) return;
    state.touch = on;
    root.classList.toggle('touch', on);
    if (!on) releaseKeys();
  }
  useTouch(window.matchMedia('(pointer: coarse)').matches);
  // A finger anywhere shows them; a mouse that moves or a key that is pressed hides them.
  window.addEventListener('pointerdown', (e) => { if (e.pointerType === 'touch') useTouch(true); }, true);
  window.addEventListener('pointermove', (e) => {
    if (e.pointerType === 'mouse' && (e.movementX || e.movementY)) useTouch(false);
  }, true);
  window.addEventListener('keydown', (e) => { if (!e.repeat && e.isTrusted) useTouch(false); }, true);

  // Each key is down while at least one pointer rests on its button: it goes up when the last one is lifted,
  // cancelled or slides off. Several keys can be held at once (drive and turn).
  const held = new Map(); // key name -> set of pointer ids
  function keyMessage(name, down) {
    if (state.phase === 'running') Module.ccall('caveKey', null, ['string', 'number'], [name, down ? 1 : 0]);
  }
  function pressKey(button, pointerId) {
    const name = button.dataset.key;
    if (!held.has(name)) held.set(name, new Set());
    const pointers = held.get(name);
    if (pointers.size === 0) {
      keyMessage(name, true);
      button.classList.add('held');
    }
    pointers.add(pointerId);
  }
  function liftKey(button, pointerId) {
    const pointers = held.get(button.dataset.key);
    if (!pointers || !pointers.delete(pointerId) || pointers.size > 0) return;
    keyMessage(button.dataset.key, false);
    button.classList.remove('held');
  }
  function releaseKeys() {
    for (const button of document.querySelectorAll('.key')) {
      const pointers = held.get(button.dataset.key);
      if (pointers && pointers.size > 0) {
        pointers.clear();
        keyMessage(button.dataset.key, false);
        button.classList.remove('held');
      }
    }
  }
  for (const button of document.querySelectorAll('.key')) {
    button.addEventListener('pointerdown', (e) => {
      e.preventDefault();
      // A touch is captured by the element it starts on; let it go, so that sliding off the button lifts
      // the key.
      if (button.hasPointerCapture(e.pointerId)) button.releasePointerCapture(e.pointerId);
      pressKey(button, e.pointerId);
    });
    for (const type of ['pointerup', 'pointercancel', 'pointerleave'])
      button.addEventListener(type, (e) => liftKey(button, e.pointerId));
    button.addEventListener('contextmenu', (e) => e.preventDefault());
  }
  // Keys held when the page loses the focus or is hidden are let go, as the keyboard's are.
  window.addEventListener('blur', releaseKeys);
  document.addEventListener('visibilitychange', () => { if (document.hidden) releaseKeys(); });

  // ---- fingers and pens on the canvas: the left mouse button -----------------------------------------
  // One finger or pen at a time presses, moves and releases the left button. It reaches the program as the
  // mouse's own events on the canvas, so that the program maps it to the demo's client pixels as it maps
  // the mouse (a point on a bar or off the canvas reaches nothing). Its default actions (scrolling, zooming,
  // selection, the browser's own mouse events and the long-press menu) are prevented. A second pointer
  // while one drags does nothing.
  let dragPointer = null;
  let lastPointerType = 'mouse';
  function asMouse(type, e) {
    canvas.dispatchEvent(new MouseEvent(type, {
      bubbles: true, cancelable: true, view: window, clientX: e.clientX, clientY: e.clientY,
      screenX: e.screenX, screenY: e.screenY, button: 0, buttons: type === 'mouseup' ? 0 : 1,
    }));
  }
  canvas.addEventListener('pointerdown', (e) => {
    lastPointerType = e.pointerType;
    if (e.pointerType === 'mouse') return; // the mouse's own events
    e.preventDefault();
    if (dragPointer !== null) return;
    dragPointer = e.pointerId;
    if (!canvas.hasPointerCapture(e.pointerId)) canvas.setPointerCapture(e.pointerId); // a pen's too
    canvas.focus({preventScroll: true});
    asMouse('mousemove', e);
    asMouse('mousedown', e);
  });
  canvas.addEventListener('pointermove', (e) => {
    if (e.pointerId !== dragPointer) return;
    e.preventDefault();
    asMouse('mousemove', e);
  });
  const endDrag = (e) => {
    if (e.pointerId !== dragPointer) return;
    dragPointer = null;
    asMouse('mouseup', e);
  };
  canvas.addEventListener('pointerup', endDrag);
  canvas.addEventListener('pointercancel', endDrag);
  canvas.addEventListener('contextmenu', (e) => {
    if (lastPointerType !== 'mouse' || e.pointerType === 'touch' || e.pointerType === 'pen') e.preventDefault();
  });

  // ---- a run as a link -------------------------------------------------------------------------------
  const MAX_LINK = 32 * 1024; // longer links are cut or refused on the way (chat apps, mail, QR codes)
  const base64url = (bytes) => {
    let text = '';
    for (let i = 0; i < bytes.length; i += 0x8000) text += String.fromCharCode.apply(null, bytes.subarray(i, i + 0x8000));
    return btoa(text).replace(/\+/g, '-').replace(/\//g, '_').replace(/=+$/, '');
  };
  const fromBase64url = (text) => {
    const plain = atob(text.replace(/-/g, '+').replace(/_/g, '/'));
    const bytes = new Uint8Array(plain.length);
    for (let i = 0; i < plain.length; i++) bytes[i] = plain.charCodeAt(i);
    return bytes;
  };
  const squeeze = (bytes, stream) =>
    new Response(new Blob([bytes]).stream().pipeThrough(stream)).arrayBuffer().then((b) => new Uint8Array(b));

  // The page's address with the run in its fragment: the recorded input so far, and the gallery's cave.
  function makeLink(text) {
    return squeeze(new TextEncoder().encode(text), new CompressionStream('deflate-raw')).then((packed) => {
      const fields = new URLSearchParams();
      if (current.cave && gallery.some((c) => c.file === current.cave.name + '.x')) fields.set('cave', current.cave.name);
      const url = new URL(window.location.href);
      url.search = '';
      return url.origin + url.pathname + '#' + (fields.toString() ? fields.toString() + '&' : '') + 'run=' +
             base64url(packed);
    });
  }

  function readLinkedRun(packed) {
    if (typeof DecompressionStream === 'undefined')
      return Promise.reject(new Error('this browser cannot unpack it'));
    return Promise.resolve().then(() => fromBase64url(packed))
      .then((bytes) => squeeze(bytes, new DecompressionStream('deflate-raw')))
      .then((bytes) => {
        if (bytes.length > MAX_SCRIPT_BYTES) throw new Error('it is larger than 16 MiB');
        return {name: 'shared-run.txt', bytes: bytes};
      });
  }

  const sharePanel = $('share-panel');
  function showShare(text, link, file) {
    $('share-text').textContent = text;
    const field = $('share-link');
    field.hidden = !link;
    field.value = link || '';
    for (const a of sharePanel.querySelectorAll('a')) a.remove();
    if (file) {
      const a = document.createElement('a');
      a.href = URL.createObjectURL(new Blob([file.text], {type: 'text/plain'}));
      a.download = file.name;
      a.textContent = 'Save the session as a file (' + file.name + ')';
      $('share-text').appendChild(document.createElement('br'));
      $('share-text').appendChild(a);
    }
    sharePanel.hidden = false;
    if (link) {
      field.focus({preventScroll: true});
      field.select();
    }
  }
  $('share-close').addEventListener('click', () => {
    sharePanel.hidden = true;
    canvas.focus({preventScroll: true});
  });

  function sessionFileName() {
    return 'cave-demo-session' + (state.cave ? '-' + state.cave.replace(/\.x$/i, '') : '') + '.txt';
  }

  function shareRun() {
    const text = state.recordingText();
    if (text === null) return addNote('There is no recorded session yet.');
    if (current.cave && !gallery.some((c) => c.file === current.cave.name + '.x'))
      return showShare('This run is in a cave of your own, which a link cannot carry: save the session and ' +
                       'send it with the cave.', null, {text: text, name: sessionFileName()});
    if (typeof CompressionStream === 'undefined')
      return showShare('This browser cannot pack a run into a link: save the session as a file instead.', null,
                       {text: text, name: sessionFileName()});
    makeLink(text).then((link) => {
      if (link.length > MAX_LINK) {
        state.sharedLink = null;
        return showShare('This session is too long for a link (' + Math.ceil(link.length / 1024) + ' kB; a link ' +
                         'carries ' + MAX_LINK / 1024 + ' kB): save it as a file instead.', null,
                         {text: text, name: sessionFileName()});
      }
      state.sharedLink = link;
      const copied = navigator.clipboard && navigator.clipboard.writeText ? navigator.clipboard.writeText(link)
                                                                           : Promise.reject(new Error('no clipboard'));
      const upTo = state.phase === 'ended' ? 'the whole run' : 'the run up to frame ' + state.frames;
      copied.then(() => showShare('The link is copied: it replays ' + upTo + ' on any device.', link),
                  () => showShare('Copy this link: it replays ' + upTo + ' on any device.', link));
    }).catch((e) => addNote('The link could not be made (' + e.message + ').'));
  }

  // ---- offline: the service worker keeps this version of the page ------------------------------------
  // Registered once the demo runs, so that the program's own downloads come first. A newer build's worker
  // caches the new version beside the old one; the page says so, and a reload (or the button) moves to it.
  function watchOffline() {
    if (!('serviceWorker' in navigator) || !window.isSecureContext) {
      state.offline = 'unsupported';
      return;
    }
    const sw = navigator.serviceWorker;
    let reloading = false;
    let accepted = false; // the visitor asked for the new version
    sw.addEventListener('controllerchange', () => {
      if (reloading || !accepted) return;
      reloading = true;
      window.location.reload();
    });
    const offerUpdate = (worker) => {
      state.offline = 'update';
      $('update').hidden = false;
      $('update-now').onclick = () => {
        accepted = true;
        worker.postMessage('activate');
      };
    };
    state.offline = 'installing';
    sw.register('sw.js').then((registration) => {
      const track = (worker) => {
        if (!worker) return;
        const settle = () => {
          if (worker.state === 'installed' && sw.controller) offerUpdate(worker);
          else if (worker.state === 'activated' && state.offline !== 'update') state.offline = 'ready';
        };
        worker.addEventListener('statechange', settle);
        settle();
      };
      if (registration.waiting && sw.controller) offerUpdate(registration.waiting);
      registration.addEventListener('updatefound', () => track(registration.installing));
      track(registration.installing);
      sw.ready.then(() => { if (state.offline === 'installing') state.offline = 'ready'; });
    }).catch((e) => {
      state.offline = 'none';
      console.warn('cave-demo: no offline copy (' + e.message + ')');
    });
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
      startingFolder = currentFolder;
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
  if (sharedRun !== null) {
    state.sharedRun = true;
    statusLine.textContent = 'Unpacking the run in the link…';
    scriptLoad = readLinkedRun(sharedRun).catch((e) => {
      throw new Error('The run in this link could not be read (' + e.message + '): the link may have been cut.');
    });
  } else if (scriptParam !== null) {
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
