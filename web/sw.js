// sw.js -- the page's service worker: keeps this version of the page, the program, its data and the
// gallery, so that after one visit the page starts and runs with no network. The build fills in the
// version (a digest of the files' contents) and the list of files it wrote (web/offline.cmake); a new build
// gives a new version, whose worker caches it beside the old one and takes over when the page asks (after
// saying so) or when no page of the old version is open. The old version's cache then goes.
'use strict';

const VERSION = '@CAVE_OFFLINE_VERSION@';
const FILES = [@CAVE_OFFLINE_FILES@];
const CACHE = 'cave-demo-' + VERSION;
const PREFIX = 'cave-demo-';

self.addEventListener('install', (event) => {
  // Every file fresh from the server (not from the browser's HTTP cache), all of them or none.
  event.waitUntil(caches.open(CACHE).then((cache) =>
    cache.addAll(FILES.map((f) => new Request(f, {cache: 'reload'})))));
});

self.addEventListener('activate', (event) => {
  event.waitUntil(caches.keys().then((names) => Promise.all(
    names.filter((n) => n.startsWith(PREFIX) && n !== CACHE).map((n) => caches.delete(n)))));
});

// The page asks the waiting worker of a new version to take over (its visitor chose to reload).
self.addEventListener('message', (event) => {
  if (event.data === 'activate') self.skipWaiting();
});

// The page's own files from the cache, whatever the URL's query (the options) or fragment (a shared run);
// anything else (a script or cave from elsewhere) from the network as usual.
self.addEventListener('fetch', (event) => {
  const request = event.request;
  if (request.method !== 'GET') return;
  const url = new URL(request.url);
  if (url.origin !== self.location.origin) return;
  const scope = new URL(self.registration.scope);
  let name = url.pathname.startsWith(scope.pathname) ? url.pathname.slice(scope.pathname.length) : null;
  if (name === null) return;
  if (request.mode === 'navigate' && name === '') name = 'index.html';
  if (!FILES.includes(name)) return;
  event.respondWith(caches.open(CACHE).then((cache) => cache.match(name)).then((hit) => hit || fetch(request)));
});
